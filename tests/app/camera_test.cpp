#include "app/camera.h"

#include <gtest/gtest.h>

#include <cmath>

#include "app/input.h"

namespace {

constexpr float kFrame = 1.0f / 60.0f, kDegree = 0.017453292f;
bool near(const glm::vec3& a, const glm::vec3& b, float tolerance = 1e-3f) { return glm::length(a - b) < tolerance; }

}  // namespace

TEST(Camera, ProjectionKeepsTheVerticalFieldAndTakesTheWindowsAspectAndStartsBehindTheOrigin) {
  for (const auto& [fov, aspect] : {std::pair{45.0f, 1.0f}, {60.0f, 16.0f / 9.0f}, {90.0f, 0.5f}}) {
    const glm::mat4 m = Camera(fov, aspect).projection;
    const float f = 1.0f / std::tan(fov * kDegree / 2.0f);
    EXPECT_NEAR(m[1][1], f, 1e-5f);
    EXPECT_NEAR(m[0][0], f / aspect, 1e-5f);
    // Planes at 0.1 and 100: (far + near) / (near - far) and 2 far near / (near - far).
    EXPECT_NEAR(m[2][2], -1.002002f, 1e-6f);
    EXPECT_NEAR(m[3][2], -0.2002002f, 1e-6f);
    EXPECT_TRUE(m[2][3] == -1.0f && m[3][3] == 0.0f);
  }
  const Camera camera;
  EXPECT_TRUE(near(camera.front, {0, -3, -7}) && near(camera.right, {-1, 0, 0}));
  EXPECT_TRUE(near(glm::vec3(camera.view * glm::vec4(0, 0, 0, 1)), {0, 0, -std::sqrt(58.0f)})) << "the origin ahead";
}

TEST(Camera, FreeCameraFliesTwentyUnitsASecondAndTurnsWithThePitchKeptWithin89Degrees) {
  Camera camera;
  camera.updateFree({1, 2, 3}, 40.0f, 50.0f, glm::vec3(0.0f), kFrame);
  EXPECT_TRUE(near(camera.position, {1, 7, 33}));  // the follow offset on the first frame
  const Camera before = camera;
  camera.updateFree({1, 2, 3}, 400.0f, -300.0f, glm::vec3(1, 0, -1), 0.0f);  // a frame of no time
  EXPECT_TRUE(camera.position == before.position && camera.front == before.front && camera.yaw == before.yaw &&
              camera.pitch == before.pitch);
  camera.updateFree({1, 2, 3}, 400.0f, -300.0f, glm::vec3(0, 0, -1), 0.5f);
  EXPECT_TRUE(near(camera.position, before.position + camera.front * 10.0f)) << "z -1 is forward";
  const glm::vec3 there = camera.position;
  camera.updateFree({1, 2, 3}, 400.0f, -300.0f, glm::vec3(1, 0, 0), 0.5f);
  EXPECT_TRUE(near(camera.position, there + glm::normalize(glm::cross(camera.front, camera.worldUp)) * 10.0f));
  camera.updateFree({1, 2, 3}, 400.0f, 1e6f, glm::vec3(0.0f), kFrame);
  EXPECT_EQ(camera.pitch, 89.0f);
  EXPECT_NEAR(camera.front.y, std::sin(89.0f * kDegree), 1e-5f);
  camera.updateFree({1, 2, 3}, 400.0f, -1e6f, glm::vec3(0.0f), kFrame);
  EXPECT_EQ(camera.pitch, -89.0f);
}

TEST(Camera, FollowCameraClosesThreeTimesTheFrameOfTheHeightGapAndLooksAtThePlayer) {
  Camera camera;
  const glm::vec3 player(4.0f, 100.0f, 50.0f);
  camera.updateFollow(player, 0.0f, 0.0f, 0.0f, kFrame);
  EXPECT_NEAR(camera.smoothedHeight, 5.0f, 1e-4f);
  EXPECT_TRUE(near(camera.position, {4, 5 + 5, 80}));
  for (int i = 1; i < 60; ++i) camera.updateFollow(player, 0.0f, 0.0f, 0.0f, kFrame);
  EXPECT_NEAR(camera.smoothedHeight, 100.0f * (1.0f - std::pow(0.95f, 60.0f)), 1e-2f);
  camera.updateFollow(player, 500.0f, 500.0f, 20.0f, 0.0f);  // cursor and scroll ignored outside debug
  const glm::vec4 seen = camera.view * glm::vec4(camera.target, 1.0f);
  EXPECT_TRUE(std::abs(seen.x) < 1e-3f && std::abs(seen.y) < 1e-3f && seen.z < 0.0f);
  EXPECT_EQ(camera.followOffset, glm::vec3(0, 5, 30));
  camera.updateFollow(player, 0.0f, 0.0f, 0.0f, 0.5f);
  EXPECT_GT(camera.smoothedHeight, 100.0f) << "a frame longer than a third of a second overshoots";
}

TEST(Camera, OrbitCameraCirclesUnderTheMouseButtonsFromTheNextFrameAndLooksAtATenthOfADegreePerPixel) {
  Camera camera;
  camera.debug = true;
  orbitRightHeld = true;
  camera.updateFollow(glm::vec3(0.0f), 0.0f, 0.0f, 2.0f, 1.5707964f);
  orbitRightHeld = false;
  EXPECT_NEAR(camera.orbitAngle, 1.5707964f, 1e-6f);
  EXPECT_TRUE(near(camera.followOffset, {30, 7, 0}) && near(camera.position, {0, 5, 30})) << "the old offset places";
  camera.updateFollow(glm::vec3(0.0f), 0.0f, 0.0f, 2.0f, kFrame);
  EXPECT_TRUE(near(camera.position, {30, 7, 0}));
  orbitLeftHeld = true;
  camera.updateFollow(glm::vec3(0.0f), 0.0f, 0.0f, 0.0f, 1.5707964f);
  orbitLeftHeld = false;
  EXPECT_NEAR(camera.orbitAngle, 0.0f, 1e-6f);
  EXPECT_TRUE(near(camera.followOffset, {0, 5, 30}));
  camera.orbitAngle = 359.99f;  // radians, wrapped only at 360
  orbitRightHeld = true;
  camera.updateFollow(glm::vec3(0.0f), 0.0f, 0.0f, 0.0f, 0.02f);
  orbitRightHeld = false;
  EXPECT_EQ(camera.orbitAngle, 0.0f);

  Camera orbit;
  orbit.debug = true;
  orbit.updateFollow(glm::vec3(0.0f), 100.0f, 100.0f, 0.0f, kFrame);
  orbit.updateFollow(glm::vec3(0.0f), 100.0f, 2100.0f, 0.0f, kFrame);
  EXPECT_EQ(orbit.pitch, 89.0f);
  orbit.updateFollow(glm::vec3(0.0f), 150.75f, 2100.0f, 0.0f, kFrame);  // the fraction against whole pixels
  EXPECT_NEAR(orbit.yaw, -90.0f + 5.075f, 1e-4f);
  EXPECT_EQ(orbit.lastCursorX, 150);
}
