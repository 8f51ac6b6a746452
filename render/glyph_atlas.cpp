#include "render/glyph_atlas.h"

#include <cmath>
#include <fstream>
#include <iostream>
#include <sstream>

bool GlyphAtlas::load(const std::string& path) {
  std::ifstream in(path);
  if (!in) {
    std::cout << "Text: could not read the glyph atlas " << path << "; nothing is written in the window." << std::endl;
    return false;
  }
  *this = GlyphAtlas();
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    std::istringstream words(line);
    std::string kind;
    if (!(words >> kind) || kind[0] == '#') continue;
    bool understood = false;
    if (kind == "atlas") {
      understood = static_cast<bool>(words >> atlasWidth >> atlasHeight) && atlasWidth > 0 && atlasHeight > 0;
    } else if (kind == "line") {
      understood = static_cast<bool>(words >> lineStep >> ascent) && lineStep > 0.0f;
    } else if (kind == "glyph") {
      int code = 0;
      Glyph g;
      understood =
          static_cast<bool>(words >> code >> g.x0 >> g.y0 >> g.x1 >> g.y1 >> g.xOffset >> g.yOffset >> g.advance) &&
          code >= 0 && code < 128 && g.x0 <= g.x1 && g.y0 <= g.y1 && g.x1 <= atlasWidth && g.y1 <= atlasHeight &&
          std::isfinite(g.advance);
      if (understood) {
        g.present = true;
        glyphs[code] = g;
      }
    }
    if (!understood) {
      std::cout << "Text: line " << number << " of the glyph atlas " << path
                << " is not understood; nothing is written in the window." << std::endl;
      *this = GlyphAtlas();
      return false;
    }
  }
  return atlasWidth > 0 && lineStep > 0.0f;
}

bool GlyphAtlas::has(char c) const {
  const auto code = static_cast<unsigned char>(c);
  return code < 128 && glyphs[code].present;
}

const Glyph& GlyphAtlas::glyphFor(char c) const { return has(c) ? glyphs[static_cast<unsigned char>(c)] : glyphs['?']; }

std::vector<GlyphQuad> GlyphAtlas::layout(const std::string& text, glm::vec2 topLeft, float scale) const {
  std::vector<GlyphQuad> quads;
  if (atlasWidth <= 0) return quads;
  // Whole pixels for the pen on the baseline, so that an unscaled glyph maps texel to pixel.
  float penX = std::round(topLeft.x);
  const float baseline = std::round(topLeft.y + ascent * scale);
  for (char c : text) {
    const Glyph& g = glyphFor(c);
    if (g.x1 > g.x0 && g.y1 > g.y0) {
      GlyphQuad q;
      q.min = glm::vec2(std::round(penX + g.xOffset * scale), std::round(baseline + g.yOffset * scale));
      q.max = q.min + glm::vec2(g.x1 - g.x0, g.y1 - g.y0) * scale;
      q.uvMin = glm::vec2(float(g.x0) / atlasWidth, float(g.y0) / atlasHeight);
      q.uvMax = glm::vec2(float(g.x1) / atlasWidth, float(g.y1) / atlasHeight);
      quads.push_back(q);
    }
    penX += g.advance * scale;
  }
  return quads;
}

float GlyphAtlas::width(const std::string& text, float scale) const {
  float w = 0.0f;
  for (char c : text) w += glyphFor(c).advance * scale;
  return w;
}
