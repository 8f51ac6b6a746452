// The frame's shortcuts (binds and clears left out, casters skipped outside a torch's cube) must
// never change what is drawn.
#include <gtest/gtest.h>

#include <glm/gtc/matrix_transform.hpp>
#include <memory>
#include <vector>

#include "render/bind_filter.h"
#include "render/geometry.h"
#include "render/shader.h"
#include "render/window_clears.h"
#include "scene/scene_test_helpers.h"
#include "scene/shadow_map.h"

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

TEST_F(SceneGlTest, ACubePassWithSkippingWritesTheSameDepthsAsOneThatDrawsEverything) {
  auto program = std::make_shared<MyShader>("cubeDepthShader.vert", "cubeDepthShader.frag", "cubeDepthShader.geom");
  // Casters around a torch at (0, 10, 0): one beside it on each side, one straddling two faces,
  // a long one reaching in from beyond the far plane, and one wholly outside.
  const GeometryData box = createBoxGeometry(2, 2, 2), beam = createBoxGeometry(1, 1, 60);
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
    depths[optimised] = depthTexels(GL_TEXTURE_CUBE_MAP, map.depthTexture);
  }
  glDisable(GL_DEPTH_TEST);
  EXPECT_EQ(skipped[0], 0);
  EXPECT_EQ(skipped[1], 1) << "only the box at z 80 lies wholly outside the torch's cube";
  EXPECT_TRUE(depths[0] == depths[1]);
  EXPECT_GT(std::count_if(depths[0].begin(), depths[0].end(), [](float d) { return d < 1.0f; }), 100000)
      << "the casters really reached the faces";
}

// Every piece of state that decides what a clear writes, changed between two clears: the picture
// with skipping (colour and depth) is the one with every clear made, and only a clear that would
// write nothing new is left out. The window is painted behind the filter's back first, so that a
// clear left out wrongly shows.
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
