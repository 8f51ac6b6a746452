// The world's bodies where the course run would not notice a fault: masses, materials, sleep,
// the sliding bodies, bad steps and release. (The hull shapes are measured by level_build_test.cpp.)
#include "physics/physics_world.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr float kFrame = 1.0f / 60.0f;

void steps(PhysicsWorld& world, int n, float dt = kFrame) {
  for (int i = 0; i < n; ++i) world.stepPhysics(dt);
}

RigidBody* kinematic(PhysicsWorld& world, const glm::vec3& centre, const glm::vec3& half) {
  RigidBody* body = world.createDynamicBody(Pose{centre}, CollisionShape::box(half), {});
  body->setKinematic(true);
  return body;
}

bool sleepsWithin5s(PhysicsWorld& world, RigidBody* body) {
  for (int i = 0; i < 300 && body->isAwake(); ++i) world.stepPhysics(kFrame);
  return !body->isAwake();
}

}  // namespace

TEST(PhysicsWorld, MassIsDensityTimesVolumeAndTouchingMaterialsAverageFrictionAndBounce) {
  // Frictionless sliders without gravity meet head on: the speeds after tell the ratio of masses.
  const float ball = 4.0f / 3.0f * 3.14159265f;
  for (const auto& [target, volume] :
       {std::pair{CollisionShape::sphere(2.0f), 8.0f * ball}, std::pair{CollisionShape::box({1, 1, 1}), 8.0f}}) {
    PhysicsWorld world;
    RigidBody* a = world.createSlidingBody(Pose{{0, 50, 0}}, CollisionShape::sphere(1.0f));
    RigidBody* b = world.createSlidingBody(Pose{{6, 50, 0}}, target);
    a->setGravityEnabled(false);
    b->setGravityEnabled(false);
    a->setLinearVelocity({9, 0, 0});
    steps(world, 120);
    const float v = a->linearVelocity().x, V = b->linearVelocity().x;
    ASSERT_GT(V, 0.5f) << volume;
    EXPECT_NEAR((9.0f - v) / V, volume / ball, 0.02f * volume / ball) << volume;
  }
  // Bounce: ball (0.6) on ground (0.6) averages to 0.6, a bounceless slider to 0.3; a fall of one
  // unit (12 units per second) still bounces.
  PhysicsWorld world;
  RigidBody* bouncer = world.createDynamicBody(Pose{{0, 10.5f, 0}}, CollisionShape::sphere(0.5f), {});
  RigidBody* slider = world.createSlidingBody(Pose{{5, 10.5f, 0}}, CollisionShape::sphere(0.5f));
  RigidBody* low = world.createDynamicBody(Pose{{-5, 1.5f, 0}}, CollisionShape::sphere(0.5f), {});
  glm::vec3 up(0.0f);  // the fastest rise of each
  for (int i = 0; i < 200; ++i) {
    world.stepPhysics(1.0f / 240.0f);
    up = glm::max(up, glm::vec3(bouncer->linearVelocity().y, slider->linearVelocity().y, low->linearVelocity().y));
  }
  const float impact = std::sqrt(2.0f * 69.81f * 10.0f);
  EXPECT_NEAR(up.x / impact, 0.6f, 0.08f);
  EXPECT_NEAR(up.y / impact, 0.3f, 0.08f);
  EXPECT_GT(up.z, 0.3f * std::sqrt(2.0f * 69.81f));
  // Friction: a sliding box (0) on the ground (0.5) rubs at 0.25 and slides v^2 / (2 mu g).
  RigidBody* box = world.createSlidingBody(Pose{{0, 1, 20}}, CollisionShape::box({1, 1, 1}));
  RigidBody* loose = world.createDynamicBody(Pose{{0, 1, 40}}, CollisionShape::box({1, 1, 1}), {});
  steps(world, 30);
  const float boxStart = box->globalPose().position.x, looseStart = loose->globalPose().position.x;
  box->setLinearVelocity({5, 0, 0});
  loose->setLinearVelocity({5, 0, 0});
  steps(world, 120);
  const float slid = box->globalPose().position.x - boxStart;
  EXPECT_NEAR(slid, 25.0f / (2 * 0.25f * 69.81f), 0.1f);
  EXPECT_LT(loose->globalPose().position.x - looseStart, slid - 0.1f);
}

TEST(PhysicsWorld, StillKinematicPiecesSleepStopWhatHitsThemAndWakeWhatTheyTouchOnlyWhenMoved) {
  PhysicsWorld world;
  RigidBody* slab = kinematic(world, {0, 1, 0}, {4, 1, 4});  // top at 2
  RigidBody* box = world.createDynamicBody(Pose{{0.5f, 4, -0.5f}}, CollisionShape::box({1, 1, 1}), {});
  ASSERT_TRUE(sleepsWithin5s(world, box));
  EXPECT_NEAR(box->globalPose().position.y, 3.0f, 0.02f);
  ASSERT_FALSE(slab->isAwake());
  EXPECT_EQ(slab->globalPose().position, glm::vec3(0, 1, 0)) << "never pushed";
  // Raised into the sleeping box, the slab wakes it and lifts it; still again, it lets it sleep.
  slab->setGlobalPose(Pose{{0, 1.2f, 0}});
  world.stepPhysics(kFrame);
  EXPECT_TRUE(box->isAwake());
  steps(world, 60);
  EXPECT_NEAR(box->globalPose().position.y, 3.2f, 0.02f);
  EXPECT_TRUE(sleepsWithin5s(world, box)) << "the still slab keeps the box awake";
  slab->setLinearVelocity({0, 0, 0});  // a velocity set counts as moving it
  world.stepPhysics(kFrame);
  EXPECT_TRUE(box->isAwake());
}

