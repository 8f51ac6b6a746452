#pragma once
// Keyboard and mouse: the window library's callbacks turn events into the flags and axes below,
// which the frame loop and the camera read once per frame.
#include <GL/glew.h>  // before the window library, which would pull in the plain GL header
#include <GLFW/glfw3.h>

#include <bitset>
#include <glm/glm.hpp>

#include "physics/player_controller.h"  // moveAxes and jumpHeld, the player's request

// Bits of keyState, one per held key.
enum KeyBit {
  kKeyUp = 0,
  kKeyDown = 1,
  kKeyLeft = 2,
  kKeyRight = 3,
  kKeyLeftControl = 4,
  kKeyW = 5,
  kKeyS = 6,
  kKeyA = 7,
  kKeyD = 8,
  kKeyRightControl = 9,
  kKeyBitCount = 10,
};

extern std::bitset<kKeyBitCount> keyState;
extern bool paused;           // physics, player and particle updates stop
extern bool wireframe;        // polygons drawn as lines
extern bool cullingOn;        // face culling enabled; starts on
extern bool playerParticles;  // the particle system around the player runs
extern bool orbitLeftHeld;    // left mouse button held: the orbit camera turns one way
extern bool orbitRightHeld;   // right mouse button held: the other way
extern float scrollHeight;    // accumulated vertical scroll, kept within 0 to 30

// Press and repeat set a key's bit, release clears it. Escape, R, space, F1, F2 and left shift act
// on release only.
void onKey(GLFWwindow* window, int key, int scancode, int action, int modifiers);
void onMouseButton(GLFWwindow* window, int button, int action, int modifiers);
void onScroll(GLFWwindow* window, double xOffset, double yOffset);
// Installs the three callbacks above on the window.
void installInputCallbacks(GLFWwindow* window);

// Writes moveAxes (x and z each -1, 0 or 1) and jumpHeld from the arrow keys and left control.
void arrowAxes();
// The free camera's axes from W, A, S, D; writes jumpHeld from right control.
glm::vec3 wasdAxes();
