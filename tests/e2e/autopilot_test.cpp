#include <gtest/gtest.h>

#include <cmath>
#include <iostream>
#include <sstream>
#include <vector>

#include "game/headless_course.h"

using namespace course;

namespace {

constexpr float kFrame = 1.0f / 60.0f;  // seconds, the fixed frame of the run
constexpr int kMaxFrames = 90 * 60;     // give up after 90 s of game time

// From fromZ on, the autopilot steers towards x (world units).
struct Steer {
  float fromZ;
  float x;
};

// A jump taken on the ground once z passes triggerZ; in the air the autopilot moves forward only
// until landZ and then drops straight down onto what lies there.
struct Hop {
  float triggerZ;
  float landZ;
};

// The line through the course: collectibles on the way, box stacks and plinths avoided.
constexpr float kFree = 1e9f;  // no limit: the jump flies its natural length

const std::vector<Steer> kSteering = {
    {-100, 0},      {40, -3.5f},     {53, 2.5f}, {61.5f, -2.8f}, {66.8f, 3.5f}, {80, 0},  {140, -3.5f},
    {165.5f, 3.5f}, {179.5f, -3.5f}, {200, 0},   {355.5f, -5},   {366, 5},      {376, 0},
};
const std::vector<Hop> kHops = {
    {6, kFree},      // over the first skull's plinth
    {37, 51},        // ramp to the platforms at 96
    {61.8f, kFree},  // past the box stack, over the second skull's plinth
    {93, 107},       {107.5f, 122}, {122.5f, 135.5f}, {135, kFree},  // the four ramps down to 61
    {208.5f, kFree},                                                 // off the drum onto the long ramp
    {241, 250.5f},   {250, kFree},                                   // the next drum, then the next ramp
    {273, kFree},    {297, kFree},                                   // the two platforms
    {318.5f, kFree}, {330, kFree},  {342.5f, kFree},  {356, 365},   {365, 375}, {375, 385},  // stepping stones
    {385.5f, kFree},  // under the lintel onto the last ramp
    {413, kFree},     // onto the beam that leads to the finish platform
};

// Plays the course frame by frame as the game loop does, without drawing.
class Autopilot {
 public:
  explicit Autopilot(HeadlessCourse& c) : course(c) {}

  void frame() {
    const glm::dvec3 p = course.controller->getPosition();
    const bool grounded = (course.world.lastCollisionFlags & kCollisionDown) != 0;
    groundedFrames = grounded ? 0 : groundedFrames + 1;

    float zAxis = 1.0f;
    jumpHeld = false;
    switch (state) {
      case State::Ground:
        if (hop < kHops.size() && p.z >= kHops[hop].triggerZ && groundedFrames < 3) {
          state = State::Jumping;
          jumpY = p.y;
          stateFrames = 0;
          log << "jump " << hop << " at z " << p.z << " y " << p.y << " t " << course.level.clock << "\n";
        }
        break;
      case State::Jumping:
        jumpHeld = true;
        if (p.y > jumpY + 0.3) state = State::Air, stateFrames = 0;
        if (++stateFrames > 30) state = State::Ground, log << "jump " << hop << " never left the ground\n";
        break;
      case State::Air:
        zAxis = p.z < kHops[hop].landZ ? 1.0f : 0.0f;
        if (grounded && ++stateFrames > 3) {
          log << "landed " << hop << " at z " << p.z << " y " << p.y << "\n";
          state = State::Ground;
          ++hop;
          if (hop < kHops.size() && p.z >= kHops[hop].triggerZ) {
            state = State::Jumping;  // straight on: the next hop starts where this one landed
            jumpY = p.y;
            stateFrames = 0;
            jumpHeld = true;
            log << "jump " << hop << " on landing\n";
          }
        }
        break;
    }
    if (state == State::Jumping) zAxis = p.z < kHops[hop].landZ ? 1.0f : 0.0f;

    float targetX = 0.0f;
    for (const Steer& s : kSteering)
      if (p.z >= s.fromZ) targetX = s.x;
    const double dx = targetX - p.x;
    const float xAxis = std::fabs(dx) > 0.15 ? (dx > 0 ? 1.0f : -1.0f) : 0.0f;

    // The game loop's order: physics, input, player move, scene (end screen), rules.
    course.world.stepPhysics(kFrame);
    moveAxes = glm::vec3(xAxis, 0.0f, zAxis);
    course.world.movePlayer(moveAxes, 0.0f, kFrame);
    course.level.draw();
    clockAtDraw = course.level.clock;
    course.level.update(course.controller->getPosition(), kFrame);
  }

  HeadlessCourse& course;
  std::ostringstream log;
  size_t hop = 0;
  double clockAtDraw = 0.0;  // seconds, what the end screen printed

 private:
  enum class State { Ground, Jumping, Air };
  State state = State::Ground;
  double jumpY = 0.0;
  int stateFrames = 0;
  int groundedFrames = 100;
};

int collected(const ModelList& items) {
  int n = 0;
  for (int i = 0; i < items.count; ++i) n += items.collected[i] ? 1 : 0;
  return n;
}

}  // namespace

TEST(Autopilot, RunsTheCourseFromTheIntroToTheFinishWithinAMinute) {
  HeadlessCourse c;
  c.controller->setPosition(c.level.startPosition);
  c.level.reset();
  Autopilot pilot(c);

  std::ostringstream screen;
  std::streambuf* previous = std::cout.rdbuf(screen.rdbuf());
  int frames = 0;
  int restarts = 0;
  double lastClock = 0.0;
  int skulls = 0, diamonds = 0;
  while (!c.level.scorePrinted && frames < kMaxFrames) {
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
  std::cout << "end at (" << end.x << ", " << end.y << ", " << end.z << ") after " << frames << " frames, skulls "
            << skulls << ", diamonds " << diamonds << "\n"
            << screen.str() << std::flush;

  EXPECT_EQ(restarts, 0);
  ASSERT_TRUE(c.level.finished);
  EXPECT_LT(pilot.clockAtDraw, 60.0);
  EXPECT_GE(skulls, 1);
  EXPECT_GE(diamonds, 16);
  const int points = 5 * skulls + diamonds;
  std::ostringstream expected;
  const double seconds = pilot.clockAtDraw;
  expected << "FINISH!\nCollected Points: " << points << "\nTime Bonus: " << seconds
           << " Seconds = " << timeBonus(seconds) << " Extra Points\nEND SCORE: " << points + timeBonus(seconds)
           << "\n";
  EXPECT_EQ(screen.str(), expected.str());
  if (HasFailure()) std::cout << "autopilot trace:\n" << pilot.log.str() << std::flush;
}
