// What the controller traces and the course run never meet: bad frame lengths, debug flying,
// resizing, static slopes, ceilings, overlaps, loose bodies and supports that move or break.
#include <gtest/gtest.h>

#include <cmath>

#include "physics/bullet_scene.h"
#include "physics/physics_world.h"
#include "physics/player_controller.h"

namespace {

constexpr float kDt = 1.0f / 60.0f;
constexpr double kRestHeight = 1.55;  // centre of a capsule standing on y = 0: 1.5 plus the contact offset

// A fresh world with the player's controller in it, at rest (not the start's hop), stepped as the
// frame loop does.
class PlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    world.verticalVelocity = 0.0f;
    player = createPlayerController(world, PlayerControllerDesc{});
    standAt(0, 0);
  }
  void TearDown() override { jumpHeld = false; }
  // One frame: the simulation step, then the player's move; returns the move's flags.
  std::uint8_t frame(glm::vec3 axes = glm::vec3(0.0f), bool jump = false, float mode = 0.0f) {
    world.stepPhysics(kDt);
    jumpHeld = jump;
    world.movePlayer(axes, mode, kDt);
    return world.lastCollisionFlags;
  }
  void run(int frames, glm::vec3 axes = glm::vec3(0.0f), bool jump = false, float mode = 0.0f) {
    for (int i = 0; i < frames; ++i) frame(axes, jump, mode);
  }
  void standAt(double x, double z) {
    player->setPosition({x, kRestHeight + 0.5, z});
    run(30);
  }
  RigidBody* box(const glm::vec3& centre, const glm::vec3& half, bool kinematic = true) {
    RigidBody* b = world.createDynamicBody(Pose{centre}, CollisionShape::box(half), {});
    b->setKinematic(kinematic);
    return b;
  }
  double y() const { return player->getPosition().y; }
  double x() const { return player->getPosition().x; }

  PhysicsWorld world;
  PlayerController* player = nullptr;
};

// Turns a body into static ground that never moves, as the ground plane is.
void makeStatic(RigidBody* body) {
  btRigidBody* native = body->native->body.get();
  body->native->world->removeRigidBody(native);
  native->setMassProps(0.0f, btVector3(0, 0, 0));
  native->setCollisionFlags((native->getCollisionFlags() & ~btCollisionObject::CF_KINEMATIC_OBJECT) |
                            btCollisionObject::CF_STATIC_OBJECT);
  body->native->world->addRigidBody(native);
}

}  // namespace

TEST_F(PlayerTest, AFrameOfNonFiniteOrNegativeLengthOrDisplacementChangesNothing) {
  run(12, {1, 0, 0});
  for (float bad : {std::nanf(""), INFINITY, -INFINITY, -kDt}) {
    const glm::dvec3 before = player->getPosition();
    const float velocity = world.verticalVelocity;
    const std::uint8_t flags = world.lastCollisionFlags;
    world.movePlayer({1, 0, 1}, 0.0f, bad);
    world.movePlayer({1, 0, 1}, 1.0f, bad);
    if (bad != -kDt) {
      EXPECT_EQ(player->move({bad, 0.0f, 0.0f}, 0.005f, kDt), 0) << bad;
    }
    EXPECT_EQ(player->getPosition(), before) << bad;
    EXPECT_EQ(world.verticalVelocity, velocity) << bad;
    EXPECT_EQ(world.lastCollisionFlags, flags) << bad;
  }
}

TEST_F(PlayerTest, DebugFlyingRisesAndSinksAtTwentyFiveStillCollidesAndLeavesTheWalkingStateAlone) {
  box({0, 5, 0}, {5, 5, 5});
  player->setPosition({0.0, 50.0, 0.0});
  world.verticalVelocity = 3.0f;
  world.lastCollisionFlags = kCollisionSides;
  run(60, {0, 0, 0}, true, 1.0f);
  EXPECT_NEAR(y(), 75.0, 0.05);
  run(60, {0, 0, 0}, false, 1.0f);
  EXPECT_NEAR(y(), 50.0, 0.05);
  run(180, {0, 0, 0}, false, 1.0f);
  EXPECT_NEAR(y(), 10.0 + kRestHeight, 0.05) << "down onto the box";
  box({20, 5, 0}, {2, 20, 20});  // face at x = 18
  run(120, {1, 0, 0}, false, 1.0f);
  EXPECT_NEAR(x(), 18.0 - 1.05, 0.02);
  EXPECT_EQ(world.verticalVelocity, 3.0f);
  EXPECT_EQ(world.lastCollisionFlags, kCollisionSides);
}

