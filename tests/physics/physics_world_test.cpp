#include "physics/physics_world.h"

#include <gtest/gtest.h>

#include <cmath>
#include <glm/gtc/quaternion.hpp>

namespace {

constexpr float kFrame = 1.0f / 60.0f;

// Steps until the bottom of a unit box reaches the ground and returns the elapsed time.
float timeUntilLanding(PhysicsWorld& world, RigidBody* body, float dt, float maxTime = 5.0f) {
  float t = 0.0f;
  while (t < maxTime) {
    world.stepPhysics(dt);
    t += dt;
    if (body->globalPose().position.y <= 0.5f + 0.01f) return t;
  }
  return -1.0f;
}

// Steps at 60 Hz until the body falls asleep; returns the elapsed time, or -1 if it never did.
float secondsUntilAsleep(PhysicsWorld& world, RigidBody* body, float maxTime = 5.0f) {
  for (float t = 0.0f; t < maxTime; t += kFrame) {
    world.stepPhysics(kFrame);
    if (!body->isAwake()) return t + kFrame;
  }
  return -1.0f;
}

// A still kinematic slab of the course's kind, 8 x 2 x 8 with its top at y = 2, and a 2 x 2 x 2
// loose box dropped onto it from a unit above; returns the box.
RigidBody* boxOnSlab(PhysicsWorld& world, RigidBody** slab = nullptr) {
  RigidBody* piece = world.createDynamicBody(Pose{{0, 1, 0}}, CollisionShape::box({4, 1, 4}), {});
  piece->setKinematic(true);
  if (slab) *slab = piece;
  return world.createDynamicBody(Pose{{0.5f, 4, -0.5f}}, CollisionShape::box({1, 1, 1}), {});
}

}  // namespace

TEST(PhysicsWorld, BoxDroppedFromHeightLandsAfterFreeFallTime) {
  for (float h : {5.0f, 20.0f}) {
    for (float dt : {1.0f / 60.0f, 1.0f / 144.0f}) {
      PhysicsWorld world;
      // A unit box whose bottom starts h above the ground plane.
      RigidBody* box = world.createDynamicBody(Pose{{0, h + 0.5f, 0}}, CollisionShape::box({0.5f, 0.5f, 0.5f}), {});
      const float expected = std::sqrt(2.0f * h / 69.81f);
      EXPECT_NEAR(timeUntilLanding(world, box, dt), expected, 1.5f * dt) << "h " << h << " dt " << dt;
      // It bounces (restitution 0.6) and settles on the plane, not inside it.
      for (int i = 0; i < 5 / dt; ++i) world.stepPhysics(dt);
      EXPECT_NEAR(box->globalPose().position.y, 0.5f, 0.02f);
    }
  }
}

TEST(PhysicsWorld, CollisionsShareMomentumByDensityTimesVolume) {
  // Frictionless, bounceless sliders without gravity meet head on: a ball of radius 1 at 9 units
  // per second and a body at rest. The masses are density 10 times the volume of each shape.
  struct Case {
    CollisionShape target;
    float targetVolume;
  };
  const Case cases[] = {
      {CollisionShape::sphere(2.0f), 4.0f / 3.0f * 3.14159265f * 8.0f},  // eight times the ball
      {CollisionShape::box({1, 1, 1}), 8.0f},                            // a 2 x 2 x 2 box
  };
  for (const Case& c : cases) {
    PhysicsWorld world;
    RigidBody* ball = world.createSlidingBody(Pose{{0, 50, 0}}, CollisionShape::sphere(1.0f));
    RigidBody* target = world.createSlidingBody(Pose{{6, 50, 0}}, c.target);
    ball->setGravityEnabled(false);
    target->setGravityEnabled(false);
    ball->setLinearVelocity({9, 0, 0});
    for (int i = 0; i < 120; ++i) world.stepPhysics(kFrame);
    // Momentum is kept: m (9 - v) = M V, so the speeds tell the ratio of the masses.
    const float ballVolume = 4.0f / 3.0f * 3.14159265f;
    const float v = ball->linearVelocity().x, V = target->linearVelocity().x;
    ASSERT_GT(V, 0.5f) << "target volume " << c.targetVolume;
    EXPECT_NEAR((9.0f - v) / V, c.targetVolume / ballVolume, 0.02f * c.targetVolume / ballVolume)
        << "target volume " << c.targetVolume;
  }
}

