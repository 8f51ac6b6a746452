#include "app/camera.h"

#include <gtest/gtest.h>

#include <cmath>

#include "app/input.h"

namespace {

void expectNear(const glm::vec3& a, const glm::vec3& b, float tolerance = 1e-4f) {
  EXPECT_NEAR(a.x, b.x, tolerance);
  EXPECT_NEAR(a.y, b.y, tolerance);
  EXPECT_NEAR(a.z, b.z, tolerance);
}

}  // namespace

TEST(Camera, ProjectionKeepsTheVerticalFieldAndTakesTheWindowsAspectWithPlanesAtATenthAndAHundred) {
  struct Case {
    float fov;
    float aspect;
  };
  for (const Case c : {Case{45.0f, 1.0f}, Case{60.0f, 16.0f / 9.0f}, Case{90.0f, 0.5f}}) {
    const Camera camera(c.fov, c.aspect);
    const glm::mat4& m = camera.projection;
    const float f = 1.0f / std::tan(c.fov * 0.017453292f / 2.0f);
    EXPECT_NEAR(m[1][1], f, 1e-5f);
    EXPECT_NEAR(m[0][0], f / c.aspect, 1e-5f);
    EXPECT_NEAR(m[2][2], -1.002002f, 1e-6f);
    EXPECT_NEAR(m[3][2], -0.2002002f, 1e-6f);
    EXPECT_EQ(m[2][3], -1.0f);
    EXPECT_EQ(m[3][3], 0.0f);
  }
}

TEST(Camera, StartsLookingFromAboveAndBehindTheOrigin) {
  const Camera camera;
  expectNear(camera.front, {0, -3, -7});
  expectNear(camera.right, glm::normalize(glm::vec3(-7, 0, 0)));
  // The origin is straight ahead: on the view's negative z axis.
  const glm::vec4 origin = camera.view * glm::vec4(0, 0, 0, 1);
  EXPECT_NEAR(origin.x, 0.0f, 1e-5f);
  EXPECT_NEAR(origin.y, 0.0f, 1e-5f);
  EXPECT_NEAR(origin.z, -std::sqrt(58.0f), 1e-4f);
}

TEST(Camera, PitchStaysWithin89DegreesHoweverFarTheMouseMoves) {
  Camera free;
  free.updateFree(glm::vec3(0.0f), 0.0f, 0.0f, glm::vec3(0.0f), 1.0f / 60.0f);
  free.updateFree(glm::vec3(0.0f), 0.0f, 1e6f, glm::vec3(0.0f), 1.0f / 60.0f);
  EXPECT_EQ(free.pitch, 89.0f);
  EXPECT_NEAR(free.front.y, std::sin(89.0f * 0.017453292f), 1e-5f);
  free.updateFree(glm::vec3(0.0f), 0.0f, -1e6f, glm::vec3(0.0f), 1.0f / 60.0f);
  EXPECT_EQ(free.pitch, -89.0f);

  Camera orbit;
  orbit.debug = true;
  orbit.updateFollow(glm::vec3(0.0f), 100.0f, 100.0f, 0.0f, 1.0f / 60.0f);
  orbit.updateFollow(glm::vec3(0.0f), 100.0f, 100.0f + 2000.0f, 0.0f, 1.0f / 60.0f);
  EXPECT_EQ(orbit.pitch, 89.0f);
  // 0.1 degrees per pixel, the cursor's fraction counted against the stored whole pixels.
  orbit.updateFollow(glm::vec3(0.0f), 150.75f, 2100.0f, 0.0f, 1.0f / 60.0f);
  EXPECT_NEAR(orbit.yaw, -90.0f + 5.075f, 1e-4f);
  EXPECT_EQ(orbit.lastCursorX, 150);
}

