#include "scene/shadow_save_under.h"

#include <limits>

#include "scene/scene_test_helpers.h"
#include "scene/shadow_map.h"

namespace {

std::array<glm::vec3, 8> box(glm::vec3 low, glm::vec3 high) {
  std::array<glm::vec3, 8> corners;
  for (int c = 0; c < 8; ++c)
    corners[static_cast<size_t>(c)] = {(c & 1) ? high.x : low.x, (c & 2) ? high.y : low.y, (c & 4) ? high.z : low.z};
  return corners;
}

std::vector<int> asList(const std::vector<TexelRect>& blocks) {
  std::vector<int> list;
  for (const TexelRect& r : blocks) list.insert(list.end(), {r.layer, r.x, r.y, r.width, r.height});
  return list;
}

}  // namespace

// Each block covers the box's projection with a texel of margin, clamped to the map; a
// perspective layer cuts the box at its near plane; overlapping blocks merge; a box around the eye
// or not finite reaches the whole layer.
TEST(TexelsReached, ABoxReachesItsProjectionWithATexelOfMarginInEachLayerThatSeesIt) {
  const std::vector<glm::mat4> ortho{glm::ortho(-1.0f, 1.0f, -1.0f, 1.0f, -1.0f, 1.0f)};
  // 90 degrees, near 1, looking down -z: ndc x = x / -z.
  const glm::mat4 perspective = glm::perspective(glm::radians(90.0f), 1.0f, 1.0f, 50.0f);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const struct {
    const char* what;
    std::vector<std::array<glm::vec3, 8>> boxes;
    std::vector<glm::mat4> layers;
    std::vector<int> blocks;  // layer, x, y, width, height of each
  } cases[] = {
      // ndc x -0.49..0.51 is texels 25.5..75.5 of 100; y 0.01..0.49 is 50.5..74.5.
      {"inside", {box({-0.49f, 0.01f, -0.5f}, {0.51f, 0.49f, 0.5f})}, ortho, {0, 24, 49, 53, 27}},
      {"clamped", {box({0.5f, -3.0f, 0}, {4.0f, -0.99f, 0})}, ortho, {0, 74, 0, 26, 2}},
      {"wholly beside the map", {box({2, 0, 0}, {3, 0.5f, 0})}, ortho, {}},
      {"no boxes", {}, ortho, {}},
      {"apart",
       {box({-0.895f, -0.895f, 0}, {-0.705f, -0.705f, 0}), box({0.705f, 0.705f, 0}, {0.895f, 0.895f, 0})},
       ortho,
       {0, 4, 4, 12, 12, 0, 84, 84, 12, 12}},
      {"a third box overlapping both pulls all three into one",
       {box({-0.895f, -0.895f, 0}, {-0.705f, -0.705f, 0}), box({0.705f, 0.705f, 0}, {0.895f, 0.895f, 0}),
        box({-0.745f, -0.745f, 0}, {0.745f, 0.745f, 0})},
       ortho,
       {0, 4, 4, 92, 92}},
      // From z -0.5 (nearer than the near plane) to -10: drawn, it reaches ndc x 0.02..0.3, not
      // the 0.6 of the corner in front of the plane.
      {"cut at the near plane", {box({0.2f, -0.1f, -10.0f}, {0.3f, 0.1f, -0.5f})}, {perspective}, {0, 50, 44, 16, 12}},
      {"behind the eye", {box({-1, -1, 2}, {1, 1, 5})}, {perspective}, {}},
      {"around the eye", {box({-1, -1, -1}, {1, 1, 1})}, {perspective}, {0, 0, 0, 100, 100}},
      {"not finite",
       {box({nan, 0, -5}, {1, 1, -4})},
       {perspective, perspective},
       {0, 0, 0, 100, 100, 1, 0, 0, 100, 100}},
  };
  for (const auto& c : cases) EXPECT_EQ(asList(texelsReachedBy(c.boxes, c.layers, 100, 100)), c.blocks) << c.what;

  ShadowMap cube;  // matrices only: no GL needed
  cube.computeCubeMatrices(glm::vec3(0, 100, 0), 1.0f, 50.0f);
  const std::vector<TexelRect> faces =
      texelsReachedBy({box({-1, 99, 9}, {1, 101, 11})}, cube.shadowMatrices, 1024, 1024);
  ASSERT_EQ(faces.size(), 1u) << "a small box straight ahead along +z";
  EXPECT_EQ(faces[0].layer, 4);
  EXPECT_NEAR(faces[0].width, 1024 * 2 / 18 + 2, 3) << "2 wide at 9 to 11 away";
}

