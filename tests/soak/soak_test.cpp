// The game for many frames, keys injected between them: the simulation alone as the frame loop
// runs it (restarts by capture, fall and R; no NaN; resident memory flat after warm-up), and the
// real game drawn under the current display (no GL error, nothing that is not finite). Each test
// needs a process of its own (ctest runs each in one): the course lives in the process-wide level.
#include <GL/glew.h>
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <sstream>

#include "app/camera.h"
#include "app/game.h"
#include "app/input.h"
#include "app/process_objects.h"
#include "support/gl_context.h"

namespace {

constexpr long long kMaxGrowthBytes = 2ll * 1024 * 1024;  // allowed growth after warm-up

// Bytes resident now (the second field of /proc/self/statm, in pages); 0 when unreadable.
long long residentBytes() {
  long long pages = 0, resident = 0;
  FILE* statm = std::fopen("/proc/self/statm", "r");
  if (!statm) return 0;
  const int read = std::fscanf(statm, "%lld %lld", &pages, &resident);
  std::fclose(statm);
  return read == 2 ? resident * sysconf(_SC_PAGESIZE) : 0;
}

template <typename V>
bool finite(const V& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}
bool finite(const glm::mat4& m) {
  for (int c = 0; c < 4; ++c)
    if (!finite(m[c]) || !std::isfinite(m[c][3])) return false;
  return true;
}

void key(int glfwKey, int action, GLFWwindow* window = nullptr) { onKey(window, glfwKey, 0, action, 0); }

// One script cycle: stand still until the boulder catches the player; then run ahead and to the
// left without jumping, past the first skull's plinth and into the first gap (walls line both
// sides, so there is no falling off sideways); then run forward jumping now and then, and press R.
void simulationSoak(int frames) {
  constexpr float kFrame = 1.0f / 60.0f;  // seconds
  constexpr int kWarmUpFrames = 5000;     // a few script cycles before memory is measured
  std::ostringstream screen;              // end screens of finished runs, if any
  std::streambuf* previous = std::cout.rdbuf(screen.rdbuf());
  // Built once per process; GL texture names are only stored by the rules, any distinct numbers do.
  static const bool built = [] {
    level.world = &physicsWorld;
    level.makeMeshes = false;
    level.build(playerController, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                nullptr, 13, 15, 16, 21, 22, 23, 24, 31, 32, 41, 42);
    level.placeCollectibles(nullptr, 51, 52, nullptr, nullptr, nullptr, nullptr, 17, 18, 19);
    return true;
  }();
  (void)built;
  playerController->setPosition(startPosition);
  level.reset();
  keyState.reset();
  paused = false;
  int captures = 0, falls = 0, keyResets = 0, badFrame = -1;
  long long warmBytes = 0;
  auto runAheadLeft = [] { key(GLFW_KEY_DOWN, GLFW_PRESS), key(GLFW_KEY_LEFT, GLFW_PRESS); };
  int phase = 0, phaseFrames = 0;
  for (int frame = 0; frame < frames; ++frame) {
    ++phaseFrames;
    if (phase == 2 && phaseFrames == 1) key(GLFW_KEY_DOWN, GLFW_PRESS);
    if (phase == 2 && phaseFrames % 90 == 0) key(GLFW_KEY_LEFT_CONTROL, GLFW_PRESS);
    if (phase == 2 && phaseFrames % 90 == 20) key(GLFW_KEY_LEFT_CONTROL, GLFW_RELEASE);
    if (phase == 2 && phaseFrames == 400) {
      key(GLFW_KEY_DOWN, GLFW_RELEASE);
      key(GLFW_KEY_R, GLFW_PRESS), key(GLFW_KEY_R, GLFW_RELEASE);
      // Counted only when it really restarted: the clock back at 0, the player at the start.
      if (level.clock == 0.0 && playerController->getPosition() == startPosition) ++keyResets;
      phase = 0, phaseFrames = 0;
    }
    // The frame loop's order: physics, axes from the keys, the player's move, the rules.
    physicsWorld.stepPhysics(kFrame);
    arrowAxes();
    physicsWorld.movePlayer(moveAxes, 0.0f, kFrame);
    const bool wasFailed = level.failed;
    const double clockBefore = level.clock;
    level.update(playerController->getPosition(), kFrame);
    if (level.clock < clockBefore && wasFailed) {  // the rules restarted the run after a capture
      ++captures;
      if (phase == 0) phase = 1, phaseFrames = 0, runAheadLeft();
    } else if (level.clock < clockBefore) {  // ... after a fall
      ++falls;
      if (phase == 1) phase = 2, phaseFrames = 0, keyState.reset();
    }
    // A stuck phase (a wall on the way, say) moves on rather than idling for the rest of the run.
    if (phaseFrames > 1500) {
      keyState.reset();
      phase = (phase + 1) % 3, phaseFrames = 0;
      if (phase == 1) runAheadLeft();
    }
    bool sound = finite(playerController->getPosition()) && finite(level.boulder.body->globalPose().position) &&
                 finite(level.gate.body->globalPose().position) && std::isfinite(level.clock);
    for (int i = 0; frame % 1000 == 0 && i < level.looseBoxes.count; ++i)
      sound = sound && finite(level.looseBoxes.bodies[i]->globalPose().position);
    if (!sound && badFrame < 0) badFrame = frame;
    if (frame == kWarmUpFrames) warmBytes = residentBytes();
  }
  const long long endBytes = residentBytes();
  keyState.reset();
  std::cout.rdbuf(previous);

  // A script cycle takes about 1,250 frames; count on at least one restart of each kind per 2,500.
  const int cycles = frames / 2500;
  std::cout << frames << " frames: " << captures << " captures, " << falls << " falls, " << keyResets
            << " resets by R; resident " << warmBytes / 1024 << " KiB after warm-up, " << endBytes / 1024
            << " KiB at the end" << std::endl;
  EXPECT_EQ(badFrame, -1) << "a position stopped being finite";
  EXPECT_GE(captures, cycles);
  EXPECT_GE(falls, cycles);
  EXPECT_GE(keyResets, cycles);
  ASSERT_GT(warmBytes, 0) << "/proc/self/statm unreadable";
  EXPECT_LT(endBytes - warmBytes, kMaxGrowthBytes);
}

// The script repeats every period frames and ends each period with R, so that every period shows
// the same course, passes and GL state; the first period is the warm-up (the driver compiles its
// state variants there).
void renderSoak(int frames, int period) {
  ASSERT_EQ(level.solids.count, 0) << "run each rendered soak in a process of its own (--gtest_filter)";
  Game game(physicsWorld, level);
  double now = 0.0;  // seconds, 10 frames per second of game time
  game.clock = [&now] { return now += 0.1; };
  ASSERT_EQ(game.startUp("assets/settings.ini"), 0);
  drainGlErrors();  // start-up is checked elsewhere; this test watches the frames
  int firstErrorFrame = -1, firstBadFrame = -1;
  GLenum firstError = GL_NO_ERROR;
  long long warmBytes = 0;
  double furthestZ = 0.0;  // world units
  for (int frame = 0; frame < frames && !game.shouldClose(); ++frame) {
    // Through the intro and then forward, jumping every second; a short pause and a look at the
    // wireframe on the way; R at the end of the period.
    const int step = frame % period;
    if (step == 0) key(GLFW_KEY_DOWN, GLFW_PRESS, game.window);
    if (step % 10 == 5) key(GLFW_KEY_LEFT_CONTROL, GLFW_PRESS, game.window);
    if (step % 10 == 8) key(GLFW_KEY_LEFT_CONTROL, GLFW_RELEASE, game.window);
    if (step == period / 5 || step == period / 5 + 3) key(GLFW_KEY_SPACE, GLFW_RELEASE, game.window);
    if (step == period / 3 || step == period / 3 + 2) key(GLFW_KEY_F1, GLFW_RELEASE, game.window);
    if (step == period - 1) key(GLFW_KEY_R, GLFW_PRESS, game.window), key(GLFW_KEY_R, GLFW_RELEASE, game.window);
    game.frame();
    const GLenum error = glGetError();
    if (error != GL_NO_ERROR && firstErrorFrame < 0) firstErrorFrame = frame, firstError = error;
    const glm::vec3 player(game.controller->getPosition());
    furthestZ = std::max(furthestZ, double(player.z));
    bool sound = finite(player) && finite(game.camera->view) && finite(game.camera->projection) &&
                 finite(game.camera->position) && finite(game.lightSpaceMatrix) && std::isfinite(game.deltaTime);
    for (const PointLight& light : level.activeLights) sound = sound && finite(light.position);
    if (!sound && firstBadFrame < 0) firstBadFrame = frame;
    if (frame == period - 1) malloc_trim(0), warmBytes = residentBytes();
  }
  malloc_trim(0);  // free pages back to the system, so that resident memory shows what is in use
  const long long endBytes = residentBytes();
  const long long drawn = game.frameCount;
  const glm::dvec3 end = game.controller->getPosition();
  game.shutDown();
  keyState.reset();

  std::cout << drawn << " frames drawn, player at (" << end.x << ", " << end.y << ", " << end.z << "); resident "
            << warmBytes / 1024 << " KiB after warm-up, " << endBytes / 1024 << " KiB at the end" << std::endl;
  EXPECT_EQ(drawn, frames);
  EXPECT_EQ(firstErrorFrame, -1) << "GL error 0x" << std::hex << firstError;
  EXPECT_EQ(firstBadFrame, -1) << "a position or matrix stopped being finite";
  EXPECT_GT(furthestZ, 5.0) << "the player never got going";
  EXPECT_NEAR(end.z, 0.0, 1e-6) << "R at the end of the period puts the player back at the start";
  // Resident memory is printed, not checked: under the software rasteriser it swings by about
  // 10 MB from period to period inside the driver, which hides any growth of ours below that. The
  // simulation soak checks the game's own memory.
  EXPECT_GT(warmBytes, 0);
}

}  // namespace

// The CI lengths, and the long runs (TESTING.md).
TEST(RenderSoak, ThreeHundredFramesOfTheRealGameStayFreeOfGlErrorsAndNan) { renderSoak(300, 60); }
TEST(RenderSoak, DISABLED_ThousandFramesOfTheRealGameStayFreeOfGlErrorsAndNan) { renderSoak(1000, 100); }
TEST(SimulationSoak, TwentyThousandFramesRestartByCaptureFallAndKeyWithoutNanOrGrowth) { simulationSoak(20000); }
TEST(SimulationSoak, DISABLED_HundredThousandFramesRestartByCaptureFallAndKeyWithoutNanOrGrowth) {
  simulationSoak(100000);
}
