#include "physics/physics_world.h"

#include <BulletCollision/CollisionShapes/btConvexHullShape.h>
#include <LinearMath/btConvexHullComputer.h>

#include <cmath>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>

#include "physics/bullet_scene.h"
#include "physics/player_controller.h"

namespace {

// Two touching materials combine as their average, friction and bounce alike; the engine would
// multiply them. Every body asks for this callback through its custom-material flag.
bool averageMaterials(btManifoldPoint& cp, const btCollisionObjectWrapper* a, int, int,
                      const btCollisionObjectWrapper* b, int, int) {
  const btCollisionObject* objA = a->getCollisionObject();
  const btCollisionObject* objB = b->getCollisionObject();
  cp.m_combinedFriction = 0.5f * (objA->getFriction() + objB->getFriction());
  cp.m_combinedRestitution = 0.5f * (objA->getRestitution() + objB->getRestitution());
  return true;
}

// Collisions slower than this (world units per second) do not bounce.
constexpr float kBounceThreshold = 2.0f;
// How far the contact tests may put two exactly touching faces inside each other (world units):
// the gate's sides against its pillars' flat faces come out up to 1.7 mm deep.
constexpr float kTouchingError = 0.002f;
// Collision margin of the convex hulls; the hull is shrunk by it so the surface stays in place.
constexpr float kHullMargin = 0.04f;

float shapeVolume(const CollisionShape& shape) {
  if (shape.kind == CollisionShape::Kind::Sphere)
    return 4.0f / 3.0f * 3.14159265f * shape.radius * shape.radius * shape.radius;
  return 8.0f * shape.halfExtents.x * shape.halfExtents.y * shape.halfExtents.z;
}

std::unique_ptr<btCollisionShape> makeShape(const CollisionShape& shape) {
  if (shape.kind == CollisionShape::Kind::Sphere) return std::make_unique<btSphereShape>(shape.radius);
  // Boxes keep their edges sharp: the engine's default margin rounds every edge by 0.04, and the
  // player's capsule, meeting a low edge, slides along the rounded surface's tilted normal. It
  // then climbed an edge 0.95 high within 7 frames instead of grinding against it for 12.
  auto box = std::make_unique<btBoxShape>(toBt(shape.halfExtents));
  box->setMargin(0.0f);
  return box;
}

}  // namespace

BulletScene::~BulletScene() {
  for (auto& body : bodies)
    if (body->native->body) world.removeRigidBody(body->native->body.get());
  if (ground) world.removeRigidBody(ground.get());
}

PhysicsWorld::PhysicsWorld() : scene(std::make_unique<BulletScene>()) {
  gContactAddedCallback = averageMaterials;
  scene->world.setGravity(toBt(gravity));
  scene->world.getSolverInfo().m_restitutionVelocityThreshold = kBounceThreshold;

  // The ground plane y = 0, solid below.
  scene->groundShape = std::make_unique<btStaticPlaneShape>(btVector3(0, 1, 0), 0);
  btRigidBody::btRigidBodyConstructionInfo info(0.0f, nullptr, scene->groundShape.get());
  info.m_friction = defaultFriction;
  info.m_restitution = defaultRestitution;
  scene->ground = std::make_unique<btRigidBody>(info);
  scene->ground->setCollisionFlags(scene->ground->getCollisionFlags() | btCollisionObject::CF_CUSTOM_MATERIAL_CALLBACK);
  scene->world.addRigidBody(scene->ground.get());
}

PhysicsWorld::~PhysicsWorld() { releasePhysicsWorld(); }

void PhysicsWorld::releasePhysicsWorld() {
  // The controller goes first, then every body with the scene.
  delete playerController;
  playerController = nullptr;
  scene.reset();
}

