#include <gtest/gtest.h>

#include <cmath>
#include <glm/gtc/quaternion.hpp>
#include <random>
#include <vector>

#include "physics/bullet_scene.h"
#include "physics/physics_world.h"
#include "physics/player_controller.h"

namespace {

constexpr float kRates[] = {1.0f / 30.0f, 1.0f / 60.0f, 1.0f / 144.0f};
constexpr double kRestHeight = 1.55;  // centre of a capsule standing on y = 0: 1.5 plus the contact offset
constexpr float kPi = 3.14159265f;

// The player's controller in a world. The world's vertical velocity starts at +15, a hop of 1.6
// units on the first frames; the tests start from rest instead.
PlayerController* addPlayer(PhysicsWorld& world) {
  world.verticalVelocity = 0.0f;
  return createPlayerController(world, PlayerControllerDesc{});
}

// A fresh world with the player's controller in it, stepped the way the frame loop does.
class PlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    jumpHeld = false;
    player = addPlayer(world);
  }
  void TearDown() override { jumpHeld = false; }

  // One frame: the simulation step, then the player's move. Returns the move's flags.
  std::uint8_t frame(float dt, glm::vec3 axes = glm::vec3(0.0f), bool jump = false, float mode = 0.0f) {
    world.stepPhysics(dt);
    jumpHeld = jump;
    world.movePlayer(axes, mode, dt);
    return world.lastCollisionFlags;
  }
  void run(float seconds, float dt, glm::vec3 axes = glm::vec3(0.0f), bool jump = false) {
    for (int i = 0; i < int(std::lround(seconds / dt)); ++i) frame(dt, axes, jump);
  }
  // Puts the capsule at rest on the ground at (x, z).
  void standAt(double x, double z, float dt) {
    player->setPosition({x, kRestHeight + 0.5, z});
    run(0.5f, dt);
  }
  RigidBody* kinematicBox(const glm::vec3& centre, const glm::vec3& half,
                          const glm::quat& turn = glm::quat(1, 0, 0, 0)) {
    RigidBody* box = world.createDynamicBody(Pose{centre, turn}, CollisionShape::box(half), {});
    box->setKinematic(true);
    return box;
  }
  double y() const { return player->getPosition().y; }

  PhysicsWorld world;
  PlayerController* player = nullptr;
};

// A body that never moves and has no speed: what the ground plane is. The world makes none, so the
// test turns a body into one.
void makeStatic(RigidBody* body) {
  btRigidBody* native = body->native->body.get();
  btDiscreteDynamicsWorld* world = body->native->world;
  world->removeRigidBody(native);
  native->setMassProps(0.0f, btVector3(0, 0, 0));
  native->setCollisionFlags((native->getCollisionFlags() & ~btCollisionObject::CF_KINEMATIC_OBJECT) |
                            btCollisionObject::CF_STATIC_OBJECT);
  native->setLinearVelocity(btVector3(0, 0, 0));
  world->addRigidBody(native);
}

// A ramp rising towards -z whose low edge lies on the ground at z = front; angle in degrees.
RigidBody* rampOnGround(PhysicsWorld& world, float angle, float front, bool isStatic) {
  const float run = 10.0f;
  const float hy = run * std::tan(angle * kPi / 180.0f) / 0.99f;  // the slope rises 0.99 hy over the run
  // The low edge's top is 0.01 * hy above the centre; it sits on the ground.
  RigidBody* ramp = world.createWedgeBody(Pose{{0.0f, -0.01f * hy, front - run / 2.0f}}, 20.0f, 2.0f * hy, run);
  if (isStatic)
    makeStatic(ramp);
  else
    ramp->setKinematic(true);
  return ramp;
}

// Shortest distance from the capsule's axis to an axis-aligned box, minus the radius: negative
// when the capsule is inside it.
double clearance(const glm::dvec3& centre, const glm::vec3& boxCentre, const glm::vec3& half) {
  double best = 1e9;
  for (int i = 0; i <= 20; ++i) {
    const glm::dvec3 p = centre + glm::dvec3(0.0, -0.5 + i / 20.0, 0.0);
    const glm::dvec3 d = glm::max(glm::abs(p - glm::dvec3(boxCentre)) - glm::dvec3(half), glm::dvec3(0.0));
    best = std::min(best, glm::length(d));
  }
  return best - 1.0;
}

}  // namespace

