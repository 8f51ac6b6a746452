#include "app/input.h"

#include <gtest/gtest.h>

#include "app/process_objects.h"
#include "support/gl_context.h"

namespace {

void press(int key) { onKey(nullptr, key, 0, GLFW_PRESS, 0); }
void repeat(int key) { onKey(nullptr, key, 0, GLFW_REPEAT, 0); }
void release(GLFWwindow* window, int key) { onKey(window, key, 0, GLFW_RELEASE, 0); }

// Starts each test from the state the program starts in.
class InputTest : public GlContextTest {
 protected:
  void SetUp() override {
    GlContextTest::SetUp();
    keyState.reset();
    paused = wireframe = playerParticles = orbitLeftHeld = orbitRightHeld = false;
    cullingOn = true;
    scrollHeight = 0.0f;
    glfwSetWindowShouldClose(window, GLFW_FALSE);
  }
  void TearDown() override {
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glfwSetWindowShouldClose(window, GLFW_FALSE);
    GlContextTest::TearDown();
  }
};

}  // namespace

TEST_F(InputTest, EachHeldKeyHasItsBitKeptByRepeatsAndClearedByRelease) {
  const std::pair<int, int> keys[] = {
      {GLFW_KEY_UP, 0}, {GLFW_KEY_DOWN, 1}, {GLFW_KEY_LEFT, 2}, {GLFW_KEY_RIGHT, 3}, {GLFW_KEY_LEFT_CONTROL, 4},
      {GLFW_KEY_W, 5},  {GLFW_KEY_S, 6},    {GLFW_KEY_A, 7},    {GLFW_KEY_D, 8},     {GLFW_KEY_RIGHT_CONTROL, 9}};
  for (const auto& [key, bit] : keys) {
    press(key);
    EXPECT_EQ(keyState.count(), 1u) << "key " << key;
    EXPECT_TRUE(keyState[bit]) << "key " << key;
    repeat(key);
    repeat(key);
    EXPECT_TRUE(keyState[bit]) << "key " << key;
    release(window, key);
    EXPECT_TRUE(keyState.none()) << "key " << key;
  }
  // A repeat alone (the press was lost to another window) sets the bit as well.
  repeat(GLFW_KEY_W);
  EXPECT_TRUE(keyState[kKeyW]);
  // Keys outside the table touch nothing.
  press(GLFW_KEY_Q);
  release(window, GLFW_KEY_Q);
  EXPECT_EQ(keyState.count(), 1u);
}

TEST_F(InputTest, ArrowAxesPreferUpAndLeftAndLeftControlJumps) {
  press(GLFW_KEY_UP);
  press(GLFW_KEY_DOWN);
  press(GLFW_KEY_LEFT);
  press(GLFW_KEY_RIGHT);
  arrowAxes();
  EXPECT_EQ(moveAxes, glm::vec3(-1, 0, -1));
  EXPECT_FALSE(jumpHeld);
  release(window, GLFW_KEY_UP);
  release(window, GLFW_KEY_LEFT);
  press(GLFW_KEY_LEFT_CONTROL);
  arrowAxes();
  EXPECT_EQ(moveAxes, glm::vec3(1, 0, 1));
  EXPECT_TRUE(jumpHeld);
  release(window, GLFW_KEY_DOWN);
  release(window, GLFW_KEY_RIGHT);
  release(window, GLFW_KEY_LEFT_CONTROL);
  arrowAxes();
  EXPECT_EQ(moveAxes, glm::vec3(0.0f));
  EXPECT_FALSE(jumpHeld);
}

TEST_F(InputTest, WasdAxesPreferWAndAAndRightControlJumps) {
  for (int key : {GLFW_KEY_W, GLFW_KEY_S, GLFW_KEY_A, GLFW_KEY_D, GLFW_KEY_RIGHT_CONTROL}) press(key);
  EXPECT_EQ(wasdAxes(), glm::vec3(-1, 0, -1));
  EXPECT_TRUE(jumpHeld);
  release(window, GLFW_KEY_W);
  release(window, GLFW_KEY_A);
  release(window, GLFW_KEY_RIGHT_CONTROL);
  EXPECT_EQ(wasdAxes(), glm::vec3(1, 0, 1));
  EXPECT_FALSE(jumpHeld);
  // The arrow keys' jump key is not this one.
  press(GLFW_KEY_LEFT_CONTROL);
  wasdAxes();
  EXPECT_FALSE(jumpHeld);
}