TEST_F(PlayerTest, ResizeKeepsTheFootInPlaceAndASquashedCapsuleStillStands) {
  player->setPosition({3.0, 10.0, 4.0});
  EXPECT_NEAR(player->getFootPosition().y, 10.0 - 1.55, 1e-6);  // half the cylinder, the radius, the offset
  player->resize(0.0001f);
  EXPECT_NEAR(y(), 10.0 - 0.49995, 1e-5);
  player->resize(1.0f);
  EXPECT_NEAR(y(), 10.0, 1e-5);
  player->resize(0.0001f);
  run(120);
  EXPECT_NEAR(player->getFootPosition().y, 0.0, 1e-3);
}

TEST_F(PlayerTest, StaticGroundSteeperThan45DegreesIsNotClimbedAnyKinematicSlopeIsAndHoldsThePlayer) {
  struct Case {
    float angle;  // degrees
    bool isStatic, climbs;
  };
  for (const Case c : {Case{30, true, true}, Case{60, true, false}, Case{60, false, true}, Case{75, false, true}}) {
    PhysicsWorld fresh;
    fresh.verticalVelocity = 0.0f;
    PlayerController* p = createPlayerController(fresh, PlayerControllerDesc{});
    // A ramp rising towards -z whose low edge lies on the ground at z = -2.
    const float hy = 10.0f * std::tan(glm::radians(c.angle)) / 0.99f;
    RigidBody* ramp = fresh.createWedgeBody(Pose{{0.0f, -0.01f * hy, -7.0f}}, 20.0f, 2.0f * hy, 10.0f);
    if (c.isStatic) {
      makeStatic(ramp);
    } else {
      ramp->setKinematic(true);
    }
    p->setPosition({0.0, kRestHeight, 1.0});
    double highest = 0.0;
    for (int i = 0; i < 120; ++i) {
      fresh.stepPhysics(kDt);
      fresh.movePlayer({0, 0, -1}, 0.0f, kDt);
      highest = std::max(highest, p->getPosition().y);
    }
    const std::string label = std::to_string(int(c.angle)) + (c.isStatic ? " static" : " kinematic");
    if (!c.climbs) {
      EXPECT_LT(highest, kRestHeight + 0.6) << label;
      EXPECT_GT(p->getPosition().z, -3.0) << label;
      continue;
    }
    EXPECT_GT(highest, kRestHeight + 3.0) << label;
    // Let go half way up: the one straight down sweep never slides.
    const glm::dvec3 halfWay = p->getPosition();
    for (int i = 0; i < 60; ++i) fresh.stepPhysics(kDt), fresh.movePlayer({}, 0.0f, kDt);
    EXPECT_LT(glm::length(p->getPosition() - halfWay), 0.01) << label;
  }
}

TEST_F(PlayerTest, ALowCeilingCutsTheLiftAndAPushOutOfItNeverTurnsTheFallUpward) {
  // 0.055 above the head, within the step lift plus the contact offset: touched every frame.
  const float ceiling = float(kRestHeight) + 1.5f + 0.055f;
  box({0, ceiling + 1.0f, 0}, {50, 1, 50});
  for (int i = 0; i < 60; ++i) {
    EXPECT_TRUE(frame({0, 0, 1}) & kCollisionUp) << "frame " << i;
    ASSERT_NEAR(y(), kRestHeight, 1e-3) << "frame " << i;
  }
  EXPECT_NEAR(player->getPosition().z, 15.0, 1e-3);
  run(30, {0, 0, 1}, true);
  EXPECT_LE(y() + 1.5, ceiling - 0.05 + 1e-3) << "a jump stops the contact offset below";

  // Falling slowly under a slab come 0.3 into the head, far above the ground.
  player->setPosition({200.0, 10.0, 0.0});
  box({200, 11.5f - 0.3f + 0.5f, 0}, {5, 0.5f, 5});
  world.verticalVelocity = -10.0f;
  world.lastCollisionFlags = 0;
  EXPECT_FALSE(frame({0, 0, 0.1f}) & kCollisionDown);
  EXPECT_LT(y(), 10.0 - 0.3);
}