TEST_F(PlayerTest, DroppedFromTheStartLandsOnTheGroundAndStays) {
  for (float dt : kRates) {
    player->setPosition({0.0, 120.0, 0.0});
    world.lastCollisionFlags = 0;
    // Free fall from 118.45 at 69.81 takes 1.84 s.
    run(2.5f, dt);
    EXPECT_NEAR(y(), kRestHeight, 0.2) << "dt " << dt;
    for (int i = 0; i < int(2.0f / dt); ++i) {
      frame(dt);
      ASSERT_NEAR(y(), kRestHeight, 0.2) << "dt " << dt << " frame " << i;
    }
  }
}

TEST_F(PlayerTest, DroppedOntoABoxLandsOnItsTop) {
  kinematicBox({0, 5, 0}, {5, 5, 5});
  for (float dt : kRates) {
    player->setPosition({0.0, 120.0, 0.0});
    run(3.0f, dt);
    EXPECT_NEAR(y(), 10.0 + kRestHeight, 0.2) << "dt " << dt;
  }
}

TEST_F(PlayerTest, StandingStillFindsTheGroundEverySecondFrameAndJumpsWithinTwo) {
  for (float dt : kRates) {
    standAt(0, 0, dt);
    // A frame on the ground moves nothing (its vertical step is 0), so nothing is swept and no
    // ground is reported; the next frame falls a little and lands at once.
    bool previousTouched = (world.lastCollisionFlags & kCollisionDown) != 0;
    const double rest = y();
    for (int i = 0; i < int(3.0f / dt); ++i) {
      const bool touched = frame(dt) & kCollisionDown;
      ASSERT_NE(touched, previousTouched) << "dt " << dt << " frame " << i;
      ASSERT_NEAR(y(), rest, 1e-5) << "dt " << dt << " frame " << i;
      previousTouched = touched;
    }
    EXPECT_NEAR(rest, kRestHeight, 1e-3) << "dt " << dt;

    // Whichever frame the key goes down on, the jump starts within two frames.
    for (int offset = 0; offset < 2; ++offset) {
      standAt(0, 0, dt);
      for (int i = 0; i < offset; ++i) frame(dt);
      int frames = 0;
      while (y() < rest + 0.1 && frames < 10) {
        frame(dt, glm::vec3(0.0f), true);
        ++frames;
      }
      EXPECT_LE(frames, 3) << "dt " << dt << " offset " << offset;
      run(2.0f, dt);
    }
  }
}

TEST_F(PlayerTest, WalkingOnFlatGroundKeepsItsSpeedAndHeightAndCanJump) {
  for (float dt : kRates) {
    standAt(0, 0, dt);
    const glm::dvec3 start = player->getPosition();
    const int frames = int(std::lround(2.0f / dt));
    int grounded = 0;
    for (int i = 0; i < frames; ++i) {
      grounded += (frame(dt, {1, 0, 0}) & kCollisionDown) ? 1 : 0;
      ASSERT_NEAR(y(), kRestHeight, 1e-3) << "dt " << dt << " frame " << i;
    }
    EXPECT_GE(grounded, frames / 2) << "dt " << dt;
    const glm::dvec3 end = player->getPosition();
    EXPECT_NEAR(end.x - start.x, 15.0 * frames * dt, 1e-3) << "dt " << dt;
    EXPECT_NEAR(end.z, 0.0, 1e-6);

    // Diagonal axes are not normalised.
    const glm::dvec3 before = player->getPosition();
    run(1.0f, dt, {-1, 0, 1});
    const glm::dvec3 moved = player->getPosition() - before;
    EXPECT_NEAR(moved.x, -15.0, 0.01) << "dt " << dt;
    EXPECT_NEAR(moved.z, 15.0, 0.01) << "dt " << dt;

    // A jump held while walking starts within a few frames and rises as high as a standing one.
    double top = y();
    for (int i = 0; i < int(1.0f / dt); ++i) {
      frame(dt, {1, 0, 0}, i < 3);
      top = std::max(top, y());
    }
    EXPECT_GT(top - kRestHeight, 4.0) << "dt " << dt;
  }
}

