#include "scene/draw_order.h"

#include <algorithm>
#include <limits>

SceneDrawOrder sceneDrawOrder;

WorldBox worldBoxOf(const BoundingSphere& localBounds, const glm::mat4& modelMatrix) {
  const std::array<glm::vec3, 8> corners = worldBoxCorners(localBounds, modelMatrix);
  WorldBox box{corners[0], corners[0]};
  for (const glm::vec3& c : corners) {
    box.min = glm::min(box.min, c);
    box.max = glm::max(box.max, c);
  }
  return box;
}

namespace {

// Closer than `margin` on every axis: the two could share a point, or nearly.
bool near(const WorldBox& a, const WorldBox& b, float margin) {
  for (int axis = 0; axis < 3; ++axis)
    if (a.min[axis] > b.max[axis] + margin || b.min[axis] > a.max[axis] + margin) return false;
  return true;
}

float distanceFrom(const WorldBox& box, const glm::vec3& eye) {
  return glm::length(glm::max(glm::max(box.min - eye, eye - box.max), glm::vec3(0.0f)));
}

}  // namespace

std::vector<int> nearToFarOrder(const std::vector<WorldBox>& boxes, const glm::vec3& eye, float margin) {
  const int n = static_cast<int>(boxes.size());
  std::vector<float> distance(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) distance[static_cast<size_t>(i)] = distanceFrom(boxes[static_cast<size_t>(i)], eye);
  // waiting[i]: how many earlier boxes near box i are not drawn yet; i may go once it is 0.
  std::vector<int> waiting(static_cast<size_t>(n), 0);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < i; ++j)
      if (near(boxes[static_cast<size_t>(i)], boxes[static_cast<size_t>(j)], margin)) ++waiting[static_cast<size_t>(i)];

  std::vector<int> order;
  order.reserve(static_cast<size_t>(n));
  std::vector<bool> drawn(static_cast<size_t>(n), false);
  for (int step = 0; step < n; ++step) {
    int next = -1;
    for (int i = 0; i < n; ++i) {
      if (drawn[static_cast<size_t>(i)] || waiting[static_cast<size_t>(i)] > 0) continue;
      if (next < 0 || distance[static_cast<size_t>(i)] < distance[static_cast<size_t>(next)]) next = i;
    }
    // The earliest box not drawn has nothing earlier to wait for, so some box is always free.
    drawn[static_cast<size_t>(next)] = true;
    order.push_back(next);
    for (int i = next + 1; i < n; ++i)
      if (!drawn[static_cast<size_t>(i)] &&
          near(boxes[static_cast<size_t>(i)], boxes[static_cast<size_t>(next)], margin))
        --waiting[static_cast<size_t>(i)];
  }
  return order;
}