RigidBody* PhysicsWorld::addBody(std::unique_ptr<RigidBody> body) {
  btRigidBody* native = body->native->body.get();
  // Fast bodies (a box falls over 50 units per second after 20 units) would pass deep into what
  // they hit within one frame; swept collision stops them at the contact instead.
  btVector3 centre;
  btScalar boundingRadius;
  native->getCollisionShape()->getBoundingSphere(centre, boundingRadius);
  native->setCcdMotionThreshold(0.25f * boundingRadius);
  native->setCcdSweptSphereRadius(0.2f * boundingRadius);
  native->setCollisionFlags(native->getCollisionFlags() | btCollisionObject::CF_CUSTOM_MATERIAL_CALLBACK);
  body->native->world = &scene->world;
  body->native->worldGravity = gravity;
  scene->world.addRigidBody(native);
  scene->bodies.push_back(std::move(body));
  return scene->bodies.back().get();
}

namespace {

std::unique_ptr<RigidBody> makeBody(const Pose& pose, std::unique_ptr<btCollisionShape> shape, float mass,
                                    const btVector3& inertia, float friction, float restitution) {
  auto body = std::make_unique<RigidBody>();
  body->native = std::make_unique<RigidBody::Native>();
  btRigidBody::btRigidBodyConstructionInfo info(mass, nullptr, shape.get(), inertia);
  info.m_startWorldTransform = toBt(pose);
  info.m_friction = friction;
  info.m_rollingFriction = 0.0f;
  info.m_restitution = restitution;
  body->native->body = std::make_unique<btRigidBody>(info);
  body->native->shape = std::move(shape);
  body->native->mass = mass;
  body->native->inertia = inertia;
  return body;
}

}  // namespace

RigidBody* PhysicsWorld::createDynamicBody(const Pose& pose, const CollisionShape& shape, const glm::vec3& velocity) {
  auto btShape = makeShape(shape);
  const float mass = kBodyDensity * shapeVolume(shape);
  btVector3 inertia(0, 0, 0);
  btShape->calculateLocalInertia(mass, inertia);
  auto body = makeBody(pose, std::move(btShape), mass, inertia, defaultFriction, defaultRestitution);
  body->native->body->setDamping(0.0f, 0.5f);
  RigidBody* added = addBody(std::move(body));
  added->setLinearVelocity(velocity);
  return added;
}

RigidBody* PhysicsWorld::createSlidingBody(const Pose& pose, const CollisionShape& shape) {
  auto btShape = makeShape(shape);
  const float mass = kBodyDensity * shapeVolume(shape);
  // Zero inertia components mean infinite inertia: nothing can turn the body.
  auto body = makeBody(pose, std::move(btShape), mass, btVector3(0, 0, 0), 0.0f, 0.0f);
  body->native->body->setDamping(0.0f, 0.0f);
  body->native->body->setAngularFactor(0.0f);
  return addBody(std::move(body));
}

RigidBody* PhysicsWorld::cookConvexBody(const Pose& pose, const std::vector<glm::vec3>& points) {
  // The engine puts a hull's margin outside its points; shrinking the hull by the margin first
  // keeps the collision surface where the points are, so nothing hovers above a ramp or prism.
  btConvexHullComputer hull;
  hull.compute(glm::value_ptr(points[0]), sizeof(glm::vec3), static_cast<int>(points.size()), kHullMargin, 0.25f);
  auto shape = std::make_unique<btConvexHullShape>();
  for (int i = 0; i < hull.vertices.size(); ++i) shape->addPoint(hull.vertices[i], false);
  shape->recalcLocalAabb();
  shape->setMargin(kHullMargin);
  // Like a freshly made engine actor: mass 1 and unit inertia, never updated from the shape.
  auto body = makeBody(pose, std::move(shape), 1.0f, btVector3(1, 1, 1), defaultFriction, defaultRestitution);
  return addBody(std::move(body));
}

