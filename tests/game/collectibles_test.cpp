// Picking up skulls and diamonds, and the score the end screen prints.
#include <gtest/gtest.h>

#include <sstream>

#include "tools/trace/headless_course.h"

using namespace course;

namespace {

constexpr float kFrame = 1.0f / 60.0f;

}  // namespace

TEST(Pickup, TheSquareIsStrictAndIgnoresHeightAndADiamondTurnsOncePerSecondUntilCollected) {
  PhysicsWorld world;
  Level level;
  level.world = &world;
  level.makeMeshes = false;
  level.addSkull(nullptr, glm::mat4(1.0f), {0, 50, 0}, 1, 2, nullptr, nullptr);
  level.addDiamond(nullptr, glm::mat4(1.0f), {10, 50, 0}, 3, 4, nullptr, nullptr);
  for (const glm::dvec3& outside : {glm::dvec3(2.0, 50.0, 0.0), {0.0, 50.0, -2.0}, {1.9, 50.0, 2.0}})
    level.pickUp(outside, kFrame);
  EXPECT_FALSE(level.skulls.collected[0]);
  level.pickUp({1.99, -500.0, -1.99}, kFrame);
  EXPECT_TRUE(level.skulls.collected[0]);
  EXPECT_FALSE(level.diamonds.collected[0]);

  // A quarter second (four frames above): a quarter turn about z takes x to y.
  for (int frame = 4; frame < 15; ++frame) level.pickUp({100.0, 0.0, 100.0}, kFrame);
  const glm::vec4 x = level.diamonds.modelMatrices[0] * glm::vec4(1, 0, 0, 0);
  EXPECT_NEAR(x.x, 0.0f, 1e-4f);
  EXPECT_NEAR(x.y, 1.0f, 1e-4f);
  level.pickUp({10.0, 900.0, 1.0}, 0.25f);  // picked up; still turns this frame
  EXPECT_TRUE(level.diamonds.collected[0]);
  const glm::vec4 turned = level.diamonds.modelMatrices[0] * glm::vec4(1, 0, 0, 0);
  EXPECT_NEAR(turned.x, -1.0f, 1e-4f);
  level.pickUp({10.0, 0.0, 0.0}, 0.25f);
  EXPECT_EQ(level.diamonds.modelMatrices[0] * glm::vec4(1, 0, 0, 0), turned);
}

TEST(Score, TheEndScreenPrintsOncePerFinishAndEachRunCountsItsOwnItems) {
  HeadlessCourse c;
  auto drawn = [&](int times) {
    std::ostringstream text;
    std::streambuf* previous = std::cout.rdbuf(text.rdbuf());
    for (int i = 0; i < times; ++i) c.level.draw();
    std::cout.rdbuf(previous);
    return text.str();
  };
  c.level.skulls.collected[1] = true;
  c.level.diamonds.collected[0] = c.level.diamonds.collected[31] = true;
  c.level.clock = 41.5;
  EXPECT_EQ(drawn(1), "") << "not finished";
  c.level.finished = true;
  EXPECT_EQ(drawn(2), "FINISH!\nCollected Points: 7\nTime Bonus: 41.5 Seconds = 18 Extra Points\nEND SCORE: 25\n");
  c.level.reset();
  c.level.diamonds.collected[3] = true;
  c.level.finished = true;
  c.level.clock = 75.25;
  EXPECT_EQ(drawn(2), "FINISH!\nCollected Points: 1\nTime Bonus: 75.25 Seconds = 0 Extra Points\nEND SCORE: 1\n");
}
