#pragma once
#include <cstdint>
#include <glm/glm.hpp>
#include <memory>

class PhysicsWorld;

// Everything the player's capsule is made from. The controller copies it once at creation.
struct PlayerControllerDesc {
  glm::dvec3 position{0.0, 120.0, 0.0};  // centre of the capsule, world units
  glm::vec3 upDirection{0.0f, 1.0f, 0.0f};
  float slopeLimit = 0.70710677f;  // cosine of the steepest walkable static ground (45 degrees)
  float contactOffset = 0.05f;     // world units kept between the capsule and what it touches
  float stepOffset = 0.01f;        // world units the capsule is lifted before a walking step
  float density = 10.0f;           // mass per unit volume of the body that loose objects bump into
  float scaleCoeff = 0.8f;         // that body's size relative to the capsule
  float radius = 1.0f;             // world units
  float height = 1.0f;             // world units, the cylinder between the two half spheres
};

// The player: a capsule moved by the game, never by the simulation. Each move sweeps the capsule
// through the world in an up, a side and a down pass and slides along what it meets (see the .cpp
// for which behaviour each part reproduces). A smaller kinematic copy of the capsule stands in the
// world so that loose bodies collide with the player.
class PlayerController {
 public:
  PlayerController(PhysicsWorld& world, const PlayerControllerDesc& desc);
  ~PlayerController();
  PlayerController(const PlayerController&) = delete;
  PlayerController& operator=(const PlayerController&) = delete;

  // Moves by displacement (world units) and returns the CollisionFlag bits of what it touched.
  // Passes end once minDistance (world units) or less is left; elapsedTime is in seconds. A
  // displacement that is not finite moves nothing and reports nothing.
  std::uint8_t move(const glm::vec3& displacement, float minDistance, float elapsedTime);

  glm::dvec3 getPosition() const;  // centre, world units
  // Teleports the centre; nothing is swept on the way. Always succeeds.
  bool setPosition(const glm::dvec3& position);
  // Lowest point of the capsule plus the contact offset below it, where the ground is when standing.
  glm::dvec3 getFootPosition() const;

  // Changes the cylinder height (world units) and keeps the foot where it is.
  void resize(float height);
  float getHeight() const { return height; }
  float getRadius() const { return radius; }

  glm::vec3 upDirection{0.0f, 1.0f, 0.0f};
  float slopeLimit = 0.70710677f;
  float contactOffset = 0.05f;
  float stepOffset = 0.01f;
  float density = 10.0f;
  float scaleCoeff = 0.8f;

  struct Native;
  std::unique_ptr<Native> native;  // the engine's shapes, bodies and the remembered support; physics/ only

 private:
  PhysicsWorld& world;
  glm::dvec3 position{0.0};
  float radius = 1.0f;
  float height = 1.0f;
};

// Makes the controller in the given world and hands it to the world, which deletes it on release.
PlayerController* createPlayerController(PhysicsWorld& world, const PlayerControllerDesc& desc);

// The player's request of the current frame, written by the keyboard handling and read by
// PhysicsWorld::movePlayer.
extern glm::vec3 moveAxes;  // x and z each -1, 0 or 1; y stays 0
extern bool jumpHeld;       // a jump key is held