TEST(PhysicsWorld, DynamicBodyStartsWithItsVelocityAwake) {
  PhysicsWorld world;
  RigidBody* box = world.createDynamicBody(Pose{{0, 50, 0}}, CollisionShape::box({1, 1, 1}), {3, 0, 0});
  world.stepPhysics(0.1f);
  EXPECT_NEAR(box->globalPose().position.x, 0.3f, 0.01f);
}

TEST(PhysicsWorld, VelocitySetterWakesASleepingBody) {
  PhysicsWorld world;
  RigidBody* box = world.createDynamicBody(Pose{{0, 0.5f, 0}}, CollisionShape::box({0.5f, 0.5f, 0.5f}), {});
  for (int i = 0; i < 600 && box->isAwake(); ++i) world.stepPhysics(kFrame);
  ASSERT_FALSE(box->isAwake()) << "a resting box should fall asleep";
  box->setLinearVelocity({0, 10, 0});
  EXPECT_TRUE(box->isAwake());
  world.stepPhysics(kFrame);
  EXPECT_GT(box->globalPose().position.y, 0.55f);
}

TEST(PhysicsWorld, KinematicSolidNeverMovesWhenHit) {
  PhysicsWorld world;
  RigidBody* solid = world.createDynamicBody(Pose{{0, 20, 0}}, CollisionShape::box({5, 1, 5}), {});
  solid->setKinematic(true);
  RigidBody* ball = world.createDynamicBody(Pose{{0, 30, 0}}, CollisionShape::sphere(1.0f), {0, -30, 0});
  for (int i = 0; i < 240; ++i) world.stepPhysics(kFrame);
  EXPECT_EQ(solid->globalPose().position, glm::vec3(0, 20, 0));
  // The ball came to rest on the solid, not on the ground below it.
  EXPECT_NEAR(ball->globalPose().position.y, 22.0f, 0.1f);
}

TEST(PhysicsWorld, LooseBoxOnAStillKinematicPieceSettlesAndSleeps) {
  PhysicsWorld world;
  RigidBody* box = boxOnSlab(world);
  const float slept = secondsUntilAsleep(world, box);
  ASSERT_GT(slept, 0.0f) << "still awake after 5 s at (" << box->globalPose().position.x << ", "
                         << box->globalPose().position.y << ", " << box->globalPose().position.z << ")";
  // On the slab's top (2) by its half height, where it was dropped.
  const Pose rest = box->globalPose();
  EXPECT_NEAR(rest.position.y, 3.0f, 0.02f);
  EXPECT_NEAR(rest.position.x, 0.5f, 0.1f);
  EXPECT_NEAR(rest.position.z, -0.5f, 0.1f);
  // Nothing wakes it again while the slab stands still.
  for (int i = 0; i < 120; ++i) world.stepPhysics(kFrame);
  EXPECT_FALSE(box->isAwake());
  EXPECT_EQ(box->globalPose().position, rest.position);
}

