#include "physics/player_controller.h"

#include <BulletCollision/CollisionShapes/btCapsuleShape.h>

#include <algorithm>
#include <cmath>

#include "physics/bullet_scene.h"

namespace {

// Sweeps per collide-and-slide pass; a corner seldom needs more than three.
constexpr int kMaxSweeps = 10;
// Overlap recovery pushes per move; each one removes the deepest penetration left.
constexpr int kMaxRecoveryPushes = 4;
// The engine's sweep stops a hair before the true contact (conservative advancement, about a
// thousandth of a unit); this much extra reach keeps a capsule resting at the contact offset
// from losing the ground it stands on. World units.
constexpr float kSweepSlack = 0.002f;
// Length of the ray that reads the face under a sweep's hit point, either side, world units.
constexpr float kFaceProbe = 0.05f;
// How far below a side contact that ray runs, world units.
constexpr float kFaceProbeDrop = 0.005f;
// Penetrations shallower than this are left alone; deeper ones are pushed out this far past
// the surface. World units.
constexpr float kRecoveryTolerance = 0.001f;
// Faces this close to the slope limit (cosine) count as walkable: a 45-degree ramp stays one.
constexpr float kSlopeTolerance = 1e-4f;

enum class Pass { Up, Side, Down };

// The closest surface a sweep reaches, ignoring the player's own body and surfaces that the
// capsule is moving away from (a touching floor must not block a move upwards or along it).
class SweepCallback : public btCollisionWorld::ClosestConvexResultCallback {
 public:
  SweepCallback(const btCollisionObject* self, const btVector3& direction)
      : ClosestConvexResultCallback(btVector3(0, 0, 0), btVector3(0, 0, 0)), self(self), direction(direction) {}

  bool needsCollision(btBroadphaseProxy* proxy) const override {
    if (proxy->m_clientObject == self) return false;
    return ClosestConvexResultCallback::needsCollision(proxy);
  }

  btScalar addSingleResult(btCollisionWorld::LocalConvexResult& result, bool normalInWorldSpace) override {
    const btVector3 normal =
        normalInWorldSpace ? result.m_hitNormalLocal
                           : result.m_hitCollisionObject->getWorldTransform().getBasis() * result.m_hitNormalLocal;
    if (normal.dot(direction) >= 0) return m_closestHitFraction;
    return ClosestConvexResultCallback::addSingleResult(result, normalInWorldSpace);
  }

 private:
  const btCollisionObject* self;
  btVector3 direction;
};

// Finds the deepest penetration of the probe capsule and the way out of it.
class OverlapCallback : public btCollisionWorld::ContactResultCallback {
 public:
  OverlapCallback(const btCollisionObject* probe, const btCollisionObject* self) : probe(probe), self(self) {}

  bool needsCollision(btBroadphaseProxy* proxy) const override {
    if (proxy->m_clientObject == self) return false;
    const auto* object = static_cast<const btCollisionObject*>(proxy->m_clientObject);
    if (!object->hasContactResponse()) return false;
    return ContactResultCallback::needsCollision(proxy);
  }

  btScalar addSingleResult(btManifoldPoint& point, const btCollisionObjectWrapper* a, int, int,
                           const btCollisionObjectWrapper*, int, int) override {
    const float distance = point.getDistance();
    if (distance >= deepest) return 0;
    deepest = distance;
    // The normal points from the second object towards the first.
    outward = a->getCollisionObject() == probe ? point.m_normalWorldOnB : -point.m_normalWorldOnB;
    return 0;
  }

  float deepest = 0.0f;  // world units, negative inside
  btVector3 outward{0, 0, 0};

 private:
  const btCollisionObject* probe;
  const btCollisionObject* self;
};

bool isStaticBody(const btCollisionObject* object) { return object->isStaticObject() && !object->isKinematicObject(); }

}  // namespace

struct PlayerController::Native {
  btDiscreteDynamicsWorld* world = nullptr;
  std::unique_ptr<btCapsuleShape> shape;       // the controller's own capsule, for the queries
  btCollisionObject probe;                     // that capsule for contact queries; not in the world
  std::unique_ptr<btCapsuleShape> actorShape;  // the scaled capsule of the body below
  std::unique_ptr<btRigidBody> actor;          // kinematic stand-in that loose bodies hit

  // What the latest pass hit, for the slope check of the down pass.
  struct Hit {
    bool hit = false;
    glm::vec3 normal{0.0f};
    glm::vec3 point{0.0f};
    const btCollisionObject* object = nullptr;
    float distance = 0.0f;  // world units along the sweep
  };

