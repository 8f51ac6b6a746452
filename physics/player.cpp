#include <cmath>

#include "physics/physics_world.h"
#include "physics/player_controller.h"

glm::vec3 moveAxes{0.0f};
bool jumpHeld = false;

namespace {

constexpr float kMinMoveDistance = 0.005f;  // world units
constexpr float kGroundedVelocity = -9.0f;  // world units per second, presses the player onto the ground
constexpr float kJumpVelocity = 25.0f;      // world units per second, rises about 4.48 units
constexpr float kFlyingSpeed = 25.0f;       // world units per second, debug flying up or down

}  // namespace

void PhysicsWorld::movePlayer(glm::vec3 axes, float mode, float dt) {
  if (!playerController) return;
  // A frame whose length is not a number would poison the vertical velocity for good, and one of
  // negative length would move the player backwards and undo the fall: skip it, as the simulation
  // step does.
  if (!std::isfinite(dt) || dt < 0.0f) return;
  // World x and z, not normalised: a diagonal is sqrt(2) times as fast.
  glm::vec3 velocity = axes * moveSpeed;
  if (mode == 0.0f) {
    // On the ground the new vertical velocity acts from the next frame: this frame moves only
    // sideways. A jump therefore starts on the first frame that finds no ground under the step,
    // which walking does now and then as the ground is exactly at the down pass's reach.
    if (lastCollisionFlags & kCollisionDown) {
      verticalVelocity = jumpHeld ? kJumpVelocity : kGroundedVelocity;
    } else {
      verticalVelocity += gravity.y * dt;
      velocity.y = verticalVelocity;
    }
    lastCollisionFlags = playerController->move(velocity * dt, kMinMoveDistance, dt);
  } else {
    velocity.y = jumpHeld ? kFlyingSpeed : -kFlyingSpeed;
    playerController->move(velocity * dt, kMinMoveDistance, dt);
  }
}
