// Keys, mouse and pad as the window library hands them over; the pad from recorded states.
#include "app/input.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "app/gamepad.h"
#include "app/process_objects.h"
#include "support/gl_context.h"

namespace {

void key(int key, int action) { onKey(GlContextTest::window, key, 0, action, 0); }

// Starts each test from the state the program starts in.
class Input : public GlContextTest {
 protected:
  void SetUp() override {
    GlContextTest::SetUp();
    keyState.reset();
    paused = wireframe = playerParticles = orbitLeftHeld = orbitRightHeld = false;
    cullingOn = true;
    glEnable(GL_CULL_FACE);
    glfwSetWindowShouldClose(window, GLFW_FALSE);
  }
  void TearDown() override {
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    GlContextTest::TearDown();
  }
};

GLFWgamepadstate padState(float leftX, float leftY, std::vector<int> held = {}) {
  GLFWgamepadstate s{};
  s.axes[GLFW_GAMEPAD_AXIS_LEFT_X] = leftX, s.axes[GLFW_GAMEPAD_AXIS_LEFT_Y] = leftY;
  for (int b : held) s.buttons[b] = GLFW_PRESS;
  return s;
}

}  // namespace

// Each held key sets its own bit (press or repeat) until released; the axes prefer up, left, W and A.
TEST_F(Input, HeldKeysGiveTheAxesAndTheJumpOfTheirOwnSet) {
  struct Case {
    std::vector<int> keys;
    glm::vec3 arrows;
    bool arrowJump;
    glm::vec3 wasd;
    bool wasdJump;
  };
  const Case cases[] = {
      {{GLFW_KEY_UP, GLFW_KEY_DOWN, GLFW_KEY_LEFT, GLFW_KEY_RIGHT}, {-1, 0, -1}, false, {}, false},
      {{GLFW_KEY_DOWN, GLFW_KEY_RIGHT, GLFW_KEY_LEFT_CONTROL}, {1, 0, 1}, true, {}, false},
      {{GLFW_KEY_W, GLFW_KEY_S, GLFW_KEY_A, GLFW_KEY_D, GLFW_KEY_RIGHT_CONTROL}, {}, false, {-1, 0, -1}, true},
      {{GLFW_KEY_S, GLFW_KEY_D}, {}, false, {1, 0, 1}, false},
      {{GLFW_KEY_Q, GLFW_KEY_ENTER}, {}, false, {}, false},
  };
  for (const Case& c : cases) {
    for (size_t i = 0; i < c.keys.size(); ++i) key(c.keys[i], i % 2 ? GLFW_REPEAT : GLFW_PRESS);
    arrowAxes();
    EXPECT_EQ(moveAxes, c.arrows) << c.keys[0];
    EXPECT_EQ(jumpHeld, c.arrowJump) << c.keys[0];
    EXPECT_EQ(wasdAxes(), c.wasd) << c.keys[0];
    EXPECT_EQ(jumpHeld, c.wasdJump) << c.keys[0];
    EXPECT_EQ(keyState.count(), c.keys[0] == GLFW_KEY_Q ? 0u : c.keys.size());
    for (int k : c.keys) key(k, GLFW_RELEASE);
    EXPECT_TRUE(keyState.none());
  }
}

TEST_F(Input, ToggleKeysActOnReleaseOnly) {
  GLint mode[2];
  const auto polygonLines = [&] { return glGetIntegerv(GL_POLYGON_MODE, mode), mode[0] == GL_LINE; };
  struct Case {
    int key;
    std::function<bool()> on;
  };
  // F1 and F2 twice: the second row sees that neither the flag nor the GL state was left behind
  // by the first row's toggle back.
  const Case cases[] = {
      {GLFW_KEY_SPACE, [] { return paused; }},
      {GLFW_KEY_LEFT_SHIFT, [] { return playerParticles; }},
      {GLFW_KEY_F1, [&] { return wireframe && polygonLines(); }},
      {GLFW_KEY_F1, [&] { return wireframe || polygonLines(); }},
      {GLFW_KEY_F2, [] { return !cullingOn && !glIsEnabled(GL_CULL_FACE); }},
      {GLFW_KEY_F2, [] { return !cullingOn || !glIsEnabled(GL_CULL_FACE); }},
      {GLFW_KEY_ESCAPE, [&] { return glfwWindowShouldClose(window) == GLFW_TRUE; }},
  };
  for (const Case& c : cases) {
    key(c.key, GLFW_PRESS);
    key(c.key, GLFW_REPEAT);
    EXPECT_FALSE(c.on()) << c.key;
    key(c.key, GLFW_RELEASE);
    EXPECT_TRUE(c.on()) << c.key;
    key(c.key, GLFW_RELEASE);
    EXPECT_FALSE(c.on() && c.key != GLFW_KEY_ESCAPE) << c.key << " toggles back";
  }
  // R puts the player back exactly at the start, on release.
  ASSERT_NE(playerController, nullptr);
  playerController->setPosition({12.25, 3.5, 250.125});
  key(GLFW_KEY_R, GLFW_PRESS);
  EXPECT_EQ(playerController->getPosition(), glm::dvec3(12.25, 3.5, 250.125));
  key(GLFW_KEY_R, GLFW_RELEASE);
  EXPECT_EQ(playerController->getPosition(), glm::dvec3(0.0, 120.0, 0.0));
}