  btTransform transformAt(const glm::dvec3& centre) const {
    // The engine's capsule stands along y, the game's up direction.
    return btTransform(btQuaternion::getIdentity(),
                       btVector3(btScalar(centre.x), btScalar(centre.y), btScalar(centre.z)));
  }

  Hit sweep(const glm::dvec3& from, const glm::vec3& direction, float length) const {
    Hit hit;
    const btVector3 dir = toBt(direction);
    SweepCallback callback(actor.get(), dir);
    const btTransform start = transformAt(from);
    btTransform end = start;
    end.setOrigin(start.getOrigin() + dir * length);
    world->convexSweepTest(shape.get(), start, end, callback);
    if (!callback.hasHit()) return hit;
    hit.hit = true;
    hit.normal = glm::normalize(toGlm(callback.m_hitNormalWorld));
    hit.point = toGlm(callback.m_hitPointWorld);
    hit.object = callback.m_hitCollisionObject;
    hit.distance = callback.m_closestHitFraction * length;
    return hit;
  }

  // The normal of the face under a sweep's hit: the sweep reports the normal at the capsule's
  // round surface, which on an edge lies between the two faces.
  glm::vec3 faceNormal(const Hit& hit) const {
    return probeFace(hit, hit.point + hit.normal * kFaceProbe, hit.point - hit.normal * kFaceProbe);
  }

  // The face met from the side: a level ray aimed into the surface just below the contact, which
  // on a ledge finds the riser rather than the tread.
  glm::vec3 sideFaceNormal(const Hit& hit, const glm::vec3& up) const {
    glm::vec3 inward = -(hit.normal - up * glm::dot(hit.normal, up));
    const float inwardLength = glm::length(inward);
    if (inwardLength < 1e-4f) return hit.normal;
    inward /= inwardLength;
    const glm::vec3 below = hit.point - up * kFaceProbeDrop;
    return probeFace(hit, below - inward * kFaceProbe, below + inward * kFaceProbe);
  }

  glm::vec3 probeFace(const Hit& hit, const glm::vec3& fromPoint, const glm::vec3& toPoint) const {
    const btVector3 from = toBt(fromPoint), to = toBt(toPoint);
    btCollisionWorld::ClosestRayResultCallback ray(from, to);
    world->rayTest(from, to, ray);
    if (ray.hasHit() && ray.m_collisionObject == hit.object) return glm::normalize(toGlm(ray.m_hitNormalWorld));
    return hit.normal;
  }
};

namespace {

using Hit = PlayerController::Native::Hit;

// How one pass treats what it hits.
struct PassRules {
  int maxSweeps = kMaxSweeps;
  float minDistance = 0.0f;    // world units
  float contactOffset = 0.0f;  // world units
  glm::vec3 up{0.0f, 1.0f, 0.0f};
  bool flattenAll = false;       // slide only sideways along whatever is hit
  bool blockSteepSteps = false;  // side pass: faces too steep to stand on, above a step, are walls
  float footHeight = 0.0f;       // world units along up, the foot before the move
  float stepOffset = 0.0f;       // world units
  float slopeLimit = 0.0f;       // cosine
  bool stopOnGround = false;     // down pass: ground it can stand on ends the pass, no sliding
};

// One collide-and-slide pass: sweep the rest of the way, stop short of what is hit by the contact
// offset, turn the rest of the way along the surface and go on, at most maxSweeps times. Stops once
// minDistance or less is left or the way turns against the original direction. Returns whether
// anything was hit; firstHit receives the first contact, blockedStep whether a step was refused.
bool slidePass(const PlayerController::Native& native, glm::dvec3& position, const glm::vec3& motion,
               const PassRules& rules, Hit* firstHit, bool* blockedStep = nullptr) {
  const float motionLength = glm::length(motion);
  if (motionLength <= 0.0f) return false;
  const glm::vec3 original = motion / motionLength;
  glm::dvec3 target = position + glm::dvec3(motion);
  bool collided = false;
  for (int sweep = 0; sweep < rules.maxSweeps; ++sweep) {
    glm::vec3 direction = glm::vec3(target - position);
    const float length = glm::length(direction);
    if (length <= rules.minDistance) break;
    direction /= length;
    // Against the original way: a corner would make it jitter back and forth.
    if (glm::dot(direction, original) <= 0.0f) break;
    const Hit hit = native.sweep(position, direction, length + rules.contactOffset + kSweepSlack);
    if (!hit.hit) {
      position = target;
      break;
    }
    if (!collided && firstHit) *firstHit = hit;
    collided = true;
    const float advance = std::min(hit.distance - rules.contactOffset, length);
    if (advance > 0.0f) position += glm::dvec3(direction * advance);

    // Standing is not sliding: a capsule that comes down on ground it may stand on stays where it
    // touched, on a steep kinematic ramp as on flat ground. Only static faces steeper than the
    // slope limit let it slide on down.
    if (rules.stopOnGround) {
      const bool walkable = isStaticBody(hit.object)
                                ? glm::dot(native.faceNormal(hit), rules.up) >= rules.slopeLimit - kSlopeTolerance
                                : glm::dot(hit.normal, rules.up) > 0.0f;
      if (walkable) break;
    }

    // The round bottom would ride up any edge it meets; only ledges up to the step offset and
    // faces gentle enough to stand on may lift the capsule.
    bool flatten = rules.flattenAll;
    if (!flatten && rules.blockSteepSteps && glm::dot(hit.point, rules.up) - rules.footHeight > rules.stepOffset) {
      flatten = glm::dot(native.sideFaceNormal(hit, rules.up), rules.up) < rules.slopeLimit;
      if (flatten && blockedStep) *blockedStep = true;
    }
    glm::vec3 normal = hit.normal;
    if (flatten) {
      normal -= rules.up * glm::dot(normal, rules.up);
      const float normalLength = glm::length(normal);
      if (normalLength < 1e-4f) break;
      normal /= normalLength;
    }
    const float remaining = glm::length(glm::vec3(target - position));
    const glm::vec3 tangent = direction - normal * glm::dot(direction, normal);
    target = position + glm::dvec3(tangent * remaining);
  }
  return collided;
}

}  // namespace

