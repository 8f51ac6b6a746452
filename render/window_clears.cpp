#include "render/window_clears.h"

#include "render/optimised_frames.h"

WindowClears windowClears;

WindowClears::ClearState WindowClears::clearState() {
  ClearState state;
  glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &state.framebuffer);
  glGetIntegerv(GL_DRAW_BUFFER, &state.drawBuffer);
  glGetFloatv(GL_COLOR_CLEAR_VALUE, state.colour.data());
  glGetDoublev(GL_DEPTH_CLEAR_VALUE, &state.depth);
  glGetBooleanv(GL_COLOR_WRITEMASK, state.colourMask.data());
  glGetBooleanv(GL_DEPTH_WRITEMASK, &state.depthMask);
  state.scissor = glIsEnabled(GL_SCISSOR_TEST);
  state.discard = glIsEnabled(GL_RASTERIZER_DISCARD);
  return state;
}

void WindowClears::clear() {
  const ClearState now = clearState();
  const bool whole = now.framebuffer == 0 && !now.discard && !now.scissor && now.depthMask &&
                     now.colourMask == std::array<GLboolean, 4>{GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE};
  // A clear can only be left out where it would write, to the same buffer, the values that a whole
  // clear already left there: under a write mask or a scissor it writes part of that or nothing.
  bool same = optimisedFrames && windowClear && now.framebuffer == 0 && now.drawBuffer == last.drawBuffer;
  for (size_t c = 0; c < 4 && same; ++c) same = !now.colourMask[c] || now.colour[c] == last.colour[c];
  same = same && (!now.depthMask || now.depth == last.depth);
  if (same) {
    ++skipped;
    return;
  }
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  // Only a whole clear of the window leaves it known to be one colour and one depth.
  if (now.framebuffer == 0) windowClear = whole;
  if (whole) last = now;
}
