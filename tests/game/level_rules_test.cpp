#include <gtest/gtest.h>

#include <limits>

#include "tools/trace/headless_course.h"

using namespace course;

namespace {

constexpr float kFrame = 1.0f / 60.0f;    // seconds
const glm::dvec3 kSafe{0.0, 100.0, 0.0};  // above the first fall limit, on the first boundary

// Runs the intro with real physics until the gate is down; returns the seconds it took.
double runIntro(HeadlessCourse& c) {
  double seconds = 0.0;
  while (c.level.sectionIndex == 0 && seconds < 10.0) {
    c.world.stepPhysics(kFrame);
    c.level.update(kSafe, kFrame);
    seconds += kFrame;
  }
  return seconds;
}

}  // namespace

TEST(LevelRules, TheIntroHoldsThePlayerUntilTheGateIsDown) {
  HeadlessCourse c;
  // The player drops from the start onto the drop ramp and stands there through the intro, on the
  // first boundary (z 0) without crossing it, however long the gate takes.
  c.world.verticalVelocity = 0.0f;
  for (int frame = 0; frame < 120; ++frame) {
    c.world.stepPhysics(kFrame);
    c.world.movePlayer(glm::vec3(0.0f), 0.0f, kFrame);
    c.level.update(c.controller->getPosition(), kFrame);
  }
  EXPECT_EQ(c.level.sectionIndex, 0);
  EXPECT_LE(c.controller->getPosition().z, 0.0) << "standing on the ramp is not sliding down it";
  EXPECT_LT(c.controller->getPosition().y, 118.0) << "it came down onto the ramp";
  EXPECT_EQ(c.world.moveSpeed, 0.0f);
  EXPECT_EQ(c.level.gate.body->linearVelocity(), glm::vec3(0, -5, 0));
  const double seconds = 120 * kFrame + runIntro(c);
  EXPECT_EQ(c.level.sectionIndex, 1);
  // 20 units at 5 units per second, between the pillars and along the drop ramp's back face; the
  // first frame steps before the rules set the gate going, and the last one takes it below.
  EXPECT_NEAR(seconds, 4.0, 2.5 * kFrame);
  c.level.update(kSafe, kFrame);
  EXPECT_EQ(c.world.moveSpeed, 15.0f);
  EXPECT_EQ(c.level.boulder.body->linearVelocity(), glm::vec3(0, -10, 12));
  EXPECT_FALSE(c.level.failed);
}

TEST(LevelRules, ABoulderLevelWithThePlayerCatchesAndRestartsTwoSecondsLater) {
  HeadlessCourse c;
  c.level.sectionIndex = 1;
  const double boulderZ = c.level.boulder.body->globalPose().position.z;
  c.level.update({0.0, 120.0, boulderZ + 0.001}, kFrame);
  EXPECT_FALSE(c.level.failed);
  c.level.boulder.body->setGlobalPose(c.level.boulder.startPose);
  c.level.update({0.0, 120.0, boulderZ}, kFrame);
  EXPECT_TRUE(c.level.failed);
  EXPECT_EQ(c.world.moveSpeed, 0.0f);
  EXPECT_FLOAT_EQ(c.controller->getHeight(), 0.0001f);
  EXPECT_NEAR(c.level.resetDeadline, c.level.clock - kFrame + 2.0, 1e-9);
  int frames = 1;
  while (c.level.failed && frames < 600) {
    c.level.boulder.body->setGlobalPose(c.level.boulder.startPose);
    c.level.update({0.0, 120.0, boulderZ}, kFrame);
    ++frames;
  }
  EXPECT_NEAR(frames * kFrame, 2.0, 2.5 * kFrame);
  EXPECT_FLOAT_EQ(c.controller->getHeight(), 1.0f);
  EXPECT_EQ(c.controller->getPosition(), glm::dvec3(0, 120, 0));
}

