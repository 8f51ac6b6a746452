#include "physics/player_controller.h"

#include <BulletCollision/CollisionShapes/btCapsuleShape.h>

#include <cmath>

#include "physics/bullet_scene.h"
#include "physics/capsule_mover.h"
#include "physics/capsule_queries.h"

// The controller's engine side: the queries the capsule makes, the mover that makes its moves
// (and remembers what it stands on), and the kinematic stand-in body that loose bodies collide with.
struct PlayerController::Native {
  Native(btDiscreteDynamicsWorld& world, const PlayerControllerDesc& desc)
      : world(world),
        queries(world, desc.radius, desc.height, desc.contactOffset),
        mover(queries, CapsuleMoveRules{glm::normalize(desc.upDirection), desc.contactOffset, desc.slopeLimit}) {}

  btDiscreteDynamicsWorld& world;
  CapsuleQueries queries;
  CapsuleMover mover;
  std::unique_ptr<btCapsuleShape> actorShape;  // the scaled capsule of the stand-in body
  std::unique_ptr<btRigidBody> actor;          // kinematic stand-in that loose bodies hit
};

PlayerController::PlayerController(PhysicsWorld& w, const PlayerControllerDesc& desc)
    : upDirection(glm::normalize(desc.upDirection)),
      slopeLimit(desc.slopeLimit),
      contactOffset(desc.contactOffset),
      stepOffset(desc.stepOffset),
      density(desc.density),
      scaleCoeff(desc.scaleCoeff),
      native(std::make_unique<Native>(w.scene->world, desc)),
      world(w),
      position(desc.position),
      radius(desc.radius),
      height(desc.height) {
  // The stand-in body: a smaller capsule (0.8 of the size), kinematic, so the simulation reads its
  // speed from the moves and pushes loose bodies with it, and nothing ever pushes it. The density
  // never enters the solver: an immovable body has no mass there.
  native->actorShape = std::make_unique<btCapsuleShape>(radius * scaleCoeff, height * scaleCoeff);
  btRigidBody::btRigidBodyConstructionInfo info(0.0f, nullptr, native->actorShape.get());
  info.m_startWorldTransform = native->queries.transformAt(position);
  info.m_friction = world.defaultFriction;
  info.m_restitution = world.defaultRestitution;
  native->actor = std::make_unique<btRigidBody>(info);
  native->actor->setCollisionFlags(native->actor->getCollisionFlags() | btCollisionObject::CF_KINEMATIC_OBJECT |
                                   btCollisionObject::CF_CUSTOM_MATERIAL_CALLBACK);
  native->actor->setActivationState(DISABLE_DEACTIVATION);
  native->world.addRigidBody(native->actor.get());
  native->queries.exclude(native->actor.get());
}

PlayerController::~PlayerController() {
  if (native->actor) native->world.removeRigidBody(native->actor.get());
}

glm::dvec3 PlayerController::getPosition() const { return position; }

bool PlayerController::setPosition(const glm::dvec3& p) {
  position = p;
  // A teleport moves the stand-in body like any move: the next step sees it as one fast motion.
  native->actor->setWorldTransform(native->queries.transformAt(position));
  return true;
}

glm::dvec3 PlayerController::getFootPosition() const {
  return position - glm::dvec3(upDirection) * double(contactOffset + radius + height * 0.5f);
}

void PlayerController::resize(float newHeight) {
  const glm::dvec3 foot = getFootPosition();
  height = newHeight;
  native->queries.resize(height);
  // The stand-in's shape changes size: it leaves and re-joins the world so its bounds are redone.
  native->world.removeRigidBody(native->actor.get());
  native->actorShape = std::make_unique<btCapsuleShape>(radius * scaleCoeff, height * scaleCoeff);
  native->actor->setCollisionShape(native->actorShape.get());
  native->world.addRigidBody(native->actor.get());
  setPosition(foot + glm::dvec3(upDirection) * double(contactOffset + radius + height * 0.5f));
}

std::uint8_t PlayerController::move(const glm::vec3& displacement, float minDistance, float /*elapsedTime*/) {
  if (!finite(displacement)) return 0;
  // Bodies have moved in the last step; the queries must see them where they are now.
  native->world.updateAabbs();
  glm::dvec3 afterRiding(0.0);
  const std::uint8_t flags = native->mover.move(position, displacement, minDistance, stepOffset, &afterRiding);
  // The stand-in follows the passes; a lift by riding alone waits for the next move.
  if (position != afterRiding) native->actor->setWorldTransform(native->queries.transformAt(position));
  return flags;
}

PlayerController* createPlayerController(PhysicsWorld& world, const PlayerControllerDesc& desc) {
  // One controller per world: a second creation replaces the first.
  delete world.playerController;
  world.playerController = new PlayerController(world, desc);
  return world.playerController;
}