TEST_F(PlayerTest, AJumpRisesAbout4Point48StandingOrWalking) {
  for (float dt : kRates) {
    // 25^2 / (2 x 69.81) = 4.48, less half a frame's rise since the speed is integrated per frame.
    const double expected = 25.0 * 25.0 / (2.0 * 69.81) - 25.0 * dt / 2.0;
    for (float walk : {0.0f, 1.0f}) {
      standAt(0, 0, dt);
      const double rest = y();
      double top = rest;
      for (int i = 0; i < int(std::lround(1.5f / dt)); ++i) {
        // Held for half a second, most of it in the air, where it does nothing.
        frame(dt, {walk, 0, 0}, i * dt < 0.5f);
        top = std::max(top, y());
      }
      EXPECT_NEAR(top - rest, expected, 0.1) << "dt " << dt << " walk " << walk;
      EXPECT_NEAR(top - rest, 4.48, 0.45) << "dt " << dt << " walk " << walk;
      EXPECT_NEAR(y(), kRestHeight, 0.2) << "dt " << dt << " walk " << walk;
    }
  }
}

TEST_F(PlayerTest, WalkingOffAnEdgeRollsOverItAndFalls) {
  for (float dt : kRates) {
    PhysicsWorld fresh;
    PlayerController* p = addPlayer(fresh);
    fresh.createDynamicBody(Pose{{0, 10, 0}}, CollisionShape::box({10, 10, 10}), {})->setKinematic(true);
    p->setPosition({8.0, 20.0 + kRestHeight, 0.0});  // top at 20, edge at x = 10
    for (int i = 0; i < int(0.5f / dt); ++i) fresh.stepPhysics(dt), fresh.movePlayer({}, 0.0f, dt);
    ASSERT_NEAR(p->getPosition().y, 20.0 + kRestHeight, 1e-3);

    // Walking on, the rounded bottom rolls over the edge: the height never drops while the axis is
    // still above the top, and the fall that follows is a free fall from the ground velocity.
    double fastest = 0.0;
    while (p->getPosition().y > kRestHeight + 0.01 && p->getPosition().x < 40.0) {
      const glm::dvec3 before = p->getPosition();
      fresh.stepPhysics(dt);
      fresh.movePlayer({1, 0, 0}, 0.0f, dt);
      // (Bullet rounds the box's edges by its 0.04 collision margin.)
      if (before.x < 9.9) {
        ASSERT_GE(p->getPosition().y, 20.0 + kRestHeight - 1e-3) << "dt " << dt;
      }
      fastest = std::max(fastest, (before.y - p->getPosition().y) / dt);
    }
    // 20 units of free fall from -9 units per second end at about 54 units per second.
    EXPECT_NEAR(fastest, std::sqrt(81.0 + 2.0 * 69.81 * 20.0), 6.0) << "dt " << dt;
    for (int i = 0; i < int(0.5f / dt); ++i) fresh.stepPhysics(dt), fresh.movePlayer({1, 0, 0}, 0.0f, dt);
    EXPECT_NEAR(p->getPosition().y, kRestHeight, 1e-3) << "dt " << dt;
  }
}

TEST_F(PlayerTest, StopsPerchedOnAnEdgeWithoutSlidingOff) {
  const float dt = 1.0f / 60.0f;
  kinematicBox({0, 10, 0}, {10, 10, 10});  // top at 20, edge at x = 10
  player->setPosition({9.0, 20.0 + kRestHeight, 0.0});
  run(0.3f, dt);
  while (player->getPosition().x < 10.5) frame(dt, {1, 0, 0});
  // The first frame without input drops onto the edge, as far as the walking step lifted it.
  run(0.1f, dt);
  const glm::dvec3 perched = player->getPosition();
  ASSERT_GT(perched.y, 20.0);  // resting on the edge with its round bottom
  ASSERT_NEAR(perched.x, 10.5, 0.3);
  run(3.0f, dt);
  EXPECT_NEAR(player->getPosition().x, perched.x, 1e-6);
  EXPECT_NEAR(player->getPosition().y, perched.y, 0.01);
}

