#pragma once
#include <string>
#include <vector>

#include "tools/baker/image.h"
#include "tools/baker/mesh_builder.h"

// Everything the bake wrote, read back from the files as the game will see them (DDS blocks
// decoded), in one picture for a person to look at.
class ContactSheet {
 public:
  // Files relative to the asset folder, drawn left to right, top to bottom, 128 px each.
  bool write(const std::string& assetDir, const std::vector<std::string>& textureFiles,
             const std::vector<std::string>& skyFaces, const std::string& outputPath) const;

  // A shaded picture of a mesh seen from the front and from the side as the game turns it,
  // textured with the given picture (may be empty: plain grey).
  static Image renderMesh(const BakedMesh& mesh, const Image& texture, int size);
};
