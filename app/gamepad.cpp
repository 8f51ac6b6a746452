#include "app/gamepad.h"

namespace {

bool pressed(const GLFWgamepadstate& s, int button) { return s.buttons[button] == GLFW_PRESS; }

// -1, 0 or 1 from the d-pad's two buttons, else from the stick beyond the dead zone. The stick's
// y axis is negative upwards, as the arrow up gives z -1.
float padAxis(const GLFWgamepadstate& s, int negativeButton, int positiveButton, int stickAxis) {
  if (pressed(s, negativeButton)) return -1.0f;
  if (pressed(s, positiveButton)) return 1.0f;
  const float stick = s.axes[stickAxis];
  if (stick <= -kStickDeadZone) return -1.0f;
  if (stick >= kStickDeadZone) return 1.0f;
  return 0.0f;
}

}  // namespace

PadFrame Gamepad::update(const GLFWgamepadstate* now) {
  PadFrame frame;
  if (!now) {
    connected = false;
    before = GLFWgamepadstate{};
    return frame;
  }
  if (!connected) {
    // Buttons held as the pad arrives were pressed before the game could see them.
    for (int b = 0; b <= GLFW_GAMEPAD_BUTTON_LAST; ++b) heldOnArrival[b] = pressed(*now, b);
    before = *now;
  }
  connected = true;
  const auto released = [&](int b) { return pressed(before, b) && !pressed(*now, b) && !heldOnArrival[b]; };
  frame.axes = glm::vec3(
      padAxis(*now, GLFW_GAMEPAD_BUTTON_DPAD_LEFT, GLFW_GAMEPAD_BUTTON_DPAD_RIGHT, GLFW_GAMEPAD_AXIS_LEFT_X), 0.0f,
      padAxis(*now, GLFW_GAMEPAD_BUTTON_DPAD_UP, GLFW_GAMEPAD_BUTTON_DPAD_DOWN, GLFW_GAMEPAD_AXIS_LEFT_Y));
  frame.jump = pressed(*now, GLFW_GAMEPAD_BUTTON_A);
  frame.togglePause = released(GLFW_GAMEPAD_BUTTON_START);
  frame.restart = released(GLFW_GAMEPAD_BUTTON_BACK);
  for (int b = 0; b <= GLFW_GAMEPAD_BUTTON_LAST; ++b)
    if (!pressed(*now, b)) heldOnArrival[b] = false;
  before = *now;
  return frame;
}

bool readFirstGamepad(GLFWgamepadstate& state) {
  for (int jid = GLFW_JOYSTICK_1; jid <= GLFW_JOYSTICK_LAST; ++jid)
    if (glfwJoystickIsGamepad(jid) && glfwGetGamepadState(jid, &state)) return true;
  return false;
}

void mergePad(const PadFrame& pad, glm::vec3& axes, bool& jump) {
  if (axes.x == 0.0f) axes.x = pad.axes.x;
  if (axes.z == 0.0f) axes.z = pad.axes.z;
  jump = jump || pad.jump;
}
