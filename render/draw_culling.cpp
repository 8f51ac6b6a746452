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

void DrawCulling::clearWindow() {
  std::array<GLfloat, 4> colour{};
  glGetFloatv(GL_COLOR_CLEAR_VALUE, colour.data());
  GLint framebuffer = 0;
  glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &framebuffer);
  if (enabled && windowClear && framebuffer == 0 && colour == windowClearColour) {
    ++skippedClears;
    return;
  }
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  windowClear = framebuffer == 0;
  windowClearColour = colour;
}
