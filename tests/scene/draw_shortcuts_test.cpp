#include "render/bind_filter.h"
#include "render/optimised_frames.h"
#include "render/view_culling.h"
#include "render/window_clears.h"

#include <gtest/gtest.h>

#include <array>
#include <glm/gtc/matrix_transform.hpp>
#include <memory>
#include <vector>

#include "render/geometry.h"
#include "render/shader.h"
#include "scene/scene_test_helpers.h"
#include "scene/shadow_map.h"

namespace {

std::vector<float> cubeDepths(const ShadowMap& map) {
  std::vector<float> all;
  std::vector<float> face(static_cast<size_t>(map.width) * static_cast<size_t>(map.height));
  glBindTexture(GL_TEXTURE_CUBE_MAP, map.depthTexture);
  for (GLenum f = 0; f < 6; ++f) {
    glGetTexImage(GL_TEXTURE_CUBE_MAP_POSITIVE_X + f, 0, GL_DEPTH_COMPONENT, GL_FLOAT, face.data());
    all.insert(all.end(), face.begin(), face.end());
  }
  glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
  return all;
}

}  // namespace

class DrawShortcutsGl : public SceneGlTest {
 protected:
  void TearDown() override {
    optimisedFrames = true;
    viewCulling.endVolume();
    SceneGlTest::TearDown();
  }
};