namespace {

void fillLayer(GLenum target, GLuint texture, GLenum face, float base) {
  std::vector<float> depth(1024 * 1024);
  for (size_t i = 0; i < depth.size(); ++i) depth[i] = base + static_cast<float>(i % 997) / 4096.0f;
  glBindTexture(target, texture);
  glTexSubImage2D(face, 0, 0, 0, 1024, 1024, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
  glBindTexture(target, 0);
}

}  // namespace

TEST_F(SceneGlTest, SaveUnderRestoresExactlyTheSavedBlocksOfTheRightFace) {
  ShadowMap map;
  map.setUpCube();
  fillLayer(GL_TEXTURE_CUBE_MAP, map.depthTexture, GL_TEXTURE_CUBE_MAP_POSITIVE_Z, 0.1f);
  fillLayer(GL_TEXTURE_CUBE_MAP, map.depthTexture, GL_TEXTURE_CUBE_MAP_NEGATIVE_X, 0.3f);
  const std::vector<float> saved = depthTexels(GL_TEXTURE_CUBE_MAP, map.depthTexture);
  SaveUnder under;
  const std::vector<TexelRect> blocks = {{4, 10, 20, 300, 7}, {1, 0, 1000, 1024, 24}, {4, 600, 600, 5, 400}};
  ASSERT_TRUE(under.save(map.depthTexture, GL_TEXTURE_CUBE_MAP, blocks));
  EXPECT_EQ(under.keptBlocks(), 3u);
  fillLayer(GL_TEXTURE_CUBE_MAP, map.depthTexture, GL_TEXTURE_CUBE_MAP_POSITIVE_Z, 0.7f);
  fillLayer(GL_TEXTURE_CUBE_MAP, map.depthTexture, GL_TEXTURE_CUBE_MAP_NEGATIVE_X, 0.8f);
  const std::vector<float> over = depthTexels(GL_TEXTURE_CUBE_MAP, map.depthTexture);
  EXPECT_TRUE(under.restore(map.depthTexture, GL_TEXTURE_CUBE_MAP));
  EXPECT_EQ(under.keptBlocks(), 0u) << "a restore uses the blocks up";
  std::vector<float> expected = over;  // the saved blocks back, the rest as overwritten
  for (const TexelRect& r : blocks)
    for (int y = r.y; y < r.y + r.height; ++y)
      for (int i = (r.layer * 1024 + y) * 1024 + r.x; i < (r.layer * 1024 + y) * 1024 + r.x + r.width; ++i)
        expected[static_cast<size_t>(i)] = saved[static_cast<size_t>(i)];
  EXPECT_TRUE(depthTexels(GL_TEXTURE_CUBE_MAP, map.depthTexture) == expected);
}

// Blocks beyond the store or the map, or a map the driver cannot copy (another depth format), are
// refused before any copy is made: nothing is kept, not even earlier blocks, and no GL error is
// left. An error raised earlier is not the copies' and stays for whoever checks for errors.
TEST_F(SceneGlTest, SaveUnderRefusesWhatCannotBeCopiedAndKeepsNothing) {
  ShadowMap map, cube;
  map.setUp2D();
  cube.setUpCube();
  GLuint other = 0;
  glGenTextures(1, &other);
  glBindTexture(GL_TEXTURE_2D, other);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT16, 64, 64, 0, GL_DEPTH_COMPONENT, GL_FLOAT, nullptr);
  glBindTexture(GL_TEXTURE_2D, 0);
  const TexelRect face{0, 0, 0, 1024, 1024}, small{0, 0, 0, 10, 10};
  const struct {
    const char* what;
    GLuint texture;
    GLenum target;
    std::vector<TexelRect> blocks;
  } refused[] = {
      {"three whole faces in two faces' worth of store", map.depthTexture, GL_TEXTURE_2D, {face, face, face}},
      {"another depth format", other, GL_TEXTURE_2D, {small}},
      {"past the right edge", map.depthTexture, GL_TEXTURE_2D, {{0, 1019, 0, 10, 10}}},
      {"below the bottom", map.depthTexture, GL_TEXTURE_2D, {{0, 0, -1, 10, 10}}},
      {"a second layer of a 2D map", map.depthTexture, GL_TEXTURE_2D, {{1, 0, 0, 10, 10}}},
      {"a seventh cube face", cube.depthTexture, GL_TEXTURE_CUBE_MAP, {{6, 0, 0, 10, 10}}},
      {"past the top", cube.depthTexture, GL_TEXTURE_CUBE_MAP, {{5, 0, 1015, 10, 10}}}};
  SaveUnder under;
  for (const auto& c : refused) {
    ASSERT_TRUE(under.save(map.depthTexture, GL_TEXTURE_2D, {small}));
    EXPECT_FALSE(under.save(c.texture, c.target, c.blocks)) << c.what;
    EXPECT_EQ(under.keptBlocks(), 0u) << c.what;
  }
  EXPECT_TRUE(under.save(map.depthTexture, GL_TEXTURE_2D, {face, face})) << "two whole faces fill it exactly";
  ASSERT_TRUE(under.save(map.depthTexture, GL_TEXTURE_2D, {small}));
  EXPECT_FALSE(under.restore(other, GL_TEXTURE_2D)) << "nor may a failed restore pass for done";
  EXPECT_EQ(drainGlErrors(), static_cast<GLenum>(GL_NO_ERROR)) << "the failures are handled, not left behind";
  glDeleteTextures(1, &other);

  glEnable(0xFFFF);  // no such capability: GL_INVALID_ENUM
  EXPECT_TRUE(under.save(map.depthTexture, GL_TEXTURE_2D, {small}));
  EXPECT_EQ(under.keptBlocks(), 1u);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_INVALID_ENUM));
  glEnable(0xFFFF);
  EXPECT_TRUE(under.restore(map.depthTexture, GL_TEXTURE_2D));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_INVALID_ENUM));
}
