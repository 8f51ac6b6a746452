#pragma once
#include <GL/glew.h>

#include <array>

// Clears of the window's colour and depth buffers. The shadow passes end with such a clear each,
// five a frame after the frame's own, with nothing drawn into the window in between; on a software
// rasteriser every clear of the multisampled window is a pass over all its memory. So in optimised
// frames a clear is skipped while the window is known to be clear already with the values this
// clear would write (clear colour and depth, under the write masks, to the same draw buffer); only
// a clear of the whole window (every write mask on, no scissor test, no rasterizer discard) makes
// it known to be clear. `drawnInto` must be called before anything draws into the window.
class WindowClears {
 public:
  void clear();
  void drawnInto() { windowClear = false; }
  long long skipped = 0;

 private:
  // Everything that decides what a clear writes, and where.
  struct ClearState {
    GLint framebuffer = 0;
    GLint drawBuffer = 0;
    std::array<GLfloat, 4> colour{};
    GLdouble depth = 1.0;
    std::array<GLboolean, 4> colourMask{};
    GLboolean depthMask = GL_TRUE;
    GLboolean scissor = GL_FALSE;
    GLboolean discard = GL_FALSE;
  };
  static ClearState clearState();
  bool windowClear = false;
  ClearState last;  // that of the last whole clear of the window
};

extern WindowClears windowClears;
