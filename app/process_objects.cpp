#include "app/process_objects.h"

#include <cmath>

namespace {

PlayerControllerDesc makePlayerControllerDesc() {
  PlayerControllerDesc desc;
  desc.position = startPosition;
  desc.upDirection = glm::vec3(0.0f, 1.0f, 0.0f);
  desc.slopeLimit = std::cos(0.7853982f);  // 45 degrees
  desc.contactOffset = 0.05f;
  desc.stepOffset = 0.01f;
  desc.density = 10.0f;
  desc.scaleCoeff = 0.8f;
  desc.radius = 1.0f;
  desc.height = 1.0f;  // the capsule is 3 units from end to end
  return desc;
}

}  // namespace

// Declaration order is construction order; destruction runs the other way round.
PhysicsWorld physicsWorld;
const glm::dvec3 startPosition{0.0, 120.0, 0.0};
PlayerControllerDesc playerControllerDesc = makePlayerControllerDesc();
PlayerController* playerController = createPlayerController(physicsWorld, playerControllerDesc);
Level level;