TEST_F(DrawShortcutsGl, TheBindFilterNeverSkipsABindThatSomeoneElseUndid) {
  GLuint textures[3];
  glGenTextures(3, textures);
  for (GLuint t : textures) {
    glBindTexture(GL_TEXTURE_2D, t);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  }
  viewCulling.beginVolume(Frustum::aroundPoint(glm::vec3(0.0f), 50.0f));
  bindFilter.bindTexture2D(0, textures[0]);
  bindFilter.bindTexture2D(1, textures[1]);
  const long long skippedBefore = bindFilter.skippedBinds;
  bindFilter.bindTexture2D(1, textures[1]);
  EXPECT_EQ(bindFilter.skippedBinds, skippedBefore + 1) << "the same bind again is left out";

  // A material binds on unit 0 behind the filter's back and says so.
  glActiveTexture(GL_TEXTURE0);
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

  // A new pass trusts nothing from before it.
  viewCulling.endVolume();
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, textures[2]);
  viewCulling.beginVolume(Frustum::aroundPoint(glm::vec3(0.0f), 50.0f));
  bindFilter.bindTexture2D(0, textures[0]);
  EXPECT_EQ(boundTexture(0), textures[0]);
  viewCulling.endVolume();
  glDeleteTextures(3, textures);
  EXPECT_EQ(drainGlErrors(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(DrawShortcutsGl, ACubePassWithSkippingWritesTheSameDepthsAsOneThatDrawsEverything) {
  auto program = std::make_shared<MyShader>("cubeDepthShader.vert", "cubeDepthShader.frag", "cubeDepthShader.geom");
  ASSERT_NE(program->handle, 0u);
  // Casters around a torch at (0, 10, 0): one beside it on each side, one straddling two faces,
  // a long one reaching in from beyond the far plane, and one wholly outside.
  GeometryData box = createBoxGeometry(2, 2, 2);
  GeometryData beam = createBoxGeometry(1, 1, 60);
  std::vector<std::unique_ptr<Geometry>> casters;
  for (const glm::vec3& at : {glm::vec3(6, 10, 0), glm::vec3(-7, 9, 1), glm::vec3(0, 3, 0), glm::vec3(0, 18, 2),
                              glm::vec3(1, 10, 8), glm::vec3(2, 11, -9), glm::vec3(5, 10, 5), glm::vec3(0, 10, 80)})
    casters.push_back(std::make_unique<Geometry>(glm::translate(glm::mat4(1.0f), at), box, nullptr));
  casters.push_back(std::make_unique<Geometry>(glm::translate(glm::mat4(1.0f), glm::vec3(3, 12, 60)), beam, nullptr));

  glEnable(GL_DEPTH_TEST);  // depth is only written with the test on
  std::array<std::vector<float>, 2> depths;
  std::array<long long, 2> skipped{};
  for (int optimised = 0; optimised < 2; ++optimised) {
    optimisedFrames = optimised == 1;
    ShadowMap map;
    map.setUpCube();
    map.computeCubeMatrices(glm::vec3(0, 10, 0), kCubeNearPlane, kCubeFarPlane);
    const long long before = viewCulling.skippedObjects;
    map.beginCubePass(*program, glm::vec3(0, 10, 0), kCubeFarPlane);
    for (auto& caster : casters) caster->drawDepth(program);
    ShadowMap::endPass(64, 64);
    skipped[optimised] = viewCulling.skippedObjects - before;
    depths[optimised] = cubeDepths(map);
  }
  glDisable(GL_DEPTH_TEST);
  EXPECT_EQ(skipped[0], 0);
  EXPECT_EQ(skipped[1], 1) << "only the box at z 80 lies wholly outside the torch's cube";
  ASSERT_EQ(depths[0].size(), depths[1].size());
  size_t differing = 0, written = 0;
  for (size_t i = 0; i < depths[0].size(); ++i) {
    differing += depths[0][i] != depths[1][i] ? 1 : 0;
    written += depths[0][i] < 1.0f ? 1 : 0;
  }
  EXPECT_EQ(differing, 0u);
  EXPECT_GT(written, 100000u) << "the casters really reached the faces";
  EXPECT_EQ(drainGlErrors(), static_cast<GLenum>(GL_NO_ERROR));
}

// The window's clears: one that would clear what is already clear is left out, and none other.
TEST_F(DrawShortcutsGl, AWindowClearIsSkippedOnlyWhileTheWindowIsStillClearInTheSameColour) {
  auto pixel = [] {
    std::array<unsigned char, 4> rgba{};
    glFinish();
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    return rgba;
  };
  const std::array<unsigned char, 4> blue{51, 102, 153, 255}, green{0, 255, 0, 255};
  auto paintRed = [] {  // stands for a draw into the window behind the filter's back
    glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
  };
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  windowClears.drawnInto();
  const long long skippedBefore = windowClears.skipped;

  glClearColor(0.2f, 0.4f, 0.6f, 1.0f);
  windowClears.clear();
  EXPECT_EQ(pixel(), blue);
  windowClears.clear();
  EXPECT_EQ(windowClears.skipped, skippedBefore + 1) << "nothing drawn since: the second clear is left out";

  paintRed();
  glClearColor(0.2f, 0.4f, 0.6f, 1.0f);
  windowClears.drawnInto();
  windowClears.clear();
  EXPECT_EQ(pixel(), blue) << "after a draw the clear is made";

  glClearColor(0.0f, 1.0f, 0.0f, 1.0f);
  windowClears.clear();
  EXPECT_EQ(pixel(), green) << "another clear colour is another picture";

  {
    const long long skipped = windowClears.skipped;
    OffscreenTarget target(4, 4);  // bound instead of the window: its clear is always made
    std::array<unsigned char, 4> rgba{};
    windowClears.clear();
    glReadPixels(0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    EXPECT_EQ(rgba, green);
    EXPECT_EQ(windowClears.skipped, skipped);
  }

  optimisedFrames = false;  // drawing everything: every clear is made
  const long long skippedWhileOff = windowClears.skipped;
  paintRed();
  glClearColor(0.0f, 1.0f, 0.0f, 1.0f);
  windowClears.clear();
  windowClears.clear();
  EXPECT_EQ(windowClears.skipped, skippedWhileOff);
  EXPECT_EQ(pixel(), green);
  EXPECT_EQ(drainGlErrors(), static_cast<GLenum>(GL_NO_ERROR));
}

// Every piece of state that decides what a clear writes: changed between two clears, the picture
// with skipping (colour and depth) is the one with every clear made. The window is painted
// behind the filter's back first, so that a clear left out wrongly shows.
TEST_F(DrawShortcutsGl, AWindowClearIsSkippedOnlyWhereItWouldWriteNothingNew) {
  struct Case {
    const char* name;
    void (*first)();   // state of the clear after the painting
    void (*second)();  // state of the clear after that
    bool skipped;      // whether the second is left out
  };
  const Case cases[] = {
      {"another clear depth", [] {}, [] { glClearDepth(0.5); }, false},
      {"a colour write mask, then none", [] { glColorMask(GL_FALSE, GL_TRUE, GL_TRUE, GL_TRUE); }, [] {}, false},
      {"a depth write mask, then none", [] { glDepthMask(GL_FALSE); }, [] {}, false},
      {"a scissor, then none",
       [] {
         glEnable(GL_SCISSOR_TEST);
         glScissor(0, 0, 1, 1);
       },
       [] {}, false},
      {"rasterizer discard, then none", [] { glEnable(GL_RASTERIZER_DISCARD); }, [] {}, false},
      {"the same values under a colour mask", [] {},
       [] {
         glColorMask(GL_TRUE, GL_FALSE, GL_TRUE, GL_TRUE);
         glClearColor(0.2f, 0.9f, 0.6f, 1.0f);  // green is masked off
       },
       true},
      {"the same values under a scissor", [] {},
       [] {
         glEnable(GL_SCISSOR_TEST);
         glScissor(1, 1, 2, 2);
       },
       true},
  };
  auto reset = [] {
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_RASTERIZER_DISCARD);
    glClearColor(0.2f, 0.4f, 0.6f, 1.0f);
    glClearDepth(1.0);
  };
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glReadBuffer(GL_BACK);
  for (const Case& c : cases) {
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
      if (optimised) {
        EXPECT_EQ(windowClears.skipped - skipped, c.skipped ? 1 : 0);
      }
      reset();
      glFinish();
      colours[optimised].resize(4 * 4 * 4);
      depths[optimised].resize(4 * 4);
      glReadPixels(0, 0, 4, 4, GL_RGBA, GL_UNSIGNED_BYTE, colours[optimised].data());
      glReadPixels(0, 0, 4, 4, GL_DEPTH_COMPONENT, GL_FLOAT, depths[optimised].data());
    }
    EXPECT_EQ(colours[1], colours[0]);
    EXPECT_EQ(depths[1], depths[0]);
    EXPECT_NE(depths[0][0], 0.0f) << "the depths were read";
  }
  EXPECT_EQ(drainGlErrors(), static_cast<GLenum>(GL_NO_ERROR));
}
