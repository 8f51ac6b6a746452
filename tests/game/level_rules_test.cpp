// The rules of a run on the real course: the intro, capture, falls, the finish, debug mode, the
// boulder's end stop, restarts (by the rules, by R, after values that are not finite) and the lights.
#include <gtest/gtest.h>

#include <glm/gtc/matrix_transform.hpp>
#include <limits>

#include "render/geometry.h"
#include "support/gl_context.h"
#include "tools/trace/headless_course.h"

using namespace course;

namespace {

constexpr float kFrame = 1.0f / 60.0f;    // seconds
const glm::dvec3 kSafe{0.0, 100.0, 0.0};  // above the first fall limit, on the first boundary
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN(), kInf = std::numeric_limits<float>::infinity();

// Runs the intro with real physics until the gate is down (10 s at most).
void runIntro(HeadlessCourse& c) {
  for (double seconds = 0.0; c.level.sectionIndex == 0 && seconds < 10.0; seconds += kFrame) {
    c.world.stepPhysics(kFrame);
    c.level.update(kSafe, kFrame);
  }
}

// What a restart leaves: the intro again, the clock from zero, everything back at the start.
void expectRestarted(const HeadlessCourse& c, const std::string& what) {
  SCOPED_TRACE(what);
  EXPECT_EQ(c.level.sectionIndex, 0);
  EXPECT_EQ(c.level.fallIndex, 0);
  EXPECT_FALSE(c.level.failed || c.level.finished || c.level.scorePrinted || c.level.deadlineArmed);
  EXPECT_LT(c.level.clock, 0.1);
  EXPECT_EQ(c.controller->getPosition(), c.level.startPosition);
  EXPECT_FLOAT_EQ(c.controller->getHeight(), 1.0f);
  EXPECT_EQ(c.level.boulder.body->globalPose().position, c.level.boulder.startPose.position);
  EXPECT_EQ(c.level.boulder.body->linearVelocity(), glm::vec3(0.0f));
  EXPECT_EQ(c.level.gate.body->globalPose().position, c.level.gate.startPose.position);
  EXPECT_TRUE(c.level.boulderRolling);
  for (int i = 0; i < c.level.diamonds.count; ++i) EXPECT_FALSE(c.level.diamonds.collected[i]);
  EXPECT_EQ(c.level.activeLights[1].position, c.level.torchLights[0].position);
  EXPECT_EQ(c.level.activeLights[4].position, c.level.torchLights[3].position);
  EXPECT_TRUE(std::isfinite(c.level.attCurrent.z) && std::isfinite(c.level.flickerTimer));
}

}  // namespace

TEST(LevelRules, ABoulderLevelWithThePlayerCatchesAndRestartsTwoSecondsLaterAFallAtOnce) {
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
  int frames = 1;
  for (; c.level.failed && frames < 600; ++frames) {
    c.level.boulder.body->setGlobalPose(c.level.boulder.startPose);
    c.level.update({0.0, 120.0, boulderZ}, kFrame);
  }
  EXPECT_NEAR(frames * kFrame, 2.0, 2.5 * kFrame);
  expectRestarted(c, "after the capture");
  // Caught again, a frame of NaN length in the wait still restarts the run.
  c.level.sectionIndex = 1;
  c.level.update({0.0, 120.0, boulderZ}, kFrame);
  ASSERT_TRUE(c.level.failed);
  c.level.update({0.0, 120.0, boulderZ}, kNaN);
  for (int frame = 0; frame < 150 && c.level.failed; ++frame) c.level.update({0.0, 120.0, boulderZ}, kFrame);
  expectRestarted(c, "NaN in the wait");

  c.level.sectionIndex = 1;
  c.level.update({0.0, 95.0001, 10.0}, kFrame);
  EXPECT_FALSE(c.level.failed);
  c.level.skulls.collected[0] = true;
  c.level.update({0.0, 95.0, 10.0}, kFrame);  // at the floor height: restarted in the same update
  expectRestarted(c, "after the fall");
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
  for (int frame = 1; frame <= 6; ++frame) {
    f.level.update({0.0, 200.0, 1000.0}, 100.0f);
    EXPECT_EQ(f.level.fallIndex, std::min(frame, 4));
  }
}

