// Values that are not finite reaching the camera and the flames: a NaN or infinite position or
// frame length must neither crash, hang nor stick; they sit the frame out. (The rules restart the
// run instead: level_rules_test.cpp.)
#include <gtest/gtest.h>

#include <cmath>

#include "app/camera.h"
#include "scene/particle_system.h"
#include "support/gl_context.h"

namespace {

constexpr float kFrame = 1.0f / 60.0f;  // seconds

bool finite(const glm::vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }
bool finite(const glm::mat4& m) {
  for (int c = 0; c < 4; ++c)
    if (!finite(glm::vec3(m[c])) || !std::isfinite(m[c][3])) return false;
  return true;
}

}  // namespace

TEST(NonFiniteCamera, TheFollowFreeAndOrbitCamerasSitOutABadFrameAndFollowAgainAfterIt) {
  Camera follow, free, orbit;
  free.debug = orbit.debug = true;
  follow.updateFollow({0, 100, 50}, 0, 0, 0, kFrame);
  free.updateFree({0, 100, 50}, 10, 10, glm::vec3(1, 0, 0), kFrame);
  orbit.updateFollow({0, 100, 50}, 10, 10, 0, kFrame);
  const glm::mat4 before = follow.view;
  for (float bad : {NAN, INFINITY, -INFINITY}) {
    follow.updateFollow({0, bad, 50}, 0, 0, 0, kFrame);
    EXPECT_EQ(follow.view, before) << bad;
    follow.updateFollow({0, 100, 50}, 0, 0, 0, bad);
    free.updateFree({0, 100, 50}, 30, 20, glm::vec3(1, 0, 0), bad);
    free.updateFree({bad, 100, 50}, 30, 20, glm::vec3(1, 0, 0), kFrame);
    orbit.updateFollow({0, 100, 50}, 30, 20, 0, bad);
    orbit.updateFollow({0, 100, bad}, 30, 20, bad, kFrame);
    EXPECT_TRUE(finite(follow.view) && std::isfinite(follow.smoothedHeight)) << bad;
    EXPECT_TRUE(finite(free.view) && finite(free.position) && std::isfinite(free.yaw)) << bad;
    EXPECT_TRUE(finite(orbit.view) && finite(orbit.position) && std::isfinite(orbit.orbitAngle)) << bad;
  }
  // Not stuck: the height keeps closing its gap to the player, the free camera still flies.
  const float gap = 100.0f - follow.smoothedHeight;
  follow.updateFollow({0, 100, 60}, 0, 0, 0, kFrame);
  EXPECT_LT(100.0f - follow.smoothedHeight, gap);
  EXPECT_NEAR(follow.position.z, 60.0f + follow.followOffset.z, 1e-4f);
  const glm::vec3 at = free.position;
  free.updateFree({0, 100, 50}, 30, 20, glm::vec3(1, 0, 0), kFrame);
  EXPECT_NE(free.position, at);
}

class NonFiniteFlames : public GlContextTest {
 protected:
  // Every other slot alive, each at its own distance from the emitter.
  NonFiniteFlames() : flames(nullptr, glm::vec3(0.0f)) {
    for (int i = 0; i < ParticleSystem::kCapacity; ++i) {
      flames.lives[i] = i % 2 ? 0.5f : 0.0f;
      flames.offsets[i] = glm::vec3(static_cast<float>(i), 0.0f, 0.0f);
    }
  }
  ParticleSystem flames;
};

TEST_F(NonFiniteFlames, AnEmitterAtANaNPositionStillPutsEveryLiveFlameBeforeTheFreeSlots) {
  flames.update(glm::vec3(NAN, 0.0f, 0.0f), 0.0f, 1.0f);
  ASSERT_EQ(flames.liveCount, 250u);
  float sum = 0.0f;  // each live flame once: 1 + 3 + ... + 499
  for (unsigned i = 0; i < flames.liveCount; ++i) {
    EXPECT_GT(flames.lives[i], 0.0f) << i;
    sum += flames.offsets[i].x;
  }
  EXPECT_EQ(sum, 250.0f * 250.0f);
}

TEST_F(NonFiniteFlames, AFrameOfNaNOrInfiniteLengthAgesAndSpawnsNothing) {
  for (float bad : {NAN, INFINITY}) {
    flames.update(glm::vec3(0.0f), bad, 1.0f);
    EXPECT_EQ(flames.liveCount, 250u) << bad;
    for (int i = 0; i < ParticleSystem::kCapacity; ++i)
      ASSERT_TRUE(std::isfinite(flames.lives[i]) && finite(glm::vec3(flames.colors[i])) &&
                  std::isfinite(flames.colors[i].a))
          << bad << " slot " << i;
  }
  // Not stuck: a little later the old flames are gone and new ones burn.
  flames.update(glm::vec3(0.0f), 0.6f, 1.0f);
  for (unsigned i = 0; i < flames.liveCount; ++i) EXPECT_GT(flames.lives[i], 0.3f) << i;
}
