// The frame's shortcuts (binds and clears left out) must never change what is drawn.

#include "render/bind_filter.h"
#include "render/window_clears.h"
#include "scene/scene_test_helpers.h"

TEST_F(SceneGlTest, TheBindFilterNeverSkipsABindThatSomeoneElseUndid) {
  GLuint textures[3];
  glGenTextures(3, textures);
  viewCulling.beginVolume(Frustum::aroundPoint(glm::vec3(0.0f), 50.0f));
  bindFilter.bindTexture2D(0, textures[0]);
  bindFilter.bindTexture2D(1, textures[1]);
  const long long skippedBefore = bindFilter.skippedBinds;
  bindFilter.bindTexture2D(1, textures[1]);
  EXPECT_EQ(bindFilter.skippedBinds, skippedBefore + 1) << "the same bind again is left out";
  glActiveTexture(GL_TEXTURE0);  // a material binds on unit 0 behind the filter's back and says so
  glBindTexture(GL_TEXTURE_2D, textures[2]);
  bindFilter.forgetUnit(0);
  bindFilter.bindTexture2D(0, textures[0]);
  EXPECT_EQ(boundTexture(0), textures[0]);
  // With the active unit unknown, a bind may land on a remembered unit: both must be rebound.
  glActiveTexture(GL_TEXTURE1);
  bindFilter.forgetUnit(0);
  bindFilter.bindTexture2DOnActiveUnit(textures[2]);
  bindFilter.bindTexture2D(1, textures[1]);
  EXPECT_EQ(boundTexture(1), textures[1]);
  viewCulling.endVolume();  // a new pass trusts nothing from before it
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, textures[2]);
  viewCulling.beginVolume(Frustum::aroundPoint(glm::vec3(0.0f), 50.0f));
  bindFilter.bindTexture2D(0, textures[0]);
  EXPECT_EQ(boundTexture(0), textures[0]);
  glDeleteTextures(3, textures);
}

namespace {
GLuint offscreen = 0;
}  // namespace

TEST_F(SceneGlTest, AWindowClearIsSkippedOnlyWhereItWouldWriteNothingNew) {
  const struct {
    const char* name;
    void (*first)();   // state of the clear after the painting
    void (*second)();  // state of the clear after that
    bool skipped;      // whether the second is left out
  } cases[] = {
      {"the same clear again", [] {}, [] {}, true},
      {"another clear colour", [] {}, [] { glClearColor(0.0f, 1.0f, 0.0f, 1.0f); }, false},
      {"another clear depth", [] {}, [] { glClearDepth(0.5); }, false},
      {"a colour write mask, then none", [] { glColorMask(GL_FALSE, GL_TRUE, GL_TRUE, GL_TRUE); }, [] {}, false},
      {"a depth write mask, then none", [] { glDepthMask(GL_FALSE); }, [] {}, false},
      {"a scissor, then none", [] { glEnable(GL_SCISSOR_TEST), glScissor(0, 0, 1, 1); }, [] {}, false},
      {"rasterizer discard, then none", [] { glEnable(GL_RASTERIZER_DISCARD); }, [] {}, false},
      {"a draw into the window between", [] {}, [] { windowClears.drawnInto(); }, false},
      {"the same values under a colour mask", [] {},
       [] { glColorMask(GL_TRUE, GL_FALSE, GL_TRUE, GL_TRUE), glClearColor(0.2f, 0.9f, 0.6f, 1.0f); }, true},
      {"the same values under a scissor", [] {}, [] { glEnable(GL_SCISSOR_TEST), glScissor(1, 1, 2, 2); }, true},
      {"an offscreen target bound", [] {}, [] { glBindFramebuffer(GL_FRAMEBUFFER, offscreen); }, false},
  };
  auto reset = [] {
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_RASTERIZER_DISCARD);
    glClearColor(0.2f, 0.4f, 0.6f, 1.0f);
    glClearDepth(1.0);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
  };
  OffscreenTarget target(4, 4);
  offscreen = target.framebuffer;
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glReadBuffer(GL_BACK);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::array<std::vector<unsigned char>, 2> colours;
    std::array<std::vector<float>, 2> depths;
    for (int optimised = 0; optimised < 2; ++optimised) {
      optimisedFrames = optimised == 1;
      reset();
      windowClears.drawnInto();
      windowClears.clear();
      glClearColor(1.0f, 0.0f, 0.0f, 1.0f);  // painted red at depth 0.25
      glClearDepth(0.25);
      glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
      windowClears.drawnInto();
      reset();
      c.first();
      windowClears.clear();
      reset();
      c.second();
      const long long skipped = windowClears.skipped;
      windowClears.clear();
      EXPECT_EQ(windowClears.skipped - skipped, optimised && c.skipped ? 1 : 0);
      reset();
      glFinish();
      colours[optimised].resize(4 * 4 * 4);
      depths[optimised].resize(4 * 4);
      glReadPixels(0, 0, 4, 4, GL_RGBA, GL_UNSIGNED_BYTE, colours[optimised].data());
      glReadPixels(0, 0, 4, 4, GL_DEPTH_COMPONENT, GL_FLOAT, depths[optimised].data());
    }
    EXPECT_EQ(colours[1], colours[0]);
    EXPECT_EQ(depths[1], depths[0]);
    EXPECT_NE(depths[0][0], 0.25f) << "the clear after the painting was made";
  }
}
