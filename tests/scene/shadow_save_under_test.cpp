#include "scene/shadow_save_under.h"

#include <gtest/gtest.h>

#include <cmath>
#include <glm/gtc/matrix_transform.hpp>
#include <limits>
#include <vector>

#include "scene/scene_test_helpers.h"
#include "scene/shadow_map.h"

namespace {

std::array<glm::vec3, 8> box(glm::vec3 low, glm::vec3 high) {
  std::array<glm::vec3, 8> corners;
  for (int c = 0; c < 8; ++c)
    corners[static_cast<size_t>(c)] = {(c & 1) ? high.x : low.x, (c & 2) ? high.y : low.y, (c & 4) ? high.z : low.z};
  return corners;
}

void expectBlock(const TexelRect& r, int layer, int x, int y, int width, int height) {
  EXPECT_EQ(r.layer, layer);
  EXPECT_EQ(r.x, x);
  EXPECT_EQ(r.y, y);
  EXPECT_EQ(r.width, width);
  EXPECT_EQ(r.height, height);
}

const glm::mat4 kUnitOrtho = glm::ortho(-1.0f, 1.0f, -1.0f, 1.0f, -1.0f, 1.0f);

}  // namespace

TEST(TexelsReached, ABoxCoversItsProjectionWithATexelOfMarginClampedToTheMap) {
  // ndc x -0.49..0.51 is texels 25.5..75.5 of 100; y 0.01..0.49 is 50.5..74.5.
  std::vector<TexelRect> blocks =
      texelsReachedBy({box({-0.49f, 0.01f, -0.5f}, {0.51f, 0.49f, 0.5f})}, {kUnitOrtho}, 100, 100);
  ASSERT_EQ(blocks.size(), 1u);
  expectBlock(blocks[0], 0, 24, 49, 53, 27);

  blocks = texelsReachedBy({box({0.5f, -3.0f, 0}, {4.0f, -0.99f, 0})}, {kUnitOrtho}, 100, 100);
  ASSERT_EQ(blocks.size(), 1u);
  expectBlock(blocks[0], 0, 74, 0, 26, 2);

  EXPECT_TRUE(texelsReachedBy({box({2, 0, 0}, {3, 0.5f, 0})}, {kUnitOrtho}, 100, 100).empty())
      << "wholly beside the map";
  EXPECT_TRUE(texelsReachedBy({}, {kUnitOrtho}, 100, 100).empty());
}

TEST(TexelsReached, APerspectiveLayerCutsTheBoxAtItsNearPlane) {
  // 90 degrees, near 1: looking down -z, ndc x = x / -z.
  const glm::mat4 m = glm::perspective(glm::radians(90.0f), 1.0f, 1.0f, 50.0f);
  // From z -0.5 (nearer than the near plane) to -10: drawn, it reaches ndc x 0.02..0.3, not the
  // 0.6 of the corner in front of the plane.
  std::vector<TexelRect> blocks = texelsReachedBy({box({0.2f, -0.1f, -10.0f}, {0.3f, 0.1f, -0.5f})}, {m}, 100, 100);
  ASSERT_EQ(blocks.size(), 1u);
  EXPECT_NEAR(blocks[0].x, 50, 1);
  EXPECT_NEAR(blocks[0].x + blocks[0].width, 66, 1);
  EXPECT_NEAR(blocks[0].y, 44, 1);
  EXPECT_NEAR(blocks[0].y + blocks[0].height, 56, 1);

  EXPECT_TRUE(texelsReachedBy({box({-1, -1, 2}, {1, 1, 5})}, {m}, 100, 100).empty()) << "behind the eye";
  // A box around the eye can reach every texel; so can one that is not finite.
  blocks = texelsReachedBy({box({-1, -1, -1}, {1, 1, 1})}, {m}, 100, 100);
  ASSERT_EQ(blocks.size(), 1u);
  expectBlock(blocks[0], 0, 0, 0, 100, 100);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  blocks = texelsReachedBy({box({nan, 0, -5}, {1, 1, -4})}, {m, m}, 100, 100);
  ASSERT_EQ(blocks.size(), 2u);
  for (int layer = 0; layer < 2; ++layer) expectBlock(blocks[static_cast<size_t>(layer)], layer, 0, 0, 100, 100);
}

TEST(TexelsReached, OverlappingBlocksMergeAndEachCubeFaceGetsOnlyWhatItSees) {
  const std::vector<glm::mat4> layer{kUnitOrtho};
  EXPECT_EQ(texelsReachedBy(
                {box({-0.895f, -0.895f, 0}, {-0.705f, -0.705f, 0}), box({0.705f, 0.705f, 0}, {0.895f, 0.895f, 0})},
                layer, 100, 100)
                .size(),
            2u);
  // A third box overlapping both pulls all three into one block around them.
  const std::vector<TexelRect> merged =
      texelsReachedBy({box({-0.895f, -0.895f, 0}, {-0.705f, -0.705f, 0}), box({0.705f, 0.705f, 0}, {0.895f, 0.895f, 0}),
                       box({-0.745f, -0.745f, 0}, {0.745f, 0.745f, 0})},
                      layer, 100, 100);
  ASSERT_EQ(merged.size(), 1u);
  expectBlock(merged[0], 0, 4, 4, 92, 92);

  ShadowMap cube;  // matrices only: no GL needed
  cube.computeCubeMatrices(glm::vec3(0, 100, 0), 1.0f, 50.0f);
  const std::vector<TexelRect> faces =
      texelsReachedBy({box({-1, 99, 9}, {1, 101, 11})}, cube.shadowMatrices, 1024, 1024);
  ASSERT_EQ(faces.size(), 1u) << "a small box straight ahead along +z";
  EXPECT_EQ(faces[0].layer, 4);
  EXPECT_NEAR(faces[0].width, 1024 * 2 / 18 + 2, 3) << "2 wide at 9 to 11 away";
}