TEST_F(PlayerTest, AWallStopsThePlayerAndItSlidesAlongIt) {
  for (float dt : kRates) {
    PhysicsWorld fresh;
    PlayerController* p = addPlayer(fresh);
    RigidBody* wall = fresh.createDynamicBody(Pose{{12, 5, 0}}, CollisionShape::box({2, 5, 50}), {});
    wall->setKinematic(true);  // face at x = 10
    p->setPosition({0.0, kRestHeight, 0.0});
    double lastX = 0.0;
    for (int i = 0; i < int(2.0f / dt); ++i) {
      fresh.stepPhysics(dt);
      fresh.movePlayer({1, 0, 1}, 0.0f, dt);
      const double x = p->getPosition().x;
      ASSERT_GE(x, lastX - 1e-4) << "bounced back, dt " << dt << " frame " << i;
      ASSERT_LE(x, 10.0 - 1.0 + 1e-3) << "sank into the wall, dt " << dt << " frame " << i;
      lastX = x;
    }
    EXPECT_NEAR(p->getPosition().x, 10.0 - 1.0 - 0.05, 0.02) << "dt " << dt;
    // The part along the wall is kept.
    EXPECT_NEAR(p->getPosition().z, 30.0, 0.6) << "dt " << dt;
    EXPECT_NEAR(p->getPosition().y, kRestHeight, 0.05) << "dt " << dt;
  }
}

TEST_F(PlayerTest, SlidesAlongAWallAtAnAngleWithoutEnteringIt) {
  const float dt = 1.0f / 60.0f;
  // A wall turned 30 degrees about y; its face passes through (10, 0, 0).
  const glm::quat turn = glm::angleAxis(30.0f * kPi / 180.0f, glm::vec3(0, 1, 0));
  const glm::vec3 normal = turn * glm::vec3(-1, 0, 0);
  kinematicBox(glm::vec3(10, 5, 0) - normal * 2.0f, {2, 5, 60}, turn);
  standAt(0, 0, dt);
  for (int i = 0; i < 120; ++i) {
    frame(dt, {1, 0, 0});
    const glm::dvec3 p = player->getPosition();
    ASSERT_GE(glm::dot(glm::vec3(p) - glm::vec3(10, p.y, 0), normal), 1.0 - 1e-3) << "frame " << i;
  }
  // Led along the face towards +z, at 15 x sin(30) = 7.5 units per second after the contact.
  const glm::dvec3 p = player->getPosition();
  EXPECT_NEAR(glm::dot(glm::vec3(p) - glm::vec3(10, p.y, 0), normal), 1.05, 0.02);
  EXPECT_GT(p.z, 5.0);
}

TEST_F(PlayerTest, RidesOverKinematicEdgesLowerThanTheHalfSphereAndStopsAtHigherOnes) {
  struct Case {
    float ledge;  // world units
    bool climbs;
  };
  for (float dt : kRates) {
    for (const Case c :
         {Case{0.25f, true}, Case{0.5f, true}, Case{0.95f, true}, Case{1.2f, false}, Case{1.5f, false}}) {
      PhysicsWorld fresh;
      PlayerController* p = addPlayer(fresh);
      // A block sunk into the ground with its top `ledge` high and its face at z = -3.
      fresh.createDynamicBody(Pose{{0, c.ledge - 10.0f, -13}}, CollisionShape::box({10, 10, 10}), {})
          ->setKinematic(true);
      p->setPosition({0.0, kRestHeight, 0.0});
      int climbing = 0;  // frames in contact with the edge
      for (int i = 0; i < int(1.5f / dt); ++i) {
        fresh.stepPhysics(dt);
        fresh.movePlayer({0, 0, -1}, 0.0f, dt);
        if (fresh.lastCollisionFlags & kCollisionSides) ++climbing;
        ASSERT_FALSE(fresh.lastCollisionFlags & kCollisionUp);
      }
      const std::string label = "ledge " + std::to_string(c.ledge) + " dt " + std::to_string(dt);
      if (c.climbs) {
        // Never a jump: the height comes from sliding up the edge, and walking goes on over the top.
        EXPECT_NEAR(p->getPosition().y, c.ledge + kRestHeight, 0.02) << label;
        EXPECT_LT(p->getPosition().z, -5.0) << label;
        if (c.ledge <= 0.25f) {
          EXPECT_LE(climbing * dt, 0.1f) << label;
        }
      } else {
        // The cylinder meets the face head-on and stops, the contact offset away.
        EXPECT_NEAR(p->getPosition().z, -3.0 + 1.05, 0.01) << label;
        EXPECT_NEAR(p->getPosition().y, kRestHeight, 0.01) << label;
      }
    }
  }
}

