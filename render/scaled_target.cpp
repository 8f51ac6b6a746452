#include "render/scaled_target.h"

#include <algorithm>
#include <cmath>

namespace {

GLuint makeRenderbuffer(GLenum format, int samples, int width, int height) {
  GLuint name = 0;
  glGenRenderbuffers(1, &name);
  glBindRenderbuffer(GL_RENDERBUFFER, name);
  glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, format, width, height);
  glBindRenderbuffer(GL_RENDERBUFFER, 0);
  return name;
}

}  // namespace

void ScaledTarget::setUp(int winWidth, int winHeight, float scale, int samples) {
  release();
  windowWidth = winWidth;
  windowHeight = winHeight;
  drawWidth = winWidth;
  drawHeight = winHeight;
  if (!scales(scale)) return;
  drawWidth = std::max(1, static_cast<int>(std::lround(winWidth * scale)));
  drawHeight = std::max(1, static_cast<int>(std::lround(winHeight * scale)));

  // The window's own format: 8-bit colour, 24-bit depth.
  colour = makeRenderbuffer(GL_RGBA8, samples, drawWidth, drawHeight);
  depth = makeRenderbuffer(GL_DEPTH_COMPONENT24, samples, drawWidth, drawHeight);
  glGenFramebuffers(1, &framebuffer);
  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
  if (samples > 0) {
    resolveColour = makeRenderbuffer(GL_RGBA8, 0, drawWidth, drawHeight);
    glGenFramebuffers(1, &resolveFramebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, resolveFramebuffer);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, resolveColour);
  }
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

void ScaledTarget::release() {
  if (resolveFramebuffer) glDeleteFramebuffers(1, &resolveFramebuffer);
  if (resolveColour) glDeleteRenderbuffers(1, &resolveColour);
  if (framebuffer) glDeleteFramebuffers(1, &framebuffer);
  if (colour) glDeleteRenderbuffers(1, &colour);
  if (depth) glDeleteRenderbuffers(1, &depth);
  framebuffer = colour = depth = resolveFramebuffer = resolveColour = 0;
}

void ScaledTarget::begin() {
  if (!active()) return;
  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
  glViewport(0, 0, drawWidth, drawHeight);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void ScaledTarget::present() {
  if (!active()) return;
  GLuint source = framebuffer;
  if (resolveFramebuffer) {
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, resolveFramebuffer);
    glBlitFramebuffer(0, 0, drawWidth, drawHeight, 0, 0, drawWidth, drawHeight, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    source = resolveFramebuffer;
  }
  glBindFramebuffer(GL_READ_FRAMEBUFFER, source);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
  glBlitFramebuffer(0, 0, drawWidth, drawHeight, 0, 0, windowWidth, windowHeight, GL_COLOR_BUFFER_BIT, GL_LINEAR);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glViewport(0, 0, windowWidth, windowHeight);
}
