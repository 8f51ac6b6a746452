#pragma once
#include <array>
#include <glm/glm.hpp>
#include <string>
#include <vector>

// Where one character lies in the baked atlas (texels) and how it sits on the pen (pixels, y
// downwards, offsets from the pen on the baseline).
struct Glyph {
  bool present = false;
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  float xOffset = 0.0f, yOffset = 0.0f;
  float advance = 0.0f;
};

// One glyph's rectangle on screen (pixels from the top-left corner, y downwards) and in the
// atlas (texture coordinates 0..1, v downwards as the atlas's rows are stored).
struct GlyphQuad {
  glm::vec2 min{0.0f}, max{0.0f};
  glm::vec2 uvMin{0.0f}, uvMax{0.0f};
};

// The metrics the asset baker writes beside the atlas picture ("assets/textures/font.txt"),
// and the layout of strings with them. Holds no GL object.
class GlyphAtlas {
 public:
  // False, with one message naming the file, when it cannot be read or a line is not understood.
  bool load(const std::string& path);

  bool has(char c) const;
  // Rectangles of the visible glyphs of one line whose top edge is at `top`; characters the atlas
  // lacks are drawn as '?'. scale 1 draws the atlas's own pixel size.
  std::vector<GlyphQuad> layout(const std::string& text, glm::vec2 topLeft, float scale) const;
  float width(const std::string& text, float scale) const;  // pixels
  float lineHeight(float scale) const { return lineStep * scale; }

  int atlasWidth = 0, atlasHeight = 0;  // texels
  float lineStep = 0.0f;                // pixels from one baseline to the next
  float ascent = 0.0f;                  // pixels from a line's top to its baseline
  std::array<Glyph, 128> glyphs{};

 private:
  const Glyph& glyphFor(char c) const;
};