TEST(LevelRules, TheFinishStopsThePlayerTheBoulderStopsAtItsEndAndDebugModeNeitherFailsNorFinishes) {
  HeadlessCourse c;
  c.level.sectionIndex = c.level.sections.count;
  c.level.fallIndex = 4;
  c.level.boulder.body->setLinearVelocity({0, 0, 30});
  for (const glm::dvec3& p : {glm::dvec3(0.0, 35.0, 444.999), glm::dvec3(0.0, 34.999, 445.0)}) {
    c.level.update(p, kFrame);
    EXPECT_FALSE(c.level.finished);
  }
  EXPECT_EQ(c.level.boulder.body->linearVelocity(), glm::vec3(0.0f)) << "the done course holds the boulder";
  c.level.update({0.0, 35.0, 445.0}, kFrame);
  EXPECT_TRUE(c.level.finished);
  EXPECT_EQ(c.world.moveSpeed, 0.0f);

  // Driven while its front (radius 10) is short of z 390, then stopped until the restart.
  HeadlessCourse e;
  e.level.sectionIndex = 1;
  const glm::dvec3 far{0.0, 200.0, 430.0};
  for (const auto& [z, driven] : {std::pair{379.5f, true}, std::pair{380.5f, false}, std::pair{300.0f, false}}) {
    e.level.boulder.body->setGlobalPose(Pose{{0, 60, z}});
    e.level.update(far, kFrame);
    EXPECT_EQ(e.level.boulder.body->linearVelocity(), driven ? glm::vec3(0, -10, 12) : glm::vec3(0.0f)) << z;
    EXPECT_EQ(e.level.boulderRolling, driven) << z;
  }
  e.level.reset();
  e.level.sectionIndex = 1;
  e.level.update(far, kFrame);
  EXPECT_EQ(e.level.boulder.body->linearVelocity(), glm::vec3(0, -10, 12)) << "a new run drives it again";

  HeadlessCourse d;
  d.level.debugMode = true;
  for (const glm::dvec3& p : {glm::dvec3(0.0, 0.5, 10.0), glm::dvec3(0.0, 0.5, 10.0), glm::dvec3(0.0, 100.0, 500.0)})
    d.level.update(p, kFrame);  // far below every floor, then beyond the finish
  EXPECT_FALSE(d.level.failed || d.level.finished);
  EXPECT_EQ(d.world.moveSpeed, 20.0f);
  EXPECT_EQ(d.level.sectionIndex, 2);
  EXPECT_TRUE(d.level.skulls.collected[0]) << "passed over at z 10";
  EXPECT_EQ(d.level.gate.body->linearVelocity(), glm::vec3(0.0f));
  d.level.clock = std::numeric_limits<double>::max();
  d.level.update(kSafe, 1.0f);
  EXPECT_EQ(d.level.clock, std::numeric_limits<double>::max()) << "the clock stops at the largest double";
}

TEST(LevelRules, ResetAndAnyValueThatIsNotFiniteRestartTheRunAtOnce) {
  HeadlessCourse r;
  runIntro(r);
  for (int frame = 0; frame < 60; ++frame) r.world.stepPhysics(kFrame), r.level.update({0.0, 100.0, 60.0}, kFrame);
  ASSERT_EQ(r.level.sectionIndex, 2);
  r.level.diamonds.collected[5] = true;
  r.level.finished = r.level.scorePrinted = true;
  r.controller->resize(0.0001f);
  r.controller->setPosition({3, 40, 300});
  r.level.reset();
  expectRestarted(r, "reset");
  EXPECT_EQ(r.level.clock, 0.0);

  // A run under way at z 60, then one bad value: a player position, frame length, boulder pose or
  // vertical velocity that is not finite.
  using Poison = void (*)(HeadlessCourse&, glm::dvec3&, float&);
  const std::pair<const char*, Poison> poisons[] = {
      {"x NaN", [](HeadlessCourse&, glm::dvec3& p, float&) { p.x = kNaN; }},
      {"y infinite", [](HeadlessCourse&, glm::dvec3& p, float&) { p.y = kInf; }},
      {"z -infinite", [](HeadlessCourse&, glm::dvec3& p, float&) { p.z = -kInf; }},
      {"dt NaN", [](HeadlessCourse&, glm::dvec3&, float& dt) { dt = kNaN; }},
      {"dt -infinite", [](HeadlessCourse&, glm::dvec3&, float& dt) { dt = -kInf; }},
      {"boulder at NaN",
       [](HeadlessCourse& c, glm::dvec3&, float&) {
         c.level.boulder.body->setGlobalPose({{0, kNaN, 30}});
       }},
      {"falling infinitely fast", [](HeadlessCourse& c, glm::dvec3&, float&) { c.world.verticalVelocity = kInf; }},
  };
  for (const auto& [name, poison] : poisons) {
    HeadlessCourse c;
    c.level.sectionIndex = 3;
    c.level.clock = 12.0;
    c.level.boulder.body->setGlobalPose(Pose{glm::vec3(0, 100, 20)});
    glm::dvec3 position(0.0, 97.0, 60.0);
    float dt = kFrame;
    poison(c, position, dt);
    c.level.update(position, dt);
    expectRestarted(c, name);
    EXPECT_TRUE(std::isfinite(c.world.verticalVelocity)) << name;
    // The clock and the lights run on in the frames that follow.
    for (int frame = 0; frame < 30; ++frame) c.level.update(c.controller->getPosition(), kFrame);
    EXPECT_FALSE(c.level.failed) << name;
    EXPECT_NEAR(c.level.clock, 30 * kFrame, 1e-6) << name;
  }
}

