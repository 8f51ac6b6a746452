#pragma once
#include <functional>

// The stages of one frame, in the order the frame loop runs them.
enum class FrameStage {
  Physics,
  PlayerMove,
  Untimed,  // between the player's move and the first shadow pass
  SunShadow,
  CubeShadow1,
  CubeShadow2,
  CubeShadow3,
  CubeShadow4,
  Scene,
  Sky,
  Particles,
  Rules,
  FrameEnd,
};

// A listener told when each stage starts (and when the frame's timed work ends), so that a
// benchmark can time the stages without the frame loop knowing about timers. Empty in the game.
class FrameProbe {
 public:
  std::function<void(FrameStage)> onStage;
  void mark(FrameStage stage) const {
    if (onStage) onStage(stage);
  }
};

extern FrameProbe frameProbe;
