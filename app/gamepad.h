#pragma once
// A gamepad beside the keyboard, through the window library's gamepad mappings: the left stick or
// the d-pad runs as the arrow keys do, the south button (A on most pads) jumps as left control
// does, Start pauses as space does and Back restarts as R does, both on release like the keys.
#include <GL/glew.h>  // before the window library, which would pull in the plain GL header
#include <GLFW/glfw3.h>

#include <glm/glm.hpp>

// What the pad asks for in one frame.
struct PadFrame {
  glm::vec3 axes{0.0f};  // x and z each -1, 0 or 1, as from the arrow keys; y stays 0
  bool jump = false;
  bool togglePause = false;  // Start released in this frame
  bool restart = false;      // Back released in this frame
};

// A stick pushed less than this far (of its full travel, 1) counts as centred.
constexpr float kStickDeadZone = 0.35f;

class Gamepad {
 public:
  // One frame of the pad: its state now, or null when no pad is connected. A pad plugged in
  // counts from its first state, so a button already held then does not act when it is let go
  // of; a pad pulled out drops everything it held, and nothing acts.
  PadFrame update(const GLFWgamepadstate* now);

  bool connected = false;
  GLFWgamepadstate before{};
  bool heldOnArrival[GLFW_GAMEPAD_BUTTON_LAST + 1] = {};  // not acted on when let go of
};

// The first joystick that has a gamepad mapping; false when there is none.
bool readFirstGamepad(GLFWgamepadstate& state);

// Keys and pad together: a key's axis wins where it is pressed, the pad fills the rest.
void mergePad(const PadFrame& pad, glm::vec3& axes, bool& jump);
