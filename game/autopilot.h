#pragma once
#include <cstddef>
#include <glm/glm.hpp>
#include <sstream>

// Plays the course along one line that collects items on the way and clears every gap: per
// frame it reads the player's position and whether the controller stood on something, and says
// which arrow keys to hold. The caller applies the keys and steps the game.
class Autopilot {
 public:
  struct Keys {
    float xAxis = 0.0f;  // -1 left, 0, 1 right (world x)
    float zAxis = 0.0f;  // 0 or 1 forward (world +z)
    bool jump = false;
  };

  // clock: the level's run clock in seconds, only for the log.
  Keys decide(const glm::dvec3& position, bool grounded, double clock);

  std::ostringstream log;  // jumps and landings, for a failure's trace
  std::size_t hop = 0;     // index of the next jump on the line

 private:
  enum class State { Ground, Jumping, Air };
  State state = State::Ground;
  double jumpY = 0.0;  // world units, height where the current jump started
  int stateFrames = 0;
  int groundedFrames = 100;  // frames since the controller last stood on something
};
