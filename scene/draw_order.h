#pragma once
#include <glm/glm.hpp>
#include <vector>

#include "render/frustum.h"

// The order of the scene's opaque draws in optimised frames: near to far, so that the software
// rasteriser, which tests depth before it shades, shades what is in front first and skips most of
// what lies behind it. The all-drawn frames keep the level's own order, and the two must give the
// same picture to the byte.
//
// Why a new order cannot change a pixel: every draw this orders writes opaque colour (alpha 1)
// with the depth test "less" and depth writes on, and draws from its own binds and uniforms alone.
// Each sample then ends with the colour of the nearest fragment drawn there, whatever the order,
// unless two fragments have the same depth: the earlier one wins that tie. Two fragments at one
// sample lie on one ray from the eye, so equal depths need two surface points closer together than
// a depth step (at the far plane, 100 units, a 24-bit step is under 0.01 units). Two objects whose
// boxes are more than `kTieMargin` apart can never tie; objects closer than that keep their order.
struct WorldBox {
  glm::vec3 min{0.0f};
  glm::vec3 max{0.0f};
};

// The axis-aligned world box around an object's local box placed by its model matrix.
WorldBox worldBoxOf(const BoundingSphere& localBounds, const glm::mat4& modelMatrix);

// World units: ten times what a tie needs at the far plane, rounding of the interpolated depth and
// a box's own rounding included.
constexpr float kTieMargin = 0.1f;

// The drawing order of `boxes` (given in the level's order): nearest box first by its distance
// from `eye`, except that two boxes less than `margin` apart are drawn in their given order. Equal
// distances keep the given order. Returns indices into `boxes`.
std::vector<int> nearToFarOrder(const std::vector<WorldBox>& boxes, const glm::vec3& eye, float margin = kTieMargin);

// Whether the scene pass orders its draws, and from where; the frame sets it before the scene.
struct SceneDrawOrder {
  bool nearToFar = false;  // optimised frames only
  glm::vec3 eye{0.0f};
};
extern SceneDrawOrder sceneDrawOrder;
