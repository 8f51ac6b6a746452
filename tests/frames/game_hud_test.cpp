// The HUD and the best runs in the real frame loop, with `hud` and `best_runs` on.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <vector>

#include "app/game.h"
#include "app/input.h"
#include "app/process_objects.h"
#include "game/level.h"
#include "physics/player_controller.h"
#include "render/text_renderer.h"

namespace {

constexpr int kWidth = 320, kHeight = 240;  // pixels
constexpr int kRepeatNoise = 4;             // channel steps two renderings of one paused frame may differ by under Xvfb

std::vector<unsigned char> readBack() {
  std::vector<unsigned char> pixels(kWidth * kHeight * 3);
  glFinish();
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, kWidth, kHeight, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
  return pixels;
}

// The run put where a player who ran the course would stand on the finish platform.
void standOnTheFinish(Game& game) {
  game.controller->setPosition(glm::dvec3(0.0, 38.0, 447.0));
  game.level.sectionIndex = game.level.sections.count;
  game.level.fallIndex = game.level.fallLimits.count - 1;
}

}  // namespace

TEST(HudFrames, TheHudDrawsOnlyOverItsCornerAndAFinishGoesIntoTheBestRunsOncePerRun) {
  const std::string settings = ::testing::TempDir() + "hud.ini";
  std::ofstream(settings) << "[window]\nwidth=320\nheight=240\ntitle=Hud\n[play]\nhud=true\nbest_runs=true\n";
  Game game{physicsWorld, level};
  double now = 100.0;
  game.clock = [&now] { return now; };
  ASSERT_EQ(game.startUp(settings), 0);
  ASSERT_TRUE(game.text && game.text->ready);
  const std::string path = ::testing::TempDir() + "hud-best-runs.txt";
  std::remove(path.c_str());
  game.bestRuns = BestRuns(path);
  std::vector<unsigned char> shot;
  bool wantShot = false;
  game.beforeSwap = [&] {
    if (wantShot) shot = readBack();
    wantShot = false;
  };
  auto frame = [&](double seconds, bool keep = false) {
    now += seconds;
    wantShot = keep;
    game.frame();
  };

  // The same paused frame with and without the text: it changes the top of the window only.
  frame(1.0 / 60.0);
  paused = true;
  frame(0.0);
  frame(0.0, true);
  const std::vector<unsigned char> withHud = shot;
  std::unique_ptr<TextRenderer> text = std::move(game.text);
  frame(0.0, true);
  game.text = std::move(text);
  paused = false;
  long changed = 0, changedBelow = 0;
  for (int row = 0; row < kHeight; ++row)
    for (int x = 0; x < kWidth; ++x)
      for (int c = 0; c < 3; ++c) {
        const size_t i = (size_t(row) * kWidth + x) * 3 + c;
        if (std::abs(int(withHud[i]) - int(shot[i])) <= kRepeatNoise) continue;
        ++changed;
        if (row < kHeight / 3) ++changedBelow;  // rows are read bottom-up
      }
  EXPECT_GT(changed, 2000) << "the figures and \"Paused\" show";
  EXPECT_EQ(changedBelow, 0) << "nothing is drawn over the lower third";

  // A finish: recorded once, however many frames the finish screen stays.
  standOnTheFinish(game);
  for (int i = 0; i < 10 && !level.scorePrinted; ++i) frame(1.0 / 60.0);
  ASSERT_TRUE(level.scorePrinted);
  for (int i = 0; i < 5; ++i) frame(1.0 / 60.0);
  const int firstScore = level.points + timeBonus(level.clock);
  EXPECT_EQ(game.hud.finishPlace, 1);
  BestRuns onDisk(path);
  onDisk.load();
  ASSERT_EQ(onDisk.runs.size(), 1u);
  EXPECT_EQ(onDisk.runs[0].score, firstScore);

  // R, and the next finish goes in beside it.
  onKey(game.window, GLFW_KEY_R, 0, GLFW_RELEASE, 0);
  frame(1.0 / 60.0);
  standOnTheFinish(game);
  for (int i = 0; i < 10 && !level.scorePrinted; ++i) frame(1.0 / 60.0);
  frame(1.0 / 60.0);
  onDisk.load();
  EXPECT_EQ(onDisk.runs.size(), 2u);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  game.beforeSwap = nullptr;
  game.shutDown();
}
