#include "physics/player_controller.h"

#include "physics/bullet_scene.h"

struct PlayerController::Native {};

PlayerController::PlayerController(PhysicsWorld& w, const PlayerControllerDesc& desc)
    : upDirection(desc.upDirection),
      slopeLimit(desc.slopeLimit),
      contactOffset(desc.contactOffset),
      stepOffset(desc.stepOffset),
      density(desc.density),
      scaleCoeff(desc.scaleCoeff),
      native(std::make_unique<Native>()),
      world(w),
      position(desc.position),
      radius(desc.radius),
      height(desc.height) {}

PlayerController::~PlayerController() = default;

std::uint8_t PlayerController::move(const glm::vec3& displacement, float, float) {
  position += glm::dvec3(displacement);
  return 0;
}

glm::dvec3 PlayerController::getPosition() const { return position; }

bool PlayerController::setPosition(const glm::dvec3& p) {
  position = p;
  return true;
}

glm::dvec3 PlayerController::getFootPosition() const {
  return position - glm::dvec3(upDirection) * double(height * 0.5f + radius);
}

void PlayerController::resize(float h) {
  position += glm::dvec3(upDirection) * double((h - height) * 0.5f);
  height = h;
}

PlayerController* createPlayerController(PhysicsWorld& world, const PlayerControllerDesc& desc) {
  delete world.playerController;
  world.playerController = new PlayerController(world, desc);
  return world.playerController;
}
