#include "app/game.h"

#include <iostream>

#include "app/diagnostics.h"
#include "app/fatal.h"
#include "app/process_objects.h"
#include "game/level.h"
#include "physics/physics_world.h"
#include "render/framework.h"

Game::Game(PhysicsWorld& w, Level& l) : world(w), level(l) {}

int Game::fail(const std::string& message, bool glfwInitialised) {
  if (glfwInitialised) glfwTerminate();
  std::cout << "ERROR: " << message << std::endl;
  waitForKeyIfInteractive();
  return 1;
}

int Game::startUp(const std::string& settingsPath) {
  // 1-2. Settings.
  settings = loadSettings(settingsPath);
  if (settings.debug) level.debugMode = true;

  // 3. Window library, hints, window.
  glfwSetErrorCallback(onGlfwError);
  if (!glfwInit()) return fail("Failed to init GLFW", false);
  glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 4);
  glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
  glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
  glfwWindowHint(GLFW_OPENGL_DEBUG_CONTEXT, GLFW_TRUE);  // always: the debug output is read in every run
  glfwWindowHint(GLFW_REFRESH_RATE, settings.refreshRate);
  glfwWindowHint(GLFW_RESIZABLE, GLFW_FALSE);
  glfwWindowHint(GLFW_SAMPLES, 4);
  window = glfwCreateWindow(settings.width, settings.height, settings.title.c_str(),
                            settings.fullscreen ? glfwGetPrimaryMonitor() : nullptr, nullptr);
  if (!window) return fail("Failed to create window", true);

  // 4. Context and loader; experimental mode loads the core-profile entry points.
  glfwMakeContextCurrent(window);
  glewExperimental = GL_TRUE;
  const GLenum glewStatus = glewInit();
  if (glewStatus != GLEW_OK) {
    const char* text = reinterpret_cast<const char*>(glewGetErrorString(glewStatus));
    return fail(std::string("Failed to init GLEW: ") + text, true);
  }

  // 5. Debug output, whenever the driver has the entry point.
  if (glDebugMessageCallback) {
    glDebugMessageCallback(onGlDebugMessage, nullptr);
    glEnable(GL_DEBUG_OUTPUT_SYNCHRONOUS);
  }

  // 6. Framework.
  if (!initFramework()) return fail("Failed to init framework", true);

  // 8. GL state.
  glClearColor(1, 1, 1, 1);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_CULL_FACE);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

  // 23. Timer.
  frameTime = static_cast<float>(clock());
  deltaTime = 1.0f / 60.0f;
  return 0;
}

bool Game::shouldClose() const { return glfwWindowShouldClose(window) != 0; }

void Game::frame() {
  // 1. Clear.
  glClearColor(0.1f, 0.1f, 0.1f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

  // 2. Events: the input callbacks run here.
  glfwPollEvents();

  // 6. Physics.
  world.stepPhysics(deltaTime);

  // 15. Timing: the next frame steps by the length of this one, however long it was.
  const float previous = frameTime;
  frameTime = static_cast<float>(clock());
  deltaTime = frameTime - previous;
  ++frameCount;

  // 16. Swap.
  glfwSwapBuffers(window);
}

void Game::shutDown() {
  shutdownFramework();
  glfwTerminate();
  window = nullptr;
}

int runGame() {
  Game game(physicsWorld, level);
  if (const int failed = game.startUp()) return failed;
  while (!game.shouldClose()) game.frame();
  game.shutDown();
  return 0;
}
