#include "scene/shadow_save_under.h"

#include <algorithm>
#include <cmath>

namespace {

// The texels of one layer that a box can cover, or nothing; the whole layer where it cannot tell.
bool reachedInLayer(const std::array<glm::vec3, 8>& box, const glm::mat4& m, int width, int height, TexelRect& out) {
  out.x = out.y = 0;
  out.width = width;
  out.height = height;
  glm::vec4 corners[8];
  for (int c = 0; c < 8; ++c) {
    const glm::vec3& p = box[static_cast<size_t>(c)];
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) return true;
    corners[c] = m * glm::vec4(p, 1.0f);
  }
  // The box cut by the near plane (z + w >= 0 in clip space): its corners in front and where its
  // edges cross the plane. Their projections bound the projection of every point drawn.
  glm::vec2 low(1e30f), high(-1e30f);
  bool any = false;
  bool onEye = false;
  auto include = [&](const glm::vec4& clip) {
    if (clip.w <= 1e-6f) {
      onEye = true;  // no projection to bound
      return;
    }
    low = glm::min(low, glm::vec2(clip) / clip.w);
    high = glm::max(high, glm::vec2(clip) / clip.w);
    any = true;
  };
  for (int c = 0; c < 8; ++c) {
    const float dc = corners[c].z + corners[c].w;
    if (dc >= 0.0f) include(corners[c]);
    for (int bit = 1; bit < 8; bit <<= 1) {
      const int other = c ^ bit;
      if (other < c) continue;  // each edge once
      const float dOther = corners[other].z + corners[other].w;
      if ((dc >= 0.0f) != (dOther >= 0.0f)) include(corners[c] + (dc / (dc - dOther)) * (corners[other] - corners[c]));
    }
  }
  if (onEye) return true;
  if (!any) return false;  // wholly behind the near plane
  // Texel i spans ndc i / size * 2 - 1 onwards; one texel of margin on each side for rounding.
  const auto toTexel = [](float ndc, int size) { return (ndc * 0.5f + 0.5f) * static_cast<float>(size); };
  const int x0 = std::max(0, static_cast<int>(std::floor(toTexel(std::max(low.x, -1.0f), width))) - 1);
  const int y0 = std::max(0, static_cast<int>(std::floor(toTexel(std::max(low.y, -1.0f), height))) - 1);
  const int x1 = std::min(width, static_cast<int>(std::ceil(toTexel(std::min(high.x, 1.0f), width))) + 1);
  const int y1 = std::min(height, static_cast<int>(std::ceil(toTexel(std::min(high.y, 1.0f), height))) + 1);
  if (x1 <= x0 || y1 <= y0) return false;
  out = {out.layer, x0, y0, x1 - x0, y1 - y0};
  return true;
}

bool overlap(const TexelRect& a, const TexelRect& b) {
  return a.layer == b.layer && a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height &&
         b.y < a.y + a.height;
}

TexelRect around(const TexelRect& a, const TexelRect& b) {
  const int x0 = std::min(a.x, b.x), y0 = std::min(a.y, b.y);
  const int x1 = std::max(a.x + a.width, b.x + b.width), y1 = std::max(a.y + a.height, b.y + b.height);
  return {a.layer, x0, y0, x1 - x0, y1 - y0};
}

// Whether every block can be copied between the map and the store: the map's images are of the
// store's format and each block lies inside the map (a cube map has six layers, a 2D map one).
// These are the causes of a failed copy, checked before it: the GL error flags are left to the
// error checks, since an error pending there may have come from anywhere earlier in the frame.
bool copiesWith(GLuint mapTexture, GLenum mapTarget, const std::vector<TexelRect>& blocks) {
  if (!mapTexture) return false;
  const bool cube = mapTarget == GL_TEXTURE_CUBE_MAP;
  // The active unit's binding is put back: the passes' bind filter remembers it.
  GLint bound = 0, format = 0, width = 0, height = 0;
  glGetIntegerv(cube ? GL_TEXTURE_BINDING_CUBE_MAP : GL_TEXTURE_BINDING_2D, &bound);
  glBindTexture(mapTarget, mapTexture);
  const GLenum image = cube ? GL_TEXTURE_CUBE_MAP_POSITIVE_X : mapTarget;
  glGetTexLevelParameteriv(image, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
  glGetTexLevelParameteriv(image, 0, GL_TEXTURE_WIDTH, &width);
  glGetTexLevelParameteriv(image, 0, GL_TEXTURE_HEIGHT, &height);
  glBindTexture(mapTarget, static_cast<GLuint>(bound));
  if (static_cast<GLenum>(format) != kShadowDepthFormat) return false;
  const int layers = cube ? 6 : 1;
  for (const TexelRect& b : blocks) {
    if (b.layer < 0 || b.layer >= layers || b.x < 0 || b.y < 0 || b.width <= 0 || b.height <= 0 ||
        b.x + b.width > width || b.y + b.height > height)
      return false;
  }
  return true;
}

}  // namespace

