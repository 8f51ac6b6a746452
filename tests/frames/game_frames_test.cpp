// The real start-up and frame loop, one frame at a time, with a clock the test drives and key
// events injected through the same callback the window library calls.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <vector>

#include "app/camera.h"
#include "app/game.h"
#include "app/input.h"
#include "app/process_objects.h"
#include "game/level.h"
#include "scene/frame_probe.h"

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
  // A round thing stays round: the projection's horizontal scale is the vertical one over 320/240.
  EXPECT_FLOAT_EQ(game.camera->projection[1][1] / game.camera->projection[0][0], 320.0f / 240.0f);
  // The camera's height closes 3 x dt of its gap to the player (y 120 at the start) per frame:
  // the first frame, however long it really lasted, steps by 1/60.
  const float startY = static_cast<float>(playerController->getPosition().y);
  frame(0.25);
  EXPECT_FLOAT_EQ(game.camera->smoothedHeight, startY * 3.0f / 60.0f);
  // The next frame steps by what this one lasted.
  EXPECT_FLOAT_EQ(game.deltaTime, 0.25f);
  const float height = game.camera->smoothedHeight;
  const float playerY = static_cast<float>(playerController->getPosition().y);
  frame(1.0 / 60.0);
  EXPECT_FLOAT_EQ(game.camera->smoothedHeight, height - (height - playerY) * 0.25f * 3.0f);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// The stages as the frame probe sees them: physics and the player, the shadow passes, the scene,
// the sky and the flames, and the rules last, after everything was drawn from the old state. The
// scene's comparing samplers are gone from units 2 to 6 once the scene is drawn.
TEST_F(GameFrames, OneFrameRunsItsStagesInOrderAndPausedFramesSkipOnlyTheMove) {
  std::vector<FrameStage> stages;
  std::vector<GLint> samplersAfterScene;
  frameProbe.onStage = [&](FrameStage stage) {
    stages.push_back(stage);
    if (stage != FrameStage::Sky) return;
    GLint active = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    for (GLenum unit = 2; unit <= 6; ++unit) {
      GLint sampler = -1;
      glActiveTexture(GL_TEXTURE0 + unit);
      glGetIntegerv(GL_SAMPLER_BINDING, &sampler);
      samplersAfterScene.push_back(sampler);
    }
    glActiveTexture(static_cast<GLenum>(active));
  };
  const std::vector<FrameStage> drawing = {FrameStage::SunShadow,   FrameStage::CubeShadow1, FrameStage::CubeShadow2,
                                           FrameStage::CubeShadow3, FrameStage::CubeShadow4, FrameStage::Scene,
                                           FrameStage::Sky,         FrameStage::Particles,   FrameStage::Rules,
                                           FrameStage::FrameEnd};
  std::vector<FrameStage> whole = {FrameStage::Physics, FrameStage::PlayerMove, FrameStage::Untimed};
  whole.insert(whole.end(), drawing.begin(), drawing.end());
  frame(1.0 / 60.0);
  EXPECT_EQ(stages, whole);
  EXPECT_EQ(samplersAfterScene, std::vector<GLint>(5, 0)) << "units 2 to 6 after the scene";

  key(GLFW_KEY_SPACE, GLFW_PRESS);
  key(GLFW_KEY_SPACE, GLFW_RELEASE);
  ASSERT_TRUE(paused);
  stages.clear();
  frame(1.0 / 60.0);
  EXPECT_EQ(stages, drawing);
  frameProbe.onStage = nullptr;
  paused = false;
}

TEST_F(GameFrames, AGlErrorDuringPlayPrintsAnOpenGlErrorLine) {
  frame(1.0 / 60.0);
  game.beforeSwap = [] { glEnable(0xFFFF); };  // no such capability
  ::testing::internal::CaptureStdout();
  frame(1.0 / 60.0);
  const std::string out = ::testing::internal::GetCapturedStdout();
  game.beforeSwap = nullptr;
  EXPECT_NE(out.find("OpenGL Error: "), std::string::npos) << out;
  EXPECT_NE(out.find("Type = Error"), std::string::npos) << out;
  glGetError();  // the flag this test raised
}

// With `debug = true`: the level flies without chase rules, the camera is in debug mode and the
// cursor is captured; debugCam 0 picks the free camera, anything else the orbit camera.
class DebugFrames : public ::testing::TestWithParam<int> {
 protected:
  void TearDown() override {
    game.shutDown();
    level.debugMode = false;
  }
  double now = 100.0;
  Game game{physicsWorld, level};
};

TEST_P(DebugFrames, DebugSettingsWireTheLevelTheCameraAndTheCursor) {
  const std::string settings = ::testing::TempDir() + "debug.ini";
  std::ofstream(settings) << "[window]\nwidth=320\nheight=240\ndebug=true\ndebugCam=" << GetParam() << "\n";
  game.clock = [this] { return now; };
  ASSERT_EQ(game.startUp(settings), 0);
  EXPECT_TRUE(level.debugMode);
  EXPECT_TRUE(game.camera->debug);
  EXPECT_EQ(glfwGetInputMode(game.window, GLFW_CURSOR), GLFW_CURSOR_DISABLED);
  now += 1.0 / 60.0;
  game.frame();
  EXPECT_EQ(physicsWorld.moveSpeed, 20.0f) << "debug flight speed";
  // Only the follow (orbit) camera smooths the height; the free camera starts at the player.
  if (GetParam() == 0) {
    EXPECT_EQ(game.camera->smoothedHeight, 0.0f);
    EXPECT_FALSE(game.camera->firstMouse);
  } else {
    EXPECT_GT(game.camera->smoothedHeight, 0.0f);
  }
}

INSTANTIATE_TEST_SUITE_P(FreeAndOrbit, DebugFrames, ::testing::Values(0, 1));

TEST(PlainFrames, WithoutDebugTheCursorIsFreeAndTheChaseRulesRun) {
  const std::string settings = ::testing::TempDir() + "plain.ini";
  std::ofstream(settings) << "[window]\nwidth=320\nheight=240\n";
  Game game{physicsWorld, level};
  double now = 100.0;
  game.clock = [&now] { return now; };
  ASSERT_EQ(game.startUp(settings), 0);
  EXPECT_FALSE(level.debugMode);
  EXPECT_FALSE(game.camera->debug);
  EXPECT_EQ(glfwGetInputMode(game.window, GLFW_CURSOR), GLFW_CURSOR_NORMAL);
  now += 1.0 / 60.0;
  game.frame();
  EXPECT_EQ(physicsWorld.moveSpeed, 0.0f) << "the intro holds the player";
  game.shutDown();
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