TEST_F(PlayerTest, ClimbsAnyKinematicSlopeButNoStaticGroundSteeperThan45Degrees) {
  const float dt = 1.0f / 60.0f;
  struct Case {
    float angle;  // degrees
    bool isStatic;
    bool climbs;
  };
  for (const Case c : {Case{30, true, true}, Case{60, true, false}, Case{30, false, true}, Case{60, false, true},
                       Case{75, false, true}}) {
    PhysicsWorld fresh;
    PlayerController* p = addPlayer(fresh);
    rampOnGround(fresh, c.angle, -2.0f, c.isStatic);
    p->setPosition({0.0, kRestHeight, 1.0});
    double highest = 0.0;
    for (int i = 0; i < 120; ++i) {
      fresh.stepPhysics(dt);
      fresh.movePlayer({0, 0, -1}, 0.0f, dt);
      highest = std::max(highest, p->getPosition().y);
    }
    const std::string label = std::to_string(int(c.angle)) + (c.isStatic ? " static" : " kinematic");
    if (c.climbs) {
      EXPECT_GT(highest, kRestHeight + 3.0) << label;
    } else {
      EXPECT_LT(highest, kRestHeight + 0.6) << label;
      EXPECT_GT(p->getPosition().z, -2.0 - 1.0) << label;
    }
    if (c.isStatic || !c.climbs) continue;
    // Let go half way up: the one straight down sweep never slides, so the player stays put.
    const glm::dvec3 halfWay = p->getPosition();
    for (int i = 0; i < 120; ++i) {
      fresh.stepPhysics(dt);
      fresh.movePlayer({0, 0, 0}, 0.0f, dt);
    }
    EXPECT_LT(glm::length(p->getPosition() - halfWay), 0.01) << label;
  }
}

TEST_F(PlayerTest, WalksDownTheCoursesDropRamps) {
  const float dt = 1.0f / 60.0f;
  // A 20 x 10 x 10 ramp as the course places them: 45 degrees, falling from 20 to 15.05 towards +z,
  // between a platform at 20 and a landing level with its foot.
  world.createWedgeBody(Pose{{0, 15, 0}}, 20, 10, 10)->setKinematic(true);
  kinematicBox({0, 10, -15}, {10, 10, 10});
  kinematicBox({0, 5, 0}, {10, 5, 5});
  kinematicBox({0, 7.525f, 20}, {10, 7.525f, 15});
  player->setPosition({0.0, 20.0 + kRestHeight, -10.0});
  run(0.5f, dt);
  ASSERT_NEAR(y(), 20.0 + kRestHeight, 0.1);
  run(1.5f, dt, {0, 0, 1});
  EXPECT_GT(player->getPosition().z, 8.0);
  EXPECT_NEAR(y(), 15.05 + kRestHeight, 0.2);
}

TEST_F(PlayerTest, ResizeKeepsTheFootInPlace) {
  player->setPosition({3.0, 10.0, 4.0});
  const glm::dvec3 foot = player->getFootPosition();
  EXPECT_NEAR(foot.y, 10.0 - 1.55, 1e-6);  // half the cylinder, the radius and the contact offset
  player->resize(0.0001f);
  EXPECT_NEAR(player->getFootPosition().y, foot.y, 1e-5);
  EXPECT_NEAR(y(), 10.0 - 0.49995, 1e-5);
  player->resize(1.0f);
  EXPECT_NEAR(player->getFootPosition().y, foot.y, 1e-5);
  EXPECT_NEAR(y(), 10.0, 1e-5);

  // A squashed capsule still stands on the ground.
  const float dt = 1.0f / 60.0f;
  player->resize(0.0001f);
  run(2.0f, dt);
  EXPECT_NEAR(player->getFootPosition().y, 0.0, 1e-3);
}

