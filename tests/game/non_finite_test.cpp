// Values that are not finite reaching the rules, the camera and the flames: a NaN or infinite
// player position, frame length or body pose must neither crash, hang nor stick. The rules
// restart the run at once, as after a fall; the camera and the flames sit the frame out.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "app/camera.h"
#include "tools/trace/headless_course.h"
#include "scene/particle_system.h"
#include "support/gl_context.h"

using namespace course;

namespace {

constexpr float kFrame = 1.0f / 60.0f;  // seconds
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

bool finite(const glm::vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }
bool finite(const glm::mat4& m) {
  for (int c = 0; c < 4; ++c)
    if (!finite(glm::vec3(m[c])) || !std::isfinite(m[c][3])) return false;
  return true;
}

// A run well under way: past the gate, the boulder rolling, the player on the course at z 60.
void midRun(HeadlessCourse& c) {
  c.level.sectionIndex = 3;
  c.level.clock = 12.0;
  c.level.boulder.body->setGlobalPose(Pose{glm::vec3(0, 100, 20)});
  c.controller->setPosition({0.0, 97.0, 60.0});
}

// What a restart leaves: the intro again, the clock counting from zero, the player at the start.
void expectRestarted(const HeadlessCourse& c, const std::string& what) {
  EXPECT_EQ(c.level.sectionIndex, 0) << what;
  EXPECT_FALSE(c.level.failed) << what;
  EXPECT_FALSE(c.level.finished) << what;
  EXPECT_TRUE(std::isfinite(c.level.clock)) << what;
  EXPECT_LT(c.level.clock, 0.1) << what;
  EXPECT_EQ(c.controller->getPosition(), c.level.startPosition) << what;
  EXPECT_EQ(c.level.boulder.body->globalPose().position, c.level.boulder.startPose.position) << what;
  for (const PointLight& slot : c.level.activeLights) EXPECT_TRUE(finite(slot.position)) << what;
  EXPECT_TRUE(std::isfinite(c.level.attCurrent.y) && std::isfinite(c.level.attCurrent.z)) << what;
}

}  // namespace

TEST(NonFiniteRules, APlayerPositionThatIsNotFiniteRestartsTheRunAtOnce) {
  for (double bad : {kNaN, kInf, -kInf}) {
    for (int axis = 0; axis < 3; ++axis) {
      HeadlessCourse c;
      midRun(c);
      glm::dvec3 position(0.0, 97.0, 60.0);
      position[axis] = bad;
      c.level.update(position, kFrame);
      const std::string what = "axis " + std::to_string(axis) + " = " + std::to_string(bad);
      expectRestarted(c, what);
      // The next ordinary frame plays on from the start.
      c.level.update(c.controller->getPosition(), kFrame);
      EXPECT_FALSE(c.level.failed) << what;
    }
  }
}

TEST(NonFiniteRules, AFrameLengthThatIsNotFiniteRestartsTheRunAndNeverSticksInTheClockOrTheLights) {
  for (float bad : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                    -std::numeric_limits<float>::infinity()}) {
    HeadlessCourse c;
    midRun(c);
    c.level.update({0.0, 97.0, 60.0}, bad);
    expectRestarted(c, std::to_string(bad));
    EXPECT_TRUE(std::isfinite(c.level.flickerTimer)) << bad;
    // The clock and the lights run on in the frames that follow.
    for (int frame = 0; frame < 30; ++frame) c.level.update(c.controller->getPosition(), kFrame);
    EXPECT_NEAR(c.level.clock, 30 * kFrame, 1e-6) << bad;
    EXPECT_TRUE(std::isfinite(c.level.flickerTimer)) << bad;
  }
}

TEST(NonFiniteRules, ACaughtPlayerStillRestartsWhenAFrameOfNaNLengthComesInTheWait) {
  HeadlessCourse c;
  c.level.sectionIndex = 1;
  const double boulderZ = c.level.boulder.body->globalPose().position.z;
  c.level.update({0.0, 120.0, boulderZ - 1.0}, kFrame);
  ASSERT_TRUE(c.level.failed);
  c.level.update({0.0, 120.0, boulderZ - 1.0}, std::numeric_limits<float>::quiet_NaN());
  for (int frame = 0; frame < 150 && c.level.sectionIndex != 0; ++frame)
    c.level.update({0.0, 120.0, boulderZ - 1.0}, kFrame);
  EXPECT_EQ(c.level.sectionIndex, 0);
  EXPECT_FALSE(c.level.failed);
}

TEST(NonFiniteRules, ABoulderOrPlayerVelocityThatIsNotFiniteRestartsTheRun) {
  {
    HeadlessCourse c;
    midRun(c);
    c.level.boulder.body->setGlobalPose(Pose{glm::vec3(0, NAN, 30)});
    c.level.update({0.0, 97.0, 60.0}, kFrame);
    expectRestarted(c, "boulder at NaN");
  }
  {
    HeadlessCourse c;
    midRun(c);
    c.world.verticalVelocity = std::numeric_limits<float>::infinity();
    c.level.update({0.0, 97.0, 60.0}, kFrame);
    expectRestarted(c, "player falling infinitely fast");
    EXPECT_TRUE(std::isfinite(c.world.verticalVelocity));
  }
}

