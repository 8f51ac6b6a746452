#pragma once
#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <array>
#include <functional>
#include <memory>
#include <string>

#include "app/gamepad.h"
#include "app/hud.h"
#include "app/resources.h"
#include "app/settings.h"
#include "game/best_runs.h"
#include "render/scaled_target.h"
#include "scene/light.h"
#include "scene/shadow_map.h"

class Camera;
class Level;
class ParticleSystem;
class PhysicsWorld;
class PlayerController;
class Skybox;
class TextRenderer;

// The entry routine's state: everything start-up makes, the frame loop that uses it and the
// shutdown that releases it. runGame() does startUp, frame until the window closes, and shutDown;
// a test can do the same with its own clock and inject key events between frames.
class Game {
 public:
  Game(PhysicsWorld& world, Level& level);
  ~Game();

  // Settings, window, context, framework and every resource. Returns 0, or 1 after a fatal
  // failure, which has then been reported and the window library terminated.
  int startUp(const std::string& settingsPath = "assets/settings.ini");
  bool shouldClose() const;
  // One iteration of the frame loop, ending with the timing step and the buffer swap.
  void frame();
  // Releases what start-up made, in reverse order, and terminates the window library.
  void shutDown();
  // Steps 8 to 13 of a frame: the shadow passes, the scene, the sky and the flames. frame() calls
  // it once; a benchmark may draw the same state again, without moving the flames.
  void drawPasses(bool updateParticles = true);
  // Step 13c: the HUD over the finished picture, when the `hud` setting made a text renderer.
  void drawHud();

  // Seconds; the game uses the window library's timer, tests substitute their own.
  std::function<double()> clock = [] { return glfwGetTime(); };
  // Runs after every draw of a frame and before the swap, while the finished picture is still in
  // the back buffer: tests read it back here. Empty in the game.
  std::function<void()> beforeSwap;

  Settings settings;
  GLFWwindow* window = nullptr;
  float frameTime = 0.0f;          // seconds, clock at the end of the latest frame
  float deltaTime = 1.0f / 60.0f;  // seconds, length of the latest frame; never clamped
  long long frameCount = 0;

  PhysicsWorld& world;
  Level& level;
  PlayerController* controller = nullptr;  // the world's player controller

  GameResources resources;
  std::unique_ptr<Skybox> sky;
  DirectionalLight sun;
  std::array<PointLight, 5> groundLights;
  std::unique_ptr<Camera> camera;
  glm::mat4 lightSpaceMatrix{1.0f};
  ShadowMap sunShadow;
  std::array<ShadowMap, 4> cubeShadows;
  std::array<std::shared_ptr<ParticleSystem>, 5> particles;
  std::unique_ptr<TextRenderer> text;  // made only with the `hud` setting
  Hud hud;
  Gamepad gamepad;    // read only with the `gamepad` setting
  PadFrame pad;       // this frame's request from it
  BestRuns bestRuns;  // "best-runs.txt" in the folder the game starts in
  // Where the scene, the sky and the flames are drawn when `render_scale` is below 1.
  ScaledTarget sceneTarget;

 private:
  bool contextReady = false;  // from a loaded GL and framework until shutDown releases them
  int fail(const std::string& message, bool glfwInitialised);
  bool finishNoted = false;  // the finished run has gone into the best runs
  void makeScene();
  // Step 13b: a run finished in this frame goes into the best runs.
  void noteFinishedRun();
  // Step 2b: the pad's state, its Start and Back acting as space and R.
  void readPad();
};

// The whole program: start-up, the frame loop and shutdown. Returns the exit code.
int runGame();
