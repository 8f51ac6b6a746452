// The pad from recorded states, no device: it must ask for what the keys it stands for ask for.
#include "app/gamepad.h"

#include <gtest/gtest.h>

#include <vector>

#include "app/input.h"

namespace {

struct PadInput {
  float leftX = 0.0f, leftY = 0.0f;  // stick, -1 .. 1, y negative upwards
  std::vector<int> held;             // buttons
};

GLFWgamepadstate state(const PadInput& in) {
  GLFWgamepadstate s{};
  s.axes[GLFW_GAMEPAD_AXIS_LEFT_X] = in.leftX;
  s.axes[GLFW_GAMEPAD_AXIS_LEFT_Y] = in.leftY;
  for (int b : in.held) s.buttons[b] = GLFW_PRESS;
  return s;
}

// What the arrow keys and left control give when these keys are held.
glm::vec3 keyAxes(const std::vector<KeyBit>& keys, bool* jump) {
  keyState.reset();
  for (KeyBit k : keys) keyState[k] = true;
  arrowAxes();
  keyState.reset();
  *jump = jumpHeld;
  return moveAxes;
}

}  // namespace

TEST(Gamepad, StickAndDpadGiveTheArrowKeysAxesAndTheSouthButtonJumps) {
  struct Case {
    const char* what;
    PadInput pad;
    std::vector<KeyBit> keys;  // the keys that ask for the same
  };
  const Case cases[] = {
      {"centred", {}, {}},
      {"inside the dead zone", {0.3f, -0.3f, {}}, {}},
      {"stick left", {-0.9f, 0.0f, {}}, {kKeyLeft}},
      {"stick right just past the dead zone", {0.36f, 0.0f, {}}, {kKeyRight}},
      {"stick up and right", {0.7f, -0.7f, {}}, {kKeyUp, kKeyRight}},
      {"stick down", {0.0f, 1.0f, {}}, {kKeyDown}},
      {"d-pad up", {0.0f, 0.0f, {GLFW_GAMEPAD_BUTTON_DPAD_UP}}, {kKeyUp}},
      {"d-pad left against the stick", {1.0f, 0.0f, {GLFW_GAMEPAD_BUTTON_DPAD_LEFT}}, {kKeyLeft}},
      {"d-pad down and right",
       {0.0f, 0.0f, {GLFW_GAMEPAD_BUTTON_DPAD_DOWN, GLFW_GAMEPAD_BUTTON_DPAD_RIGHT}},
       {kKeyDown, kKeyRight}},
      {"south button", {0.0f, 0.0f, {GLFW_GAMEPAD_BUTTON_A}}, {kKeyLeftControl}},
      {"east button does nothing", {0.0f, 0.0f, {GLFW_GAMEPAD_BUTTON_B}}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Gamepad pad;
    const GLFWgamepadstate s = state(c.pad);
    const PadFrame frame = pad.update(&s);
    bool keyJump = false;
    const glm::vec3 keys = keyAxes(c.keys, &keyJump);
    EXPECT_EQ(frame.axes, keys);
    EXPECT_EQ(frame.jump, keyJump);
    EXPECT_FALSE(frame.togglePause || frame.restart);
  }
}

TEST(Gamepad, StartAndBackActOnReleaseAndAPadPluggedOrPulledMidRunActsOnNothingHeld) {
  const GLFWgamepadstate idle = state({}), start = state({0.0f, 0.0f, {GLFW_GAMEPAD_BUTTON_START}}),
                         back = state({0.0f, 0.0f, {GLFW_GAMEPAD_BUTTON_BACK}}),
                         running = state({-1.0f, 0.0f, {GLFW_GAMEPAD_BUTTON_A, GLFW_GAMEPAD_BUTTON_START}});
  struct Step {
    const GLFWgamepadstate* now;  // null: no pad
    bool togglePause, restart;
  };
  const std::vector<Step> steps = {
      {nullptr, false, false},   // no pad at start-up
      {&idle, false, false},     // plugged in
      {&start, false, false},    // Start pressed: nothing yet
      {&start, false, false},    // held
      {&idle, true, false},      // released: pause
      {&back, false, false},     //
      {&idle, false, true},      // Back released: restart
      {&running, false, false},  // running left, jumping, Start held...
      {nullptr, false, false},   // ...and pulled out: no pause
      {&start, false, false},    // plugged in with Start already held
      {&idle, false, false},     // its release was not seen pressed: nothing
  };
  Gamepad pad;
  for (size_t i = 0; i < steps.size(); ++i) {
    SCOPED_TRACE("step " + std::to_string(i));
    const PadFrame frame = pad.update(steps[i].now);
    EXPECT_EQ(frame.togglePause, steps[i].togglePause);
    EXPECT_EQ(frame.restart, steps[i].restart);
    if (!steps[i].now) {
      EXPECT_EQ(frame.axes, glm::vec3(0.0f)) << "a pulled pad leaves nothing held";
      EXPECT_FALSE(frame.jump);
    }
  }
}

TEST(Gamepad, KeysAndPadTogetherAKeyWinsOnItsOwnAxis) {
  PadFrame pad;
  pad.axes = glm::vec3(-1.0f, 0.0f, 1.0f);
  pad.jump = true;
  glm::vec3 axes(1.0f, 0.0f, 0.0f);  // right arrow held
  bool jump = false;
  mergePad(pad, axes, jump);
  EXPECT_EQ(axes, glm::vec3(1.0f, 0.0f, 1.0f));
  EXPECT_TRUE(jump);
  pad = PadFrame{};
  axes = glm::vec3(0.0f, 0.0f, -1.0f);
  jump = true;
  mergePad(pad, axes, jump);
  EXPECT_EQ(axes, glm::vec3(0.0f, 0.0f, -1.0f)) << "an idle pad takes nothing from the keys";
  EXPECT_TRUE(jump);
}
