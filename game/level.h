#pragma once
#include <glm/glm.hpp>

class PhysicsWorld;

// The one level object: every list of the course and the state of the run.
class Level {
 public:
  PhysicsWorld* world = nullptr;  // set by start-up before the builder runs
  bool debugMode = false;         // the `debug` setting: fly, no chase rules

  // The per-frame rules; position is the player controller's centre.
  void update(const glm::dvec3& position, float dt);
  // Restarts the run.
  void reset();
};
