#pragma once
#include <GL/glew.h>
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

// A real GL 4.3 core debug context in a hidden window (Mesa under Xvfb in CI). Made once per test
// program and shared by every test of the fixture, since making a context is slow.
class GlContextTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  void SetUp() override;
  void TearDown() override;

 public:
  static GLFWwindow* window;
};

// Reads back the framebuffer's GL error state and clears it; GL_NO_ERROR when all went well.
GLenum drainGlErrors();

// One integer of the GL state; -1 where the query left it unwritten.
inline GLint integer(GLenum name) {
  GLint value = -1;
  glGetIntegerv(name, &value);
  return value;
}
