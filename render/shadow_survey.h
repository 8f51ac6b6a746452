#pragma once
#include <array>
#include <cstdint>
#include <glm/glm.hpp>
#include <vector>

#include "render/frustum.h"

class ViewCulling;

// A survey runs a shadow pass's draws without drawing: view culling (view_culling.h) reports every
// object hidden and folds each one inside its volume into a signature of what the pass would draw
// (its bounds and model matrix). Two surveys of one volume with equal signatures mean the pass
// would draw the same map, which the shadow maps use to keep what they drew.
class ShadowSurvey {
 public:
  // The objects the survey reports hidden are not really left out: `culling`'s count of skipped
  // objects is put back at the end.
  void begin(ViewCulling& culling);
  std::uint64_t end(ViewCulling& culling);
  bool active() const { return surveying; }
  // Called by view culling for each object inside the volume.
  void record(const BoundingSphere& localBounds, const glm::mat4& modelMatrix);
  // The world boxes of the objects the last survey found inside its volume.
  const std::vector<std::array<glm::vec3, 8>>& boxes() const { return found; }

 private:
  bool surveying = false;
  long long skippedBefore = 0;
  std::uint64_t signature = 0;
  std::vector<std::array<glm::vec3, 8>> found;
};

extern ShadowSurvey shadowSurvey;
