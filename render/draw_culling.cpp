#include "render/draw_culling.h"

DrawCulling drawCulling;

void DrawCulling::beginVolume(const Frustum& v) {
  volume = v;
  active = true;
  forgetBinds();  // whatever ran before the pass may have bound anything
}

void DrawCulling::endVolume() {
  active = false;
  forgetBinds();
}

namespace {

// FNV-1a over the bytes of a value.
void fold(std::uint64_t& hash, const void* data, std::size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  for (std::size_t i = 0; i < size; ++i) hash = (hash ^ bytes[i]) * 1099511628211ull;
}

}  // namespace

bool DrawCulling::visible(const BoundingSphere& localBounds, const glm::mat4& modelMatrix) const {
  if (!enabled || !active) return true;
  const bool inside = volume.touches(transformSphere(localBounds, modelMatrix));
  if (!surveying) return inside;
  if (inside) {
    boxes.push_back(worldBoxCorners(localBounds, modelMatrix));
    fold(signature, &localBounds, sizeof(localBounds));
    fold(signature, &modelMatrix, sizeof(modelMatrix));
  }
  return false;
}

void DrawCulling::beginSurvey() {
  surveying = true;
  signature = 14695981039346656037ull;
  boxes.clear();
  skippedBeforeSurvey = skippedObjects;
}

std::uint64_t DrawCulling::endSurvey() {
  surveying = false;
  skippedObjects = skippedBeforeSurvey;  // nothing was really left out
  return signature;
}

void DrawCulling::useProgram(GLuint p) {
  if (filtering() && p == program) {
    ++skippedBinds;
    return;
  }
  glUseProgram(p);
  program = p;
}

void DrawCulling::activeTexture(int u) {
  if (filtering() && u == unit) return;
  glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(u));
  unit = u;
}

void DrawCulling::bindTexture2D(int u, GLuint texture) {
  activeTexture(u);
  bindTexture2DOnActiveUnit(texture);
}

void DrawCulling::bindTexture2DOnActiveUnit(GLuint texture) {
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

void DrawCulling::forgetBinds() {
  program = kUnknown;
  unit = -1;
  textures.fill(kUnknown);
}

void DrawCulling::forgetUnit(int u) {
  if (u >= 0 && u < kUnits) textures[static_cast<size_t>(u)] = kUnknown;
  unit = -1;
}

DrawCulling::ClearState DrawCulling::clearState() {
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

void DrawCulling::clearWindow() {
  const ClearState now = clearState();
  const bool whole = now.framebuffer == 0 && !now.discard && !now.scissor && now.depthMask &&
                     now.colourMask == std::array<GLboolean, 4>{GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE};
  // A clear can only be left out where it would write, to the same buffer, the values that a whole
  // clear already left there: under a write mask or a scissor it writes part of that or nothing.
  bool same = enabled && windowClear && now.framebuffer == 0 && now.drawBuffer == clear.drawBuffer;
  for (size_t c = 0; c < 4 && same; ++c) same = !now.colourMask[c] || now.colour[c] == clear.colour[c];
  same = same && (!now.depthMask || now.depth == clear.depth);
  if (same) {
    ++skippedClears;
    return;
  }
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  // Only a whole clear of the window leaves it known to be one colour and one depth.
  if (now.framebuffer == 0) windowClear = whole;
  if (whole) clear = now;
}