class SaveUnderGl : public SceneGlTest {};

namespace {

std::vector<float> readLayer(GLenum target, GLuint texture, GLenum face, int size) {
  std::vector<float> depth(static_cast<size_t>(size * size), -1.0f);
  glBindTexture(target, texture);
  glGetTexImage(face, 0, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
  glBindTexture(target, 0);
  return depth;
}

void fillLayer(GLenum target, GLuint texture, GLenum face, int size, float base) {
  std::vector<float> depth(static_cast<size_t>(size * size));
  for (size_t i = 0; i < depth.size(); ++i) depth[i] = base + static_cast<float>(i % 997) / 4096.0f;
  glBindTexture(target, texture);
  glTexSubImage2D(face, 0, 0, 0, size, size, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
  glBindTexture(target, 0);
}

}  // namespace

TEST_F(SaveUnderGl, RestoreBringsBackExactlyTheSavedBlocksOfTheRightFace) {
  ShadowMap map;
  map.setUpCube();
  const int size = map.width;
  fillLayer(GL_TEXTURE_CUBE_MAP, map.depthTexture, GL_TEXTURE_CUBE_MAP_POSITIVE_Z, size, 0.1f);
  fillLayer(GL_TEXTURE_CUBE_MAP, map.depthTexture, GL_TEXTURE_CUBE_MAP_NEGATIVE_X, size, 0.3f);
  const std::vector<float> plusZ =
      readLayer(GL_TEXTURE_CUBE_MAP, map.depthTexture, GL_TEXTURE_CUBE_MAP_POSITIVE_Z, size);
  const std::vector<float> minusX =
      readLayer(GL_TEXTURE_CUBE_MAP, map.depthTexture, GL_TEXTURE_CUBE_MAP_NEGATIVE_X, size);

  SaveUnder under;
  const std::vector<TexelRect> blocks = {{4, 10, 20, 300, 7}, {1, 0, 1000, 1024, 24}, {4, 600, 600, 5, 400}};
  ASSERT_TRUE(under.save(map.depthTexture, GL_TEXTURE_CUBE_MAP, blocks));
  EXPECT_EQ(under.keptBlocks(), 3u);
  fillLayer(GL_TEXTURE_CUBE_MAP, map.depthTexture, GL_TEXTURE_CUBE_MAP_POSITIVE_Z, size, 0.7f);
  fillLayer(GL_TEXTURE_CUBE_MAP, map.depthTexture, GL_TEXTURE_CUBE_MAP_NEGATIVE_X, size, 0.8f);
  const std::vector<float> overZ =
      readLayer(GL_TEXTURE_CUBE_MAP, map.depthTexture, GL_TEXTURE_CUBE_MAP_POSITIVE_Z, size);
  EXPECT_TRUE(under.restore(map.depthTexture, GL_TEXTURE_CUBE_MAP));
  EXPECT_EQ(under.keptBlocks(), 0u) << "a restore uses the blocks up";
  ASSERT_EQ(drainGlErrors(), static_cast<GLenum>(GL_NO_ERROR));

  const std::vector<float> afterZ =
      readLayer(GL_TEXTURE_CUBE_MAP, map.depthTexture, GL_TEXTURE_CUBE_MAP_POSITIVE_Z, size);
  const std::vector<float> afterX =
      readLayer(GL_TEXTURE_CUBE_MAP, map.depthTexture, GL_TEXTURE_CUBE_MAP_NEGATIVE_X, size);
  auto inside = [](const TexelRect& r, int x, int y) {
    return x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height;
  };
  int wrongZ = 0, wrongX = 0;
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const size_t i = static_cast<size_t>(y * size + x);
      const bool savedZ = inside(blocks[0], x, y) || inside(blocks[2], x, y);
      wrongZ += afterZ[i] != (savedZ ? plusZ[i] : overZ[i]);
      wrongX += (inside(blocks[1], x, y) && afterX[i] != minusX[i]) ? 1 : 0;
    }
  }
  EXPECT_EQ(wrongZ, 0) << "+z: the saved blocks back, the rest as overwritten";
  EXPECT_EQ(wrongX, 0) << "-x: its block back";
  under.release();
}