TEST_F(PlayerTest, RecoversFromSolidsOnlyWhenASweepStartsInsideThem) {
  RigidBody* block = box({0, 5, 0}, {5, 5, 5});
  // The lower half sphere sunk over the top's edge: pushed out the contact offset clear.
  player->setPosition({5.5, 11.2, 0.0});
  EXPECT_EQ(frame(), kCollisionDown);
  EXPECT_NEAR(glm::length(glm::dvec2(x() - 5.0, y() - 0.5 - 10.0)), 1.05, 0.02);
  // Sunk with the axis over the top: lifted straight onto it (then by the step lift).
  player->setPosition({0.0, 10.5, 0.0});
  run(60);
  EXPECT_NEAR(y(), 10.0 + 1.5 + 0.01, 1e-3);
  // A solid moved into a standing player: the frame that moves nothing leaves it inside; the next
  // frame's down sweep pushes it out sideways.
  standAt(20, 0);
  while (!(world.lastCollisionFlags & kCollisionDown)) frame();
  block->setGlobalPose(Pose{{14.5f, 5, 0}});  // face at x = 19.5
  EXPECT_EQ(frame(), 0);
  EXPECT_NEAR(x(), 20.0, 1e-9);
  EXPECT_EQ(frame(), kCollisionDown);
  EXPECT_NEAR(x(), 19.5 + 1.05, 1e-3);
}

TEST_F(PlayerTest, ABoxDroppedOnThePlayerRestsOnItsSmallerStandInAndIsPassedThroughWalkingAway) {
  // The stand-in capsule (0.8 of the size) reaches 0.4 + 0.8 above the centre.
  RigidBody* dropped = box({0, 6, 0}, {0.5f, 0.5f, 0.5f}, false);
  run(180);
  EXPECT_NEAR(dropped->globalPose().position.y, kRestHeight + 1.2 + 0.5, 0.05);
  EXPECT_NEAR(y(), kRestHeight, 1e-3);
  run(60, {1, 0, 0});
  EXPECT_NEAR(x(), 15.0, 0.1);
  EXPECT_LT(dropped->globalPose().position.y, 1.0f);
}

TEST_F(PlayerTest, FollowsASupportThatRisesOrSinksButIsNotCarriedSidewaysAndForgetsOneThatBreaks) {
  RigidBody* lift = box({0, 4.5f, 0}, {5, 0.5f, 5});  // top at 5
  player->setPosition({0.0, 5.0 + kRestHeight, 0.0});
  auto frames = [&](int n, const glm::vec3& velocity) {
    for (int i = 0; i < n; ++i) {
      Pose pose = lift->globalPose();
      pose.position += velocity * kDt;
      lift->setGlobalPose(pose);
      frame();
      ASSERT_NEAR(y(), pose.position.y + 0.5 + kRestHeight, 0.2) << "frame " << i;
    }
  };
  frames(30, {0, 0, 0});
  frames(60, {0, 3, 0});
  frames(60, {0, -3, 0});
  frames(30, {0, 0, 0});
  EXPECT_NEAR(y(), 5.0 + kRestHeight, 0.01);
  frames(60, {2, 0, 0});
  EXPECT_NEAR(x(), 0.0, 1e-6);
  // Its pose turns into NaN: forgotten, the player keeps its place and falls to the ground.
  const float nan = std::nanf("");
  lift->setGlobalPose(Pose{{nan, nan, nan}});
  for (int i = 0; i < 60; ++i) {
    frame({0, 0, 0.1f});
    ASSERT_TRUE(std::isfinite(y()) && std::isfinite(player->getPosition().z)) << "frame " << i;
  }
  EXPECT_NEAR(y(), kRestHeight, 1e-3);
}