PlayerController::PlayerController(PhysicsWorld& w, const PlayerControllerDesc& desc)
    : upDirection(glm::normalize(desc.upDirection)),
      slopeLimit(desc.slopeLimit),
      contactOffset(desc.contactOffset),
      stepOffset(desc.stepOffset),
      density(desc.density),
      scaleCoeff(desc.scaleCoeff),
      native(std::make_unique<Native>()),
      world(w),
      position(desc.position),
      radius(desc.radius),
      height(desc.height) {
  native->world = &world.scene->world;
  native->shape = std::make_unique<btCapsuleShape>(radius, height);
  native->probe.setCollisionShape(native->shape.get());
  native->probe.setWorldTransform(native->transformAt(position));

  native->actorShape = std::make_unique<btCapsuleShape>(radius * scaleCoeff, height * scaleCoeff);
  btRigidBody::btRigidBodyConstructionInfo info(0.0f, nullptr, native->actorShape.get());
  info.m_startWorldTransform = native->transformAt(position);
  info.m_friction = world.defaultFriction;
  info.m_restitution = world.defaultRestitution;
  native->actor = std::make_unique<btRigidBody>(info);
  // Kinematic: the simulation reads its speed from the moves but never pushes it, so the density
  // never enters the solver (an immovable body has no mass there).
  native->actor->setCollisionFlags(native->actor->getCollisionFlags() | btCollisionObject::CF_KINEMATIC_OBJECT |
                                   btCollisionObject::CF_CUSTOM_MATERIAL_CALLBACK);
  native->actor->setActivationState(DISABLE_DEACTIVATION);
  native->world->addRigidBody(native->actor.get());
}

PlayerController::~PlayerController() {
  if (native->actor && native->world) native->world->removeRigidBody(native->actor.get());
}

glm::dvec3 PlayerController::getPosition() const { return position; }

bool PlayerController::setPosition(const glm::dvec3& p) {
  position = p;
  // A teleport, not a motion: the simulation must not see a speed from it.
  const btTransform t = native->transformAt(position);
  native->actor->setWorldTransform(t);
  native->actor->setInterpolationWorldTransform(t);
  native->probe.setWorldTransform(t);
  return true;
}

glm::dvec3 PlayerController::getFootPosition() const {
  return position - glm::dvec3(upDirection) * double(height * 0.5f + radius);
}

void PlayerController::resize(float newHeight) {
  const glm::dvec3 foot = getFootPosition();
  height = newHeight;
  native->shape = std::make_unique<btCapsuleShape>(radius, height);
  native->probe.setCollisionShape(native->shape.get());
  // The actor's shape changes size: it leaves and re-joins the world so its bounds are redone.
  native->world->removeRigidBody(native->actor.get());
  native->actorShape = std::make_unique<btCapsuleShape>(radius * scaleCoeff, height * scaleCoeff);
  native->actor->setCollisionShape(native->actorShape.get());
  native->world->addRigidBody(native->actor.get());
  setPosition(foot + glm::dvec3(upDirection) * double(height * 0.5f + radius));
}