TEST_F(Input, MouseButtonsHoldTheOrbitFlagsAndTheScrollHeightStaysWithinZeroAndThirty) {
  onMouseButton(nullptr, GLFW_MOUSE_BUTTON_LEFT, GLFW_PRESS, 0);
  onMouseButton(nullptr, GLFW_MOUSE_BUTTON_MIDDLE, GLFW_PRESS, 0);
  EXPECT_TRUE(orbitLeftHeld && !orbitRightHeld);
  onMouseButton(nullptr, GLFW_MOUSE_BUTTON_RIGHT, GLFW_PRESS, 0);
  onMouseButton(nullptr, GLFW_MOUSE_BUTTON_LEFT, GLFW_RELEASE, 0);
  EXPECT_TRUE(!orbitLeftHeld && orbitRightHeld);
  scrollHeight = 0.0f;
  for (const auto& [y, height] : {std::pair{2.5, 2.5f}, {-50.0, 0.0f}, {1.0, 1.0f}, {1000.0, 30.0f}, {-0.5, 29.5f}}) {
    onScroll(nullptr, 5.0, y);  // the x offset is ignored
    EXPECT_FLOAT_EQ(scrollHeight, height) << y;
  }
}

// The pad asks for what the arrow keys and left control it stands for ask for.
TEST(Gamepad, StickAndDpadGiveTheArrowKeysAxesAndTheSouthButtonJumps) {
  struct Case {
    GLFWgamepadstate pad;
    glm::vec3 axes;
    bool jump;
  };
  const Case cases[] = {
      {padState(0.0f, 0.0f), {0, 0, 0}, false},
      {padState(0.3f, -0.3f), {0, 0, 0}, false},  // inside the dead zone
      {padState(-0.9f, 0.0f), {-1, 0, 0}, false},
      {padState(0.36f, 0.0f), {1, 0, 0}, false},
      {padState(0.7f, -0.7f), {1, 0, -1}, false},
      {padState(0.0f, 1.0f), {0, 0, 1}, false},
      {padState(0.0f, 0.0f, {GLFW_GAMEPAD_BUTTON_DPAD_UP}), {0, 0, -1}, false},
      {padState(1.0f, 0.0f, {GLFW_GAMEPAD_BUTTON_DPAD_LEFT}), {-1, 0, 0}, false},  // the d-pad over the stick
      {padState(0, 0, {GLFW_GAMEPAD_BUTTON_DPAD_DOWN, GLFW_GAMEPAD_BUTTON_DPAD_RIGHT}), {1, 0, 1}, false},
      {padState(0.0f, 0.0f, {GLFW_GAMEPAD_BUTTON_A}), {0, 0, 0}, true},
      {padState(0.0f, 0.0f, {GLFW_GAMEPAD_BUTTON_B}), {0, 0, 0}, false},
  };
  for (const Case& c : cases) {
    const PadFrame frame = Gamepad().update(&c.pad);
    EXPECT_EQ(frame.axes, c.axes) << &c - cases;
    EXPECT_EQ(frame.jump, c.jump) << &c - cases;
    EXPECT_FALSE(frame.togglePause || frame.restart);
  }
}

TEST(Gamepad, StartAndBackActOnReleaseAndAPadPluggedOrPulledMidRunActsOnNothingHeld) {
  const GLFWgamepadstate idle = padState(0, 0), start = padState(0, 0, {GLFW_GAMEPAD_BUTTON_START}),
                         back = padState(0, 0, {GLFW_GAMEPAD_BUTTON_BACK}),
                         running = padState(-1, 0, {GLFW_GAMEPAD_BUTTON_A, GLFW_GAMEPAD_BUTTON_START});
  struct Step {
    const GLFWgamepadstate* now;  // null: no pad
    bool togglePause, restart;
  };
  const Step steps[] = {
      {nullptr, false, false},  {&idle, false, false},                          // no pad at start-up, then plugged in
      {&start, false, false},   {&start, false, false},  {&idle, true, false},  // Start pressed, held, released
      {&back, false, false},    {&idle, false, true},                           // Back released: restart
      {&running, false, false}, {nullptr, false, false},                        // pulled out with Start held
      {&start, false, false},   {&idle, false, false},  // plugged in with Start held: its release does nothing
  };
  Gamepad pad;
  for (const Step& step : steps) {
    const PadFrame frame = pad.update(step.now);
    EXPECT_EQ(std::make_pair(frame.togglePause, frame.restart), std::make_pair(step.togglePause, step.restart))
        << "step " << &step - steps;
    EXPECT_TRUE(step.now || (frame.axes == glm::vec3(0.0f) && !frame.jump)) << "a pulled pad leaves nothing held";
  }
  // Keys and pad together: a key's axis wins where it is pressed, the pad fills the rest.
  PadFrame moving;
  moving.axes = {-1, 0, 1}, moving.jump = true;
  glm::vec3 axes(1, 0, 0);
  bool jump = false;
  mergePad(moving, axes, jump);
  EXPECT_TRUE(axes == glm::vec3(1, 0, 1) && jump);
  axes = {0, 0, -1};
  mergePad(PadFrame{}, axes, jump);
  EXPECT_TRUE(axes == glm::vec3(0, 0, -1) && jump) << "an idle pad takes nothing from the keys";
}
