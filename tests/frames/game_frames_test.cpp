// The real start-up and frame loop, one frame at a time, with a clock the test drives and key
// events injected through the same callback the window library calls.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "app/game.h"
#include "app/input.h"
#include "app/process_objects.h"
#include "game/level.h"

namespace {

class GameFrames : public ::testing::Test {
 protected:
  // One game per test program run: ctest starts every test in a process of its own.
  void SetUp() override {
    const std::string settings = ::testing::TempDir() + "frames.ini";
    std::ofstream(settings) << "[window]\nwidth=320\nheight=240\ntitle=Frames\n[light]\nparticles=true\n";
    game.clock = [this] { return now; };
    ASSERT_EQ(game.startUp(settings), 0);
  }
  void TearDown() override { game.shutDown(); }

  // Runs one frame that lasts `seconds` on the test's clock.
  void frame(double seconds) {
    now += seconds;
    game.frame();
  }
  void key(int key, int action) { onKey(game.window, key, 0, action, 0); }

  double now = 100.0;  // seconds; any start works, only differences count
  Game game{physicsWorld, level};
};

bool finite(const glm::dvec3& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

}  // namespace

TEST_F(GameFrames, WindowTakesItsSizeAndTheFirstFrameSteps1Over60) {
  int w = 0, h = 0;
  glfwGetWindowSize(game.window, &w, &h);
  EXPECT_EQ(w, 320);
  EXPECT_EQ(h, 240);
  EXPECT_FLOAT_EQ(game.deltaTime, 1.0f / 60.0f);
  frame(0.25);
  // The next frame steps by what this one lasted.
  EXPECT_FLOAT_EQ(game.deltaTime, 0.25f);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(GameFrames, ATwoSecondStallIsPassedOnUnclampedAndLeavesNoNaN) {
  frame(1.0 / 60.0);
  frame(2.0);
  EXPECT_FLOAT_EQ(game.deltaTime, 2.0f);
  for (int i = 0; i < 3; ++i) frame(1.0 / 60.0);
  EXPECT_TRUE(finite(playerController->getPosition()));
  EXPECT_TRUE(std::isfinite(physicsWorld.verticalVelocity));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(GameFrames, PauseActsOnReleaseAndFreezesThePlayerButNotTheRules) {
  frame(1.0 / 60.0);
  key(GLFW_KEY_SPACE, GLFW_PRESS);
  frame(1.0 / 60.0);
  EXPECT_FALSE(paused) << "space acts on release only";
  key(GLFW_KEY_SPACE, GLFW_RELEASE);
  ASSERT_TRUE(paused);
  const glm::dvec3 frozen = playerController->getPosition();
  const float velocity = physicsWorld.verticalVelocity;
  const double clockBefore = level.clock;
  for (int i = 0; i < 5; ++i) frame(0.1);
  EXPECT_EQ(playerController->getPosition(), frozen);
  EXPECT_EQ(physicsWorld.verticalVelocity, velocity);
  EXPECT_GT(level.clock, clockBefore) << "the rules run while paused";

  key(GLFW_KEY_SPACE, GLFW_PRESS);
  key(GLFW_KEY_SPACE, GLFW_RELEASE);
  EXPECT_FALSE(paused);
  frame(1.0 / 60.0);
  frame(1.0 / 60.0);
  EXPECT_NE(playerController->getPosition(), frozen) << "falling again once unpaused";
}

TEST_F(GameFrames, EscapeClosesOnReleaseAlsoWhilePaused) {
  key(GLFW_KEY_SPACE, GLFW_PRESS);
  key(GLFW_KEY_SPACE, GLFW_RELEASE);
  ASSERT_TRUE(paused);
  key(GLFW_KEY_ESCAPE, GLFW_PRESS);
  frame(1.0 / 60.0);
  EXPECT_FALSE(game.shouldClose());
  key(GLFW_KEY_ESCAPE, GLFW_RELEASE);
  EXPECT_TRUE(game.shouldClose());
  // The loop ends after the current iteration; shutdown (in TearDown) follows as in the game.
  frame(1.0 / 60.0);
  paused = false;
}
