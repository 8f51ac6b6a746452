// The model import on arbitrary bytes as an OBJ file, through the game's Assimp flags and its mesh
// conversion: every converted mesh must be drawable as it is uploaded.
#include <assimp/scene.h>

#include <assimp/Importer.hpp>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "render/model.h"

namespace {

void checkMesh(const Mesh& mesh) {
  if (mesh.indices.size() % 3 != 0) std::abort();
  for (unsigned index : mesh.indices)
    if (index >= mesh.vertices.size()) std::abort();
  for (const MeshVertex& vertex : mesh.vertices) {
    const float length = glm::length(vertex.normal);
    if (!std::isfinite(length) || length == 0.0f) std::abort();
  }
}

// The same walk as the model's: node transforms ignored, mesh indices checked.
void walk(const aiNode* node, const aiScene* scene, int depth) {
  if (depth > 1000) return;
  for (unsigned i = 0; i < node->mNumMeshes; ++i)
    if (node->mMeshes[i] < scene->mNumMeshes) checkMesh(convertMesh(scene->mMeshes[node->mMeshes[i]]));
  for (unsigned i = 0; i < node->mNumChildren; ++i) walk(node->mChildren[i], scene, depth + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // One importer for the whole run: making one registers every format and costs far more than a
  // small import. Each read frees the previous scene.
  static Assimp::Importer importer;
  const aiScene* scene = importer.ReadFileFromMemory(data, size, kModelImportFlags, "obj");
  if (!scene || (scene->mFlags & AI_SCENE_FLAGS_INCOMPLETE) || !scene->mRootNode) return 0;
  walk(scene->mRootNode, scene, 0);
  return 0;
}
