// The text renderer with the baked atlas, in a real context: where a string's pixels land, and
// that the GL state around it is as it was.
#include "render/text_renderer.h"

#include <gtest/gtest.h>

#include <vector>

#include "render/shader.h"
#include "support/gl_context.h"

namespace {

constexpr int kWidth = 320, kHeight = 96;  // pixels

class TextRendererTest : public GlContextTest {};

bool inside(const std::vector<GlyphQuad>& quads, float x, float y) {
  for (const GlyphQuad& q : quads)
    if (x >= q.min.x - 1.0f && x <= q.max.x + 1.0f && y >= q.min.y - 1.0f && y <= q.max.y + 1.0f) return true;
  return false;
}

}  // namespace

TEST_F(TextRendererTest, AStringsPixelsLandWhereTheLayoutSaysAndTheStateIsRestored) {
  TextRenderer text;
  ASSERT_TRUE(text.ready) << "the baked atlas (build/assets/textures/font.*) is missing";

  GLuint target = 0, framebuffer = 0;
  glGenTextures(1, &target);
  glBindTexture(GL_TEXTURE_2D, target);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, kWidth, kHeight, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  glGenFramebuffers(1, &framebuffer);
  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, target, 0);
  glViewport(0, 0, kWidth, kHeight);
  glClearColor(0.0f, 0.0f, 1.0f, 1.0f);  // blue, the text red
  glClear(GL_COLOR_BUFFER_BIT);

  // State the scene leaves behind, which the text must not keep.
  Shader other("textureSimple.vert", "textureSimple.frag");
  glUseProgram(other.handle);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_CULL_FACE);
  glDisable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ZERO);
  glActiveTexture(GL_TEXTURE3);
  glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);

  const std::string line = "Skulls 2/3 gj!";
  const glm::vec2 corner(37.0f, 21.0f);
  text.draw({}, {{line, corner, 1.5f, glm::vec4(1.0f, 0.0f, 0.0f, 1.0f)}}, kWidth, kHeight);

  GLint program = 0, active = 0, polygon[2] = {0, 0};
  glGetIntegerv(GL_CURRENT_PROGRAM, &program);
  glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
  glGetIntegerv(GL_POLYGON_MODE, polygon);
  EXPECT_EQ(program, static_cast<GLint>(other.handle));
  EXPECT_EQ(active, GL_TEXTURE3);
  EXPECT_EQ(polygon[0], GL_LINE);
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  GLint source = 0;
  glGetIntegerv(GL_BLEND_SRC_RGB, &source);
  EXPECT_EQ(source, GL_ONE);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glUseProgram(0);

  std::vector<unsigned char> pixels(kWidth * kHeight * 4);
  glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glDeleteFramebuffers(1, &framebuffer);
  glDeleteTextures(1, &target);
  glDisable(GL_DEPTH_TEST);

  const std::vector<GlyphQuad> quads = text.atlas.layout(line, corner, 1.5f);
  ASSERT_EQ(quads.size(), line.size() - 2) << "the two spaces have no rectangle";
  std::vector<int> redInQuad(quads.size(), 0);
  long red = 0, strayRed = 0, strayChange = 0;
  for (int row = 0; row < kHeight; ++row)
    for (int x = 0; x < kWidth; ++x) {
      const unsigned char* p = &pixels[(row * kWidth + x) * 4];
      const float y = float(kHeight - 1 - row) + 0.5f, cx = float(x) + 0.5f;  // read back bottom-up
      if (p[0] > 128) {
        ++red;
        if (!inside(quads, cx, y)) ++strayRed;
        for (size_t i = 0; i < quads.size(); ++i)
          if (inside({quads[i]}, cx, y)) ++redInQuad[i];
      } else if ((p[0] != 0 || p[1] != 0 || p[2] != 255) && !inside(quads, cx, y)) {
        ++strayChange;  // touched outside every glyph's rectangle
      }
    }
  EXPECT_GT(red, 300);
  EXPECT_EQ(strayRed, 0) << "every text pixel lies in its glyph's rectangle";
  EXPECT_EQ(strayChange, 0) << "nothing is drawn outside the glyphs' rectangles";
  for (size_t i = 0; i < quads.size(); ++i) EXPECT_GT(redInQuad[i], 3) << "glyph " << i << " is drawn";
  // The layout itself: left to right from the corner, the line's top at the corner.
  EXPECT_GE(quads.front().min.x, corner.x);
  EXPECT_LT(quads.front().min.x, corner.x + 6.0f);
  for (size_t i = 1; i < quads.size(); ++i) EXPECT_GT(quads[i].min.x, quads[i - 1].min.x);
  EXPECT_NEAR(quads.back().max.x, corner.x + text.atlas.width(line, 1.5f), 6.0f);
  EXPECT_GE(quads.front().min.y, corner.y);
  EXPECT_LE(quads.front().max.y, corner.y + text.atlas.lineHeight(1.5f));
}
