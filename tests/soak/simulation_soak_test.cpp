// The game's simulation for many thousand frames as the frame loop runs it, without drawing: the
// real course in the process-wide physics world, keys through the input callback, the player's
// move and the rules. A script cycles through the three ways a run restarts.
#include <gtest/gtest.h>

#include <cmath>
#include <iostream>
#include <sstream>

#include "app/input.h"  // the window library and its key codes, after the GL loader
#include "app/process_objects.h"
#include "resident_memory.h"

namespace {

constexpr float kFrame = 1.0f / 60.0f;  // seconds
constexpr int kWarmUpFrames = 5000;     // a few script cycles before memory is measured

// GL texture names are only stored by the rules; any distinct numbers do.
void buildCourseOnce() {
  static bool built = false;
  if (built) return;
  built = true;
  level.world = &physicsWorld;
  level.makeMeshes = false;
  level.build(playerController, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
              nullptr, 13, 15, 16, 21, 22, 23, 24, 31, 32, 41, 42);
  level.placeCollectibles(nullptr, 51, 52, nullptr, nullptr, nullptr, nullptr, 17, 18, 19);
}

void key(int glfwKey, int action) { onKey(nullptr, glfwKey, 0, action, 0); }
void tap(int glfwKey) {
  key(glfwKey, GLFW_PRESS);
  key(glfwKey, GLFW_RELEASE);
}

bool finite(const glm::dvec3& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }
bool finite(const glm::vec3& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

struct SoakResult {
  int captures = 0;   // restarts after the boulder caught the player
  int falls = 0;      // restarts after a fall below the section's floor
  int keyResets = 0;  // restarts by R
  int badFrame = -1;  // first frame with a position that is not finite
  long long warmBytes = 0;
  long long endBytes = 0;
};

// One script cycle: stand still until the boulder catches the player; then run ahead and to the
// left without jumping, past the first skull's plinth and into the first gap (walls line both
// sides of the course, so there is no falling off sideways); then run forward jumping now and
// then, and press R.
SoakResult soak(int frames) {
  buildCourseOnce();
  playerController->setPosition(startPosition);
  level.reset();
  keyState.reset();
  paused = false;
  SoakResult result;
  int phase = 0, phaseFrames = 0;
  for (int frame = 0; frame < frames; ++frame) {
    ++phaseFrames;
    if (phase == 2 && phaseFrames == 1) key(GLFW_KEY_DOWN, GLFW_PRESS);
    if (phase == 2 && phaseFrames % 90 == 0) key(GLFW_KEY_LEFT_CONTROL, GLFW_PRESS);
    if (phase == 2 && phaseFrames % 90 == 20) key(GLFW_KEY_LEFT_CONTROL, GLFW_RELEASE);
    if (phase == 2 && phaseFrames == 400) {
      key(GLFW_KEY_DOWN, GLFW_RELEASE);
      tap(GLFW_KEY_R);
      // Counted only when it really restarted: the clock back at 0, the player at the start.
      if (level.clock == 0.0 && playerController->getPosition() == startPosition) ++result.keyResets;
      phase = 0, phaseFrames = 0;
    }

    // The frame loop's order: physics, axes from the keys, the player's move, the rules.
    physicsWorld.stepPhysics(kFrame);
    arrowAxes();
    physicsWorld.movePlayer(moveAxes, 0.0f, kFrame);
    const bool wasFailed = level.failed;
    const double clockBefore = level.clock;
    level.update(playerController->getPosition(), kFrame);
    if (level.clock < clockBefore) {  // the rules restarted the run
      if (wasFailed) {
        ++result.captures;
        if (phase == 0) phase = 1, phaseFrames = 0, key(GLFW_KEY_DOWN, GLFW_PRESS), key(GLFW_KEY_LEFT, GLFW_PRESS);
      } else {
        ++result.falls;
        if (phase == 1) phase = 2, phaseFrames = 0, keyState.reset();
      }
    }
    // A stuck phase (a wall on the way, say) moves on rather than idling for the rest of the run.
    if (phaseFrames > 1500) {
      keyState.reset();
      phase = (phase + 1) % 3, phaseFrames = 0;
      if (phase == 1) key(GLFW_KEY_DOWN, GLFW_PRESS), key(GLFW_KEY_LEFT, GLFW_PRESS);
    }

    if (result.badFrame < 0 &&
        (!finite(playerController->getPosition()) || !finite(level.boulder.body->globalPose().position) ||
         !finite(level.gate.body->globalPose().position) || !std::isfinite(level.clock)))
      result.badFrame = frame;
    if (frame % 1000 == 0 && result.badFrame < 0)
      for (int i = 0; i < level.looseBoxes.count; ++i)
        if (!finite(level.looseBoxes.bodies[i]->globalPose().position)) result.badFrame = frame;
    if (frame == kWarmUpFrames) result.warmBytes = residentBytes();
  }
  result.endBytes = residentBytes();
  keyState.reset();
  return result;
}

void expectSound(const SoakResult& r, int frames) {
  // A script cycle takes about 1,250 frames; count on at least one restart of each kind per 2,500.
  const int cycles = frames / 2500;
  std::cout << frames << " frames: " << r.captures << " captures, " << r.falls << " falls, " << r.keyResets
            << " resets by R; resident " << r.warmBytes / 1024 << " KiB after warm-up, " << r.endBytes / 1024
            << " KiB at the end" << std::endl;
  EXPECT_EQ(r.badFrame, -1) << "a position stopped being finite";
  EXPECT_GE(r.captures, cycles);
  EXPECT_GE(r.falls, cycles);
  EXPECT_GE(r.keyResets, cycles);
  ASSERT_GT(r.warmBytes, 0) << "/proc/self/statm unreadable";
  EXPECT_LT(r.endBytes - r.warmBytes, kMaxGrowthBytes);
}

}  // namespace

// The CI length. Each test needs a fresh process (ctest runs each test in its own).
TEST(SimulationSoak, TwentyThousandFramesRestartByCaptureFallAndKeyWithoutNanOrGrowth) {
  std::ostringstream screen;  // end screens of finished runs, if any
  std::streambuf* previous = std::cout.rdbuf(screen.rdbuf());
  const SoakResult r = soak(20000);
  std::cout.rdbuf(previous);
  expectSound(r, 20000);
}

// The long soak: kellvane-tests-soak --gtest_also_run_disabled_tests --gtest_filter='*HundredThousand*'
TEST(SimulationSoak, DISABLED_HundredThousandFramesRestartByCaptureFallAndKeyWithoutNanOrGrowth) {
  std::ostringstream screen;
  std::streambuf* previous = std::cout.rdbuf(screen.rdbuf());
  const SoakResult r = soak(100000);
  std::cout.rdbuf(previous);
  expectSound(r, 100000);
}