void PlayerController::recoverFromOverlap() {
  for (int push = 0; push < kMaxRecoveryPushes; ++push) {
    native->probe.setWorldTransform(native->transformAt(position));
    OverlapCallback overlap(&native->probe, native->actor.get());
    native->world->contactTest(&native->probe, overlap);
    if (overlap.deepest > -kRecoveryTolerance) break;
    position += glm::dvec3(toGlm(overlap.outward) * (kRecoveryTolerance - overlap.deepest));
  }
}

std::uint8_t PlayerController::moveOnce(const glm::vec3& displacement, float minDistance, Redo mode, Redo* redo) {
  const bool stepUp = mode == Redo::none;
  const glm::dvec3 startFoot = getFootPosition();
  const float rise = glm::dot(displacement, upDirection);
  const glm::vec3 side = displacement - upDirection * rise;
  const bool hasSide = glm::length(side) > 1e-6f;
  // Side motion lifts the capsule by the step offset first and lowers it again after, so low ledges
  // are walked onto and flat ground is found on every walking frame. A jump needs no step.
  const float step = (hasSide && rise <= 0.0f) ? stepOffset : 0.0f;
  PassRules vertical;
  vertical.maxSweeps = hasSide ? 1 : kMaxSweeps;
  vertical.minDistance = minDistance;
  vertical.contactOffset = contactOffset;
  vertical.up = upDirection;
  vertical.slopeLimit = slopeLimit;
  PassRules sideways = vertical;
  sideways.maxSweeps = kMaxSweeps;
  sideways.flattenAll = mode == Redo::withoutClimbing;
  sideways.blockSteepSteps = true;
  sideways.footHeight = float(glm::dot(startFoot, glm::dvec3(upDirection)));
  sideways.stepOffset = stepOffset;
  sideways.slopeLimit = slopeLimit;
  std::uint8_t flags = 0;

  float stepDown = step;
  const glm::vec3 upMotion = upDirection * (std::max(rise, 0.0f) + (stepUp ? step : 0.0f));
  if (glm::length(upMotion) > 0.0f) {
    const glm::dvec3 before = position;
    if (slidePass(*native, position, upMotion, vertical, nullptr)) {
      flags |= kCollisionUp;
      // A ceiling cut the rise short: never lower by more than was gained.
      if (stepUp) {
        const float rose = float(glm::dot(position - before, glm::dvec3(upDirection)));
        stepDown = std::clamp(rose, 0.0f, step);
      }
    }
  }

  bool blockedStep = false;
  if (slidePass(*native, position, side, sideways, nullptr, &blockedStep)) flags |= kCollisionSides;
  // The step up must not carry the capsule onto a ledge it was stopped at: the down pass could
  // rest on the ledge's edge and keep the height gained, a step offset every frame.
  if (blockedStep && redo && *redo == Redo::none) *redo = Redo::withoutStepUp;

  const glm::vec3 downMotion = upDirection * (std::min(rise, 0.0f) - stepDown);
  Hit ground;
  PassRules downward = vertical;
  downward.stopOnGround = true;
  if (glm::length(downMotion) > 0.0f && slidePass(*native, position, downMotion, downward, &ground)) {
    flags |= kCollisionDown;
    // Too steep and higher than a step: the side pass slid up something it may not. This check
    // is for static bodies only; the side pass's own step rule covers every body.
    if (stepUp && hasSide && redo && isStaticBody(ground.object)) {
      const float cosine = glm::dot(native->faceNormal(ground), upDirection);
      const float contactHeight = glm::dot(ground.point - glm::vec3(startFoot), upDirection);
      if (cosine >= 0.0f && cosine < slopeLimit && contactHeight > stepOffset) *redo = Redo::withoutClimbing;
    }
  }
  return flags;
}

std::uint8_t PlayerController::move(const glm::vec3& displacement, float minDistance, float /*elapsedTime*/) {
  // Bodies may have been moved since the last step; the queries must see where they are now.
  native->world->updateAabbs();
  recoverFromOverlap();
  const glm::dvec3 start = position;
  Redo redo = Redo::none;
  std::uint8_t flags = moveOnce(displacement, minDistance, Redo::none, &redo);
  if (redo != Redo::none) {
    // Again from the start without the step up, after a steep slope sliding only sideways.
    position = start;
    flags = moveOnce(displacement, minDistance, redo, nullptr);
  }
  // Only the world transform moves: the next step reads the actor's speed from the difference.
  const btTransform t = native->transformAt(position);
  native->actor->setWorldTransform(t);
  native->probe.setWorldTransform(t);
  return flags;
}

PlayerController* createPlayerController(PhysicsWorld& world, const PlayerControllerDesc& desc) {
  // One controller per world: a second creation replaces the first.
  delete world.playerController;
  world.playerController = new PlayerController(world, desc);
  return world.playerController;
}