TEST(PhysicsWorld, SleepingKinematicPiecesStillStopWhatFallsOrSlidesOntoThem) {
  PhysicsWorld world;
  RigidBody* slab = nullptr;
  RigidBody* bottom = boxOnSlab(world, &slab);
  // A thin shelf far to the side, and a floor with a wall at its +x end, all kinematic.
  RigidBody* shelf = world.createDynamicBody(Pose{{20, 5, 0}}, CollisionShape::box({3, 0.1f, 3}), {});
  shelf->setKinematic(true);
  RigidBody* floor = world.createDynamicBody(Pose{{-20, 0.5f, 0}}, CollisionShape::box({8, 0.5f, 4}), {});
  floor->setKinematic(true);
  RigidBody* wall = world.createDynamicBody(Pose{{-14, 3, 0}}, CollisionShape::box({0.5f, 3, 4}), {});
  wall->setKinematic(true);
  ASSERT_GT(secondsUntilAsleep(world, bottom), 0.0f);
  for (RigidBody* piece : {slab, shelf, floor, wall}) ASSERT_FALSE(piece->isAwake());

  // A box dropped onto the sleeping stack lands on the sleeping box, which still stands on the slab.
  RigidBody* top = world.createDynamicBody(Pose{{0.5f, 12, -0.5f}}, CollisionShape::box({1, 1, 1}), {});
  // A small box falling 40 units (75 units per second at the end) onto the 0.2 thick shelf.
  RigidBody* fast = world.createDynamicBody(Pose{{20, 45, 0}}, CollisionShape::box({0.5f, 0.5f, 0.5f}), {});
  // A small box sent along the floor at 30 units per second into the wall (face at x = -14.5).
  RigidBody* slider =
      world.createDynamicBody(Pose{{-24, 1.5f, 0}}, CollisionShape::box({0.5f, 0.5f, 0.5f}), {30, 0, 0});
  for (int i = 0; i < 180; ++i) world.stepPhysics(kFrame);

  EXPECT_NEAR(top->globalPose().position.y, 5.0f, 0.05f);
  EXPECT_NEAR(bottom->globalPose().position.y, 3.0f, 0.05f);
  EXPECT_NEAR(fast->globalPose().position.y, 5.6f, 0.05f);
  EXPECT_NEAR(slider->globalPose().position.y, 1.5f, 0.05f) << "it stays on the floor";
  EXPECT_LE(slider->globalPose().position.x, -14.5f - 0.5f + 0.02f) << "the wall stops it";
  EXPECT_GT(slider->globalPose().position.x, -16.0f) << "it reached the wall";
}

TEST(PhysicsWorld, AKinematicPieceWakesWhatItTouchesOnlyWhileTheGameMovesIt) {
  PhysicsWorld world;
  RigidBody* slab = nullptr;
  RigidBody* box = boxOnSlab(world, &slab);
  ASSERT_GT(secondsUntilAsleep(world, box), 0.0f);

  // Raised 0.2 units into the sleeping box, the slab wakes it and lifts it onto its new top.
  slab->setGlobalPose(Pose{{0, 1.2f, 0}});
  world.stepPhysics(kFrame);
  EXPECT_TRUE(box->isAwake());
  for (int i = 0; i < 60; ++i) world.stepPhysics(kFrame);
  EXPECT_NEAR(box->globalPose().position.y, 3.2f, 0.02f);
  EXPECT_EQ(slab->globalPose().position, glm::vec3(0, 1.2f, 0));

  // Standing still again, the slab lets the box sleep on it.
  EXPECT_GT(secondsUntilAsleep(world, box), 0.0f) << "the still slab keeps the box awake";

  // A velocity set on the slab counts as moving it, even one that moves nothing.
  slab->setLinearVelocity({0, 0, 0});
  world.stepPhysics(kFrame);
  EXPECT_TRUE(box->isAwake());
}

TEST(PhysicsWorld, SlidingBodyKeepsItsOrientationThroughACollision) {
  PhysicsWorld world;
  RigidBody* wall = world.createDynamicBody(Pose{{0, 5, 10}}, CollisionShape::box({10, 5, 1}), {});
  wall->setKinematic(true);
  const glm::quat turned = glm::angleAxis(0.3f, glm::vec3(0, 1, 0));
  RigidBody* slider = world.createSlidingBody(Pose{{1.5f, 1.0f, 0}, turned}, CollisionShape::sphere(1.0f));
  // Driven into the wall off-centre and along the floor, it must neither turn nor lose its spin-free state.
  slider->setLinearVelocity({4, 0, 20});
  for (int i = 0; i < 120; ++i) world.stepPhysics(kFrame);
  const glm::quat q = slider->globalPose().rotation;
  EXPECT_NEAR(std::abs(glm::dot(q, turned)), 1.0f, 1e-5f);
  EXPECT_LT(slider->globalPose().position.z, 9.0f) << "the wall stopped it";
}

