#pragma once
#include <GL/glew.h>
#include <GLFW/glfw3.h>
#include <functional>
#include <string>

#include "app/settings.h"

class Level;
class PhysicsWorld;

// The entry routine's state: everything start-up makes, the frame loop that uses it and the
// shutdown that releases it. main() runs startUp, frame until the window closes, and shutDown;
// a test can do the same with its own clock and deltaTime and inject key events in between.
class Game {
 public:
  Game(PhysicsWorld& world, Level& level);

  // Settings, window, context, framework and every resource. Returns 0, or 1 after a fatal
  // failure, which has then been reported and the window library terminated.
  int startUp(const std::string& settingsPath = "assets/settings.ini");
  bool shouldClose() const;
  // One iteration of the frame loop, ending with the timing step and the buffer swap.
  void frame();
  // Releases what start-up made, in reverse order, and terminates the window library.
  void shutDown();

  // Seconds; main uses the window library's timer, tests substitute their own.
  std::function<double()> clock = [] { return glfwGetTime(); };

  Settings settings;
  GLFWwindow* window = nullptr;
  float frameTime = 0.0f;         // seconds, clock at the end of the latest frame
  float deltaTime = 1.0f / 60.0f; // seconds, length of the latest frame; never clamped
  long long frameCount = 0;

  PhysicsWorld& world;
  Level& level;

 private:
  int fail(const std::string& message, bool glfwInitialised);
};

// The whole program: start-up, the frame loop and shutdown. Returns the exit code.
int runGame();
