#include "render/shadow_survey.h"

#include "render/view_culling.h"

ShadowSurvey shadowSurvey;

namespace {

// FNV-1a over the bytes of a value.
void fold(std::uint64_t& hash, const void* data, std::size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  for (std::size_t i = 0; i < size; ++i) hash = (hash ^ bytes[i]) * 1099511628211ull;
}

}  // namespace

void ShadowSurvey::begin(ViewCulling& culling) {
  surveying = true;
  signature = 14695981039346656037ull;
  found.clear();
  skippedBefore = culling.skippedObjects;
}

std::uint64_t ShadowSurvey::end(ViewCulling& culling) {
  surveying = false;
  culling.skippedObjects = skippedBefore;  // nothing was really left out
  return signature;
}

void ShadowSurvey::record(const BoundingSphere& localBounds, const glm::mat4& modelMatrix) {
  found.push_back(worldBoxCorners(localBounds, modelMatrix));
  fold(signature, &localBounds, sizeof(localBounds));
  fold(signature, &modelMatrix, sizeof(modelMatrix));
}