TEST_F(SaveUnderGl, BlocksBeyondTheStoreAreRefusedAndNothingIsKept) {
  ShadowMap map;
  map.setUp2D();
  fillLayer(GL_TEXTURE_2D, map.depthTexture, GL_TEXTURE_2D, map.width, 0.2f);
  SaveUnder under;
  ASSERT_TRUE(under.save(map.depthTexture, GL_TEXTURE_2D, {{0, 0, 0, 10, 10}}));
  // Three whole faces do not fit two faces' worth of store.
  const TexelRect face{0, 0, 0, 1024, 1024};
  EXPECT_FALSE(under.save(map.depthTexture, GL_TEXTURE_2D, {face, face, face}));
  EXPECT_EQ(under.keptBlocks(), 0u) << "not even the earlier block";
  EXPECT_TRUE(under.save(map.depthTexture, GL_TEXTURE_2D, {face, face})) << "two fill it exactly";
  EXPECT_EQ(drainGlErrors(), static_cast<GLenum>(GL_NO_ERROR));
}

// glCopyImageSubData copies only between images of one format, and an unsized format lets the
// driver pick: the maps and the store ask for the same sized one.
TEST_F(SaveUnderGl, MapsAreMadeInOneSizedFloatDepthFormat) {
  ShadowMap sun, cube;
  sun.setUp2D();
  cube.setUpCube();
  GLint format = 0;
  glBindTexture(GL_TEXTURE_2D, sun.depthTexture);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
  EXPECT_EQ(format, GL_DEPTH_COMPONENT32F) << "sun";
  glBindTexture(GL_TEXTURE_2D, 0);
  glBindTexture(GL_TEXTURE_CUBE_MAP, cube.depthTexture);
  for (GLenum face = 0; face < 6; ++face) {
    glGetTexLevelParameteriv(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    EXPECT_EQ(format, GL_DEPTH_COMPONENT32F) << "cube face " << face;
  }
  glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
}

TEST_F(SaveUnderGl, ACopyTheDriverRefusesKeepsNothing) {
  ShadowMap map;
  map.setUp2D();
  SaveUnder under;
  ASSERT_TRUE(under.save(map.depthTexture, GL_TEXTURE_2D, {{0, 0, 0, 10, 10}}));
  // A map in another depth format: the copies into the store fail.
  GLuint other = 0;
  glGenTextures(1, &other);
  glBindTexture(GL_TEXTURE_2D, other);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT16, 64, 64, 0, GL_DEPTH_COMPONENT, GL_FLOAT, nullptr);
  glBindTexture(GL_TEXTURE_2D, 0);
  EXPECT_FALSE(under.save(other, GL_TEXTURE_2D, {{0, 0, 0, 10, 10}}));
  EXPECT_EQ(under.keptBlocks(), 0u);
  ASSERT_TRUE(under.save(map.depthTexture, GL_TEXTURE_2D, {{0, 0, 0, 10, 10}}));
  EXPECT_FALSE(under.restore(other, GL_TEXTURE_2D)) << "nor may a failed restore pass for done";
  EXPECT_EQ(drainGlErrors(), static_cast<GLenum>(GL_NO_ERROR)) << "the failure is handled, not left behind";
  glDeleteTextures(1, &other);

  // Blocks outside the map are refused before any copy is tried.
  ShadowMap cube;
  cube.setUpCube();
  const int size = map.width;
  const struct {
    const ShadowMap& map;
    GLenum target;
    TexelRect block;
  } outside[] = {{map, GL_TEXTURE_2D, {0, size - 5, 0, 10, 10}},
                 {map, GL_TEXTURE_2D, {0, 0, -1, 10, 10}},
                 {map, GL_TEXTURE_2D, {1, 0, 0, 10, 10}},
                 {cube, GL_TEXTURE_CUBE_MAP, {6, 0, 0, 10, 10}},
                 {cube, GL_TEXTURE_CUBE_MAP, {5, 0, size - 9, 10, 10}}};
  for (const auto& c : outside) {
    EXPECT_FALSE(under.save(c.map.depthTexture, c.target, {c.block})) << "layer " << c.block.layer;
    EXPECT_EQ(under.keptBlocks(), 0u);
  }
  EXPECT_EQ(drainGlErrors(), static_cast<GLenum>(GL_NO_ERROR));
}

// An error raised before the copies is not theirs: they are made and kept, and the error stays for
// whoever checks for errors (the tests, the benchmark, the debug output).
TEST_F(SaveUnderGl, AnEarlierGlErrorIsNeitherBlamedOnTheCopiesNorTakenAway) {
  ShadowMap map;
  map.setUp2D();
  SaveUnder under;
  glEnable(0xFFFF);  // no such capability: GL_INVALID_ENUM
  EXPECT_TRUE(under.save(map.depthTexture, GL_TEXTURE_2D, {{0, 0, 0, 10, 10}}));
  EXPECT_EQ(under.keptBlocks(), 1u);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_INVALID_ENUM));
  glEnable(0xFFFF);
  EXPECT_TRUE(under.restore(map.depthTexture, GL_TEXTURE_2D));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_INVALID_ENUM));
  EXPECT_EQ(drainGlErrors(), static_cast<GLenum>(GL_NO_ERROR));
}
