#include <gtest/gtest.h>

#include <cmath>
#include <iostream>
#include <sstream>

#include "tools/trace/headless_course.h"

using namespace course;

namespace {

constexpr float kFrame = 1.0f / 60.0f;  // seconds

// The real course with the real controller, played frame by frame in the game loop's order with
// the arrow keys given (never a jump).
struct CoursePlay {
  HeadlessCourse c;
  std::ostringstream log;  // where the player and the boulder were, for a failure's trace

  CoursePlay() {
    // A run starts as the R key starts one.
    c.controller->setPosition(c.level.startPosition);
    c.level.reset();
  }

  void frame(glm::vec3 keys = glm::vec3(0.0f), float dt = kFrame) {
    c.world.stepPhysics(dt);
    moveAxes = keys;
    jumpHeld = false;
    c.world.movePlayer(moveAxes, 0.0f, dt);
    c.level.update(c.controller->getPosition(), dt);
  }

  // The player stands still through the intro until the gate is down; false if it never is.
  bool runIntro() {
    for (int i = 0; i < 10 * 60 && c.level.sectionIndex == 0; ++i) frame();
    return c.level.sectionIndex > 0;
  }

  glm::dvec3 position() const { return c.controller->getPosition(); }
  double foot() const { return c.controller->getFootPosition().y; }

