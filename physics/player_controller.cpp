#include "physics/player_controller.h"

#include <BulletCollision/CollisionShapes/btCapsuleShape.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "physics/bullet_scene.h"

// The controller reproduces the capsule controller the course was designed with. One move is:
//   1. riding: follow the vertical motion of what the last move stood on;
//   2. the up pass: the step lift (walking) or the rise (jumping);
//   3. the side pass: the walking motion, sliding along whatever it meets;
//   4. the down pass: the fall and the step lift taken back, one straight sweep, no sliding.
// Each pass sweeps the exact capsule and stops the contact offset short of what it hits. Course
// pieces are kinematic, and on them the capsule simply slides along the sweep's contact normal:
// its rounded bottom rides over any edge below the lower half sphere's centre and up any slope.
// Only static ground steeper than the slope limit refuses to be climbed.

namespace {

// Sweeps per pass: the side pass, and an up pass with no side motion, slide for up to ten; the up
// pass of a walking move and every down pass sweep once, so landing or standing never slides.
constexpr int kSlideSweeps = 10;
constexpr int kSingleSweep = 1;
// A side motion with no component larger than this counts as none (world units).
constexpr float kNoSideMotion = 1e-6f;
// Support motion smaller than this in every component is standing still (world units).
constexpr float kStillSupport = 1e-6f;
// At most this many push-outs per overlap recovery.
constexpr int kMaxRecoveryPushes = 4;
// Penetrations shallower than this are touching, not overlapping (world units).
constexpr float kOverlapTolerance = 1e-4f;
// A surface whose normal is this close to square to the motion still faces it (cosine).
constexpr float kFacingTolerance = 1e-4f;
// Length of the ray that reads the face under a static hit, either side of the hit, world units.
constexpr float kFaceProbe = 0.05f;
// A sweep this close to straight up or down (cosine to up) leads with one half sphere.
constexpr float kVerticalCosine = 0.999f;
// Largest correction of a vertical sweep's distance from its contact, world units.
constexpr float kLargestRefinement = 1e-3f;
// How far past its reach a sweep is cast, world units.
constexpr float kPastReach = 1e-3f;

bool isStaticBody(const btCollisionObject* object) { return object->isStaticObject() && !object->isKinematicObject(); }
bool isDynamicBody(const btCollisionObject* object) { return !object->isStaticOrKinematicObject(); }

template <typename Vec>
bool finite(const Vec& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

btVector3 toBtD(const glm::dvec3& v) { return btVector3(btScalar(v.x), btScalar(v.y), btScalar(v.z)); }

// The closest surface a sweep reaches. Surfaces are one-sided: one facing along the sweep (the
// capsule moving away from it) is no obstacle. The player's own stand-in body and the bodies the
// pass has chosen to pass through are left out.
class SweepCallback : public btCollisionWorld::ClosestConvexResultCallback {
 public:
  SweepCallback(const btCollisionObject* self, const std::vector<const btCollisionObject*>& ignored,
                const btVector3& direction)
      : ClosestConvexResultCallback(btVector3(0, 0, 0), btVector3(0, 0, 0)),
        self(self),
        ignored(ignored),
        direction(direction) {}

  bool needsCollision(btBroadphaseProxy* proxy) const override {
    const auto* object = static_cast<const btCollisionObject*>(proxy->m_clientObject);
    if (object == self || !object->hasContactResponse()) return false;
    if (std::find(ignored.begin(), ignored.end(), object) != ignored.end()) return false;
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
  const std::vector<const btCollisionObject*>& ignored;
  btVector3 direction;
};

// Every body a capsule overlaps, each with its deepest point and the way out of it.
class OverlapCallback : public btCollisionWorld::ContactResultCallback {
 public:
  struct Overlap {
    const btCollisionObject* object;
    float depth;        // world units, positive inside
    glm::vec3 outward;  // unit, from the body towards the capsule
    glm::vec3 point;    // on the body
  };

  OverlapCallback(const btCollisionObject* probe, const btCollisionObject* self, bool solidsOnly)
      : probe(probe), self(self), solidsOnly(solidsOnly) {}

  bool needsCollision(btBroadphaseProxy* proxy) const override {
    const auto* object = static_cast<const btCollisionObject*>(proxy->m_clientObject);
    if (object == self || !object->hasContactResponse()) return false;
    if (solidsOnly && isDynamicBody(object)) return false;
    return ContactResultCallback::needsCollision(proxy);
  }

  btScalar addSingleResult(btManifoldPoint& point, const btCollisionObjectWrapper* a, int, int,
                           const btCollisionObjectWrapper* b, int, int) override {
    const float depth = -point.getDistance();
    if (depth <= kOverlapTolerance) return 0;
    // The normal points from the second object towards the first.
    const bool probeIsA = a->getCollisionObject() == probe;
    const btCollisionObject* other = probeIsA ? b->getCollisionObject() : a->getCollisionObject();
    const glm::vec3 outward = toGlm(probeIsA ? point.m_normalWorldOnB : -point.m_normalWorldOnB);
    const glm::vec3 onOther = toGlm(probeIsA ? point.getPositionWorldOnB() : point.getPositionWorldOnA());
    for (Overlap& o : overlaps) {
      if (o.object != other) continue;
      if (depth > o.depth) o = Overlap{other, depth, outward, onOther};
      return 0;
    }
    overlaps.push_back(Overlap{other, depth, outward, onOther});
    return 0;
  }

  std::vector<Overlap> overlaps;

 private:
  const btCollisionObject* probe;
  const btCollisionObject* self;
  bool solidsOnly;
};

// What a sweep hit.
struct Hit {
  const btCollisionObject* object = nullptr;  // null: nothing within reach
  float distance = 0.0f;                      // world units along the sweep
  glm::vec3 normal{0.0f};                     // contact normal, from the body towards the capsule
  glm::dvec3 point{0.0};                      // contact point on the body
};

enum class Pass { up, side, down };

// How one pass slides.
struct PassRules {
  Pass pass = Pass::side;
  int maxSweeps = kSlideSweeps;
  float minDistance = 0.0f;     // world units
  bool flattenNormals = false;  // walk experiment: slide only sideways along what is hit
  bool renormalise = false;     // keep the full remaining length when turning along a surface
};

// What one pass did.
struct PassResult {
  bool collided = false;  // hit something or recovered from an overlap
  bool recovered = false;
  Hit lastHit;  // the last surface the pass stopped at, if any
};

}  // namespace

struct PlayerController::Native {
  btDiscreteDynamicsWorld* world = nullptr;
  std::unique_ptr<btCapsuleShape> shape;              // the exact capsule, swept by every pass
  std::unique_ptr<btCapsuleShape> skinShape;          // the capsule grown by the contact offset, for recovery
  btCollisionObject probe;                            // a capsule for contact queries; never in the world
  std::unique_ptr<btCapsuleShape> actorShape;         // the scaled capsule of the stand-in body
  std::unique_ptr<btRigidBody> actor;                 // kinematic stand-in that loose bodies hit
  std::vector<const btCollisionObject*> passThrough;  // dynamic bodies the current sweep ignores

  // The body the last down pass stood on and where, to follow its motion (riding).
  const btCollisionObject* support = nullptr;
  btVector3 supportLocal{0, 0, 0};  // the contact point in the support's frame
  glm::dvec3 supportWorld{0.0};     // the same point in the world when it was touched
  bool standingOnMoving = false;

  float radius = 1.0f, height = 1.0f, contactOffset = 0.05f, slopeLimit = 0.70710677f;
  glm::vec3 up{0.0f, 1.0f, 0.0f};

  btTransform transformAt(const glm::dvec3& centre) const {
    // The engine's capsule stands along y, the game's up direction.
    return btTransform(btQuaternion::getIdentity(), toBtD(centre));
  }

  // The exact capsule swept from `from` along the unit direction for `length`.
  Hit sweep(const glm::dvec3& from, const glm::vec3& direction, float length) const {
    Hit hit;
    const btVector3 dir = toBt(direction);
    SweepCallback callback(actor.get(), passThrough, dir);
    const btTransform start = transformAt(from);
    btTransform end = start;
    end.setOrigin(start.getOrigin() + dir * length);
    world->convexSweepTest(shape.get(), start, end, callback);
    if (!callback.hasHit()) return hit;
    hit.object = callback.m_hitCollisionObject;
    hit.distance = callback.m_closestHitFraction * length;
    hit.normal = glm::normalize(toGlm(callback.m_hitNormalWorld));
    hit.point = glm::dvec3(toGlm(callback.m_hitPointWorld));
    // Up and down the capsule meets things with its leading half sphere. The engine's cast stops
    // within about 1e-7 of the contact, which decides whether a surface lying exactly at the end of
    // the reach is met; the distance of that half sphere to the plane of the contact is exact,
    // computed from the contact itself in the query's own float arithmetic. The correction is
    // only ever of the last digits: anything larger keeps the cast's distance.
    if (std::fabs(glm::dot(direction, up)) > kVerticalCosine) {
      const btVector3 leading = start.getOrigin() + dir * btScalar(height * 0.5f);
      const btVector3 normal = callback.m_hitNormalWorld.normalized();
      const btScalar facing = dir.dot(normal);
      if (facing < -kFacingTolerance) {
        const float exact = float(((callback.m_hitPointWorld - leading).dot(normal) + btScalar(radius)) / facing);
        if (std::fabs(exact - hit.distance) < kLargestRefinement) hit.distance = exact;
      }
    }
    return hit;
  }

  std::vector<OverlapCallback::Overlap> overlaps(const btCollisionShape* capsule, const glm::dvec3& centre,
                                                 bool solidsOnly) {
    probe.setCollisionShape(const_cast<btCollisionShape*>(capsule));
    probe.setWorldTransform(transformAt(centre));
    OverlapCallback callback(&probe, actor.get(), solidsOnly);
    world->contactTest(&probe, callback);
    return callback.overlaps;
  }

  // The normal of the face under a hit on a static body: the sweep's normal is that of the
  // capsule's round surface, which on an edge lies between the two faces.
  glm::vec3 faceNormal(const Hit& hit) const {
    const btVector3 from = toBtD(hit.point + glm::dvec3(hit.normal * kFaceProbe));
    const btVector3 to = toBtD(hit.point - glm::dvec3(hit.normal * kFaceProbe));
    btCollisionWorld::ClosestRayResultCallback ray(from, to);
    world->rayTest(from, to, ray);
    if (ray.hasHit() && ray.m_collisionObject == hit.object) return glm::normalize(toGlm(ray.m_hitNormalWorld));
    return hit.normal;
  }

  // Overlap recovery: a capsule that starts a sweep inside a static or kinematic body is pushed
  // out along the shortest way, the capsule grown by the contact offset so it ends that far clear.
  // Each push removes the whole of the deepest penetration left; loose (dynamic) bodies are left
  // to the simulation, which pushes them off the stand-in body.
  void recover(glm::dvec3& position) {
    for (int push = 0; push < kMaxRecoveryPushes; ++push) {
      const auto found = overlaps(skinShape.get(), position, true);
      if (found.empty()) break;
      const auto deepest =
          std::max_element(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.depth < b.depth; });
      position += glm::dvec3(deepest->outward) * double(deepest->depth);
    }
  }

  // Before each sweep: a static or kinematic body that the exact capsule already overlaps, with a
  // surface facing against the motion, means recovery. Surfaces are one-sided, so a body the capsule
  // is inside of from behind (moving away from it, or, in a vertical pass, touching only beyond the
  // leading half sphere) is passed through for this sweep, as are loose bodies: the simulation
  // pushes those off the stand-in body.
  bool startsInside(const glm::dvec3& position, const glm::vec3& direction, Pass pass) {
    passThrough.clear();
    bool solid = false;
    const glm::dvec3 leading = position + glm::dvec3(direction) * double(height * 0.5f);
    for (const auto& o : overlaps(shape.get(), position, false)) {
      const bool behind =
          glm::dot(o.outward, direction) > kFacingTolerance ||
          (pass != Pass::side && glm::dot(glm::vec3(glm::dvec3(o.point) - leading), direction) < -radius);
      if (isDynamicBody(o.object) || behind)
        passThrough.push_back(o.object);
      else
        solid = true;
    }
    return solid;
  }

  // One collide-and-slide pass: sweep the rest of the way for its length plus the contact offset,
  // advance to the contact offset short of what is hit (never backing away when already closer),
  // then aim the rest of the way along the contact plane, without renormalising: a head-on hit keeps
  // nothing, a grazing one nearly all. Ends once minDistance or less is left, when the way turns
  // against the pass's own direction (no jitter in V-shaped corners), or when the sweeps run out,
  // keeping the last advance.
  PassResult slide(glm::dvec3& position, const glm::vec3& motion, const PassRules& rules) {
    PassResult result;
    const float motionLength = glm::length(motion);
    if (motionLength <= 0.0f) return result;
    const glm::vec3 original = motion / motionLength;
    glm::dvec3 target = position + glm::dvec3(motion);
    for (int i = 0; i < rules.maxSweeps; ++i) {
      glm::vec3 direction = glm::vec3(target - position);
      const float length = glm::length(direction);
      if (length <= rules.minDistance) break;
      direction /= length;
      if (glm::dot(direction, original) <= 0.0f) break;
      if (startsInside(position, direction, rules.pass)) {
        recover(position);
        result.collided = result.recovered = true;
        break;
      }
      // The sweep is cast a little past its reach, since the engine drops a contact at the very
      // end of a cast; whatever lies beyond the reach is then no hit.
      const float reach = length + contactOffset;
      Hit hit = sweep(position, direction, reach + kPastReach);
      if (hit.object && hit.distance > reach) hit = Hit();
      passThrough.clear();
      if (!hit.object) {
        position = target;
        break;
      }
      result.collided = true;
      result.lastHit = hit;
      if (hit.distance > contactOffset) position += glm::dvec3(direction * (hit.distance - contactOffset));

      glm::vec3 normal = hit.normal;
      if (rules.flattenNormals) {
        normal -= up * glm::dot(normal, up);
        const float flatLength = glm::length(normal);
        if (flatLength < 1e-6f) break;
        normal /= flatLength;
      }
      const double left = glm::length(target - position);
      glm::vec3 tangent = direction - normal * glm::dot(direction, normal);
      if (rules.renormalise) {
        const float tangentLength = glm::length(tangent);
        if (tangentLength < 1e-6f) break;
        tangent /= tangentLength;
      }
      target = position + glm::dvec3(tangent) * left;
    }
    return result;
  }

  // Static ground steeper than the slope limit, touched higher than a step above the foot: the
  // capsule walked up what it may not climb.
  bool nonWalkable(const PassResult& down, double footHeight, float stepOffset) const {
    if (down.recovered || !down.lastHit.object || !isStaticBody(down.lastHit.object)) return false;
    const float cosine = glm::dot(faceNormal(down.lastHit), up);
    const bool tooSteep = cosine >= 0.0f && cosine < slopeLimit;
    return tooSteep && glm::dot(down.lastHit.point, glm::dvec3(up)) > footHeight + stepOffset;
  }

  // Riding: the support's motion at the point it was touched since then. Rising supports lift the
  // capsule at once, sinking ones are followed by adding their motion to the move; sideways motion
  // never carries the player.
  glm::vec3 ride(glm::dvec3& position, const btCollisionObject* self) {
    const btCollisionObjectArray& objects = world->getCollisionObjectArray();
    if (support && objects.findLinearSearch(const_cast<btCollisionObject*>(support)) == objects.size())
      support = nullptr;
    if (!support && findSupportInside(position, self)) {
      standingOnMoving = true;
      return glm::vec3(0.0f);
    }
    if (!support || isStaticBody(support)) {
      standingOnMoving = false;
      return glm::vec3(0.0f);
    }
    const glm::vec3 motion = glm::vec3(glm::dvec3(toGlm(support->getWorldTransform() * supportLocal)) - supportWorld);
    // A support whose pose is no longer a number is no support: following it would make the
    // player's position NaN for good.
    if (!finite(motion)) {
      support = nullptr;
      standingOnMoving = false;
      return glm::vec3(0.0f);
    }
    standingOnMoving = glm::any(glm::greaterThan(glm::abs(motion), glm::vec3(kStillSupport)));
    const float rise = glm::dot(motion, up);
    if (rise > 0.0f) {
      position += glm::dvec3(up * rise);
      return glm::vec3(0.0f);
    }
    return up * rise;
  }

  // With no support remembered, a ray from the centre to the capsule's lowest point finds a moving
  // body that has come up into the lower half; the capsule is lifted onto it at once.
  bool findSupportInside(glm::dvec3& position, const btCollisionObject* self) {
    const double halfHeight = radius + height * 0.5;
    const btVector3 from = toBtD(position), to = toBtD(position - glm::dvec3(up) * halfHeight);
    struct MovingOnly : btCollisionWorld::ClosestRayResultCallback {
      MovingOnly(const btVector3& a, const btVector3& b, const btCollisionObject* self)
          : ClosestRayResultCallback(a, b), self(self) {}
      bool needsCollision(btBroadphaseProxy* proxy) const override {
        const auto* object = static_cast<const btCollisionObject*>(proxy->m_clientObject);
        if (object == self || isStaticBody(object) || !object->hasContactResponse()) return false;
        return ClosestRayResultCallback::needsCollision(proxy);
      }
      const btCollisionObject* self;
    } ray(from, to, self);
    world->rayTest(from, to, ray);
    if (!ray.hasHit()) return false;
    const glm::dvec3 point(toGlm(ray.m_hitPointWorld));
    if (!finite(point)) return false;
    position = point + glm::dvec3(up) * halfHeight;
    remember(ray.m_collisionObject, point);
    return true;
  }

  void remember(const btCollisionObject* object, const glm::dvec3& point) {
    support = object;
    supportWorld = point;
    supportLocal = object->getWorldTransform().inverse() * toBtD(point);
  }
};

namespace {

using Native = PlayerController::Native;

// Which way a move was made: the first try, or again after it walked up static ground too steep
// to stand on (then without the step lift, sliding only sideways).
enum class Mode { normal, walkExperiment };

struct MoveRequest {
  glm::vec3 displacement{0.0f};
  float minDistance = 0.0f;
  float stepOffset = 0.0f;
  glm::dvec3 start{0.0};    // the centre before the move
  double footHeight = 0.0;  // along up, before the move
};

// The three passes of one move. Returns the flags; nonWalkable tells the caller to try again in
// the walk experiment.
std::uint8_t moveCharacter(Native& n, glm::dvec3& position, const MoveRequest& request, Mode mode, bool* nonWalkable) {
  const glm::vec3 up = n.up;
  const float rise = glm::dot(request.displacement, up);
  const glm::vec3 vertical = up * rise;
  const glm::vec3 side = request.displacement - vertical;
  float stepOffset = request.stepOffset;

  // Rising goes into the up pass and cancels the step lift (a jump needs none), unless a moving
  // support asks for it; everything else goes into the down pass.
  glm::vec3 upMotion(0.0f), downMotion(0.0f);
  if (rise > 0.0f) {
    upMotion = vertical;
    if (!n.standingOnMoving) stepOffset = 0.0f;
  } else {
    downMotion = vertical;
  }
  const bool sideIsZero = glm::all(glm::lessThanEqual(glm::abs(side), glm::vec3(kNoSideMotion))) && !n.standingOnMoving;
  if (!sideIsZero) upMotion += up * stepOffset;

  PassRules rules;
  rules.minDistance = request.minDistance;
  std::uint8_t flags = 0;

  if (mode == Mode::normal && upMotion != glm::vec3(0.0f)) {
    rules.pass = Pass::up;
    rules.maxSweeps = sideIsZero ? kSlideSweeps : kSingleSweep;
    const glm::dvec3 before = position;
    if (n.slide(position, upMotion, rules).collided) {
      flags |= kCollisionUp;
      // A ceiling cut the lift short: take back no more than was gained, and nothing when a push
      // out of it lowered the capsule (a negative step would turn the down pass upward).
      stepOffset = std::max(0.0f, std::min(stepOffset, float(glm::dot(position - before, glm::dvec3(up)))));
    }
  }

  if (side != glm::vec3(0.0f)) {
    rules.pass = Pass::side;
    rules.maxSweeps = kSlideSweeps;
    rules.flattenNormals = mode == Mode::walkExperiment;
    if (n.slide(position, side, rules).collided) flags |= kCollisionSides;
  }

  if (!sideIsZero) downMotion -= up * stepOffset;
  n.support = nullptr;
  if (downMotion != glm::vec3(0.0f)) {
    rules.pass = Pass::down;
    rules.maxSweeps = kSingleSweep;
    rules.flattenNormals = false;
    const PassResult down = n.slide(position, downMotion, rules);
    if (down.collided && rise <= 0.0f) flags |= kCollisionDown;
    if (!down.recovered && down.lastHit.object) n.remember(down.lastHit.object, down.lastHit.point);

    if (rise <= 0.0f && n.nonWalkable(down, request.footHeight, request.stepOffset)) {
      if (mode == Mode::normal) {
        if (nonWalkable) *nonWalkable = true;
        return flags;
      }
      // Met the steep ground again: let the capsule settle down the slope.
      PassRules settle = rules;
      settle.maxSweeps = kSlideSweeps;
      settle.renormalise = true;
      const float gained = float(glm::dot(position - request.start, glm::dvec3(up)));
      const float settleLength = std::max(gained, 0.0f) + std::fabs(rise);
      if (settleLength > 0.0f) n.slide(position, -up * settleLength, settle);
    }
  }
  return flags;
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
  native->up = upDirection;
  native->contactOffset = contactOffset;
  native->slopeLimit = slopeLimit;
  native->radius = radius;
  native->height = height;
  native->shape = std::make_unique<btCapsuleShape>(radius, height);
  native->skinShape = std::make_unique<btCapsuleShape>(radius + contactOffset, height);
  native->probe.setCollisionShape(native->shape.get());

  // The stand-in body: a smaller capsule (0.8 of the size), kinematic, so the simulation reads its
  // speed from the moves and pushes loose bodies with it, and nothing ever pushes it. The density
  // never enters the solver: an immovable body has no mass there.
  native->actorShape = std::make_unique<btCapsuleShape>(radius * scaleCoeff, height * scaleCoeff);
  btRigidBody::btRigidBodyConstructionInfo info(0.0f, nullptr, native->actorShape.get());
  info.m_startWorldTransform = native->transformAt(position);
  info.m_friction = world.defaultFriction;
  info.m_restitution = world.defaultRestitution;
  native->actor = std::make_unique<btRigidBody>(info);
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
  // A teleport moves the stand-in body like any move: the next step sees it as one fast motion.
  native->actor->setWorldTransform(native->transformAt(position));
  return true;
}

glm::dvec3 PlayerController::getFootPosition() const {
  return position - glm::dvec3(upDirection) * double(contactOffset + radius + height * 0.5f);
}

void PlayerController::resize(float newHeight) {
  const glm::dvec3 foot = getFootPosition();
  height = newHeight;
  native->height = height;
  native->shape = std::make_unique<btCapsuleShape>(radius, height);
  native->skinShape = std::make_unique<btCapsuleShape>(radius + contactOffset, height);
  native->probe.setCollisionShape(native->shape.get());
  // The stand-in's shape changes size: it leaves and re-joins the world so its bounds are redone.
  native->world->removeRigidBody(native->actor.get());
  native->actorShape = std::make_unique<btCapsuleShape>(radius * scaleCoeff, height * scaleCoeff);
  native->actor->setCollisionShape(native->actorShape.get());
  native->world->addRigidBody(native->actor.get());
  setPosition(foot + glm::dvec3(upDirection) * double(contactOffset + radius + height * 0.5f));
}

std::uint8_t PlayerController::move(const glm::vec3& displacement, float minDistance, float /*elapsedTime*/) {
  if (!std::isfinite(displacement.x) || !std::isfinite(displacement.y) || !std::isfinite(displacement.z)) return 0;
  // Bodies have moved in the last step; the queries must see them where they are now.
  native->world->updateAabbs();

  MoveRequest request;
  request.displacement = displacement + native->ride(position, native->actor.get());
  request.minDistance = minDistance;
  request.stepOffset = stepOffset;
  request.footHeight = glm::dot(getFootPosition(), glm::dvec3(upDirection));
  request.start = position;

  const glm::dvec3 backup = position;
  bool nonWalkable = false;
  std::uint8_t flags = moveCharacter(*native, position, request, Mode::normal, &nonWalkable);
  if (nonWalkable) {
    position = backup;
    flags = moveCharacter(*native, position, request, Mode::walkExperiment, nullptr);
  }
  if (position != backup) native->actor->setWorldTransform(native->transformAt(position));
  return flags;
}

PlayerController* createPlayerController(PhysicsWorld& world, const PlayerControllerDesc& desc) {
  // One controller per world: a second creation replaces the first.
  delete world.playerController;
  world.playerController = new PlayerController(world, desc);
  return world.playerController;
}
