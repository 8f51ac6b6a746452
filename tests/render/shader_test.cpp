#include "render/shader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/gl_context.h"

namespace {

const char* kVertex =
    "#version 430 core\nlayout(location = 0) in vec3 position;\nuniform mat4 modelMatrix;\n"
    "void main() { gl_Position = modelMatrix * vec4(position, 1); }";
const char* kFragment =
    "#version 430 core\nuniform vec3 tint;\nout vec4 color;\nvoid main() { color = vec4(tint, 1); }";

// Stage files are read from "assets/shader/" under the working folder; tests keep theirs in a
// folder of their own there.
std::string stageFile(const std::string& name, const std::string& text) {
  std::filesystem::create_directories("assets/shader/test-stages");
  std::ofstream("assets/shader/test-stages/" + name) << text;
  return "test-stages/" + name;
}

// Counts the driver's uniform location queries while it lives: the loader's entry point is
// swapped for one that counts and passes the call on.
class UniformQueryCounter {
 public:
  UniformQueryCounter() : real(__glewGetUniformLocation) {
    active = this;
    __glewGetUniformLocation = &counting;
  }
  ~UniformQueryCounter() {
    __glewGetUniformLocation = real;
    active = nullptr;
  }
  UniformQueryCounter(const UniformQueryCounter&) = delete;
  UniformQueryCounter& operator=(const UniformQueryCounter&) = delete;
  std::vector<std::string> names;  // in the order they were asked for

 private:
  static GLint GLAPIENTRY counting(GLuint program, const GLchar* name) {
    active->names.emplace_back(name);
    return active->real(program, name);
  }
  static UniformQueryCounter* active;
  PFNGLGETUNIFORMLOCATIONPROC real;
};
UniformQueryCounter* UniformQueryCounter::active = nullptr;

}  // namespace

class ShaderProgram : public GlContextTest {};

TEST_F(ShaderProgram, UniformCacheAsksTheDriverOncePerName) {
  Shader shader(stageFile("cache.vert", kVertex), stageFile("cache.frag", kFragment));
  glUseProgram(shader.handle);
  UniformQueryCounter queries;
  EXPECT_GE(shader.getUniformLocation("tint"), 0);
  EXPECT_EQ(shader.getUniformLocation("missing"), -1);
  EXPECT_EQ(shader.getUniformLocation("missing"), -1);
  shader.setUniform("missing", 1.0f);  // skipped, no GL error
  shader.setUniform("tint", glm::vec3(0.25f, 0.5f, 1.0f));
  const GLint tintLocation = shader.getUniformLocation("tint");
  EXPECT_EQ(queries.names, (std::vector<std::string>{"tint", "missing"})) << "a miss is cached too";
  GLfloat tint[3] = {};
  glGetUniformfv(shader.handle, tintLocation, tint);
  EXPECT_FLOAT_EQ(tint[1], 0.5f);

  Shader other(stageFile("cache.vert", kVertex), stageFile("cache.frag", kFragment));
  EXPECT_GE(other.getUniformLocation("tint"), 0);
  EXPECT_EQ(queries.names.size(), 3u) << "each program keeps its own cache";
  glUseProgram(0);
}

TEST_F(ShaderProgram, DestroyingLeavesNoProgramCurrent) {
  GLuint handle = 0;
  {
    Shader shader(std::string(kVertex), std::string(kFragment), true);
    handle = shader.handle;
    glUseProgram(handle);
  }
  GLint current = -1;
  glGetIntegerv(GL_CURRENT_PROGRAM, &current);
  EXPECT_EQ(current, 0);
  EXPECT_FALSE(glIsProgram(handle));
}

TEST_F(ShaderProgram, MissingVertexFileEndsTheProgram) {
  // The messages go to stdout; the child sends them to stderr where the death test reads.
  EXPECT_EXIT((dup2(2, 1), Shader("no-such.vert", "no-such.frag")), ::testing::ExitedWithCode(1),
              "Couldn't open shader file: assets/shader/no-such.vert");
}

TEST_F(ShaderProgram, CompileAndLinkFailuresEndTheProgram) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // the child makes its own context
  const std::string vs = stageFile("ok.vert", kVertex);
  const std::string broken = stageFile("broken.frag", "#version 430 core\nvoid main() { nonsense; }");
  EXPECT_EXIT((dup2(2, 1), Shader(vs, broken)), ::testing::ExitedWithCode(1),
              "Failed to compile shader: .*broken.frag");
  // Both stages compile, but the fragment stage reads an input no vertex stage writes.
  const std::string unlinked = stageFile("unlinked.frag",
                                         "#version 430 core\nin vec3 never;\nout vec4 c;\n"
                                         "void main() { c = vec4(never, 1); }");
  EXPECT_EXIT((dup2(2, 1), Shader(vs, unlinked)), ::testing::ExitedWithCode(1), "Failed to link shader program:");
}

TEST_F(ShaderProgram, MyShaderWithAMissingFileWarnsOnceAndStillReturns) {
  const std::string vs = stageFile("depth.vert", kVertex);
  const std::string fs = stageFile("depth.frag", "#version 430 core\nvoid main() {}");
  ::testing::internal::CaptureStdout();
  MyShader depth(vs, fs, "no-such.geom");
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "ERROR:: Shader konnte nicht geladen werden\n");
  GLint linked = GL_TRUE;
  glGetProgramiv(depth.handle, GL_LINK_STATUS, &linked);
  EXPECT_EQ(linked, GL_FALSE) << "empty sources cannot link";
  glDeleteProgram(depth.handle);  // the game leaves it to the context; the test cleans up
  drainGlErrors();
}