// Touching materials average their friction: a sliding body (0) on the ground (0.5) rubs at 0.25
// and slides v^2 / (2 mu g) from a push; a loose box (0.5) rubs harder and stops sooner.
TEST(PhysicsWorld, SlidingBodyRubsAtHalfTheGroundsFrictionAndSlidesFartherThanALooseBox) {
  PhysicsWorld world;
  // Two 2 x 2 x 2 boxes resting on the ground plane, pushed along x at 5 units per second.
  RigidBody* slider = world.createSlidingBody(Pose{{0, 1, 0}}, CollisionShape::box({1, 1, 1}));
  RigidBody* loose = world.createDynamicBody(Pose{{0, 1, 20}}, CollisionShape::box({1, 1, 1}), {});
  for (int i = 0; i < 30; ++i) world.stepPhysics(kFrame);
  const float sliderStart = slider->globalPose().position.x, looseStart = loose->globalPose().position.x;
  slider->setLinearVelocity({5, 0, 0});
  loose->setLinearVelocity({5, 0, 0});
  for (int i = 0; i < 120; ++i) world.stepPhysics(kFrame);
  const float g = 69.81f;  // world units per second squared
  EXPECT_NEAR(slider->globalPose().position.x - sliderStart, 25.0f / (2 * 0.25f * g), 0.1f);
  EXPECT_LT(loose->globalPose().position.x - looseStart, slider->globalPose().position.x - sliderStart - 0.1f);
  EXPECT_NEAR(slider->globalPose().position.y, 1.0f, 0.02f) << "it neither bounced nor sank";
}

TEST(PhysicsWorld, SlidingGateWithoutGravityFloatsAndSinksOnlyWhenDriven) {
  PhysicsWorld world;
  RigidBody* gate = world.createSlidingBody(Pose{{0, 125, -5}}, CollisionShape::box({10, 10, 0.5f}));
  gate->setGravityEnabled(false);
  for (int i = 0; i < 60; ++i) world.stepPhysics(kFrame);
  EXPECT_NEAR(gate->globalPose().position.y, 125.0f, 1e-4f);
  gate->setLinearVelocity({0, -5, 0});
  for (int i = 0; i < 60; ++i) world.stepPhysics(kFrame);
  EXPECT_NEAR(gate->globalPose().position.y, 120.0f, 0.05f);
  // Making another body kinematic re-joins it to the world; the gate must still float after that.
  world.createDynamicBody(Pose{{50, 5, 0}}, CollisionShape::box({1, 1, 1}), {})->setKinematic(true);
  gate->setLinearVelocity({0, 0, 0});
  for (int i = 0; i < 60; ++i) world.stepPhysics(kFrame);
  EXPECT_NEAR(gate->globalPose().position.y, 120.0f, 0.05f);
}

TEST(PhysicsWorld, WedgeFallsFromHighBackEdgeToLowFrontEdge) {
  PhysicsWorld world;
  world.createWedgeBody(Pose{{0, 5, 0}}, 20, 10, 20)->setKinematic(true);
  // The top at local z: +5 (world 10) at the back edge z = -10, +0.05 (world 5.05) at the front z = +10.
  auto surfaceAt = [&](float x, float z) {
    glm::vec3 hit(-1.0f);
    EXPECT_TRUE(world.raycast({x, 50, z}, {x, -1, z}, &hit));
    return hit.y;
  };
  EXPECT_NEAR(surfaceAt(0, -9.9f), 10.0f - 4.95f * 0.1f / 20.0f, 0.01f);
  EXPECT_NEAR(surfaceAt(0, 9.9f), 5.05f + 4.95f * 0.1f / 20.0f, 0.01f);
  EXPECT_NEAR(surfaceAt(9.0f, 0.0f), 7.525f, 0.01f) << "the slope is the same across the width";
  // Beyond the front edge the ray meets the ground plane.
  EXPECT_NEAR(surfaceAt(0, 10.2f), 0.0f, 1e-4f);
}

