#pragma once
#include <GL/glew.h>

// The scene drawn at a fraction of the window's size and then scaled up to it, for machines that
// rasterise in software: half the size is a quarter of the pixels to shade. At scale 1 it owns
// nothing and every pass draws straight into the window, as before.
//
// It owns one framebuffer with a colour and a depth renderbuffer of the reduced size, multisampled
// as the settings ask, and, when multisampled, a second single-sample colour target that the
// samples are resolved into: a multisampled image cannot be stretched in the same blit.
class ScaledTarget {
 public:
  ScaledTarget() = default;
  ~ScaledTarget() = default;  // release() runs while the context is current
  ScaledTarget(const ScaledTarget&) = delete;
  ScaledTarget& operator=(const ScaledTarget&) = delete;

  // Whether a scale draws into a target of its own; at 1 the scene goes straight to the window.
  static bool scales(float scale) { return scale < 1.0f; }
  // The reduced size is the window's times `scale`, rounded, at least one pixel.
  void setUp(int windowWidth, int windowHeight, float scale, int samples);
  void release();
  bool active() const { return framebuffer != 0; }
  int width() const { return drawWidth; }
  int height() const { return drawHeight; }

  // Binds the reduced target for drawing, sets the viewport to it and clears its colour and depth
  // with the clear values now set. Does nothing when inactive.
  void begin();
  // Resolves the samples, stretches the picture over the whole window (linear filtering) and leaves
  // the window bound with its own viewport. Does nothing when inactive.
  void present();

 private:
  int windowWidth = 0, windowHeight = 0;
  int drawWidth = 0, drawHeight = 0;
  GLuint framebuffer = 0, colour = 0, depth = 0;
  GLuint resolveFramebuffer = 0, resolveColour = 0;  // only when multisampled
};
