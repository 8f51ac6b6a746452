#pragma once
#include <cstdint>
#include <glm/glm.hpp>
#include <glm/gtc/quaternion.hpp>
#include <memory>
#include <vector>

struct BulletScene;  // the physics engine's objects; visible inside physics/ only
class RigidBody;
class PlayerController;

// Where a body stands: a position and a rotation.
struct Pose {
  glm::vec3 position{0.0f};
  glm::quat rotation{1.0f, 0.0f, 0.0f, 0.0f};
};

// The collision shapes the game hands to the body creators.
struct CollisionShape {
  enum class Kind { Box, Sphere };
  Kind kind = Kind::Box;
  glm::vec3 halfExtents{0.5f};  // box only, world units
  float radius = 0.5f;          // sphere only, world units

  static CollisionShape box(const glm::vec3& halfExtents) { return {Kind::Box, halfExtents, 0.0f}; }
  static CollisionShape sphere(float radius) { return {Kind::Sphere, glm::vec3(0.0f), radius}; }
};

// Bits of the player's last walking move, as the controller reports them.
enum CollisionFlag : std::uint8_t {
  kCollisionSides = 1 << 0,
  kCollisionUp = 1 << 1,
  kCollisionDown = 1 << 2,
};

// The one simulation: gravity, the ground plane y = 0, the default material, the bodies of the
// level and the player's movement state. Stepped once per frame by a variable step of the frame's
// length. Bodies belong to the world and are released with it.
class PhysicsWorld {
 public:
  PhysicsWorld();
  ~PhysicsWorld();
  PhysicsWorld(const PhysicsWorld&) = delete;
  PhysicsWorld& operator=(const PhysicsWorld&) = delete;

  // A body of density 10 (mass and inertia from the shape's volume), angular damping 0.5,
  // moving at the given velocity.
  RigidBody* createDynamicBody(const Pose& pose, const CollisionShape& shape, const glm::vec3& velocity);
  // Frictionless, bounceless and never rotating; for the boulder and the gate.
  RigidBody* createSlidingBody(const Pose& pose, const CollisionShape& shape);
  // An octagonal prism (corners cut at radius/2) standing in for a cylinder.
  RigidBody* createPrismBody(const Pose& pose, float radius, float height);
  // A ramp falling from +sizeY/2 at the back (-z) to 0.01 of that at the front (+z).
  RigidBody* createWedgeBody(const Pose& pose, float sizeX, float sizeY, float sizeZ);
  // The convex hull of the points (body-local, world units) as a body of mass 1: what the prism and
  // the wedge are made from, and what the controller's reference scenarios describe their ramps by.
  RigidBody* cookConvexBody(const Pose& pose, const std::vector<glm::vec3>& points);

  // The first surface on the segment from -> to, if any: where it was hit.
  bool raycast(const glm::vec3& from, const glm::vec3& to, glm::vec3* hitPoint) const;

  // One simulation step of dt seconds; returns when it is done. A NaN or infinite dt steps nothing.
  void stepPhysics(float dt);

  // Moves the player's controller for one frame (defined with the controller).
  void movePlayer(glm::vec3 moveAxes, float mode, float dt);

  // Releases the controller, every body and the engine; safe to call twice.
  void releasePhysicsWorld();

  glm::vec3 gravity{0.0f, -69.81f, 0.0f};  // world units per second squared
  float defaultFriction = 0.5f;
  float defaultRestitution = 0.6f;
  std::uint8_t lastCollisionFlags = 0;  // CollisionFlag bits of the last walking move
  float verticalVelocity = 15.0f;       // player, world units per second
  float moveSpeed = 15.0f;              // player, world units per second per axis unit

  std::unique_ptr<BulletScene> scene;
  PlayerController* playerController = nullptr;  // owned by the world, made by createPlayerController

 private:
  RigidBody* addBody(std::unique_ptr<RigidBody> body);
};

// The volume of density-10 material that makes a body's mass.
constexpr float kBodyDensity = 10.0f;

// A handle to one body of the world. The game moves bodies only through these operations.
class RigidBody {
 public:
  ~RigidBody();

  // A kinematic body is never pushed and never falls. It sleeps except in the step after the game
  // sets its pose or velocity; asleep, it still stops dynamic bodies but wakes none.
  void setKinematic(bool kinematic);
  bool isKinematic() const;
  void setGravityEnabled(bool enabled);
  bool isGravityEnabled() const;

  // Setting a velocity or a pose wakes the body.
  void setLinearVelocity(const glm::vec3& velocity);
  void setAngularVelocity(const glm::vec3& velocity);
  glm::vec3 linearVelocity() const;
  glm::vec3 angularVelocity() const;
  Pose globalPose() const;
  void setGlobalPose(const Pose& pose);
  // The world matrix of the body's one shape (its pose composed with the shape's local pose).
  glm::mat4 shapeWorldMatrix() const;

  float mass() const;  // kilograms-alike: density 10 x volume for dynamic and sliding bodies
  glm::vec3 inverseInertia() const;
  float friction() const;
  float restitution() const;
  bool isAwake() const;

  struct Native;
  std::unique_ptr<Native> native;  // the engine's body and shape; physics/ only
};