RigidBody* PhysicsWorld::createPrismBody(const Pose& pose, float r, float h) {
  std::vector<glm::vec3> points;
  for (float y : {h / 2.0f, -h / 2.0f}) {
    const glm::vec2 ring[8] = {{r / 2, r},   {r, r / 2},   {r, -r / 2}, {r / 2, -r},
                               {-r / 2, -r}, {-r, -r / 2}, {-r, r / 2}, {-r / 2, r}};
    for (const glm::vec2& p : ring) points.emplace_back(p.x, y, p.y);
  }
  return cookConvexBody(pose, points);
}

RigidBody* PhysicsWorld::createWedgeBody(const Pose& pose, float sx, float sy, float sz) {
  const float hx = sx / 2, hy = sy / 2, hz = sz / 2, low = 0.01f * hy;
  // The wedge's twelve triangles, corner by corner; the hull keeps its eight distinct points.
  const std::vector<glm::vec3> points = {
      {-hx, -hy, hz},  {hx, -hy, hz},  {hx, low, hz},  {hx, low, hz},  {-hx, low, hz},  {-hx, -hy, hz},
      {hx, -hy, hz},   {hx, -hy, -hz}, {hx, hy, -hz},  {hx, hy, -hz},  {hx, low, hz},   {hx, -hy, hz},
      {-hx, hy, -hz},  {hx, hy, -hz},  {hx, -hy, -hz}, {hx, -hy, -hz}, {-hx, -hy, -hz}, {-hx, hy, -hz},
      {-hx, -hy, -hz}, {-hx, -hy, hz}, {-hx, low, hz}, {-hx, low, hz}, {-hx, hy, -hz},  {-hx, -hy, -hz},
      {-hx, -hy, -hz}, {hx, -hy, -hz}, {hx, -hy, hz},  {hx, -hy, hz},  {-hx, -hy, hz},  {-hx, -hy, -hz},
      {-hx, low, hz},  {hx, low, hz},  {hx, hy, -hz},  {hx, hy, -hz},  {-hx, hy, -hz},  {-hx, low, hz},
  };
  return cookConvexBody(pose, points);
}

bool PhysicsWorld::raycast(const glm::vec3& from, const glm::vec3& to, glm::vec3* hitPoint) const {
  btCollisionWorld::ClosestRayResultCallback result(toBt(from), toBt(to));
  scene->world.rayTest(toBt(from), toBt(to), result);
  if (!result.hasHit()) return false;
  if (hitPoint) *hitPoint = toGlm(result.m_hitPointWorld);
  return true;
}

void PhysicsWorld::stepPhysics(float dt) {
  // The frame's measured time is the step: a broken clock's NaN or infinity would turn every
  // moving body's pose into NaN for good, and a clock that went back would run the world
  // backwards, so such a frame does not step at all.
  if (!std::isfinite(dt) || dt < 0.0f) return;
  // No fixed sub-steps: one step as long as the frame, as the game's timing expects. A frame of
  // zero seconds steps nothing, and a piece moved before it stays awake for the next real step.
  if (scene->world.stepSimulation(dt, 0) == 0) return;
  // A kinematic piece is awake only for the step after the game moved it (its pose or velocity
  // set): asleep, it still stops what falls onto it but no longer wakes what rests on it, so
  // loose boxes on still pieces settle and sleep.
  for (const auto& body : scene->bodies) {
    btRigidBody* native = body->native->body.get();
    if (native->isKinematicObject() && native->isActive()) native->forceActivationState(ISLAND_SLEEPING);
  }
}

RigidBody::~RigidBody() = default;

