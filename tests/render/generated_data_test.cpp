// What the game generates at start-up instead of loading: the random sequence, the noise
// textures drawn from it, and the meshes of the level's shapes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

#include "render/geometry.h"
#include "render/noise_texture.h"
#include "render/random.h"

namespace {

TEST(Random, StartsFromStateOneWrapsModulo2To32AndRestartsOnReset) {
  resetRandomForTests();
  for (int expected : {41, 18467, 6334, 26500, 19169}) EXPECT_EQ(nextRandom(), expected);
  int largest = 0;
  for (int i = 0; i < 100000; ++i) largest = std::max(largest, nextRandom());
  EXPECT_LE(largest, kRandomMax);
  EXPECT_GT(largest, kRandomMax - 100);  // the whole range is reached, not only the low bits
  resetRandomForTests();
  EXPECT_EQ(nextRandom(), 41);
}

std::uint32_t fnv1a(const std::vector<std::uint8_t>& bytes) {
  std::uint32_t h = 2166136261u;
  for (std::uint8_t b : bytes) h = (h ^ b) * 16777619u;
  return h;
}

std::uint32_t stateAfter(int draws) {
  resetRandomForTests();
  for (int i = 0; i < draws; ++i) nextRandom();
  return randomState();
}

// A texture from the one generator after others drew `before` numbers; its hash table takes 256.
template <class... Args>
NoiseTexture afterDraws(int before, Args... args) {
  const std::uint32_t expected = stateAfter(before + 256);
  stateAfter(before);
  NoiseTexture t(args...);
  EXPECT_EQ(randomState(), expected);
  return t;
}

bool flat(const NoiseTexture& t, RgbBytes colour) {
  for (size_t i = 0; i < t.pixels.size(); ++i)
    if (t.pixels[i] != colour[i % 3]) return false;
  return t.pixels.size() == 256u * 256u * 3u;
}

// The hashes are reference values from a separate transcription of the algorithm (double
// arithmetic in the same order); any change of order, rounding or table layout changes them.
TEST(NoiseTexture, EachGeneratorMatchesItsReferenceAndTakes256Draws) {
  const RgbBytes white{255, 255, 255};
  EXPECT_TRUE(flat(afterDraws(0), {255, 10, 10}));
  EXPECT_TRUE(flat(afterDraws(0, RgbBytes{0, 250, 0}), {0, 250, 0}));
  EXPECT_TRUE(flat(afterDraws(0, RgbBytes{9, 8, 7}, white, NoiseLayer(0, 1.5, 2)), {9, 8, 7}));
  const NoiseTexture one = afterDraws(0, RgbBytes{0, 0, 255}, white, NoiseLayer(1, 1.5, 1));
  EXPECT_EQ(fnv1a(one.pixels), 0x28807cdbu);
  EXPECT_EQ(one.frequency, 2.0);  // lacunarity 1 keeps every octave at frequency 2
  // The third start-up texture, after two flat ones.
  const NoiseTexture third = afterDraws(512, RgbBytes{50, 46, 14}, RgbBytes{235, 221, 61}, white, NoiseLayer(2, 1.5, 2),
                                        NoiseLayer(3, 2.5, 6));
  EXPECT_EQ(fnv1a(third.pixels), 0x4f3f7d8fu);
  EXPECT_EQ(third.frequency, 177.0);  // lacunarity 6: 12, 72, 432 mod 255
  // Six equal octaves of about 50 each pass 255: the sum wraps, so the average comes out small.
  EXPECT_EQ(fnv1a(afterDraws(0, RgbBytes{10, 20, 30}, RgbBytes{0, 0, 0}, NoiseLayer(6, 1.0, 1)).pixels), 0xb391df1du);
}

// Equal list lengths, unit normals, indices in range, every triangle counter-clockwise seen from
// outside (its face normal points the way of its vertices' normals); returns the surface area.
float soundMeshArea(const GeometryData& d, size_t vertices, size_t indices) {
  EXPECT_TRUE(d.positions.size() == vertices && d.normals.size() == vertices && d.uvs.size() == vertices);
  EXPECT_EQ(d.indices.size(), indices);
  for (const glm::vec3& n : d.normals) EXPECT_NEAR(glm::length(n), 1.0f, 1e-5f);
  float area = 0;
  for (size_t t = 0; t + 2 < d.indices.size(); t += 3) {
    const unsigned a = d.indices[t], b = d.indices[t + 1], c = d.indices[t + 2];
    if (std::max({a, b, c}) >= d.positions.size()) return ADD_FAILURE() << "index out of range", 0.0f;
    const glm::vec3 face = glm::cross(d.positions[b] - d.positions[a], d.positions[c] - d.positions[a]);
    EXPECT_GT(glm::dot(face, d.normals[a] + d.normals[b] + d.normals[c]), 0.0f) << "triangle " << t / 3;
    area += glm::length(face) / 2;
  }
  return area;
}

TEST(GeometryGenerators, EveryShapeCoversItsWholeSurfaceFacingOutward) {
  const GeometryData box = createBoxGeometry(2, 4, 6), ramp = createRampGeometry(2, 10, 6),
                     frustum = createFrustumGeometry(4, 2, 2, 8, 4), grid = createGridGeometry(10, 10);
  EXPECT_NEAR(soundMeshArea(box, 36, 36), 2 * (8 + 12 + 24), 1e-3f);
  EXPECT_NEAR(soundMeshArea(createIndexedBoxGeometry(2, 4, 6), 24, 36), 2 * (8 + 12 + 24), 1e-3f);
  for (const GeometryData* d : {&box, &grid})
    for (size_t i = 0; i < d->indices.size(); ++i) ASSERT_EQ(d->indices[i], i) << "drawn in order";
  for (const glm::vec3& p : box.positions) EXPECT_EQ(glm::abs(p), glm::vec3(1, 2, 3));
  EXPECT_EQ(box.uvs[2], glm::vec2(1, 1));
  // The ramp's slope: back edge at the top, front edge at 0.001 of the height.
  soundMeshArea(ramp, 36, 36);
  for (int v = 30; v < 36; ++v)
    EXPECT_TRUE(std::abs(ramp.positions[v].y - (ramp.positions[v].z > 0 ? 0.01f : 5.0f)) < 1e-5f &&
                ramp.normals[v] == glm::vec3(0, 1, 0));
  soundMeshArea(frustum, 36, 36);
  for (const glm::vec3& p : frustum.positions)
    EXPECT_TRUE(std::abs(p.x) == (p.y < 0 ? 2.0f : 1.0f) && std::abs(p.z) == (p.y < 0 ? 4.0f : 2.0f));
  // The grid: half-unit cells over its area; partial cells count whole, no area gives nothing.
  EXPECT_NEAR(soundMeshArea(grid, 2400, 2400), 100.0f, 1e-3f);
  for (const glm::vec3& p : grid.positions) EXPECT_TRUE(p.y == 0 && std::abs(p.x) <= 5 && std::abs(p.z) <= 5);
  EXPECT_TRUE(grid.positions[0] == glm::vec3(-5, 0, -4.5f) && grid.uvs[0] == glm::vec2(0, 0.1f));
  EXPECT_EQ(createGridGeometry(3, 1.2f).positions.size(), 6u * 6 * 3);
  EXPECT_TRUE(createGridGeometry(0, 5).positions.empty() && createGridGeometry(5, -1).positions.empty());
  // Round shapes close on their first segment: no gap in their area.
  const float step = 2 * 3.14159265f / 32;
  EXPECT_NEAR(soundMeshArea(createCylinderGeometry(32, 3, 1), 130, 384), 32 * (std::sin(step) + 6 * std::sin(step / 2)),
              1e-3f);
  EXPECT_NEAR(soundMeshArea(createSphereGeometry(64, 32, 1), 1986, 11904), 4 * 3.14159265f, 0.05f);
  for (const glm::vec3& p : createSphereGeometry(64, 32, 1).positions) EXPECT_NEAR(glm::length(p), 1.0f, 1e-5f);
  soundMeshArea(createSphereGeometry(8, 1, 1), 2, 0);  // no ring to hang the caps on
  // A zero radius must not divide its way to NaN normals.
  for (const glm::vec3& n : createCylinderGeometry(4, 1, 0).normals) EXPECT_NEAR(glm::length(n), 1.0f, 1e-5f);
}

}  // namespace
