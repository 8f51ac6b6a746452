// The real start-up, frame loop and shutdown, one frame at a time, with a clock the test drives
// and key events injected through the same callback the window library calls. Each start costs
// seconds under a software rasteriser, so a test plays one start through many checks. The window
// library's terminate and the GL loader are watched: after glfwTerminate no context exists, so any
// GL call from then on (a destructor of an object that outlived the window, a release after a
// failed start) is a fault even where the driver happens to ignore it.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <vector>

#include "app/camera.h"
#include "app/game.h"
#include "app/input.h"
#include "app/process_objects.h"
#include "game/level.h"
#include "physics/player_controller.h"
#include "render/text_renderer.h"
#include "scene/frame_probe.h"

namespace {

bool failLoader = false;               // the next glewInit reports "Missing GL version" without loading
bool contextGone = false;              // between glfwTerminate and the next glfwInit
std::map<std::string, int> lateCalls;  // GL entry points called while contextGone

// The loader's entry points the game's releases use, swapped for recorders while contextGone.
struct Watched {
  void** slot;
  void *saved, *recorder;
};
#define KELLVANE_WATCH(fn)                                                                                 \
  {                                                                                                        \
    reinterpret_cast<void**>(&__glew##fn), nullptr,                                                        \
        reinterpret_cast<void*>(static_cast<decltype(__glew##fn)>([](auto...) { ++lateCalls["gl" #fn]; })) \
  }
void watch(bool gone) {
  static Watched watched[] = {KELLVANE_WATCH(DeleteBuffers),      KELLVANE_WATCH(DeleteVertexArrays),
                              KELLVANE_WATCH(DeleteProgram),      KELLVANE_WATCH(DeleteShader),
                              KELLVANE_WATCH(DeleteFramebuffers), KELLVANE_WATCH(DetachShader),
                              KELLVANE_WATCH(UseProgram),         KELLVANE_WATCH(BindBuffer),
                              KELLVANE_WATCH(BindVertexArray),    KELLVANE_WATCH(BindFramebuffer)};
  if (contextGone == gone) return;
  contextGone = gone;
  for (Watched& w : watched) {
    if (gone) w.saved = *w.slot;
    *w.slot = gone ? w.recorder : w.saved;
  }
}
template <typename F>
F next(const char* name) {
  return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

}  // namespace

// The test program's own definitions come before the libraries' for every caller in it, the
// game's code included; each passes the call on.
extern "C" {
GLenum GLEWAPIENTRY glewInit(void) {
  static const auto real = next<GLenum (*)()>("glewInit");
  return failLoader ? GLenum(GLEW_ERROR_NO_GL_VERSION) : real();
}
int glfwInit(void) {
  static const auto real = next<int (*)()>("glfwInit");
  watch(false);
  return real();
}
void glfwTerminate(void) {
  static const auto real = next<void (*)()>("glfwTerminate");
  real();
  watch(true);
}
void GLAPIENTRY glDeleteTextures(GLsizei n, const GLuint* textures) {
  static const auto real = next<void(GLAPIENTRY*)(GLsizei, const GLuint*)>("glDeleteTextures");
  contextGone ? void(++lateCalls["glDeleteTextures"]) : real(n, textures);
}
void GLAPIENTRY glBindTexture(GLenum target, GLuint texture) {
  static const auto real = next<void(GLAPIENTRY*)(GLenum, GLuint)>("glBindTexture");
  contextGone ? void(++lateCalls["glBindTexture"]) : real(target, texture);
}
}  // extern "C"

namespace {

constexpr int kWidth = 320, kHeight = 240;  // pixels
constexpr int kRepeatNoise = 4;             // channel steps two renderings of one paused frame may differ by under Xvfb

class GameFrames : public ::testing::Test {
 protected:
  int start(const std::string& settingsText, PhysicsWorld& world = physicsWorld, Level& run = level) {
    const std::string settings = ::testing::TempDir() + "frames.ini";
    std::ofstream(settings) << "[window]\nwidth=320\nheight=240\ntitle=Frames\n" << settingsText;
    game = std::make_unique<Game>(world, run);
    game->clock = [this] { return now; };
    lateCalls.clear();
    return game->startUp(settings);
  }
  // Runs one frame that lasts `seconds` on the test's clock.
  void frame(double seconds) {
    now += seconds;
    game->frame();
  }
  void key(int key, int action) { onKey(game->window, key, 0, action, 0); }
  void tap(int key) { this->key(key, GLFW_PRESS), this->key(key, GLFW_RELEASE); }
  // The run put where a player who ran the course would stand on the finish platform.
  void finish() {
    game->controller->setPosition(glm::dvec3(0.0, 38.0, 447.0));
    level.sectionIndex = level.sections.count;
    level.fallIndex = level.fallLimits.count - 1;
    for (int i = 0; i < 10 && !level.scorePrinted; ++i) frame(1.0 / 60.0);
    ASSERT_TRUE(level.scorePrinted);
    finishScore = level.points + timeBonus(level.clock);  // the clock runs on under the finish screen
  }
  std::string lateCallList() {
    std::string all;
    for (const auto& [name, count] : lateCalls) all += name + " x " + std::to_string(count) + ", ";
    return all;
  }

  double now = 100.0;  // seconds; any start works, only differences count
  int finishScore = 0;
  std::unique_ptr<Game> game;
};

std::vector<unsigned char> readBack() {
  std::vector<unsigned char> pixels(kWidth * kHeight * 3);
  glFinish();
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, kWidth, kHeight, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
  return pixels;
}

}  // namespace

TEST_F(GameFrames, APlayedRunStepsDrawsPausesShowsItsHudKeepsItsBestRunsAndShutsDownCleanly) {
  ASSERT_EQ(start("[play]\nhud=true\nbest_runs=true\n[light]\nparticles=true\n"), 0);
  ASSERT_TRUE(game->text && game->text->ready);
  const std::string bestRunsPath = ::testing::TempDir() + "frames-best-runs.txt";
  std::remove(bestRunsPath.c_str());
  game->bestRuns = BestRuns(bestRunsPath);
  int w = 0, h = 0;
  glfwGetWindowSize(game->window, &w, &h);
  EXPECT_EQ(std::make_pair(w, h), std::make_pair(kWidth, kHeight));
  // A round thing stays round: the projection's horizontal scale is the vertical one over 320/240.
  EXPECT_FLOAT_EQ(game->camera->projection[1][1] / game->camera->projection[0][0], 320.0f / 240.0f);
  EXPECT_TRUE(!level.debugMode && !game->camera->debug);
  EXPECT_EQ(glfwGetInputMode(game->window, GLFW_CURSOR), GLFW_CURSOR_NORMAL);

  // The stages as the frame probe sees them: physics and the player, the shadow passes, the scene,
  // the sky and the flames, and the rules last, after everything was drawn from the old state. The
  // scene's comparing samplers are gone from units 2 to 6 once the scene is drawn.
  std::vector<FrameStage> stages;
  std::vector<GLint> samplersAfterScene;
  frameProbe.onStage = [&](FrameStage stage) {
    stages.push_back(stage);
    for (GLenum unit = 2; unit <= 6 && stage == FrameStage::Sky; ++unit) {
      GLint sampler = -1, active = 0;
      glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
      glActiveTexture(GL_TEXTURE0 + unit);
      glGetIntegerv(GL_SAMPLER_BINDING, &sampler);
      glActiveTexture(static_cast<GLenum>(active));
      samplersAfterScene.push_back(sampler);
    }
  };
  const std::vector<FrameStage> drawing = {FrameStage::SunShadow,   FrameStage::CubeShadow1, FrameStage::CubeShadow2,
                                           FrameStage::CubeShadow3, FrameStage::CubeShadow4, FrameStage::Scene,
                                           FrameStage::Sky,         FrameStage::Particles,   FrameStage::Rules,
                                           FrameStage::FrameEnd};
  std::vector<FrameStage> whole = {FrameStage::Physics, FrameStage::PlayerMove, FrameStage::Untimed};
  whole.insert(whole.end(), drawing.begin(), drawing.end());
  // The camera's height closes 3 x dt of its gap to the player (y 120 at the start) per frame:
  // the first frame, however long it really lasted, steps by 1/60; the next by what this one lasted.
  const float startY = static_cast<float>(playerController->getPosition().y);
  frame(0.25);
  EXPECT_EQ(stages, whole);
  EXPECT_EQ(samplersAfterScene, std::vector<GLint>(5, 0)) << "units 2 to 6 after the scene";
  EXPECT_FLOAT_EQ(game->camera->smoothedHeight, startY * 3.0f / 60.0f);
  EXPECT_FLOAT_EQ(game->deltaTime, 0.25f);
  EXPECT_EQ(physicsWorld.moveSpeed, 0.0f) << "the intro holds the player";
  const float height = game->camera->smoothedHeight, playerY = static_cast<float>(playerController->getPosition().y);
  frame(1.0 / 60.0);
  EXPECT_FLOAT_EQ(game->camera->smoothedHeight, height - (height - playerY) * 0.25f * 3.0f);

  // A GL error during play prints an OpenGL error line.
  game->beforeSwap = [] { glEnable(0xFFFF); };  // no such capability
  ::testing::internal::CaptureStdout();
  frame(1.0 / 60.0);
  const std::string out = ::testing::internal::GetCapturedStdout();
  game->beforeSwap = nullptr;
  EXPECT_NE(out.find("OpenGL Error: "), std::string::npos) << out;
  EXPECT_NE(out.find("Type = Error"), std::string::npos) << out;
  glGetError();  // the flag raised here

  // A two-second stall is passed on unclamped and leaves nothing that is not finite.
  frame(2.0);
  EXPECT_FLOAT_EQ(game->deltaTime, 2.0f);
  for (int i = 0; i < 3; ++i) frame(1.0 / 60.0);
  const glm::dvec3 p = playerController->getPosition();
  EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z) &&
              std::isfinite(physicsWorld.verticalVelocity));

  // Space pauses on release: paused frames skip only the move, and the rules run on.
  game->controller->setPosition({0.0, 125.0, 0.0});  // in the air again
  key(GLFW_KEY_SPACE, GLFW_PRESS);
  frame(1.0 / 60.0);
  EXPECT_FALSE(paused) << "space acts on release only";
  key(GLFW_KEY_SPACE, GLFW_RELEASE);
  ASSERT_TRUE(paused);
  stages.clear();
  frame(1.0 / 60.0);
  EXPECT_EQ(stages, drawing);
  frameProbe.onStage = nullptr;
  const glm::dvec3 frozen = playerController->getPosition();
  const float velocity = physicsWorld.verticalVelocity;
  const double clockBefore = level.clock;
  for (int i = 0; i < 5; ++i) frame(0.1);
  EXPECT_EQ(playerController->getPosition(), frozen);
  EXPECT_EQ(physicsWorld.verticalVelocity, velocity);
  EXPECT_GT(level.clock, clockBefore) << "the rules run while paused";

  // The same paused frame with and without the HUD's text: it changes the top of the window only.
  std::vector<unsigned char> withHud, withoutHud;
  game->beforeSwap = [&] { withHud = readBack(); };
  frame(0.0);
  std::unique_ptr<TextRenderer> text = std::move(game->text);
  game->beforeSwap = [&] { withoutHud = readBack(); };
  frame(0.0);
  game->text = std::move(text);
  game->beforeSwap = nullptr;
  long changed = 0, changedBelow = 0;
  for (size_t i = 0; i < withHud.size(); ++i) {
    if (std::abs(int(withHud[i]) - int(withoutHud[i])) <= kRepeatNoise) continue;
    ++changed;
    changedBelow += i / 3 / kWidth < kHeight / 3;  // rows are read bottom-up
  }
  EXPECT_GT(changed, 2000) << "the figures and \"Paused\" show";
  EXPECT_EQ(changedBelow, 0) << "nothing is drawn over the lower third";

  // Escape closes on release, also while paused; the loop ends after the current iteration.
  key(GLFW_KEY_ESCAPE, GLFW_PRESS);
  frame(1.0 / 60.0);
  EXPECT_FALSE(game->shouldClose());
  key(GLFW_KEY_ESCAPE, GLFW_RELEASE);
  EXPECT_TRUE(game->shouldClose());
  glfwSetWindowShouldClose(game->window, GLFW_FALSE);
  tap(GLFW_KEY_SPACE);
  EXPECT_FALSE(paused);
  frame(1.0 / 60.0);
  frame(1.0 / 60.0);
  EXPECT_NE(playerController->getPosition(), frozen) << "moving again once unpaused";

  // A finish goes into the best runs once, however many frames the finish screen stays; after R
  // the next finish goes in beside it.
  finish();
  for (int i = 0; i < 5; ++i) frame(1.0 / 60.0);
  EXPECT_EQ(game->hud.finishPlace, 1);
  BestRuns onDisk(bestRunsPath);
  onDisk.load();
  ASSERT_EQ(onDisk.runs.size(), 1u);
  EXPECT_EQ(onDisk.runs[0].score, finishScore);
  tap(GLFW_KEY_R);
  frame(1.0 / 60.0);
  finish();
  frame(1.0 / 60.0);
  onDisk.load();
  EXPECT_EQ(onDisk.runs.size(), 2u);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

  // Nothing calls GL after the window library is terminated.
  game->shutDown();
  EXPECT_TRUE(contextGone && game->window == nullptr);
  EXPECT_TRUE(lateCalls.empty()) << lateCallList();
}

// With `debug = true`: the level flies without chase rules, the camera is in debug mode and the
// cursor is captured; debugCam 0 picks the free camera, anything else the orbit camera. The world
// and the level are the test's own, so that the level's end after the shutdown is watched too, as
// the process-wide one ends at exit. Then a start-up that fails leaves no window and its shutdown
// calls no GL.
TEST_F(GameFrames, DebugSettingsWireTheLevelTheCameraAndTheCursorAndNeitherAnEndNorAFailedStartCallsGlLate) {
  PhysicsWorld world;
  createPlayerController(world, PlayerControllerDesc{});
  {
    Level own;
    ASSERT_EQ(start("debug=true\ndebugCam=0\n", world, own), 0);
    EXPECT_TRUE(own.debugMode && game->camera->debug);
    EXPECT_EQ(glfwGetInputMode(game->window, GLFW_CURSOR), GLFW_CURSOR_DISABLED);
    const float fall = world.verticalVelocity;
    frame(1.0 / 60.0);
    EXPECT_EQ(world.moveSpeed, 20.0f) << "debug flight speed";
    EXPECT_EQ(world.verticalVelocity, fall) << "flying, not falling";
    // Only the follow (orbit) camera smooths the height; the free camera starts at the player.
    EXPECT_EQ(game->camera->smoothedHeight, 0.0f);
    EXPECT_FALSE(game->camera->firstMouse);
    game->settings.debugCam = 1;
    frame(1.0 / 60.0);
    EXPECT_GT(game->camera->smoothedHeight, 0.0f);
    game->shutDown();
    game.reset();
    // The run state and the bodies stay usable without a context.
    EXPECT_EQ(own.solids.count, 139);
    EXPECT_EQ(own.solids.bodies.size(), 139u);
    EXPECT_EQ(own.solids.bodies[0]->globalPose().position, glm::vec3(0, 120, -20));
    own.update(world.playerController->getPosition(), 1.0f / 60.0f);
  }
  EXPECT_TRUE(lateCalls.empty()) << lateCallList();

  failLoader = true;
  ::testing::internal::CaptureStdout();
  const int status = start("", world);
  const std::string out = ::testing::internal::GetCapturedStdout();
  failLoader = false;
  EXPECT_EQ(status, 1);
  EXPECT_NE(out.find("ERROR: Failed to init GLEW: Missing GL version\n"), std::string::npos) << out;
  EXPECT_EQ(game->window, nullptr) << "the window was destroyed with the window library";
  game->shutDown();
  EXPECT_EQ(game->window, nullptr);
  EXPECT_TRUE(lateCalls.empty()) << lateCallList();
}
