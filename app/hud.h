#pragma once
#include <string>
#include <vector>

#include "render/text_renderer.h"

class Level;

// What the player reads over the picture, made from the run's state each frame: the run's
// figures in the top-left corner, "Get ready" until the gate is down, "Paused", a short notice
// after a lost run, and the finish screen. Composing needs no GL context; the text renderer
// draws the result.
struct HudText {
  std::vector<TextPanel> panels;
  std::vector<TextLine> lines;
};

class Hud {
 public:
  static constexpr float kNoticeSeconds = 3.0f;

  // Once per frame after the rules: a run lost in that frame starts its notice.
  void follow(const Level& level, float dt);
  // The text of this frame for a window of width x height pixels.
  HudText compose(const Level& level, bool paused, const GlyphAtlas& atlas, int width, int height) const;

  int lossesSeen = 0;         // the level's loss count at the latest follow
  std::string notice;         // what happened to the latest lost run
  float noticeLeft = 0.0f;    // seconds the notice stays up
  bool bestRunsKept = false;  // the finished run was ranked among the best runs
  int finishPlace = 0;        // its place there, 1 for a new best, 0 when not among them
};
