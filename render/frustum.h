#pragma once
#include <array>
#include <cstddef>
#include <glm/glm.hpp>

// A sphere around an object's vertices, in the object's own space until transformed; a negative
// radius means there is nothing to bound.
struct BoundingSphere {
  glm::vec3 centre{0.0f};
  float radius = -1.0f;  // world units once transformed
  // Half the size of the box of points the sphere was made from, in the object's space; zero when
  // the sphere was given as such, and its box is then the cube around it.
  glm::vec3 halfSize{0.0f};
};

// The eight corners of an object's box (local bounds) placed in the world by its model matrix.
std::array<glm::vec3, 8> worldBoxCorners(const BoundingSphere& local, const glm::mat4& modelMatrix);

// Centre of the points' box and the largest distance from it: not the tightest sphere, but made
// in one pass and never too small.
BoundingSphere boundingSphereOf(const glm::vec3* points, std::size_t count, std::size_t stride = sizeof(glm::vec3));
// The bounds of a mesh whose vertices a shader moves along its own y by up to `lift` either way:
// the box grows by it along y, the sphere by as much (a moved vertex is at most that much farther).
BoundingSphere liftedBounds(const BoundingSphere& flat, float lift);
// The sphere after modelMatrix; a scaled or sheared matrix widens it by its largest axis.
BoundingSphere transformSphere(const BoundingSphere& local, const glm::mat4& modelMatrix);

// A convex volume of six planes, inside where a x + b y + c z + d >= 0. Made from a projection x
// view matrix (perspective or orthographic) or as the cube that a point light's six 90-degree
// faces cover together.
class Frustum {
 public:
  static Frustum fromMatrix(const glm::mat4& viewProjection);
  static Frustum aroundPoint(const glm::vec3& centre, float halfExtent);

  // False only when the sphere lies wholly outside one plane: such an object cannot reach a pixel
  // of the volume. Spheres near a corner may pass although they miss; that only costs a draw.
  bool touches(const BoundingSphere& worldSphere) const;

  std::array<glm::vec4, 6> planes{};  // normals of unit length
};
