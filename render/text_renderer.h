#pragma once
#include <GL/glew.h>

#include <glm/glm.hpp>
#include <memory>
#include <string>
#include <vector>

#include "render/glyph_atlas.h"

class Shader;
class Texture;

// One line of text in window pixels: top-left corner, y downwards.
struct TextLine {
  std::string text;
  glm::vec2 topLeft{0.0f};
  float scale = 1.0f;  // 1 is the atlas's own size, about 30 pixels from ascender to descender
  glm::vec4 colour{1.0f};
};

// A translucent rectangle drawn under text, so that it reads on any background.
struct TextPanel {
  glm::vec2 min{0.0f}, max{0.0f};  // pixels
  glm::vec4 colour{0.0f, 0.0f, 0.0f, 0.5f};
};

// Draws panels and lines of text on top of whatever the window holds, with its own program
// ("textShader"), its own vertex array and buffer (owned here, deleted by the destructor while
// the context is current) and the baked glyph atlas. Every piece of GL state it changes is
// restored before draw returns.
class TextRenderer {
 public:
  // Reads the atlas "assets/textures/font.png" and its metrics "font.txt"; without them ready
  // stays false, draw does nothing and the game plays on.
  TextRenderer();
  ~TextRenderer();
  TextRenderer(const TextRenderer&) = delete;
  TextRenderer& operator=(const TextRenderer&) = delete;

  // width, height: the window's size in pixels, the viewport the text is laid out in.
  void draw(const std::vector<TextPanel>& panels, const std::vector<TextLine>& lines, int width, int height);

  GlyphAtlas atlas;
  bool ready = false;
  std::shared_ptr<Shader> program;
  std::shared_ptr<Texture> texture;
  GLuint vertexArray = 0;
  GLuint vertexBuffer = 0;
};
