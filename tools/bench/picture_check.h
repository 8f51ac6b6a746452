#pragma once
// The check that skipping changes nothing: the frame just drawn one way is drawn again the other
// way (everything drawn, or the culling and kept shadow maps on) and the two pictures are compared
// byte for byte. Shared by the benchmark, which reports it, and the suite, which asserts it.
#include <GL/glew.h>

#include <cstddef>
#include <vector>

#include "app/game.h"
#include "render/optimised_frames.h"

// The back buffer as RGBA bytes, bottom row first, once the GL work is done.
inline std::vector<unsigned char> readBackBuffer(int width, int height) {
  std::vector<unsigned char> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
  glFinish();
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  return pixels;
}

struct PictureComparison {
  long long differingBytes = 0;
  bool identical = false;  // same size and not one byte apart
};

// Call once the frame's passes are done and before its rules move anything (the frame probe's
// Rules stage): reads the picture, draws the same state with optimisedFrames the other way
// round (the flames not stepped), reads that, and restores the mode. The redraw leaves the back
// buffer and the shadow maps as the other mode drew them.
inline PictureComparison compareWithTheOtherMode(Game& game) {
  const bool mode = optimisedFrames;
  const int width = game.settings.width, height = game.settings.height;
  const std::vector<unsigned char> shown = readBackBuffer(width, height);
  optimisedFrames = !mode;
  game.drawPasses(false);
  game.drawHud();  // the text over the picture, when the HUD is on, is part of what is compared
  const std::vector<unsigned char> other = readBackBuffer(width, height);
  optimisedFrames = mode;
  PictureComparison result;
  for (std::size_t b = 0; b < shown.size() && b < other.size(); ++b) result.differingBytes += shown[b] != other[b];
  result.identical = shown.size() == other.size() && result.differingBytes == 0;
  return result;
}
