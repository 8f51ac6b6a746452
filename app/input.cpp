#include "app/input.h"

#include "app/process_objects.h"

std::bitset<kKeyBitCount> keyState;
bool paused = false;
bool wireframe = false;
bool cullingOn = true;
bool playerParticles = false;
bool orbitLeftHeld = false;
bool orbitRightHeld = false;
float scrollHeight = 0.0f;

namespace {

struct HeldKey {
  int key;
  KeyBit bit;
};

constexpr HeldKey kHeldKeys[] = {
    {GLFW_KEY_UP, kKeyUp},
    {GLFW_KEY_DOWN, kKeyDown},
    {GLFW_KEY_LEFT, kKeyLeft},
    {GLFW_KEY_RIGHT, kKeyRight},
    {GLFW_KEY_LEFT_CONTROL, kKeyLeftControl},
    {GLFW_KEY_W, kKeyW},
    {GLFW_KEY_S, kKeyS},
    {GLFW_KEY_A, kKeyA},
    {GLFW_KEY_D, kKeyD},
    {GLFW_KEY_RIGHT_CONTROL, kKeyRightControl},
};

constexpr float kMaxScrollHeight = 30.0f;  // world units above the camera's usual height

// -1 when the first key is held, else 1 when the second is, else 0.
float axis(KeyBit negative, KeyBit positive) {
  if (keyState[negative]) return -1.0f;
  if (keyState[positive]) return 1.0f;
  return 0.0f;
}

void onRelease(GLFWwindow* window, int key) {
  switch (key) {
    case GLFW_KEY_ESCAPE:
      if (window) glfwSetWindowShouldClose(window, GLFW_TRUE);
      break;
    case GLFW_KEY_R:
      if (playerController) playerController->setPosition(startPosition);
      level.reset();
      break;
    case GLFW_KEY_SPACE:
      paused = !paused;
      break;
    case GLFW_KEY_F1:
      wireframe = !wireframe;
      glPolygonMode(GL_FRONT_AND_BACK, wireframe ? GL_LINE : GL_FILL);
      break;
    case GLFW_KEY_F2:
      cullingOn = !cullingOn;
      if (cullingOn)
        glEnable(GL_CULL_FACE);
      else
        glDisable(GL_CULL_FACE);
      break;
    case GLFW_KEY_LEFT_SHIFT:
      playerParticles = !playerParticles;
      break;
    default:
      break;
  }
}

}  // namespace

void onKey(GLFWwindow* window, int key, int /*scancode*/, int action, int /*modifiers*/) {
  for (const HeldKey& held : kHeldKeys)
    if (held.key == key) keyState[held.bit] = action != GLFW_RELEASE;
  if (action == GLFW_RELEASE) onRelease(window, key);
}

void onMouseButton(GLFWwindow* /*window*/, int button, int action, int /*modifiers*/) {
  if (button == GLFW_MOUSE_BUTTON_LEFT) {
    if (action == GLFW_PRESS) orbitLeftHeld = true;
    if (action == GLFW_RELEASE) orbitLeftHeld = false;
  } else if (button == GLFW_MOUSE_BUTTON_RIGHT) {
    if (action == GLFW_PRESS) orbitRightHeld = true;
    if (action == GLFW_RELEASE) orbitRightHeld = false;
  }
}

void onScroll(GLFWwindow* /*window*/, double /*xOffset*/, double yOffset) {
  scrollHeight += static_cast<float>(yOffset);
  if (scrollHeight < 0.0f) scrollHeight = 0.0f;
  if (scrollHeight > kMaxScrollHeight) scrollHeight = kMaxScrollHeight;
}

void installInputCallbacks(GLFWwindow* window) {
  glfwSetKeyCallback(window, onKey);
  glfwSetMouseButtonCallback(window, onMouseButton);
  glfwSetScrollCallback(window, onScroll);
}

void arrowAxes() {
  moveAxes = glm::vec3(axis(kKeyLeft, kKeyRight), 0.0f, axis(kKeyUp, kKeyDown));
  jumpHeld = keyState[kKeyLeftControl];
}

glm::vec3 wasdAxes() {
  jumpHeld = keyState[kKeyRightControl];
  return glm::vec3(axis(kKeyA, kKeyD), 0.0f, axis(kKeyW, kKeyS));
}