// A box dropped onto a sleeping box, a fast box (75 units per second at the end) onto a thin
// sleeping shelf and a box sent along a sleeping floor into its wall, all at once. The dropped box's landing depends on
// the others being there: alone with the slab, its first bounce gains a sideways speed and it slides off onto the slab.
TEST(PhysicsWorld, SleepingPiecesAndBoxesStillStopWhatFallsOrSlidesOntoThem) {
  PhysicsWorld world;
  RigidBody* slab = kinematic(world, {0, 1, 0}, {4, 1, 4});
  RigidBody* bottom = world.createDynamicBody(Pose{{0.5f, 4, -0.5f}}, CollisionShape::box({1, 1, 1}), {});
  RigidBody* shelf = kinematic(world, {20, 5, 0}, {3, 0.1f, 3});
  RigidBody* floor = kinematic(world, {-20, 0.5f, 0}, {8, 0.5f, 4});
  RigidBody* wall = kinematic(world, {-14, 3, 0}, {0.5f, 3, 4});
  ASSERT_TRUE(sleepsWithin5s(world, bottom));
  for (RigidBody* piece : {slab, shelf, floor, wall}) ASSERT_FALSE(piece->isAwake());
  RigidBody* top = world.createDynamicBody(Pose{{0.5f, 12, -0.5f}}, CollisionShape::box({1, 1, 1}), {});
  RigidBody* fast = world.createDynamicBody(Pose{{20, 45, 0}}, CollisionShape::box({0.5f, 0.5f, 0.5f}), {});
  RigidBody* slider =
      world.createDynamicBody(Pose{{-24, 1.5f, 0}}, CollisionShape::box({0.5f, 0.5f, 0.5f}), {30, 0, 0});
  steps(world, 180);
  EXPECT_NEAR(top->globalPose().position.y, 5.0f, 0.05f);
  EXPECT_NEAR(bottom->globalPose().position.y, 3.0f, 0.05f);
  EXPECT_NEAR(fast->globalPose().position.y, 5.6f, 0.05f);
  EXPECT_NEAR(slider->globalPose().position.y, 1.5f, 0.05f) << "it stays on the floor";
  EXPECT_LE(slider->globalPose().position.x, -14.5f - 0.5f + 0.02f) << "the wall stops it";
  EXPECT_GT(slider->globalPose().position.x, -16.0f) << "it reached the wall";
}

TEST(PhysicsWorld, SlidingBodiesNeverTurnAndAGateWithoutGravityMovesOnlyWhenDriven) {
  PhysicsWorld world;
  kinematic(world, {0, 5, 10}, {10, 5, 1});
  const glm::quat turned = glm::angleAxis(0.3f, glm::vec3(0, 1, 0));
  RigidBody* slider = world.createSlidingBody(Pose{{1.5f, 1.0f, 0}, turned}, CollisionShape::sphere(1.0f));
  slider->setLinearVelocity({4, 0, 20});  // off-centre into the wall
  RigidBody* gate = world.createSlidingBody(Pose{{0, 125, -5}}, CollisionShape::box({10, 10, 0.5f}));
  gate->setGravityEnabled(false);
  steps(world, 60);
  EXPECT_NEAR(gate->globalPose().position.y, 125.0f, 1e-4f);
  gate->setLinearVelocity({0, -5, 0});
  steps(world, 60);
  EXPECT_NEAR(std::abs(glm::dot(slider->globalPose().rotation, turned)), 1.0f, 1e-5f);
  EXPECT_LT(slider->globalPose().position.z, 9.0f) << "the wall stopped it";
  EXPECT_NEAR(gate->globalPose().position.y, 120.0f, 0.05f);
  // Another body made kinematic re-joins the world; the gate must still float after that.
  kinematic(world, {50, 5, 0}, {1, 1, 1});
  gate->setLinearVelocity({0, 0, 0});
  steps(world, 60);
  EXPECT_NEAR(gate->globalPose().position.y, 120.0f, 0.05f);
}

TEST(PhysicsWorld, ANonFiniteOrNegativeStepIsSkippedAndReleaseIsSafeTwice) {
  PhysicsWorld world, twin;
  const Pose start{{0, 30, 0}, glm::angleAxis(0.4f, glm::normalize(glm::vec3(1, 1, 0)))};
  RigidBody* box = world.createDynamicBody(start, CollisionShape::box({0.5f, 0.5f, 0.5f}), {4, 10, 0});
  RigidBody* same = twin.createDynamicBody(start, CollisionShape::box({0.5f, 0.5f, 0.5f}), {4, 10, 0});
  box->setAngularVelocity({0, 3, 1});
  same->setAngularVelocity({0, 3, 1});
  steps(world, 10);
  steps(twin, 10);
  EXPECT_NEAR(box->globalPose().position.x, 40.0f * kFrame, 1e-4f) << "it starts with its velocity";
  for (float dt : {std::nanf(""), INFINITY, -INFINITY, -kFrame}) world.stepPhysics(dt);
  // Through the flight and the landing, as if the bad frames had never come.
  steps(world, 300);
  steps(twin, 300);
  EXPECT_EQ(box->globalPose().position, same->globalPose().position);
  EXPECT_EQ(box->globalPose().rotation, same->globalPose().rotation);
  EXPECT_EQ(box->angularVelocity(), same->angularVelocity());
  EXPECT_LT(box->globalPose().position.y, 1.0f) << "it has landed";
  world.releasePhysicsWorld();
  world.releasePhysicsWorld();
  EXPECT_EQ(world.scene, nullptr);
}
