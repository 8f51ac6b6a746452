// Start-up that fails and shutdown, with the window library's terminate and the GL loader watched:
// after glfwTerminate no context exists, so any GL call from then on (a destructor run by an object
// that outlived the window, a release after a failed start) is a fault even where the driver
// happens to ignore it.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "app/game.h"
#include "game/level.h"
#include "physics/physics_world.h"
#include "physics/player_controller.h"

namespace {

bool failLoader = false;             // the next glewInit reports "Missing GL version" without loading
bool contextGone = false;            // between glfwTerminate and the next glfwInit
std::vector<std::string> lateCalls;  // GL entry points called while contextGone

// The loader's entry points the game's releases use, swapped for recorders while contextGone.
struct Watched {
  const char* name;
  void** slot;
  void* saved;
  void* recorder;
};

template <typename R, typename... A>
struct Recorder {
  template <const char* const* Name>
  static R GLAPIENTRY call(A...) {
    lateCalls.push_back(*Name);
    return R();
  }
};

template <const char* const* Name, typename R, typename... A>
void* recorderFor(R(GLAPIENTRY*)(A...)) {
  return reinterpret_cast<void*>(&Recorder<R, A...>::template call<Name>);
}

#define KELLVANE_WATCH(fn)                      \
  static const char* const fn##Name = "gl" #fn; \
  watched.push_back({fn##Name, reinterpret_cast<void**>(&__glew##fn), nullptr, recorderFor<&fn##Name>(__glew##fn)})

std::vector<Watched>& watchedEntryPoints() {
  static std::vector<Watched> watched;
  if (watched.empty()) {
    KELLVANE_WATCH(DeleteBuffers);
    KELLVANE_WATCH(DeleteVertexArrays);
    KELLVANE_WATCH(DeleteProgram);
    KELLVANE_WATCH(DeleteShader);
    KELLVANE_WATCH(DeleteFramebuffers);
    KELLVANE_WATCH(DetachShader);
    KELLVANE_WATCH(UseProgram);
    KELLVANE_WATCH(BindBuffer);
    KELLVANE_WATCH(BindVertexArray);
    KELLVANE_WATCH(BindFramebuffer);
  }
  return watched;
}

void startWatching() {
  contextGone = true;
  for (Watched& w : watchedEntryPoints()) {
    w.saved = *w.slot;
    *w.slot = w.recorder;
  }
}

void stopWatching() {
  if (!contextGone) return;
  contextGone = false;
  for (Watched& w : watchedEntryPoints()) *w.slot = w.saved;
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
  if (failLoader) return GLEW_ERROR_NO_GL_VERSION;
  static const auto real = next<GLenum (*)()>("glewInit");
  return real();
}

int glfwInit(void) {
  static const auto real = next<int (*)()>("glfwInit");
  stopWatching();
  return real();
}

void glfwTerminate(void) {
  static const auto real = next<void (*)()>("glfwTerminate");
  real();
  startWatching();
}

void GLAPIENTRY glDeleteTextures(GLsizei n, const GLuint* textures) {
  static const auto real = next<void(GLAPIENTRY*)(GLsizei, const GLuint*)>("glDeleteTextures");
  if (contextGone) {
    lateCalls.push_back("glDeleteTextures");
    return;
  }
  real(n, textures);
}

void GLAPIENTRY glBindTexture(GLenum target, GLuint texture) {
  static const auto real = next<void(GLAPIENTRY*)(GLenum, GLuint)>("glBindTexture");
  if (contextGone) {
    lateCalls.push_back("glBindTexture");
    return;
  }
  real(target, texture);
}

}  // extern "C"

namespace {

std::string settingsFile() {
  const std::string path = ::testing::TempDir() + "lifetime.ini";
  std::ofstream(path) << "[window]\nwidth=320\nheight=240\ntitle=Lifetime\n";
  return path;
}

// "glDeleteBuffers x 12, glUseProgram x 1" for the calls made after terminate.
std::string joined(const std::vector<std::string>& names) {
  std::map<std::string, int> counts;
  for (const std::string& name : names) ++counts[name];
  std::string all;
  for (const auto& [name, count] : counts) all += name + " x " + std::to_string(count) + ", ";
  return all;
}

}  // namespace

// The level lives on after the game's shutdown, as the process-wide one does until exit.
TEST(GameLifetime, NothingCallsGlAfterTheWindowLibraryIsTerminated) {
  lateCalls.clear();
  {
    PhysicsWorld world;
    createPlayerController(world, PlayerControllerDesc{});
    Level outliving;
    {
      Game game(world, outliving);
      double now = 10.0;
      game.clock = [&now] { return now; };
      ASSERT_EQ(game.startUp(settingsFile()), 0);
      now += 1.0 / 60.0;
      game.frame();
      game.shutDown();
      ASSERT_TRUE(contextGone);
      EXPECT_EQ(game.window, nullptr);
    }
    // The run state and the bodies stay usable without a context.
    EXPECT_EQ(outliving.solids.count, 139);
    EXPECT_EQ(outliving.solids.bodies.size(), 139u);
    EXPECT_EQ(outliving.solids.bodies[0]->globalPose().position, glm::vec3(0, 120, -20));
    outliving.update(world.playerController->getPosition(), 1.0f / 60.0f);
  }
  EXPECT_TRUE(lateCalls.empty()) << joined(lateCalls);
  stopWatching();
}

TEST(GameLifetime, AFailedStartUpLeavesNoWindowAndShutDownCallsNoGl) {
  lateCalls.clear();
  PhysicsWorld world;
  createPlayerController(world, PlayerControllerDesc{});
  Level level;
  Game game(world, level);
  failLoader = true;
  ::testing::internal::CaptureStdout();
  const int status = game.startUp(settingsFile());
  const std::string out = ::testing::internal::GetCapturedStdout();
  failLoader = false;
  EXPECT_EQ(status, 1);
  EXPECT_NE(out.find("ERROR: Failed to init GLEW: Missing GL version\n"), std::string::npos) << out;
  EXPECT_EQ(game.window, nullptr) << "the window was destroyed with the window library";
  game.shutDown();
  EXPECT_EQ(game.window, nullptr);
  EXPECT_TRUE(lateCalls.empty()) << joined(lateCalls);
  stopWatching();
}
