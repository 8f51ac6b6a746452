// The real game, started once in this process and drawn frame after frame under the current
// display, with keys injected between frames: no GL error, no position or matrix that is not
// finite, no growth of resident memory after warm-up.
#include <GL/glew.h>
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>
#include <malloc.h>

#include <algorithm>
#include <cmath>
#include <iostream>

#include "app/camera.h"
#include "app/game.h"
#include "app/input.h"
#include "app/process_objects.h"
#include "resident_memory.h"

namespace {

constexpr double kFrameSeconds = 0.1;  // each frame's length: 10 frames per second of game time

bool finite(const glm::mat4& m) {
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r)
      if (!std::isfinite(m[c][r])) return false;
  return true;
}
bool finite(const glm::vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// The script repeats every period frames and ends each period with R, so that every period shows
// the same course, the same passes and the same GL state; the first period is the warm-up (the
// driver compiles its state variants there).
void renderSoak(int frames, int period) {
  // One game per process: the course lives in the process-wide level.
  ASSERT_EQ(level.solids.count, 0) << "run each rendered soak in a process of its own (--gtest_filter)";
  Game game(physicsWorld, level);
  double now = 0.0;  // seconds
  game.clock = [&now] { return now += kFrameSeconds; };
  ASSERT_EQ(game.startUp("assets/settings.ini"), 0);
  while (glGetError() != GL_NO_ERROR) {
  }  // start-up is checked elsewhere; this test watches the frames

  auto key = [&](int glfwKey, int action) { onKey(game.window, glfwKey, 0, action, 0); };
  int firstErrorFrame = -1, firstBadFrame = -1;
  GLenum firstError = GL_NO_ERROR;
  long long warmBytes = 0;
  double furthestZ = 0.0;  // world units
  for (int frame = 0; frame < frames && !game.shouldClose(); ++frame) {
    // Through the intro and then forward, jumping every second; a short pause and a look at
    // the wireframe on the way; R at the end of the period.
    const int step = frame % period;
    if (step == 0) key(GLFW_KEY_DOWN, GLFW_PRESS);
    if (step % 10 == 5) key(GLFW_KEY_LEFT_CONTROL, GLFW_PRESS);
    if (step % 10 == 8) key(GLFW_KEY_LEFT_CONTROL, GLFW_RELEASE);
    if (step == period / 5 || step == period / 5 + 3) key(GLFW_KEY_SPACE, GLFW_RELEASE);
    if (step == period / 3 || step == period / 3 + 2) key(GLFW_KEY_F1, GLFW_RELEASE);
    if (step == period - 1) key(GLFW_KEY_R, GLFW_PRESS), key(GLFW_KEY_R, GLFW_RELEASE);

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
  const double furthest = furthestZ;
  game.shutDown();
  keyState.reset();

  std::cout << drawn << " frames drawn, player at (" << end.x << ", " << end.y << ", " << end.z << "); resident "
            << warmBytes / 1024 << " KiB after warm-up, " << endBytes / 1024 << " KiB at the end" << std::endl;
  EXPECT_EQ(drawn, frames);
  EXPECT_EQ(firstErrorFrame, -1) << "GL error 0x" << std::hex << firstError;
  EXPECT_EQ(firstBadFrame, -1) << "a position or matrix stopped being finite";
  EXPECT_GT(furthest, 5.0) << "the player never got going";
  EXPECT_NEAR(end.z, 0.0, 1e-6) << "R at the end of the period puts the player back at the start";
  // Resident memory is printed, not checked: under the software rasteriser it swings by about
  // 10 MB from period to period inside the driver (its scene bins), which hides any growth of ours
  // below that. The simulation soak checks the game's own memory.
  EXPECT_GT(warmBytes, 0);
}

}  // namespace

// The CI length: five periods of six seconds of game time (the intro takes five).
TEST(RenderSoak, ThreeHundredFramesOfTheRealGameStayFreeOfGlErrorsAndNan) { renderSoak(300, 60); }

// The long run: kellvane-tests-soak --gtest_also_run_disabled_tests --gtest_filter='RenderSoak.DISABLED_*'
TEST(RenderSoak, DISABLED_ThousandFramesOfTheRealGameStayFreeOfGlErrorsAndNan) { renderSoak(1000, 100); }