void RigidBody::setKinematic(bool kinematic) {
  btRigidBody* body = native->body.get();
  int flags = body->getCollisionFlags();
  flags =
      kinematic ? (flags | btCollisionObject::CF_KINEMATIC_OBJECT) : (flags & ~btCollisionObject::CF_KINEMATIC_OBJECT);
  // Re-joining the world moves the body into the broadphase group of its new kind, so kinematic
  // pieces are never paired with each other or with the ground.
  if (native->world) native->world->removeRigidBody(body);
  body->setCollisionFlags(flags);
  if (kinematic) {
    // The solver must see a kinematic body as immovable: no inverse mass, no inverse inertia.
    body->setMassProps(0.0f, btVector3(0, 0, 0));
    body->updateInertiaTensor();
    body->setLinearVelocity(btVector3(0, 0, 0));
    body->setAngularVelocity(btVector3(0, 0, 0));
  } else {
    body->setMassProps(native->mass, native->inertia);
    body->updateInertiaTensor();
    body->forceActivationState(ACTIVE_TAG);
  }
  if (native->world) {
    const bool gravityOn = isGravityEnabled();
    native->world->addRigidBody(body);
    if (!gravityOn) body->setGravity(btVector3(0, 0, 0));
  }
  // A piece made kinematic stands still until the game moves it, so it starts asleep.
  if (kinematic) body->forceActivationState(ISLAND_SLEEPING);
}

bool RigidBody::isKinematic() const { return native->body->isKinematicObject(); }

void RigidBody::setGravityEnabled(bool enabled) {
  btRigidBody* body = native->body.get();
  // The flag stops the world from handing its gravity back to the body when it re-joins.
  if (enabled) {
    body->setFlags(body->getFlags() & ~BT_DISABLE_WORLD_GRAVITY);
    body->setGravity(toBt(native->worldGravity));
    body->setContactProcessingThreshold(BT_LARGE_FLOAT);
  } else {
    body->setFlags(body->getFlags() | BT_DISABLE_WORLD_GRAVITY);
    body->setGravity(btVector3(0, 0, 0));
    // A body that does not fall rests on nothing, so a face that only touches another carries no
    // load. The contact tests put exactly touching faces up to kTouchingError inside each other;
    // pushed apart from both sides at once, a body held between two immovable ones (the gate
    // between its pillars) piles up push every step without ever moving, and the friction that
    // push carries held the sinking gate back by a third. Such shallow contacts are left out;
    // real overlaps are still pushed apart.
    body->setContactProcessingThreshold(-kTouchingError);
  }
}

bool RigidBody::isGravityEnabled() const { return (native->body->getFlags() & BT_DISABLE_WORLD_GRAVITY) == 0; }

void RigidBody::setLinearVelocity(const glm::vec3& velocity) {
  native->body->setLinearVelocity(toBt(velocity));
  native->body->activate(true);
}

void RigidBody::setAngularVelocity(const glm::vec3& velocity) {
  native->body->setAngularVelocity(toBt(velocity));
  native->body->activate(true);
}

glm::vec3 RigidBody::linearVelocity() const { return toGlm(native->body->getLinearVelocity()); }
glm::vec3 RigidBody::angularVelocity() const { return toGlm(native->body->getAngularVelocity()); }

Pose RigidBody::globalPose() const {
  const btTransform& t = native->body->getWorldTransform();
  return Pose{toGlm(t.getOrigin()), toGlm(t.getRotation())};
}

void RigidBody::setGlobalPose(const Pose& pose) {
  native->body->setWorldTransform(toBt(pose));
  native->body->setInterpolationWorldTransform(toBt(pose));
  native->body->activate(true);
}

glm::mat4 RigidBody::shapeWorldMatrix() const {
  // Every body has one shape at the identity local pose, so its world pose is the body's.
  glm::mat4 m(1.0f);
  native->body->getWorldTransform().getOpenGLMatrix(glm::value_ptr(m));
  return m;
}

float RigidBody::mass() const { return native->mass; }

glm::vec3 RigidBody::inverseInertia() const { return toGlm(native->body->getInvInertiaDiagLocal()); }
float RigidBody::friction() const { return native->body->getFriction(); }
float RigidBody::restitution() const { return native->body->getRestitution(); }
bool RigidBody::isAwake() const { return native->body->isActive(); }