std::vector<TexelRect> texelsReachedBy(const std::vector<std::array<glm::vec3, 8>>& boxes,
                                       const std::vector<glm::mat4>& layerMatrices, int width, int height) {
  std::vector<TexelRect> blocks;
  for (const std::array<glm::vec3, 8>& box : boxes) {
    for (size_t layer = 0; layer < layerMatrices.size(); ++layer) {
      TexelRect block;
      block.layer = static_cast<int>(layer);
      if (!reachedInLayer(box, layerMatrices[layer], width, height, block)) continue;
      // Overlapping blocks become the block around both, until none overlap: each texel is then
      // saved and put back once.
      for (size_t i = 0; i < blocks.size();) {
        if (overlap(blocks[i], block)) {
          block = around(blocks[i], block);
          blocks.erase(blocks.begin() + static_cast<std::ptrdiff_t>(i));
          i = 0;
        } else {
          ++i;
        }
      }
      blocks.push_back(block);
    }
  }
  return blocks;
}

SaveUnder::~SaveUnder() { release(); }

void SaveUnder::release() {
  if (store) glDeleteTextures(1, &store);
  store = 0;
  kept.clear();
}

bool SaveUnder::save(GLuint mapTexture, GLenum mapTarget, const std::vector<TexelRect>& blocks) {
  kept.clear();
  // Shelves: the tallest blocks first, left to right, a new shelf when a row is full.
  std::vector<TexelRect> order(blocks);
  std::sort(order.begin(), order.end(), [](const TexelRect& a, const TexelRect& b) { return a.height > b.height; });
  int x = 0, y = 0, shelf = 0;
  for (const TexelRect& block : order) {
    if (x + block.width > kStoreWidth) {
      x = 0;
      y += shelf;
      shelf = 0;
    }
    if (block.width > kStoreWidth || y + block.height > kStoreHeight) {
      kept.clear();
      return false;
    }
    kept.push_back({block, x, y});
    x += block.width;
    shelf = std::max(shelf, block.height);
  }
  if (kept.empty()) return true;
  if (!copiesWith(mapTexture, mapTarget, blocks)) {
    kept.clear();
    return false;
  }
  if (!store) {
    // Made like the maps' own images, so the copies need no conversion.
    glGenTextures(1, &store);
    glBindTexture(GL_TEXTURE_2D, store);
    glTexImage2D(GL_TEXTURE_2D, 0, kShadowDepthFormat, kStoreWidth, kStoreHeight, 0, GL_DEPTH_COMPONENT, GL_FLOAT,
                 nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glBindTexture(GL_TEXTURE_2D, 0);
  }
  for (const Kept& k : kept) {
    glCopyImageSubData(mapTexture, mapTarget, 0, k.from.x, k.from.y, k.from.layer, store, GL_TEXTURE_2D, 0, k.storeX,
                       k.storeY, 0, k.from.width, k.from.height, 1);
  }
  return true;
}

bool SaveUnder::restore(GLuint mapTexture, GLenum mapTarget) {
  if (kept.empty()) return true;
  std::vector<TexelRect> blocks;
  for (const Kept& k : kept) blocks.push_back(k.from);
  const bool copies = copiesWith(mapTexture, mapTarget, blocks);
  if (copies) {
    for (const Kept& k : kept) {
      glCopyImageSubData(store, GL_TEXTURE_2D, 0, k.storeX, k.storeY, 0, mapTexture, mapTarget, 0, k.from.x, k.from.y,
                         k.from.layer, k.from.width, k.from.height, 1);
    }
  }
  kept.clear();
  return copies;
}
