#include "support/gl_context.h"

#include <chrono>
#include <thread>

GLFWwindow* GlContextTest::window = nullptr;

void GlContextTest::SetUpTestSuite() {
  if (window) return;
  // A busy X server (the suite runs two test programs at once on one Xvfb) now and then refuses a
  // connection; that is the test machine, not the code under test, so try again a few times.
  for (int attempt = 0; attempt < 5 && !window; ++attempt) {
    if (attempt > 0) std::this_thread::sleep_for(std::chrono::seconds(1));
    if (!glfwInit()) continue;
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 4);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
    glfwWindowHint(GLFW_OPENGL_DEBUG_CONTEXT, GLFW_TRUE);
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    window = glfwCreateWindow(64, 64, "kellvane-test", nullptr, nullptr);
    if (!window) glfwTerminate();
  }
  if (!window) return;
  glfwMakeContextCurrent(window);
  glewExperimental = GL_TRUE;
  glewInit();
  drainGlErrors();  // glewInit's probing can leave an error behind
}

// The context lives until the test program ends: making a new one for every suite is slow and,
// under Xvfb, now and then fails.
void GlContextTest::TearDownTestSuite() {}

namespace {
class CloseContextAtExit : public ::testing::Environment {
 public:
  void TearDown() override {
    if (GlContextTest::window) glfwDestroyWindow(GlContextTest::window);
    GlContextTest::window = nullptr;
    glfwTerminate();
  }
};
const auto* const kCloseContext = ::testing::AddGlobalTestEnvironment(new CloseContextAtExit);
}  // namespace

void GlContextTest::SetUp() {
  // If you land here, no display was reachable: run the tests through tools/run-tests.sh (Xvfb).
  ASSERT_NE(window, nullptr) << "no GL context (is DISPLAY set?)";
  glfwMakeContextCurrent(window);
}

void GlContextTest::TearDown() { EXPECT_EQ(drainGlErrors(), static_cast<GLenum>(GL_NO_ERROR)); }

GLenum drainGlErrors() {
  GLenum first = glGetError();
  for (GLenum e = first; e != GL_NO_ERROR; e = glGetError()) {
  }
  return first;
}