TEST(Camera, FreeCameraMovesAndTurnsNothingInAFrameOfNoTime) {
  Camera camera;
  camera.updateFree({1, 2, 3}, 40.0f, 50.0f, glm::vec3(0.0f), 1.0f / 60.0f);
  expectNear(camera.position, glm::vec3(1, 7, 33));  // the follow offset on the first frame
  const glm::vec3 position = camera.position, front = camera.front;
  const float yaw = camera.yaw, pitch = camera.pitch;
  camera.updateFree({1, 2, 3}, 400.0f, -300.0f, glm::vec3(1, 0, -1), 0.0f);
  EXPECT_EQ(camera.position, position);
  EXPECT_EQ(camera.front, front);
  EXPECT_EQ(camera.yaw, yaw);
  EXPECT_EQ(camera.pitch, pitch);

  // With time it flies 20 units per second: z -1 forward, x 1 to the right.
  camera.updateFree({1, 2, 3}, 400.0f, -300.0f, glm::vec3(0, 0, -1), 0.5f);
  expectNear(camera.position, position + camera.front * 10.0f);
  const glm::vec3 before = camera.position;
  camera.updateFree({1, 2, 3}, 400.0f, -300.0f, glm::vec3(1, 0, 0), 0.5f);
  expectNear(camera.position, before + glm::normalize(glm::cross(camera.front, camera.worldUp)) * 10.0f);
}

TEST(Camera, FollowCameraClosesFivePercentOfTheHeightGapPerFrame) {
  Camera camera;
  const glm::vec3 player(4.0f, 100.0f, 50.0f);
  camera.updateFollow(player, 0.0f, 0.0f, 0.0f, 1.0f / 60.0f);
  EXPECT_NEAR(camera.smoothedHeight, 5.0f, 1e-4f);
  expectNear(camera.position, glm::vec3(4, 5 + 5, 80));
  for (int i = 1; i < 60; ++i) camera.updateFollow(player, 0.0f, 0.0f, 0.0f, 1.0f / 60.0f);
  EXPECT_NEAR(camera.smoothedHeight, 100.0f * (1.0f - std::pow(0.95f, 60.0f)), 1e-2f);
  // It looks along -z and down at the smoothed point under the player, the cursor ignored.
  camera.updateFollow(player, 500.0f, 500.0f, 20.0f, 0.0f);
  const glm::vec4 seen = camera.view * glm::vec4(camera.target, 1.0f);
  EXPECT_NEAR(seen.x, 0.0f, 1e-3f);
  EXPECT_NEAR(seen.y, 0.0f, 1e-3f);
  EXPECT_LT(seen.z, 0.0f);
  EXPECT_EQ(camera.followOffset, glm::vec3(0, 5, 30));
  // A frame longer than a third of a second overshoots the player.
  camera.updateFollow(player, 0.0f, 0.0f, 0.0f, 0.5f);
  EXPECT_GT(camera.smoothedHeight, 100.0f);
}

TEST(Camera, OrbitCameraCirclesUnderTheMouseButtonsFromTheNextFrame) {
  Camera camera;
  camera.debug = true;
  orbitRightHeld = true;
  const glm::vec3 player(0.0f);
  camera.updateFollow(player, 0.0f, 0.0f, 2.0f, 1.5707964f);
  orbitRightHeld = false;
  EXPECT_NEAR(camera.orbitAngle, 1.5707964f, 1e-6f);
  expectNear(camera.followOffset, glm::vec3(30, 7, 0));
  EXPECT_NEAR(camera.position.z, 30.0f, 1e-3f);  // placed with the old offset
  camera.updateFollow(player, 0.0f, 0.0f, 2.0f, 1.0f / 60.0f);
  EXPECT_NEAR(camera.position.x, 30.0f, 1e-3f);
  EXPECT_NEAR(camera.position.z, 0.0f, 1e-3f);

  orbitLeftHeld = true;
  camera.updateFollow(player, 0.0f, 0.0f, 0.0f, 1.5707964f);
  orbitLeftHeld = false;
  EXPECT_NEAR(camera.orbitAngle, 0.0f, 1e-6f);
  expectNear(camera.followOffset, glm::vec3(0, 5, 30));
  // The angle, in radians, wraps only at 360.
  camera.orbitAngle = 359.99f;
  orbitRightHeld = true;
  camera.updateFollow(player, 0.0f, 0.0f, 0.0f, 0.02f);
  orbitRightHeld = false;
  EXPECT_EQ(camera.orbitAngle, 0.0f);
}