TEST_F(InputTest, ToggleKeysActOnReleaseOnly) {
  press(GLFW_KEY_ESCAPE);
  repeat(GLFW_KEY_ESCAPE);
  EXPECT_FALSE(glfwWindowShouldClose(window));
  release(window, GLFW_KEY_ESCAPE);
  EXPECT_TRUE(glfwWindowShouldClose(window));

  press(GLFW_KEY_SPACE);
  repeat(GLFW_KEY_SPACE);
  EXPECT_FALSE(paused);
  release(window, GLFW_KEY_SPACE);
  EXPECT_TRUE(paused);
  press(GLFW_KEY_SPACE);
  release(window, GLFW_KEY_SPACE);
  EXPECT_FALSE(paused);

  press(GLFW_KEY_LEFT_SHIFT);
  EXPECT_FALSE(playerParticles);
  release(window, GLFW_KEY_LEFT_SHIFT);
  EXPECT_TRUE(playerParticles);

  GLint mode[2] = {0, 0};
  press(GLFW_KEY_F1);
  glGetIntegerv(GL_POLYGON_MODE, mode);
  EXPECT_EQ(mode[0], GL_FILL);
  release(window, GLFW_KEY_F1);
  EXPECT_TRUE(wireframe);
  glGetIntegerv(GL_POLYGON_MODE, mode);
  EXPECT_EQ(mode[0], GL_LINE);
  release(window, GLFW_KEY_F1);
  glGetIntegerv(GL_POLYGON_MODE, mode);
  EXPECT_EQ(mode[0], GL_FILL);

  glEnable(GL_CULL_FACE);
  press(GLFW_KEY_F2);
  EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
  release(window, GLFW_KEY_F2);
  EXPECT_FALSE(cullingOn);
  EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
  release(window, GLFW_KEY_F2);
  EXPECT_TRUE(cullingOn);
  EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
  EXPECT_EQ(drainGlErrors(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(InputTest, RestartPutsThePlayerBackExactlyAtTheStart) {
  ASSERT_NE(playerController, nullptr);
  playerController->setPosition({12.25, 3.5, 250.125});
  press(GLFW_KEY_R);
  EXPECT_EQ(playerController->getPosition(), glm::dvec3(12.25, 3.5, 250.125));
  release(window, GLFW_KEY_R);
  EXPECT_EQ(playerController->getPosition(), glm::dvec3(0.0, 120.0, 0.0));
}

TEST_F(InputTest, MouseButtonsHoldTheOrbitFlags) {
  onMouseButton(nullptr, GLFW_MOUSE_BUTTON_LEFT, GLFW_PRESS, 0);
  onMouseButton(nullptr, GLFW_MOUSE_BUTTON_MIDDLE, GLFW_PRESS, 0);
  EXPECT_TRUE(orbitLeftHeld);
  EXPECT_FALSE(orbitRightHeld);
  onMouseButton(nullptr, GLFW_MOUSE_BUTTON_RIGHT, GLFW_PRESS, 0);
  onMouseButton(nullptr, GLFW_MOUSE_BUTTON_LEFT, GLFW_RELEASE, 0);
  EXPECT_FALSE(orbitLeftHeld);
  EXPECT_TRUE(orbitRightHeld);
}

TEST_F(InputTest, ScrollHeightStaysWithinZeroAndThirty) {
  onScroll(nullptr, 5.0, 2.5);
  EXPECT_FLOAT_EQ(scrollHeight, 2.5f);  // the x offset is ignored
  for (int i = 0; i < 50; ++i) onScroll(nullptr, 0.0, -1.0);
  EXPECT_FLOAT_EQ(scrollHeight, 0.0f);
  onScroll(nullptr, 0.0, 1.0);
  EXPECT_FLOAT_EQ(scrollHeight, 1.0f);
  onScroll(nullptr, 0.0, 1000.0);
  EXPECT_FLOAT_EQ(scrollHeight, 30.0f);
  onScroll(nullptr, 0.0, -0.5);
  EXPECT_FLOAT_EQ(scrollHeight, 29.5f);
}