TEST(LevelRules, StandingAtTheFloorHeightIsAFallAndRestartsAtOnce) {
  HeadlessCourse c;
  c.level.sectionIndex = 1;
  c.level.update({0.0, 95.0001, 10.0}, kFrame);
  EXPECT_FALSE(c.level.failed);
  c.level.clock = 12.0;
  c.level.skulls.collected[0] = true;
  c.level.update({0.0, 95.0, 10.0}, kFrame);
  // Restarted in the same update: intro again, clock counted from the restart.
  EXPECT_FALSE(c.level.failed);
  EXPECT_EQ(c.level.sectionIndex, 0);
  EXPECT_FALSE(c.level.skulls.collected[0]);
  EXPECT_DOUBLE_EQ(c.level.clock, static_cast<double>(kFrame));
}

TEST(LevelRules, OneBoundaryAndOneFallStepPerFrameHoweverLongTheFrame) {
  HeadlessCourse c;
  c.level.debugMode = true;  // sections only: no fall can interrupt
  c.level.update({0.0, 50.0, 50.0}, 100.0f);
  EXPECT_EQ(c.level.sectionIndex, 1);  // z 0 passed; z 50 is not passed at z 50
  c.level.update({0.0, 50.0, 50.0}, 100.0f);
  EXPECT_EQ(c.level.sectionIndex, 1);
  c.level.update({0.0, 50.0, 1000.0}, 100.0f);
  EXPECT_EQ(c.level.sectionIndex, 2);
  EXPECT_EQ(c.level.activeLights[1].position, c.level.torchLights[2].position);

  HeadlessCourse f;
  f.level.sectionIndex = 1;
  f.level.boulderRolling = false;
  for (int frame = 1; frame <= 6; ++frame) {
    f.level.update({0.0, 200.0, 1000.0}, 100.0f);
    EXPECT_EQ(f.level.fallIndex, std::min(frame, 4));
  }
}

TEST(LevelRules, TheFinishStopsThePlayerAndTheDoneCourseHoldsTheBoulder) {
  HeadlessCourse c;
  c.level.sectionIndex = c.level.sections.count;
  c.level.fallIndex = 4;
  c.level.boulder.body->setLinearVelocity({0, 0, 30});
  c.level.update({0.0, 35.0, 444.999}, kFrame);
  EXPECT_FALSE(c.level.finished);
  EXPECT_EQ(c.level.boulder.body->linearVelocity(), glm::vec3(0.0f));
  c.level.update({0.0, 34.999, 445.0}, kFrame);
  EXPECT_FALSE(c.level.finished);
  c.level.update({0.0, 35.0, 445.0}, kFrame);
  EXPECT_TRUE(c.level.finished);
  EXPECT_EQ(c.world.moveSpeed, 0.0f);
}

TEST(LevelRules, DebugModeNeverFailsNorFinishesButMovesLightsAndPicksUp) {
  HeadlessCourse c;
  c.level.debugMode = true;
  c.level.update({0.0, 0.5, 10.0}, kFrame);  // far below every floor
  c.level.update({0.0, 0.5, 10.0}, kFrame);
  c.level.update({0.0, 100.0, 500.0}, kFrame);  // beyond the finish
  EXPECT_FALSE(c.level.failed);
  EXPECT_FALSE(c.level.finished);
  EXPECT_EQ(c.world.moveSpeed, 20.0f);
  EXPECT_EQ(c.level.sectionIndex, 2);
  EXPECT_TRUE(c.level.skulls.collected[0]);  // passed over at z 10
  EXPECT_EQ(c.level.gate.body->linearVelocity(), glm::vec3(0.0f));
}

TEST(LevelRules, TheClockStopsAtTheLargestDouble) {
  HeadlessCourse c;
  c.level.debugMode = true;
  c.level.clock = std::numeric_limits<double>::max();
  c.level.update(kSafe, 1.0f);
  EXPECT_EQ(c.level.clock, std::numeric_limits<double>::max());
  c.level.clock = 1.0;
  c.level.update(kSafe, 0.5f);
  EXPECT_DOUBLE_EQ(c.level.clock, 1.5);
}