TEST(NonFiniteCamera, TheFollowCameraSitsOutABadFrameAndFollowsAgainAfterIt) {
  Camera camera;
  camera.updateFollow({0, 100, 50}, 0, 0, 0, kFrame);
  const glm::mat4 before = camera.view;
  for (float bad : {NAN, INFINITY}) {
    camera.updateFollow({0, bad, 50}, 0, 0, 0, kFrame);
    EXPECT_TRUE(finite(camera.view)) << bad;
    EXPECT_EQ(camera.view, before) << bad;
    camera.updateFollow({0, 100, 50}, 0, 0, 0, bad);
    EXPECT_TRUE(finite(camera.view)) << bad;
    EXPECT_TRUE(std::isfinite(camera.smoothedHeight)) << bad;
  }
  // Not stuck: the height keeps closing its gap to the player.
  const float gap = 100.0f - camera.smoothedHeight;
  camera.updateFollow({0, 100, 60}, 0, 0, 0, kFrame);
  EXPECT_LT(100.0f - camera.smoothedHeight, gap);
  EXPECT_NEAR(camera.position.z, 60.0f + camera.followOffset.z, 1e-4f);
}

TEST(NonFiniteCamera, TheFreeAndOrbitCamerasSitOutABadFrame) {
  Camera free;
  free.debug = true;
  free.updateFree({0, 100, 50}, 10, 10, glm::vec3(1, 0, 0), kFrame);
  Camera orbit;
  orbit.debug = true;
  orbit.updateFollow({0, 100, 50}, 10, 10, 0, kFrame);
  for (float bad : {NAN, INFINITY, -INFINITY}) {
    free.updateFree({0, 100, 50}, 30, 20, glm::vec3(1, 0, 0), bad);
    free.updateFree({bad, 100, 50}, 30, 20, glm::vec3(1, 0, 0), kFrame);
    orbit.updateFollow({0, 100, 50}, 30, 20, 0, bad);
    orbit.updateFollow({0, 100, bad}, 30, 20, bad, kFrame);
    EXPECT_TRUE(finite(free.view) && finite(free.position) && std::isfinite(free.yaw)) << bad;
    EXPECT_TRUE(finite(orbit.view) && finite(orbit.position) && std::isfinite(orbit.orbitAngle)) << bad;
  }
  const glm::vec3 at = free.position;
  free.updateFree({0, 100, 50}, 30, 20, glm::vec3(1, 0, 0), kFrame);
  EXPECT_NE(free.position, at) << "still flying";
}

class NonFiniteFlames : public GlContextTest {};

// Every other slot alive, each at its own distance from the emitter.
void fillAlternately(ParticleSystem& flames) {
  for (int i = 0; i < ParticleSystem::kCapacity; ++i) {
    flames.lives[i] = i % 2 ? 0.5f : 0.0f;
    flames.offsets[i] = glm::vec3(static_cast<float>(i), 0.0f, 0.0f);
  }
}

TEST_F(NonFiniteFlames, AnEmitterAtANaNPositionStillPutsEveryLiveFlameBeforeTheFreeSlots) {
  ParticleSystem flames(nullptr, glm::vec3(0.0f));
  fillAlternately(flames);
  flames.update(glm::vec3(NAN, 0.0f, 0.0f), 0.0f, 1.0f);
  ASSERT_EQ(flames.liveCount, 250u);
  // The uploaded front of the arrays holds all the live flames, each once.
  float sum = 0.0f;
  for (unsigned i = 0; i < flames.liveCount; ++i) {
    EXPECT_GT(flames.lives[i], 0.0f) << i;
    sum += flames.offsets[i].x;
  }
  EXPECT_EQ(sum, 250.0f * 250.0f);  // 1 + 3 + ... + 499
  EXPECT_EQ(drainGlErrors(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(NonFiniteFlames, AFrameOfNaNOrInfiniteLengthAgesAndSpawnsNothing) {
  for (float bad : {NAN, INFINITY}) {
    ParticleSystem flames(nullptr, glm::vec3(0.0f));
    fillAlternately(flames);
    flames.update(glm::vec3(0.0f), bad, 1.0f);
    EXPECT_EQ(flames.liveCount, 250u) << bad;
    for (int i = 0; i < ParticleSystem::kCapacity; ++i) {
      ASSERT_TRUE(std::isfinite(flames.lives[i])) << bad << " slot " << i;
      ASSERT_TRUE(finite(glm::vec3(flames.colors[i])) && std::isfinite(flames.colors[i].a)) << bad << " slot " << i;
    }
    // Not stuck: a second later the old flames are gone and new ones burn.
    flames.update(glm::vec3(0.0f), 0.6f, 1.0f);
    for (unsigned i = 0; i < flames.liveCount; ++i) EXPECT_GT(flames.lives[i], 0.3f) << bad << " slot " << i;
  }
}
