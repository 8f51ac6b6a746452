#include "render/text_renderer.h"

#include <array>
#include <cstddef>

#include "render/shader.h"
#include "render/texture.h"

namespace {

struct TextVertex {
  glm::vec2 position;  // pixels
  glm::vec2 uv;
  glm::vec4 colour;
};

void addQuad(std::vector<TextVertex>& out, glm::vec2 min, glm::vec2 max, glm::vec2 uvMin, glm::vec2 uvMax,
             const glm::vec4& colour) {
  const TextVertex a{min, uvMin, colour}, b{{max.x, min.y}, {uvMax.x, uvMin.y}, colour}, c{max, uvMax, colour},
      d{{min.x, max.y}, {uvMin.x, uvMax.y}, colour};
  for (const TextVertex& v : {a, b, c, a, c, d}) out.push_back(v);
}

// The state draw changes, as it was before.
struct SavedState {
  GLint program = 0, vertexArray = 0, arrayBuffer = 0, activeTexture = 0, texture = 0;
  GLint blendSrcRgb = 0, blendDstRgb = 0, blendSrcAlpha = 0, blendDstAlpha = 0;
  std::array<GLint, 2> polygonMode{};
  GLboolean depthTest = GL_FALSE, cullFace = GL_FALSE, blend = GL_FALSE, depthMask = GL_TRUE;

  void save() {
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &vertexArray);
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &arrayBuffer);
    glGetIntegerv(GL_ACTIVE_TEXTURE, &activeTexture);
    glActiveTexture(GL_TEXTURE0);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture);
    glGetIntegerv(GL_BLEND_SRC_RGB, &blendSrcRgb);
    glGetIntegerv(GL_BLEND_DST_RGB, &blendDstRgb);
    glGetIntegerv(GL_BLEND_SRC_ALPHA, &blendSrcAlpha);
    glGetIntegerv(GL_BLEND_DST_ALPHA, &blendDstAlpha);
    glGetIntegerv(GL_POLYGON_MODE, polygonMode.data());
    depthTest = glIsEnabled(GL_DEPTH_TEST);
    cullFace = glIsEnabled(GL_CULL_FACE);
    blend = glIsEnabled(GL_BLEND);
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depthMask);
  }
  static void setEnabled(GLenum capability, GLboolean on) { on ? glEnable(capability) : glDisable(capability); }
  void restore() const {
    setEnabled(GL_DEPTH_TEST, depthTest);
    setEnabled(GL_CULL_FACE, cullFace);
    setEnabled(GL_BLEND, blend);
    glDepthMask(depthMask);
    glPolygonMode(GL_FRONT_AND_BACK, polygonMode[0]);
    glBlendFuncSeparate(blendSrcRgb, blendDstRgb, blendSrcAlpha, blendDstAlpha);
    glBindTexture(GL_TEXTURE_2D, texture);
    glActiveTexture(activeTexture);
    glBindBuffer(GL_ARRAY_BUFFER, arrayBuffer);
    glBindVertexArray(vertexArray);
    glUseProgram(program);
  }
};

}  // namespace

TextRenderer::TextRenderer() {
  if (!atlas.load("assets/textures/font.txt")) return;
  texture = std::make_shared<Texture>("font.png", "assets/textures");
  if (!texture->valid) return;
  // One texel per pixel at scale 1, and no neighbouring glyph bleeding in from a smaller level.
  glBindTexture(GL_TEXTURE_2D, texture->handle);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glBindTexture(GL_TEXTURE_2D, 0);

  program = std::make_shared<Shader>("textShader.vert", "textShader.frag");
  glGenVertexArrays(1, &vertexArray);
  glGenBuffers(1, &vertexBuffer);
  GLint previousArray = 0;
  glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &previousArray);
  glBindVertexArray(vertexArray);
  glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
  glEnableVertexAttribArray(0);
  glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, sizeof(TextVertex),
                        reinterpret_cast<void*>(offsetof(TextVertex, position)));
  glEnableVertexAttribArray(1);
  glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, sizeof(TextVertex),
                        reinterpret_cast<void*>(offsetof(TextVertex, uv)));
  glEnableVertexAttribArray(2);
  glVertexAttribPointer(2, 4, GL_FLOAT, GL_FALSE, sizeof(TextVertex),
                        reinterpret_cast<void*>(offsetof(TextVertex, colour)));
  glBindVertexArray(previousArray);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  ready = true;
}

TextRenderer::~TextRenderer() {
  if (vertexBuffer) glDeleteBuffers(1, &vertexBuffer);
  if (vertexArray) glDeleteVertexArrays(1, &vertexArray);
  vertexBuffer = vertexArray = 0;
}

void TextRenderer::draw(const std::vector<TextPanel>& panels, const std::vector<TextLine>& lines, int width,
                        int height) {
  if (!ready || width <= 0 || height <= 0) return;
  std::vector<TextVertex> vertices;
  const glm::vec2 solid(-1.0f);
  for (const TextPanel& p : panels) addQuad(vertices, p.min, p.max, solid, solid, p.colour);
  for (const TextLine& line : lines) {
    const std::vector<GlyphQuad> quads = atlas.layout(line.text, line.topLeft, line.scale);
    for (const GlyphQuad& q : quads) addQuad(vertices, q.min, q.max, q.uvMin, q.uvMax, line.colour);
  }
  if (vertices.empty()) return;

  SavedState saved;
  saved.save();
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_CULL_FACE);
  glDepthMask(GL_FALSE);
  glEnable(GL_BLEND);
  glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);  // text stays solid in wireframe mode

  glUseProgram(program->handle);
  program->setUniform("screenSize", glm::vec2(width, height));
  program->setUniform("glyphAtlas", 0);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, texture->handle);
  glBindVertexArray(vertexArray);
  glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size() * sizeof(TextVertex)), vertices.data(),
               GL_STREAM_DRAW);
  glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(vertices.size()));
  saved.restore();
}
