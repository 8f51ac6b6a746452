#include "render/bind_filter.h"

#include "render/optimised_frames.h"

BindFilter bindFilter;

bool BindFilter::filtering() const { return optimisedFrames && inPass; }

void BindFilter::beginPass() {
  inPass = true;
  forgetBinds();  // whatever ran before the pass may have bound anything
}

void BindFilter::endPass() {
  inPass = false;
  forgetBinds();
}

void BindFilter::useProgram(GLuint p) {
  if (filtering() && p == program) {
    ++skippedBinds;
    return;
  }
  glUseProgram(p);
  program = p;
}

void BindFilter::activeTexture(int u) {
  if (filtering() && u == unit) return;
  glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(u));
  unit = u;
}

void BindFilter::bindTexture2D(int u, GLuint texture) {
  activeTexture(u);
  bindTexture2DOnActiveUnit(texture);
}

void BindFilter::bindTexture2DOnActiveUnit(GLuint texture) {
  const bool known = unit >= 0 && unit < kUnits;
  if (filtering() && known && textures[static_cast<size_t>(unit)] == texture) {
    ++skippedBinds;
    return;
  }
  glBindTexture(GL_TEXTURE_2D, texture);
  if (known)
    textures[static_cast<size_t>(unit)] = texture;
  else if (unit < 0)
    textures.fill(kUnknown);  // it went to a unit we do not know, perhaps one we remember
}

void BindFilter::forgetBinds() {
  program = kUnknown;
  unit = -1;
  textures.fill(kUnknown);
}

void BindFilter::forgetUnit(int u) {
  if (u >= 0 && u < kUnits) textures[static_cast<size_t>(u)] = kUnknown;
  unit = -1;
}
