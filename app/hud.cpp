#include "app/hud.h"

#include <algorithm>
#include <cstdio>

#include "game/best_runs.h"
#include "game/level.h"

namespace {

constexpr float kMargin = 16.0f;   // pixels from the window's edge
constexpr float kPadding = 10.0f;  // pixels between a panel's edge and its text
const glm::vec4 kWhite{1.0f, 1.0f, 1.0f, 1.0f};
const glm::vec4 kGold{1.0f, 0.85f, 0.3f, 1.0f};
const glm::vec4 kRed{1.0f, 0.45f, 0.35f, 1.0f};
const glm::vec4 kPanel{0.0f, 0.0f, 0.0f, 0.55f};  // dark enough for white on sand and sky alike

struct Row {
  std::string text;
  float scale;
  glm::vec4 colour;
};

// Rows one under the other in a panel whose top-left corner is at `corner`.
void addBlock(HudText& out, const GlyphAtlas& atlas, const std::vector<Row>& rows, glm::vec2 corner) {
  float width = 0.0f, height = 0.0f;
  for (const Row& r : rows) {
    width = std::max(width, atlas.width(r.text, r.scale));
    height += atlas.lineHeight(r.scale);
  }
  out.panels.push_back({corner, corner + glm::vec2(width, height) + 2.0f * kPadding, kPanel});
  glm::vec2 pen = corner + kPadding;
  for (const Row& r : rows) {
    out.lines.push_back({r.text, pen, r.scale, r.colour});
    pen.y += atlas.lineHeight(r.scale);
  }
}

// The same, centred in the window, its top at `top` pixels, each row centred in the panel.
void addCentredBlock(HudText& out, const GlyphAtlas& atlas, const std::vector<Row>& rows, int width, float top) {
  float blockWidth = 0.0f;
  for (const Row& r : rows) blockWidth = std::max(blockWidth, atlas.width(r.text, r.scale));
  const float left = (width - blockWidth) / 2.0f - kPadding;
  const size_t firstLine = out.lines.size();
  addBlock(out, atlas, rows, {left, top});
  for (size_t i = firstLine; i < out.lines.size(); ++i)
    out.lines[i].topLeft.x += (blockWidth - atlas.width(out.lines[i].text, out.lines[i].scale)) / 2.0f;
}

std::string format(const char* pattern, double value) {
  char text[64];
  std::snprintf(text, sizeof text, pattern, value);
  return text;
}

}  // namespace

void Hud::follow(const Level& level, float dt) {
  if (level.losses != lossesSeen) {
    lossesSeen = level.losses;
    notice = level.lastLoss == RunLoss::Caught ? "Caught by the boulder!" : "Fell off the course!";
    noticeLeft = kNoticeSeconds;
  } else if (noticeLeft > 0.0f) {
    noticeLeft -= dt;
  }
}

HudText Hud::compose(const Level& level, bool paused, const GlyphAtlas& atlas, int width, int height) const {
  HudText out;
  const int skulls = level.collectedCount(level.skulls), diamonds = level.collectedCount(level.diamonds);
  addBlock(out, atlas,
           {{format("Time %.1f s", level.clock), 1.0f, kWhite},
            {"Points " + std::to_string(level.collectedPoints()), 1.0f, kWhite},
            {"Skulls " + std::to_string(skulls) + "/" + std::to_string(level.skulls.count), 0.8f, kWhite},
            {"Diamonds " + std::to_string(diamonds) + "/" + std::to_string(level.diamonds.count), 0.8f, kWhite}},
           {kMargin, kMargin});

  const float upper = height * 0.22f;
  if (level.finished && level.scorePrinted) {
    std::vector<Row> rows = {{level.endScreen[0], 1.6f, kGold}};
    for (int i = 1; i < 4; ++i) rows.push_back({level.endScreen[i], 1.0f, kWhite});
    if (bestRunsKept) {
      if (finishPlace == 1)
        rows.push_back({"New best run!", 1.2f, kGold});
      else if (finishPlace > 1)
        rows.push_back({"Place " + std::to_string(finishPlace) + " of the best runs", 1.0f, kWhite});
      else
        rows.push_back({"Not among the best " + std::to_string(BestRuns::kKept) + " runs", 1.0f, kWhite});
    }
    rows.push_back({"R: start again   Escape: quit", 0.8f, kWhite});
    addCentredBlock(out, atlas, rows, width, upper);
    return out;
  }
  if (paused) {
    addCentredBlock(out, atlas, {{"Paused", 2.0f, kWhite}, {"Space: go on", 0.8f, kWhite}}, width, upper);
  } else if (noticeLeft > 0.0f) {
    addCentredBlock(out, atlas, {{notice, 1.4f, kRed}, {"Starting again", 0.8f, kWhite}}, width, upper);
  } else if (level.sectionIndex == 0 && !level.debugMode) {
    addCentredBlock(out, atlas, {{"Get ready", 1.6f, kGold}, {"Run when the gate is down", 0.8f, kWhite}}, width,
                    upper);
  }
  return out;
}