TEST_F(PlayerTest, RecoversFromSolidsOnlyWhenASweepStartsInsideThem) {
  const float dt = 1.0f / 60.0f;
  RigidBody* box = kinematicBox({0, 5, 0}, {5, 5, 5});
  // The lower half sphere sunk over the top's edge, the axis outside the box: the next down sweep
  // starts inside and the capsule is pushed out the contact offset clear.
  player->setPosition({5.5, 11.2, 0.0});
  ASSERT_LT(clearance(player->getPosition(), {0, 5, 0}, {5, 5, 5}), -0.1);
  EXPECT_EQ(frame(dt), kCollisionDown);
  // (Measured to the sharp box; Bullet's box is rounded by its 0.04 margin at the edge.)
  EXPECT_NEAR(clearance(player->getPosition(), {0, 5, 0}, {5, 5, 5}), 0.05, 0.02);

  // Sunk with the axis over the top, the ray from the centre finds the body in the lower half and
  // lifts the capsule straight onto it (then by the step lift that a moving support keeps).
  player->setPosition({0.0, 10.5, 0.0});
  frame(dt);
  EXPECT_NEAR(y(), 10.0 + 1.5 + 0.01, 1e-3);
  run(1.0f, dt);
  EXPECT_NEAR(y(), 10.0 + 1.5 + 0.01, 1e-3);

  // A solid moved into a standing player: a frame that moves nothing sweeps nothing and leaves it
  // inside; the next frame's down sweep meets the face and pushes the capsule out sideways.
  player->setPosition({20.0, kRestHeight, 0.0});
  run(0.3f, dt);
  while (!(world.lastCollisionFlags & kCollisionDown)) frame(dt);  // the next frame moves nothing
  box->setGlobalPose(Pose{{14.5f, 5, 0}});                         // face at x = 19.5, half a unit in
  EXPECT_EQ(frame(dt), 0);
  EXPECT_NEAR(player->getPosition().x, 20.0, 1e-9);
  EXPECT_EQ(frame(dt), kCollisionDown);
  EXPECT_NEAR(player->getPosition().x, 19.5 + 1.05, 1e-3);
  EXPECT_GE(clearance(player->getPosition(), {14.5f, 5, 0}, {5, 5, 5}), 0.04);
}

TEST_F(PlayerTest, LooseBoxesBlockThePlayerButNeverPushIt) {
  const float dt = 1.0f / 60.0f;
  standAt(0, 0, dt);
  // A loose 2 x 2 x 2 box in the way: the capsule stops the contact offset short of it, where the
  // smaller stand-in body cannot reach it, so walking into it does not push it.
  RigidBody* box = world.createDynamicBody(Pose{{5, 1, 0}}, CollisionShape::box({1, 1, 1}), {});
  run(0.5f, dt);
  run(1.0f, dt, {1, 0, 0});
  EXPECT_NEAR(player->getPosition().x, 5.0 - 1.0 - 1.05, 0.01);
  EXPECT_NEAR(box->globalPose().position.x, 5.0f, 0.01f);

  // A box thrown at the standing player hits the stand-in body; the player does not move at all.
  for (float speed : {10.0f, 40.0f}) {
    PhysicsWorld fresh;
    PlayerController* p = addPlayer(fresh);
    p->setPosition({0.0, kRestHeight, 0.0});
    RigidBody* thrown =
        fresh.createDynamicBody(Pose{{-6, 1.5f, 0}}, CollisionShape::box({0.5f, 0.5f, 0.5f}), {speed, 0, 0});
    thrown->setGravityEnabled(false);
    for (int i = 0; i < 90; ++i) {
      fresh.stepPhysics(dt);
      fresh.movePlayer({0, 0, 0}, 0.0f, dt);
      ASSERT_NEAR(p->getPosition().x, 0.0, 1e-9) << "speed " << speed << " frame " << i;
      ASSERT_NEAR(p->getPosition().y, kRestHeight, 1e-3) << "speed " << speed << " frame " << i;
    }
    // Stopped or bounced by the stand-in (radius 0.8), never through the player.
    EXPECT_LT(thrown->globalPose().position.x, -0.8f) << "speed " << speed;
  }
}

TEST_F(PlayerTest, ABoxDroppedOnThePlayerRestsOnTheStandInBody) {
  const float dt = 1.0f / 60.0f;
  standAt(0, 0, dt);
  // The stand-in capsule reaches 0.4 + 0.8 above the centre, 0.3 below the player's head.
  RigidBody* box = world.createDynamicBody(Pose{{0, 6, 0}}, CollisionShape::box({0.5f, 0.5f, 0.5f}), {});
  run(3.0f, dt);
  EXPECT_NEAR(box->globalPose().position.x, 0.0f, 0.05f);
  EXPECT_NEAR(box->globalPose().position.y, kRestHeight + 1.2 + 0.5, 0.05);
  EXPECT_NEAR(y(), kRestHeight, 1e-3);
  // Walking away, the box inside the capsule's volume is passed through and falls off behind.
  run(1.0f, dt, {1, 0, 0});
  EXPECT_NEAR(player->getPosition().x, 15.0, 0.1);
  EXPECT_LT(box->globalPose().position.y, 1.0f);
}

