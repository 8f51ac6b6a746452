// The HUD's text from the run's state on the real course (no GL), and the baked atlas it is drawn
// with.
#include "app/hud.h"

#include <gtest/gtest.h>

#include <set>

#include "render/texture.h"
#include "tools/trace/headless_course.h"

namespace {

using Strings = std::vector<std::string>;
constexpr float kFrame = 1.0f / 60.0f;  // seconds

class HudTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(atlas.load("assets/textures/font.txt")) << "run inside the build folder, after the baker";
    hud.lossesSeen = course.level.losses;
  }
  // One frame of rules with the player's centre at p, then the HUD's text.
  Strings frameAt(const glm::dvec3& p) {
    course.level.update(p, kFrame);
    hud.follow(course.level, kFrame);
    return shown();
  }
  Strings shown(bool paused = false) {
    Strings texts;
    for (const TextLine& line : hud.compose(course.level, paused, atlas, 800, 800).lines) texts.push_back(line.text);
    everyText.insert(texts.begin(), texts.end());
    return texts;
  }
  static Strings figures(const Strings& t) { return Strings(t.begin() + 1, t.begin() + std::min<size_t>(4, t.size())); }
  static bool has(const Strings& t, const std::string& text) { return std::find(t.begin(), t.end(), text) != t.end(); }

  course::HeadlessCourse course;
  GlyphAtlas atlas;
  Hud hud;
  std::set<std::string> everyText;
};

}  // namespace

TEST_F(HudTest, TheFiguresFollowPickupsAndRestartsAndTheNoticesSayWhatHappened) {
  Strings t = shown();
  EXPECT_EQ(t[0], "Time 0.0 s");
  EXPECT_EQ(figures(t), (Strings{"Points 0", "Skulls 0/3", "Diamonds 0/32"}));
  EXPECT_TRUE(has(t, "Get ready")) << "until the gate is down";
  for (int i = 0; i < 30; ++i) t = frameAt({0.0, 120.0, 0.0});  // the intro: the gate sinks, the clock runs
  EXPECT_EQ(t[0], "Time 0.5 s");
  EXPECT_TRUE(has(t, "Get ready"));
  t = frameAt({0.0, 111.5, 10.0});  // the first skull
  EXPECT_EQ(figures(t), (Strings{"Points 5", "Skulls 1/3", "Diamonds 0/32"}));
  EXPECT_FALSE(has(t, "Get ready")) << "the player is past the gate";
  frameAt({0.0, 109.0, 25.0});      // the first diamond
  t = frameAt({0.0, 107.0, 28.0});  // and the second
  EXPECT_EQ(figures(t), (Strings{"Points 7", "Skulls 1/3", "Diamonds 2/32"}));
  EXPECT_TRUE(has(shown(true), "Paused"));

  // Below the first floor: lost and restarted in the same frame, every item back.
  t = frameAt({0.0, 90.0, 30.0});
  EXPECT_EQ(figures(t), (Strings{"Points 0", "Skulls 0/3", "Diamonds 0/32"}));
  EXPECT_TRUE(has(t, "Fell off the course!") && !has(t, "Get ready")) << "the notice comes first";
  for (int i = 0; i < 3 * 60 + 2; ++i) t = frameAt({0.0, 120.0, 0.0});
  EXPECT_TRUE(!has(t, "Fell off the course!") && has(t, "Get ready")) << "the notice goes after three seconds";
  // Past the intro, the boulder's front at the player: caught, one loss however many frames it lasts.
  course.level.sectionIndex = 1;
  EXPECT_TRUE(has(frameAt({0.0, 120.0, -25.0}), "Caught by the boulder!"));
  EXPECT_TRUE(has(frameAt({0.0, 120.0, -25.0}), "Caught by the boulder!"));
  EXPECT_EQ(hud.lossesSeen, 2);

  // The finish screen: the console's four lines, the place among the best runs, the keys.
  course.level.reset();
  frameAt({0.0, 111.5, 10.0});
  course.level.finished = true;
  course.level.clock = 41.25;
  ::testing::internal::CaptureStdout();
  course.level.printEndScreen();
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "FINISH!\nCollected Points: 5\nTime Bonus: 41.25 Seconds = 18 Extra Points\nEND SCORE: 23\n");
  struct Place {
    bool kept;
    int place;
    const char* line;  // null: no line about the best runs
  };
  for (const Place& p : {Place{false, 0, nullptr}, Place{true, 1, "New best run!"},
                         Place{true, 4, "Place 4 of the best runs"}, Place{true, 0, "Not among the best 10 runs"}}) {
    hud.bestRunsKept = p.kept, hud.finishPlace = p.place;
    t = shown();
    Strings expected = {"FINISH!", "Collected Points: 5", "Time Bonus: 41.25 Seconds = 18 Extra Points",
                        "END SCORE: 23"};
    if (p.line) expected.push_back(p.line);
    expected.push_back("R: start again   Escape: quit");
    EXPECT_EQ(Strings(t.begin() + 4, t.end()), expected);
  }
  EXPECT_EQ(figures(t), (Strings{"Points 5", "Skulls 1/3", "Diamonds 0/32"}));

  // Every character of every text above, every figure and a clock in exponent form has its own
  // glyph in the atlas, with ink.
  const DecodedImage picture = decodeImageFile("assets/textures/font.png");
  ASSERT_TRUE(picture.pixels && picture.channels == 1);
  std::string drawn = "0123456789.e+-";
  for (const std::string& text : everyText) drawn += text;
  for (char c : std::set<char>(drawn.begin(), drawn.end())) {
    ASSERT_TRUE(atlas.has(c)) << c;
    const Glyph& g = atlas.glyphs[static_cast<unsigned char>(c)];
    int ink = 0;
    for (int y = g.y0; y < g.y1; ++y)
      for (int x = g.x0; x < g.x1; ++x) ink += picture.pixels.get()[y * picture.width + x] > 128;
    EXPECT_TRUE(c == ' ' || ink > 0) << c;
  }
}
