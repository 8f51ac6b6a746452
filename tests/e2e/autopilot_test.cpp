#include "game/autopilot.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iostream>
#include <sstream>
#include <vector>

#include "tools/trace/headless_course.h"

using namespace course;

namespace {

constexpr double kGiveUp = 90.0;  // seconds of game time

// Plays the course frame by frame as the game loop does, without drawing.
class CoursePilot {
 public:
  CoursePilot(HeadlessCourse& c, float dt) : course(c), dt(dt) {}

  void frame() {
    const bool grounded = (course.world.lastCollisionFlags & kCollisionDown) != 0;
    const Autopilot::Keys keys = pilot.decide(course.controller->getPosition(), grounded, course.level.clock);

    // The game loop's order: physics, input, player move, scene (end screen), rules.
    course.world.stepPhysics(dt);
    moveAxes = glm::vec3(keys.xAxis, 0.0f, keys.zAxis);
    jumpHeld = keys.jump;
    course.world.movePlayer(moveAxes, 0.0f, dt);
    course.level.draw();
    clockAtDraw = course.level.clock;
    course.level.update(course.controller->getPosition(), dt);
  }

  HeadlessCourse& course;
  float dt;  // seconds, the fixed frame of the run
  Autopilot pilot;
  std::ostringstream& log = pilot.log;
  double clockAtDraw = 0.0;  // seconds, what the end screen printed
};

int collected(const ModelList& items) {
  int n = 0;
  for (int i = 0; i < items.count; ++i) n += items.collected[i] ? 1 : 0;
  return n;
}

}  // namespace

// The frame rate of the run, frames per second.
class AutopilotRun : public ::testing::TestWithParam<int> {};

TEST_P(AutopilotRun, RunsTheCourseFromTheIntroToTheFinishWithinAMinute) {
  const float dt = 1.0f / float(GetParam());
  HeadlessCourse c;
  c.controller->setPosition(c.level.startPosition);
  c.level.reset();
  CoursePilot pilot(c, dt);

  std::ostringstream screen;
  std::streambuf* previous = std::cout.rdbuf(screen.rdbuf());
  int frames = 0;
  int restarts = 0;
  double lastClock = 0.0;
  int skulls = 0, diamonds = 0;
  while (!c.level.scorePrinted && frames * dt < kGiveUp) {
    pilot.frame();
    ++frames;
    if (frames % 20 == 0 || c.level.failed) {
      const glm::dvec3 p = c.controller->getPosition();
      pilot.log << "  t " << c.level.clock << " player (" << p.x << ", " << p.y << ", " << p.z << ") boulder z "
                << c.level.boulder.body->globalPose().position.z << " y "
                << c.level.boulder.body->globalPose().position.y << " gate y "
                << c.level.gate.body->globalPose().position.y << " v " << c.level.boulder.body->linearVelocity().z
                << (c.level.failed ? " failed" : "") << "\n";
    }
    if (c.level.clock < lastClock) {
      ++restarts;
      pilot.log << "restart at frame " << frames << "\n";
      break;
    }
    lastClock = c.level.clock;
    skulls = collected(c.level.skulls);
    diamonds = collected(c.level.diamonds);
  }
  std::cout.rdbuf(previous);
  const glm::dvec3 end = c.controller->getPosition();
  std::cout << GetParam() << " frames per second: end at (" << end.x << ", " << end.y << ", " << end.z << ") after "
            << frames << " frames, skulls " << skulls << ", diamonds " << diamonds << "\n"
            << screen.str() << std::flush;

  EXPECT_EQ(restarts, 0);
  EXPECT_TRUE(c.level.finished);
  if (!c.level.finished) {
    std::cout << "autopilot trace:\n" << pilot.log.str() << std::flush;
    return;
  }
  EXPECT_LT(pilot.clockAtDraw, 60.0);
  EXPECT_GE(skulls, 1);
  EXPECT_GE(diamonds, c.level.diamonds.count / 2);
  const int points = 5 * skulls + diamonds;
  std::ostringstream expected;
  const double seconds = pilot.clockAtDraw;
  expected << "FINISH!\nCollected Points: " << points << "\nTime Bonus: " << seconds
           << " Seconds = " << timeBonus(seconds) << " Extra Points\nEND SCORE: " << points + timeBonus(seconds)
           << "\n";
  EXPECT_EQ(screen.str(), expected.str());
  if (HasFailure()) std::cout << "autopilot trace:\n" << pilot.log.str() << std::flush;
}

INSTANTIATE_TEST_SUITE_P(FrameRates, AutopilotRun, ::testing::Values(30, 60, 144),
                         [](const ::testing::TestParamInfo<int>& info) { return std::to_string(info.param) + "fps"; });
