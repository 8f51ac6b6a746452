#pragma once
#include <GL/glew.h>

#include <array>
#include <glm/glm.hpp>
#include <vector>

#include "render/frustum.h"

// A block of texels in one layer of a depth map (a cube face, or layer 0 of a 2D map).
struct TexelRect {
  int layer = 0;
  int x = 0, y = 0;
  int width = 0, height = 0;
};

// The texels that each box (eight world corners) can reach in each layer, seen through that
// layer's projection x view matrix, with a texel of margin; overlapping blocks are merged. A box
// that is not finite, or reaches the eye itself, is given its whole layer.
std::vector<TexelRect> texelsReachedBy(const std::vector<std::array<glm::vec3, 8>>& boxes,
                                       const std::vector<glm::mat4>& layerMatrices, int width, int height);

// The one format of the shadow maps and of the store that keeps blocks of them: 32-bit float depth.
// glCopyImageSubData copies only between images of the same format, and the unsized
// GL_DEPTH_COMPONENT would let the driver pick one for each.
constexpr GLenum kShadowDepthFormat = GL_DEPTH_COMPONENT32F;

// Keeps copies of blocks of a depth map, so that what a moving caster draws over can be put back
// next frame without drawing the still casters again ("save under", as sprites once did). The
// store is one 2D depth texture of kShadowDepthFormat; it owns that texture.
class SaveUnder {
 public:
  // Texels: a face wide, and room for two faces' worth of blocks (8 MiB).
  static constexpr int kStoreWidth = 1024;
  static constexpr int kStoreHeight = 2048;

  SaveUnder() = default;
  ~SaveUnder();
  SaveUnder(const SaveUnder&) = delete;
  SaveUnder& operator=(const SaveUnder&) = delete;
  // Deletes the store now (while the context is current).
  void release();

  // Copies the blocks of the map into the store. False, with nothing kept, when they do not all
  // fit or a copy would fail (a map not of kShadowDepthFormat, a block outside the map); the
  // caller then has to draw the whole map again next time. GL errors are left where they are.
  bool save(GLuint mapTexture, GLenum mapTarget, const std::vector<TexelRect>& blocks);
  // Copies the kept blocks back into the map they came from and forgets them. False when the
  // copies could not be made (another map): the map then has to be drawn whole.
  bool restore(GLuint mapTexture, GLenum mapTarget);
  void forget() { kept.clear(); }
  size_t keptBlocks() const { return kept.size(); }

 private:
  struct Kept {
    TexelRect from;
    int storeX = 0, storeY = 0;
  };
  GLuint store = 0;
  std::vector<Kept> kept;
};