TEST(LevelRules, ResetRestoresTheRun) {
  HeadlessCourse c;
  runIntro(c);
  for (int frame = 0; frame < 60; ++frame) {
    c.world.stepPhysics(kFrame);
    c.level.update({0.0, 100.0, 60.0}, kFrame);
  }
  c.level.diamonds.collected[5] = true;
  c.level.finished = true;
  c.level.scorePrinted = true;
  c.controller->resize(0.0001f);
  c.controller->setPosition({3, 40, 300});
  ASSERT_NE(c.level.boulder.body->globalPose().position, c.level.boulder.startPose.position);
  ASSERT_NE(c.level.gate.body->globalPose().position, c.level.gate.startPose.position);
  ASSERT_EQ(c.level.sectionIndex, 2);

  c.level.reset();
  EXPECT_EQ(c.level.boulder.body->globalPose().position, c.level.boulder.startPose.position);
  EXPECT_EQ(c.level.boulder.body->linearVelocity(), glm::vec3(0.0f));
  EXPECT_EQ(c.level.gate.body->globalPose().position, c.level.gate.startPose.position);
  EXPECT_TRUE(c.level.boulderRolling);
  EXPECT_EQ(c.level.sectionIndex, 0);
  EXPECT_EQ(c.level.fallIndex, 0);
  EXPECT_FALSE(c.level.diamonds.collected[5]);
  EXPECT_FALSE(c.level.finished || c.level.failed || c.level.scorePrinted || c.level.deadlineArmed);
  EXPECT_EQ(c.level.clock, 0.0);
  EXPECT_EQ(c.level.activeLights[1].position, c.level.torchLights[0].position);
  EXPECT_EQ(c.level.activeLights[4].position, c.level.torchLights[3].position);
  EXPECT_FLOAT_EQ(c.controller->getHeight(), 1.0f);
  EXPECT_EQ(c.controller->getPosition(), glm::dvec3(0, 120, 0));
}

TEST(LevelLights, WindowsPastTheTorchListChangeNothing) {
  HeadlessCourse c;
  c.level.selectLightWindow(13);
  EXPECT_EQ(c.level.activeLights[4].position, c.level.torchLights[16].position);
  EXPECT_EQ(c.level.activeLights[0].position, c.level.torchLights[0].position);
  const glm::vec3 before = c.level.activeLights[1].position;
  c.level.selectLightWindow(14);
  c.level.selectLightWindow(-1);
  EXPECT_EQ(c.level.activeLights[1].position, before);
}

TEST(LevelLights, TheLightsIgniteThenBreatheBetweenLowAndHigh) {
  HeadlessCourse c;
  c.level.debugMode = true;
  c.level.update({1.0, 2.0, 3.0}, kFrame);
  EXPECT_EQ(c.level.activeLights[0].position, glm::vec3(1, 2, 4));
  EXPECT_EQ(c.level.activeLights[3].attenuation, c.level.attStart);  // copied before the step
  for (int frame = 1; frame < 119; ++frame) c.level.update({1.0, 2.0, 3.0}, kFrame);
  EXPECT_GT(c.level.attCurrent.z, c.level.attLow.z);  // the ignition takes 120 frames
  for (int frame = 0; frame < 600; ++frame) {
    c.level.update({1.0, 2.0, 3.0}, kFrame);
    const glm::vec3 a = c.level.attCurrent;
    EXPECT_FLOAT_EQ(a.x, 1.0f);
    EXPECT_LE(a.y, c.level.attLow.y + 1e-5f);
    EXPECT_GE(a.y, c.level.attHigh.y - 1e-5f);
    EXPECT_LE(a.z, c.level.attLow.z + 1e-5f);
    EXPECT_GE(a.z, c.level.attHigh.z - 1e-5f);
  }
}
