#include "render/frustum.h"

#include <algorithm>
#include <cmath>

BoundingSphere boundingSphereOf(const glm::vec3* points, std::size_t count, std::size_t stride) {
  BoundingSphere sphere;
  if (!points || count == 0) return sphere;
  auto at = [&](std::size_t i) {
    return *reinterpret_cast<const glm::vec3*>(reinterpret_cast<const unsigned char*>(points) + i * stride);
  };
  glm::vec3 low = at(0), high = at(0);
  for (std::size_t i = 1; i < count; ++i) {
    low = glm::min(low, at(i));
    high = glm::max(high, at(i));
  }
  sphere.centre = 0.5f * (low + high);
  sphere.halfSize = 0.5f * (high - low);
  float farthest = 0.0f;
  for (std::size_t i = 0; i < count; ++i) farthest = std::max(farthest, glm::distance(sphere.centre, at(i)));
  // Rounding could leave a vertex a hair outside; a slightly larger sphere only costs a draw.
  sphere.radius = farthest * 1.0001f + 1e-4f;
  return sphere;
}

BoundingSphere liftedBounds(const BoundingSphere& flat, float lift) {
  if (flat.radius < 0.0f) return flat;  // nothing to bound
  BoundingSphere lifted = flat;
  lifted.halfSize.y += lift;
  lifted.radius += lift;
  return lifted;
}

BoundingSphere transformSphere(const BoundingSphere& local, const glm::mat4& modelMatrix) {
  BoundingSphere world;
  world.centre = glm::vec3(modelMatrix * glm::vec4(local.centre, 1.0f));
  const float scale = std::max({glm::length(glm::vec3(modelMatrix[0])), glm::length(glm::vec3(modelMatrix[1])),
                                glm::length(glm::vec3(modelMatrix[2]))});
  // A shear can stretch a direction beyond every column's length; the sum of the three bounds it.
  const float shearBound = glm::length(glm::vec3(modelMatrix[0])) + glm::length(glm::vec3(modelMatrix[1])) +
                           glm::length(glm::vec3(modelMatrix[2]));
  const glm::mat3 m(modelMatrix);
  const bool orthogonal =
      std::fabs(glm::dot(m[0], m[1])) + std::fabs(glm::dot(m[0], m[2])) + std::fabs(glm::dot(m[1], m[2])) <=
      1e-4f * scale * scale;
  // Float rounding of the moved vertices grows with their distance from the origin.
  const float slack = 1e-5f * glm::length(world.centre) + 1e-4f;
  world.radius =
      local.radius < 0.0f ? local.radius : local.radius * (orthogonal ? scale : shearBound) * 1.0001f + slack;
  return world;
}

std::array<glm::vec3, 8> worldBoxCorners(const BoundingSphere& local, const glm::mat4& modelMatrix) {
  const bool hasBox = local.halfSize != glm::vec3(0.0f);
  const glm::vec3 half = hasBox ? local.halfSize : glm::vec3(std::max(local.radius, 0.0f));
  std::array<glm::vec3, 8> corners;
  for (int c = 0; c < 8; ++c) {
    const glm::vec3 sign((c & 1) ? 1.0f : -1.0f, (c & 2) ? 1.0f : -1.0f, (c & 4) ? 1.0f : -1.0f);
    corners[static_cast<size_t>(c)] = glm::vec3(modelMatrix * glm::vec4(local.centre + sign * half, 1.0f));
  }
  return corners;
}

Frustum Frustum::fromMatrix(const glm::mat4& m) {
  // Rows of the matrix: clip x, y, z against w give the six planes in world space.
  const glm::vec4 row0(m[0][0], m[1][0], m[2][0], m[3][0]);
  const glm::vec4 row1(m[0][1], m[1][1], m[2][1], m[3][1]);
  const glm::vec4 row2(m[0][2], m[1][2], m[2][2], m[3][2]);
  const glm::vec4 row3(m[0][3], m[1][3], m[2][3], m[3][3]);
  Frustum f;
  f.planes = {row3 + row0, row3 - row0, row3 + row1, row3 - row1, row3 + row2, row3 - row2};
  for (glm::vec4& p : f.planes) {
    const float length = glm::length(glm::vec3(p));
    if (length > 0.0f) p /= length;
  }
  return f;
}

Frustum Frustum::aroundPoint(const glm::vec3& c, float h) {
  Frustum f;
  f.planes = {glm::vec4(1, 0, 0, h - c.x),  glm::vec4(-1, 0, 0, h + c.x), glm::vec4(0, 1, 0, h - c.y),
              glm::vec4(0, -1, 0, h + c.y), glm::vec4(0, 0, 1, h - c.z),  glm::vec4(0, 0, -1, h + c.z)};
  return f;
}

bool Frustum::touches(const BoundingSphere& s) const {
  if (s.radius < 0.0f) return false;  // nothing to draw
  // NaN positions compare false and keep the object: better drawn than lost.
  for (const glm::vec4& p : planes)
    if (glm::dot(glm::vec3(p), s.centre) + p.w < -s.radius) return false;
  return true;
}
