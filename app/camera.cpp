#include "app/camera.h"

#include <cmath>
#include <glm/gtc/matrix_transform.hpp>

#include "app/input.h"

namespace {

constexpr float kRadiansPerDegree = 0.017453292f;
constexpr float kNearPlane = 0.1f;     // world units
constexpr float kFarPlane = 100.0f;    // world units
constexpr float kMaxPitch = 89.0f;     // degrees: straight up or down would flip the view
constexpr float kFreeSpeed = 20.0f;    // world units per second
constexpr float kFreeLook = 15.0f;     // degrees per pixel and second
constexpr float kOrbitLook = 0.1f;     // degrees per pixel
constexpr float kHeightFollow = 3.0f;  // per second: the share of the height gap closed
constexpr float kFullTurn = 360.0f;    // the orbit angle wraps here, although it is in radians

bool finite(const glm::vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

bool finite(const glm::mat4& m) {
  for (int c = 0; c < 4; ++c)
    if (!finite(glm::vec3(m[c])) || !std::isfinite(m[c][3])) return false;
  return true;
}

}  // namespace

bool Camera::stateFinite() const {
  return finite(position) && finite(target) && finite(front) && finite(right) && finite(up) && finite(view) &&
         finite(followOffset) && std::isfinite(smoothedHeight) && std::isfinite(yaw) && std::isfinite(pitch) &&
         std::isfinite(orbitAngle);
}

// A frame whose input is not finite (or so large that the step overflows) would leave NaN in the
// smoothed height, the angles or the position for good: such a frame changes nothing.
void Camera::updateFree(const glm::vec3& player, float cursorX, float cursorY, const glm::vec3& axes, float deltaTime) {
  const Camera before = *this;
  freeStep(player, cursorX, cursorY, axes, deltaTime);
  if (!stateFinite()) *this = before;
}

void Camera::updateFollow(const glm::vec3& player, float cursorX, float cursorY, float scroll, float deltaTime) {
  const Camera before = *this;
  followStep(player, cursorX, cursorY, scroll, deltaTime);
  if (!stateFinite()) *this = before;
}

Camera::Camera(float fov, float aspect) {
  front = target - position;
  right = glm::normalize(glm::cross(worldUp, front));
  up = glm::cross(front, right);
  view = glm::lookAt(position, position + front, up);
  projection = glm::perspective(fov * kRadiansPerDegree, aspect, kNearPlane, kFarPlane);
}

void Camera::mouseLook(float cursorX, float cursorY, float sensitivity) {
  const float dx = cursorX - static_cast<float>(lastCursorX);
  const float dy = cursorY - static_cast<float>(lastCursorY);
  lastCursorX = static_cast<int>(cursorX);
  lastCursorY = static_cast<int>(cursorY);
  yaw += dx * sensitivity;
  pitch += dy * sensitivity;
  if (pitch > kMaxPitch) pitch = kMaxPitch;
  if (pitch < -kMaxPitch) pitch = -kMaxPitch;
  const float yawRadians = yaw * kRadiansPerDegree;
  const float pitchRadians = pitch * kRadiansPerDegree;
  front = glm::normalize(glm::vec3(std::cos(yawRadians) * std::cos(pitchRadians), std::sin(pitchRadians),
                                   std::sin(yawRadians) * std::cos(pitchRadians)));
}

void Camera::freeStep(const glm::vec3& player, float cursorX, float cursorY, const glm::vec3& axes, float deltaTime) {
  if (firstMouse) {
    // Start where the follow camera would be, with no jump of the view on the first frame.
    position = player + followOffset;
    lastCursorX = static_cast<int>(cursorX);
    lastCursorY = static_cast<int>(cursorY);
    firstMouse = false;
  }
  mouseLook(cursorX, cursorY, kFreeLook * deltaTime);
  right = glm::normalize(glm::cross(front, worldUp));
  up = glm::normalize(glm::cross(right, front));

  const float speed = kFreeSpeed * deltaTime;
  if (axes.x == 1.0f) position += right * speed;
  if (axes.x == -1.0f) position -= right * speed;
  if (axes.z == 1.0f) position -= front * speed;
  if (axes.z == -1.0f) position += front * speed;
  view = glm::lookAt(position, position + front, up);
}

void Camera::followStep(const glm::vec3& player, float cursorX, float cursorY, float scroll, float deltaTime) {
  target.x = player.x;
  target.z = player.z;
  smoothedHeight -= (smoothedHeight - player.y) * deltaTime * kHeightFollow;
  target.y = smoothedHeight;
  position = target + followOffset;

  if (!debug) {
    front = target - position;
    right = glm::normalize(glm::cross(worldUp, front));
    up = glm::cross(front, right);
    view = glm::lookAt(position, position + front, up);
    return;
  }

  if (firstMouse) {
    position = target + followOffset;
    firstMouse = false;
    orbitAngle = 0.0f;
    lastCursorX = static_cast<int>(cursorX);
    lastCursorY = static_cast<int>(cursorY);
  }
  // The new offset places the camera from the next frame on.
  if (orbitRightHeld) {
    orbitAngle += deltaTime;
    if (!(orbitAngle < kFullTurn)) orbitAngle = 0.0f;
    followOffset.x = std::sin(orbitAngle) * orbitRadius;
    followOffset.z = std::cos(orbitAngle) * orbitRadius;
  }
  if (orbitLeftHeld) {
    orbitAngle -= deltaTime;
    if (!(orbitAngle > -kFullTurn)) orbitAngle = 0.0f;
    followOffset.x = std::sin(orbitAngle) * orbitRadius;
    followOffset.z = std::cos(orbitAngle) * orbitRadius;
  }
  followOffset.y = scroll + 5.0f;
  mouseLook(cursorX, cursorY, kOrbitLook);
  right = glm::normalize(glm::cross(worldUp, front));
  up = glm::cross(front, right);
  view = glm::lookAt(position, position + front, up);
}