TEST(PhysicsWorld, HullBodiesDoNotHoverByTheirMargin) {
  PhysicsWorld world;
  // A prism of height 2 standing on the ground: a box resting on it must sit at 2 + its half height.
  RigidBody* prism = world.createPrismBody(Pose{{0, 1, 0}}, 3.0f, 2.0f);
  prism->setKinematic(true);
  RigidBody* box = world.createDynamicBody(Pose{{0, 4, 0}}, CollisionShape::box({0.5f, 0.5f, 0.5f}), {});
  for (int i = 0; i < 240; ++i) world.stepPhysics(kFrame);
  EXPECT_NEAR(box->globalPose().position.y, 2.5f, 0.02f);
}

TEST(PhysicsWorld, TouchingMaterialsAverageTheirBounce) {
  // Ball (0.6) on ground (0.6) averages to 0.6; a frictionless, bounceless slider (0) averages to 0.3.
  PhysicsWorld world;
  RigidBody* ball = world.createDynamicBody(Pose{{0, 10.5f, 0}}, CollisionShape::sphere(0.5f), {});
  RigidBody* slider = world.createSlidingBody(Pose{{5, 10.5f, 0}}, CollisionShape::sphere(0.5f));
  float ballUp = 0, sliderUp = 0;
  for (int i = 0; i < 200; ++i) {
    world.stepPhysics(1.0f / 240.0f);
    ballUp = std::max(ballUp, ball->linearVelocity().y);
    sliderUp = std::max(sliderUp, slider->linearVelocity().y);
  }
  const float impact = std::sqrt(2.0f * 69.81f * 10.0f);
  EXPECT_NEAR(ballUp / impact, 0.6f, 0.08f);
  EXPECT_NEAR(sliderUp / impact, 0.3f, 0.08f) << "a multiplied restitution would give 0";
}

TEST(PhysicsWorld, ANonFiniteOrNegativeStepIsSkipped) {
  // A box in flight, and a twin world that never sees the bad steps.
  PhysicsWorld world, twin;
  const Pose start{{0, 30, 0}, glm::angleAxis(0.4f, glm::normalize(glm::vec3(1, 1, 0)))};
  RigidBody* box = world.createDynamicBody(start, CollisionShape::box({0.5f, 0.5f, 0.5f}), {4, 10, 0});
  RigidBody* same = twin.createDynamicBody(start, CollisionShape::box({0.5f, 0.5f, 0.5f}), {4, 10, 0});
  box->setAngularVelocity({0, 3, 1});
  same->setAngularVelocity({0, 3, 1});
  for (int i = 0; i < 10; ++i) {
    world.stepPhysics(kFrame);
    twin.stepPhysics(kFrame);
  }
  const Pose before = box->globalPose();
  const glm::vec3 velocity = box->linearVelocity(), spin = box->angularVelocity();
  for (float dt : {std::nanf(""), INFINITY, -INFINITY, -kFrame}) {
    world.stepPhysics(dt);
    EXPECT_EQ(box->globalPose().position, before.position) << "dt " << dt;
    EXPECT_EQ(box->globalPose().rotation, before.rotation) << "dt " << dt;
    EXPECT_EQ(box->linearVelocity(), velocity) << "dt " << dt;
    EXPECT_EQ(box->angularVelocity(), spin) << "dt " << dt;
  }
  // It goes on as if the bad frames had never come, through the flight and the landing.
  for (int i = 0; i < 300; ++i) {
    world.stepPhysics(kFrame);
    twin.stepPhysics(kFrame);
  }
  EXPECT_EQ(box->globalPose().position, same->globalPose().position);
  EXPECT_EQ(box->linearVelocity(), same->linearVelocity());
  EXPECT_LT(box->globalPose().position.y, 1.0f) << "it has landed";
}

TEST(PhysicsWorld, ReleaseIsSafeTwice) {
  PhysicsWorld world;
  world.createDynamicBody(Pose{{0, 1, 0}}, CollisionShape::box({1, 1, 1}), {});
  world.releasePhysicsWorld();
  world.releasePhysicsWorld();
  EXPECT_EQ(world.scene, nullptr);
}
