#include <gtest/gtest.h>

#include <sstream>

#include "tools/trace/headless_course.h"

using namespace course;

namespace {

constexpr float kFrame = 1.0f / 60.0f;

// Collects what the end screen writes to standard output.
class CapturedOutput {
 public:
  CapturedOutput() : previous(std::cout.rdbuf(text.rdbuf())) {}
  ~CapturedOutput() { std::cout.rdbuf(previous); }
  std::string str() const { return text.str(); }

 private:
  std::ostringstream text;
  std::streambuf* previous;
};

// A level with one skull at (0, 50, 0) and one diamond at (10, 50, 0), no course.
struct TwoItems {
  PhysicsWorld world;
  Level level;
  TwoItems() {
    level.world = &world;
    level.makeMeshes = false;
    level.debugMode = true;
    level.addSkull(nullptr, glm::mat4(1.0f), {0, 50, 0}, 1, 2, nullptr, nullptr);
    level.addDiamond(nullptr, glm::mat4(1.0f), {10, 50, 0}, 3, 4, nullptr, nullptr);
  }
};

}  // namespace

TEST(Pickup, TheSquareIsStrictAndIgnoresHeight) {
  TwoItems t;
  t.level.pickUp({2.0, 50.0, 0.0}, kFrame);
  t.level.pickUp({0.0, 50.0, -2.0}, kFrame);
  t.level.pickUp({1.9, 50.0, 2.0}, kFrame);
  EXPECT_FALSE(t.level.skulls.collected[0]);
  t.level.pickUp({1.99, -500.0, -1.99}, kFrame);
  EXPECT_TRUE(t.level.skulls.collected[0]);
  EXPECT_FALSE(t.level.diamonds.collected[0]);
  t.level.pickUp({10.0, 900.0, 1.0}, kFrame);
  EXPECT_TRUE(t.level.diamonds.collected[0]);
}

TEST(Pickup, ADiamondTurnsOncePerSecondAndStopsWhenCollected) {
  TwoItems t;
  for (int frame = 0; frame < 15; ++frame) t.level.pickUp({100.0, 0.0, 100.0}, kFrame);
  // A quarter second: a quarter turn about z takes x to y.
  const glm::vec4 x = t.level.diamonds.modelMatrices[0] * glm::vec4(1, 0, 0, 0);
  EXPECT_NEAR(x.x, 0.0f, 1e-4f);
  EXPECT_NEAR(x.y, 1.0f, 1e-4f);
  t.level.pickUp({10.0, 0.0, 0.0}, 0.25f);  // picked up, still turns this frame
  const glm::vec4 turned = t.level.diamonds.modelMatrices[0] * glm::vec4(1, 0, 0, 0);
  EXPECT_NEAR(turned.x, -1.0f, 1e-4f);
  t.level.pickUp({10.0, 0.0, 0.0}, 0.25f);
  EXPECT_EQ(t.level.diamonds.modelMatrices[0] * glm::vec4(1, 0, 0, 0), turned);
}

TEST(Score, TheTimeBonusCountsWholeSecondsUnderSixty) {
  EXPECT_EQ(timeBonus(59.9), 0);
  EXPECT_EQ(timeBonus(58.5), 1);
  EXPECT_EQ(timeBonus(60.0), 0);
  EXPECT_EQ(timeBonus(75.0), 0);
  EXPECT_EQ(timeBonus(0.0), 60);
  EXPECT_EQ(timeBonus(34.2), 25);
}

TEST(Score, TheEndScreenPrintsOncePerFinishAndEachRunCountsItsOwnItems) {
  HeadlessCourse c;
  c.level.skulls.collected[1] = true;
  c.level.diamonds.collected[0] = true;
  c.level.diamonds.collected[31] = true;
  c.level.clock = 41.5;
  std::string first, second;
  {
    CapturedOutput out;
    c.level.draw();  // not finished: nothing
    c.level.finished = true;
    c.level.draw();
    c.level.draw();
    first = out.str();
  }
  EXPECT_EQ(first, "FINISH!\nCollected Points: 7\nTime Bonus: 41.5 Seconds = 18 Extra Points\nEND SCORE: 25\n");

  c.level.reset();
  c.level.diamonds.collected[3] = true;
  c.level.finished = true;
  c.level.clock = 75.25;
  {
    CapturedOutput out;
    c.level.draw();
    c.level.draw();
    second = out.str();
  }
  EXPECT_EQ(second, "FINISH!\nCollected Points: 1\nTime Bonus: 75.25 Seconds = 0 Extra Points\nEND SCORE: 1\n");
}
