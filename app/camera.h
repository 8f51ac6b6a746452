#pragma once
#include <glm/glm.hpp>

// The one camera every pass takes its view and projection from. Normal play follows the player
// from a fixed offset with a smoothed height; debug mode offers a free camera and an orbit camera.
// Angles in degrees, distances in world units, times in seconds.
class Camera {
 public:
  // fov: the vertical field of view in degrees; aspect: the window's width over its height, so a
  // sphere stays round in any window. The projection is made here, once.
  explicit Camera(float fov = 60.0f, float aspect = 1.0f);

  // Debug flying: mouse look and W, A, S, D axes (x right, z back) at 20 units per second.
  void updateFree(const glm::vec3& player, float cursorX, float cursorY, const glm::vec3& axes, float deltaTime);
  // Behind and above the player; in debug mode the orbit camera, turned by the mouse buttons.
  void updateFollow(const glm::vec3& player, float cursorX, float cursorY, float scrollHeight, float deltaTime);

  int lastCursorX = 0;  // pixels
  int lastCursorY = 0;
  float yaw = -90.0f;
  float pitch = -15.0f;
  glm::vec3 position{0.0f, 3.0f, 7.0f};
  glm::vec3 target{0.0f};
  glm::vec3 front{0.0f};
  glm::vec3 right{0.0f};
  glm::vec3 up{0.0f};
  glm::vec3 worldUp{0.0f, 1.0f, 0.0f};
  glm::mat4 view{1.0f};
  glm::mat4 projection{1.0f};
  bool debug = false;
  bool firstMouse = true;
  glm::vec3 followOffset{0.0f, 5.0f, 30.0f};
  float smoothedHeight = 0.0f;
  float orbitAngle = 0.0f;  // radians
  float orbitRadius = 30.0f;

 private:
  void freeStep(const glm::vec3& player, float cursorX, float cursorY, const glm::vec3& axes, float deltaTime);
  void followStep(const glm::vec3& player, float cursorX, float cursorY, float scrollHeight, float deltaTime);
  bool stateFinite() const;
  // Turns by the cursor's motion since the last call, sensitivity in degrees per pixel.
  void mouseLook(float cursorX, float cursorY, float sensitivity);
};