  void note(const char* what) {
    const glm::dvec3 p = position();
    log << what << " t " << c.level.clock << " player (" << p.x << ", " << p.y << ", " << p.z << ") foot " << foot()
        << " boulder z " << c.level.boulder.body->globalPose().position.z << "\n";
  }
};

bool finite(const glm::dvec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// The height of the first surface below (x, 150, z).
float surfaceAt(PhysicsWorld& world, float x, float z) {
  glm::vec3 hit(-1000.0f);
  world.raycast({x, 150, z}, {x, -1, z}, &hit);
  return hit.y;
}

}  // namespace

TEST(CoursePlay, WalkingStraightAtASkullOnItsPlinthPicksItUpWithoutAJump) {
  CoursePlay play;
  ModelList& skulls = play.c.level.skulls;
  // The second skull stands on a 3 x 0.25 x 3 plinth centred at (-4, 65) on the platforms at 96.
  // From +z the way to it is flat; the first box stack lies on its other side, at z 60.
  int skull = -1;
  for (int i = 0; i < skulls.count; ++i)
    if (skulls.pickupPositions[i].x == -4.0f && skulls.pickupPositions[i].z == 65.0f) skull = i;
  ASSERT_GE(skull, 0);
  constexpr float kFloor = 96.0f, kPlinthTop = 96.25f;
  ASSERT_NEAR(surfaceAt(play.c.world, -4, 65), kPlinthTop, 1e-3f);
  for (float z = 67.0f; z <= 74.0f; z += 0.5f) ASSERT_NEAR(surfaceAt(play.c.world, -4, z), kFloor, 1e-3f) << z;

  // After the intro the player walks at the chase speed; the boulder, starting at z -20, is seconds
  // away from z 65, and the fall limit there is 80.
  ASSERT_TRUE(play.runIntro());
  play.c.controller->setPosition({-4.0, kFloor + 0.05 + 1.5, 72.0});
  for (int i = 0; i < 20; ++i) play.frame();
  play.note("standing");
  ASSERT_NEAR(play.foot(), kFloor, 0.1) << play.log.str();

  // The key towards -z held until the player's centre is over the plinth's middle. The original
  // controller's rounded bottom rides up any kinematic edge lower than about 1.06.
  double highestFoot = play.foot();
  int frames = 0;
  for (; frames < 60 && play.position().z > 65.0; ++frames) {
    play.frame({0, 0, -1});
    highestFoot = std::max(highestFoot, play.foot());
    if (frames % 3 == 0) play.note("walking");
  }
  play.note("stopped");
  EXPECT_LT(frames, 60) << "it never got over the plinth";
  EXPECT_TRUE(skulls.collected[skull]);
  // Up onto the plinth by its 0.25, and not thrown into the air on the way.
  EXPECT_GT(highestFoot, kPlinthTop - 0.05);
  EXPECT_LT(highestFoot, kPlinthTop + 0.5);
  if (HasFailure()) std::cout << "trace:\n" << play.log.str() << std::flush;
}

TEST(CoursePlay, ABoulderRolledAtAStandingPlayerCatchesThem) {
  // On the 45-degree drop ramp the boulder's centre passes the player's z before its surface
  // reaches the capsule. On flat ground it touches the capsule about 7.6 units before that, and
  // only a controller that lets the boulder in, as the original does, leaves the player there.
  struct Spot {
    const char* name;
    bool moved;
    glm::dvec3 centre;
  };
  const Spot spots[] = {
      {"where the run starts, on the drop ramp", false, {}},
      {"on the flat platform below the drop ramp", true, {0.0, 111.0 + 0.05 + 1.5, 15.0}},
  };
  for (const Spot& spot : spots) {
    SCOPED_TRACE(spot.name);
    const bool failedBefore = HasFailure();
    CoursePlay play;
    // The run begins; the boulder rolls from z -20 at 12 units per second.
    ASSERT_TRUE(play.runIntro());
    if (spot.moved) {
      play.c.controller->setPosition(spot.centre);
      play.frame();
    }
    const glm::dvec3 stood = play.position();
    play.note("intro over");
    double farthest = 0.0;  // world units along z from where the player stood
    for (int frame = 0; frame < 5 * 60 && !play.c.level.failed; ++frame) {
      play.frame();
      farthest = std::max(farthest, std::abs(play.position().z - stood.z));
      if (frame % 10 == 0) play.note("standing");
    }
    play.note("end");
    EXPECT_TRUE(play.c.level.failed) << "not caught within 5 s";
    EXPECT_NEAR(play.c.controller->getHeight(), 0.0001f, 1e-6f) << "squashed";
    EXPECT_EQ(play.c.world.moveSpeed, 0.0f);
    EXPECT_LT(farthest, 3.0) << "the boulder shoved the player along";
    if (HasFailure() && !failedBefore) std::cout << "trace:\n" << play.log.str() << std::flush;
  }
}

TEST(CoursePlay, TheRKeyAlwaysBringsBackAPlayableRun) {
  struct Poison {
    const char* name;
    void (*apply)(CoursePlay&);
  };
  const Poison poisons[] = {
      {"a frame of NaN seconds", [](CoursePlay& p) { p.frame(glm::vec3(0.0f), std::nanf("")); }},
      {"a frame of infinite length", [](CoursePlay& p) { p.frame(glm::vec3(0.0f), INFINITY); }},
      {"thrown far off the course and running there for a second",
       [](CoursePlay& p) {
         p.c.controller->setPosition({4000.0, 3000.0, -5000.0});
         for (int i = 0; i < 60; ++i) p.frame({1, 0, 1});
       }},
  };
  for (const Poison& poison : poisons) {
    SCOPED_TRACE(poison.name);
    const bool failedBefore = HasFailure();
    CoursePlay play;
    // Half a second into the chase, running forward.
    ASSERT_TRUE(play.runIntro());
    for (int i = 0; i < 30; ++i) play.frame({0, 0, 1});
    poison.apply(play);
    play.frame();
    play.note("poisoned");

    // The R key.
    play.c.controller->setPosition(play.c.level.startPosition);
    play.c.level.reset();
    EXPECT_EQ(play.c.level.sectionIndex, 0);
    const float gateTop = play.c.level.gate.body->globalPose().position.y;
    // A second of the intro: the player drops onto the drop ramp at the start and stands there.
    double heightBefore = 0.0;
    for (int i = 0; i < 60; ++i) {
      if (i == 30) heightBefore = play.position().y;
      play.frame();
      ASSERT_TRUE(finite(play.position())) << "frame " << i << "\n" << play.log.str();
    }
    play.note("after R");
    const glm::dvec3 p = play.position();
    EXPECT_NEAR(p.x, 0.0, 0.1);
    EXPECT_NEAR(p.z, 0.0, 0.5);
    // On the ramp's slope (0.99 up per unit) the rounded bottom touches it up the slope, so the
    // centre stands 0.5 + (1 + 0.05 contact offset) / cos(44.7 degrees) = 1.98 above the surface
    // below it. The ramp is level across x; a ray beside the capsule misses the player's own body.
    EXPECT_NEAR(p.y - surfaceAt(play.c.world, 2.0f, static_cast<float>(p.z)), 1.98, 0.05);
    EXPECT_NEAR(p.y, heightBefore, 1e-3) << "still falling or sliding";
    EXPECT_TRUE(std::isfinite(play.c.world.verticalVelocity));
    EXPECT_NEAR(play.c.level.clock, 1.0, 1e-3);
    EXPECT_FALSE(play.c.level.failed);
    EXPECT_LT(play.c.level.gate.body->globalPose().position.y, gateTop - 4.0f) << "the gate sinks again";
    // The intro ends as it does at the first start, and the next frame starts the chase.
    EXPECT_TRUE(play.runIntro());
    play.frame();
    EXPECT_EQ(play.c.world.moveSpeed, 15.0f);
    if (HasFailure() && !failedBefore) std::cout << "trace:\n" << play.log.str() << std::flush;
  }
}