TEST(LevelLights, WindowsPastTheListChangeNothingAndTheLightsIgniteThenBreatheBetweenLowAndHigh) {
  HeadlessCourse c;
  c.level.selectLightWindow(13);
  EXPECT_EQ(c.level.activeLights[4].position, c.level.torchLights[16].position);
  EXPECT_EQ(c.level.activeLights[0].position, c.level.torchLights[0].position);
  const glm::vec3 before = c.level.activeLights[1].position;
  c.level.selectLightWindow(14);
  c.level.selectLightWindow(-1);
  EXPECT_EQ(c.level.activeLights[1].position, before);

  c.level.debugMode = true;
  c.level.update({1.0, 2.0, 3.0}, kFrame);
  EXPECT_EQ(c.level.activeLights[0].position, glm::vec3(1, 2, 4));   // over the player
  EXPECT_EQ(c.level.activeLights[3].attenuation, c.level.attStart);  // copied before the step
  for (int frame = 1; frame < 119; ++frame) c.level.update({1.0, 2.0, 3.0}, kFrame);
  EXPECT_GT(c.level.attCurrent.z, c.level.attLow.z) << "the ignition takes 120 frames";
  for (int frame = 0; frame < 600; ++frame) {
    c.level.update({1.0, 2.0, 3.0}, kFrame);
    const glm::vec3 a = c.level.attCurrent;
    ASSERT_FLOAT_EQ(a.x, 1.0f);
    ASSERT_TRUE(a.y <= c.level.attLow.y + 1e-5f && a.y >= c.level.attHigh.y - 1e-5f) << frame;
    ASSERT_TRUE(a.z <= c.level.attLow.z + 1e-5f && a.z >= c.level.attHigh.z - 1e-5f) << frame;
  }
}

class LevelMotion : public GlContextTest {};

TEST_F(LevelMotion, TheBoulderGateAndLooseBoxMeshesTakeTheirBodiesPosesEachUpdate) {
  PhysicsWorld world;
  Level level;
  level.world = &world;
  level.createBoulder({0, 30, 0}, {0, 30, 100}, 16, 8, 3, nullptr, 0);
  level.createGate({20, 30, 0}, {4, 6, 1}, nullptr, 0, 0);
  level.addLooseBox({-20, 30, 0}, {2, 2, 2}, nullptr, 0, 0, 0, {1, 1});
  level.boulder.body->setGlobalPose(Pose{{1, 28, 5}, glm::angleAxis(0.7f, glm::normalize(glm::vec3(1, 2, 0)))});
  level.looseBoxes.bodies[0]->setAngularVelocity({0, 3, 1});
  for (int frame = 0; frame < 20; ++frame) world.stepPhysics(kFrame), level.update({0.0, 200.0, -50.0}, kFrame);
  const std::pair<const Geometry*, RigidBody*> moving[] = {
      {level.boulder.geometry.get(), level.boulder.body},
      {level.gate.geometry.get(), level.gate.body},
      {level.looseBoxes.geometries[0].get(), level.looseBoxes.bodies[0]}};
  EXPECT_LT(level.gate.body->globalPose().position.y, 29.0f) << "the gate sank";
  EXPECT_LT(std::abs(level.looseBoxes.bodies[0]->globalPose().rotation.w), 0.999f) << "the box turned";
  for (const auto& [mesh, body] : moving) {
    const Pose pose = body->globalPose();
    const glm::mat4 expected = glm::translate(glm::mat4(1.0f), pose.position) * glm::mat4_cast(pose.rotation);
    for (int col = 0; col < 4; ++col)
      for (int row = 0; row < 4; ++row) EXPECT_NEAR(mesh->modelMatrix[col][row], expected[col][row], 1e-4f);
  }
}
