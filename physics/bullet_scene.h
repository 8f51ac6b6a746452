#pragma once
// The physics engine's objects behind PhysicsWorld. Only code inside physics/ includes this.
#include <btBulletDynamicsCommon.h>

#include <cmath>
#include <memory>
#include <vector>

#include "physics/physics_world.h"

struct BulletScene {
  btDefaultCollisionConfiguration collisionConfiguration;
  btCollisionDispatcher dispatcher{&collisionConfiguration};
  btDbvtBroadphase broadphase;
  btSequentialImpulseConstraintSolver solver;
  btDiscreteDynamicsWorld world{&dispatcher, &broadphase, &solver, &collisionConfiguration};

  std::unique_ptr<btStaticPlaneShape> groundShape;
  std::unique_ptr<btRigidBody> ground;
  std::vector<std::unique_ptr<RigidBody>> bodies;  // every body the creators made, in order

  ~BulletScene();
};

struct RigidBody::Native {
  std::unique_ptr<btCollisionShape> shape;
  std::unique_ptr<btRigidBody> body;
  btDiscreteDynamicsWorld* world = nullptr;  // the world it joined
  glm::vec3 worldGravity{0.0f};
  float mass = 0.0f;           // the mass from density and volume, kept while kinematic
  btVector3 inertia{0, 0, 0};  // likewise the local inertia
};

// Engine <-> game maths.
inline btVector3 toBt(const glm::vec3& v) { return btVector3(v.x, v.y, v.z); }
inline glm::vec3 toGlm(const btVector3& v) { return glm::vec3(v.x(), v.y(), v.z()); }
// The engine works in float: a double position is rounded to it.
inline btVector3 toBtD(const glm::dvec3& v) { return btVector3(btScalar(v.x), btScalar(v.y), btScalar(v.z)); }
inline btQuaternion toBt(const glm::quat& q) { return btQuaternion(q.x, q.y, q.z, q.w); }
inline glm::quat toGlm(const btQuaternion& q) { return glm::quat(q.w(), q.x(), q.y(), q.z()); }
inline btTransform toBt(const Pose& p) { return btTransform(toBt(p.rotation), toBt(p.position)); }

// Every component a number: neither NaN nor infinite.
template <typename Vec>
bool finite(const Vec& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}