TEST_F(PlayerTest, FollowsASupportThatRisesOrSinksButIsNotCarriedSideways) {
  for (float dt : kRates) {
    PhysicsWorld fresh;
    PlayerController* p = addPlayer(fresh);
    RigidBody* lift = fresh.createDynamicBody(Pose{{0, 4.5f, 0}}, CollisionShape::box({5, 0.5f, 5}), {});
    lift->setKinematic(true);  // top at 5
    p->setPosition({0.0, 5.0 + kRestHeight, 0.0});
    auto frames = [&](float seconds, const glm::vec3& velocity) {
      for (int i = 0; i < int(std::lround(seconds / dt)); ++i) {
        Pose pose = lift->globalPose();
        pose.position += velocity * dt;
        lift->setGlobalPose(pose);
        fresh.stepPhysics(dt);
        fresh.movePlayer({0, 0, 0}, 0.0f, dt);
        const double top = pose.position.y + 0.5;
        ASSERT_NEAR(p->getPosition().y, top + kRestHeight, 0.2) << "dt " << dt << " frame " << i;
      }
    };
    frames(0.5f, {0, 0, 0});
    frames(1.0f, {0, 3, 0});   // rises to a top at 8
    frames(1.0f, {0, -3, 0});  // back down to 5
    frames(0.5f, {0, 0, 0});
    EXPECT_NEAR(p->getPosition().y, 5.0 + kRestHeight, 0.01) << "dt " << dt;
    frames(1.0f, {2, 0, 0});  // slides 2 units under the player, who stays
    EXPECT_NEAR(p->getPosition().x, 0.0, 1e-6) << "dt " << dt;
  }
}

TEST_F(PlayerTest, WalkingUnderALowCeilingTouchesItEveryFrameAndKeepsGoing) {
  const float dt = 1.0f / 60.0f;
  standAt(0, 0, dt);
  // The ceiling is 0.055 above the head, within the step lift plus the contact offset.
  const float ceiling = float(kRestHeight) + 1.5f + 0.055f;
  kinematicBox({0, ceiling + 1.0f, 0}, {50, 1, 50});
  const glm::dvec3 start = player->getPosition();
  for (int i = 0; i < 60; ++i) {
    EXPECT_TRUE(frame(dt, {0, 0, 1}) & kCollisionUp) << "frame " << i;
    // The lift is cut short by the ceiling and taken back by no more than it gained.
    ASSERT_NEAR(y(), kRestHeight, 1e-3) << "frame " << i;
  }
  EXPECT_NEAR(player->getPosition().z - start.z, 15.0, 1e-3);
  // A jump from under it is stopped the contact offset below.
  frame(dt, {0, 0, 1}, true);
  run(0.5f, dt, {0, 0, 1}, true);
  EXPECT_LE(y() + 1.5, ceiling - 0.05 + 1e-3);
}

TEST_F(PlayerTest, AFrameOfNonFiniteOrNegativeLengthChangesNothing) {
  const float dt = 1.0f / 60.0f;
  standAt(0, 0, dt);
  run(0.2f, dt, {1, 0, 0});
  for (float bad : {std::nanf(""), INFINITY, -INFINITY, -dt}) {
    const glm::dvec3 before = player->getPosition();
    const float velocity = world.verticalVelocity;
    const std::uint8_t flags = world.lastCollisionFlags;
    world.movePlayer({1, 0, 1}, 0.0f, bad);
    world.movePlayer({1, 0, 1}, 1.0f, bad);
    EXPECT_EQ(player->getPosition(), before) << bad;
    EXPECT_EQ(world.verticalVelocity, velocity) << bad;
    EXPECT_EQ(world.lastCollisionFlags, flags) << bad;
    // A displacement that is not finite, from whatever source, moves nothing either.
    if (!std::isfinite(bad)) {
      EXPECT_EQ(player->move({bad, 0.0f, 0.0f}, 0.005f, dt), 0) << bad;
      EXPECT_EQ(player->getPosition(), before) << bad;
    }
  }
  run(1.0f, dt, {1, 0, 0});
  EXPECT_NEAR(y(), kRestHeight, 1e-3);
  EXPECT_TRUE(std::isfinite(world.verticalVelocity));
}

TEST_F(PlayerTest, ASupportWhosePoseIsNoLongerFiniteIsForgotten) {
  const float dt = 1.0f / 60.0f;
  // Standing on a piece whose pose turns into NaN: the support is forgotten, the player keeps its
  // place and, with the piece out of the way, falls to the ground.
  RigidBody* piece = kinematicBox({0, 0.5f, 0}, {5, 0.5f, 5});
  standAt(0, 0, dt);
  run(0.2f, dt, {0, 0, 0.1f});
  ASSERT_NEAR(y(), 1.0 + kRestHeight, 1e-3);
  const float nan = std::nanf("");
  piece->setGlobalPose(Pose{{nan, nan, nan}});
  for (int i = 0; i < 60; ++i) {
    frame(dt, {0, 0, 0.1f});
    ASSERT_TRUE(std::isfinite(y()) && std::isfinite(player->getPosition().z)) << "frame " << i;
  }
  EXPECT_NEAR(y(), kRestHeight, 1e-3);
}

TEST_F(PlayerTest, APushDownOutOfACeilingNeverTurnsTheDownPassUpward) {
  // Falling slowly under a slab come 0.3 into the head, far above the ground: the up pass's push
  // out of the slab lowers the capsule, and the fall goes on down; nothing below, so no ground.
  const float dt = 1.0f / 60.0f;
  player->setPosition({0.0, 10.0, 0.0});
  kinematicBox({0, 11.5f - 0.3f + 0.5f, 0}, {5, 0.5f, 5});
  world.verticalVelocity = -10.0f;
  world.lastCollisionFlags = 0;
  const std::uint8_t flags = frame(dt, {0, 0, 0.1f});
  EXPECT_FALSE(flags & kCollisionDown) << "flags " << int(flags);
  EXPECT_LT(y(), 10.0 - 0.3);
}

TEST_F(PlayerTest, DebugFlyingRisesAndSinksAtTwentyFiveAndStillCollides) {
  const float dt = 1.0f / 60.0f;
  kinematicBox({0, 5, 0}, {5, 5, 5});
  player->setPosition({0.0, 50.0, 0.0});
  world.verticalVelocity = 3.0f;
  world.lastCollisionFlags = kCollisionSides;
  for (int i = 0; i < 60; ++i) frame(dt, {0, 0, 0}, true, 1.0f);
  EXPECT_NEAR(y(), 75.0, 0.05);
  for (int i = 0; i < 60; ++i) frame(dt, {0, 0, 0}, false, 1.0f);
  EXPECT_NEAR(y(), 50.0, 0.05);
  // Down onto the box and across into a wall.
  for (int i = 0; i < 180; ++i) frame(dt, {0, 0, 0}, false, 1.0f);
  EXPECT_NEAR(y(), 10.0 + kRestHeight, 0.05);
  kinematicBox({20, 5, 0}, {2, 20, 20});  // face at x = 18
  for (int i = 0; i < 120; ++i) frame(dt, {1, 0, 0}, false, 1.0f);
  EXPECT_NEAR(player->getPosition().x, 18.0 - 1.05, 0.02);
  // Flying leaves the walking state alone.
  EXPECT_EQ(world.verticalVelocity, 3.0f);
  EXPECT_EQ(world.lastCollisionFlags, kCollisionSides);
}

TEST_F(PlayerTest, NeverEndsInsideABoxAfterTenSecondsOfRandomInput) {
  struct Block {
    glm::vec3 centre, half;
  };
  const std::vector<Block> blocks = {{{8, 1, 0}, {2, 1, 2}},  {{-6, 2, 5}, {1, 2, 4}},   {{0, 0.3f, -8}, {4, 0.3f, 2}},
                                     {{0, 4, 12}, {6, 4, 1}}, {{-10, 1, -6}, {2, 1, 2}}, {{4, 6, -3}, {2, 0.5f, 2}}};
  for (const Block& b : blocks) kinematicBox(b.centre, b.half);
  for (float dt : {1.0f / 60.0f, 1.0f / 144.0f}) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> axis(-1, 1), coin(0, 3);
    player->setPosition({0.0, 5.0, 0.0});
    glm::vec3 axes(0.0f);
    bool jump = false;
    for (int i = 0; i < int(10.0f / dt); ++i) {
      if (i % 12 == 0) {
        axes = glm::vec3(float(axis(random)), 0.0f, float(axis(random)));
        jump = coin(random) == 0;
      }
      frame(dt, axes, jump);
      for (const Block& b : blocks)
        ASSERT_GE(clearance(player->getPosition(), b.centre, b.half), -0.01) << "dt " << dt << " frame " << i;
      ASSERT_GE(player->getFootPosition().y, -0.01) << "dt " << dt << " frame " << i;
    }
  }
}
