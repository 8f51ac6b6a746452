#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "render/noise_texture.h"
#include "render/random.h"

namespace {

std::uint32_t fnv1a(const std::vector<std::uint8_t>& bytes) {
  std::uint32_t h = 2166136261u;
  for (std::uint8_t b : bytes) h = (h ^ b) * 16777619u;
  return h;
}

RgbBytes pixelAt(const NoiseTexture& t, int x, int y) {
  const size_t i = 3 * (256 * static_cast<size_t>(y) + x);
  return {t.pixels[i], t.pixels[i + 1], t.pixels[i + 2]};
}

std::uint32_t stateAfterDraws(int draws) {
  resetRandomForTests();
  for (int i = 0; i < draws; ++i) nextRandom();
  return randomState();
}

TEST(NoiseTexture, FlatGeneratorsFillOneColourAndTakeOneHashTable) {
  resetRandomForTests();
  NoiseTexture plain;
  EXPECT_EQ(plain.size, 256);
  EXPECT_EQ(plain.frequency, 10.0);
  ASSERT_EQ(plain.pixels.size(), 256u * 256u * 3u);
  for (int i = 0; i < 256 * 256; ++i) ASSERT_EQ(pixelAt(plain, i % 256, i / 256), (RgbBytes{255, 10, 10})) << i;

  NoiseTexture green(RgbBytes{0, 250, 0});
  for (int i = 0; i < 256 * 256; ++i) ASSERT_EQ(pixelAt(green, i % 256, i / 256), (RgbBytes{0, 250, 0})) << i;
  EXPECT_EQ(randomState(), stateAfterDraws(512));
}

TEST(NoiseTexture, HashTableCopyIsShiftedBy255) {
  resetRandomForTests();
  std::array<int, 256> draws{};
  for (int& d : draws) d = nextRandom() % 255;
  resetRandomForTests();
  NoiseTexture t;
  for (int i = 0; i < 255; ++i) EXPECT_EQ(t.perm[i], draws[i]) << i;
  EXPECT_EQ(t.perm[255], draws[255]);
  for (int i = 256; i <= 510; ++i) EXPECT_EQ(t.perm[i], draws[i - 255]) << i;
  EXPECT_EQ(t.perm[511], 0);
  for (int i = 0; i < 511; ++i) EXPECT_LE(t.perm[i], 254);
}

TEST(NoiseTexture, EveryConstructorTakes256Draws) {
  const NoiseLayer a(2, 1.5, 2), b(3, 2.5, 6);
  resetRandomForTests();
  NoiseTexture one(RgbBytes{0, 0, 255}, RgbBytes{255, 255, 255}, NoiseLayer(1, 1.5, 1));
  EXPECT_EQ(randomState(), stateAfterDraws(256));
  resetRandomForTests();
  NoiseTexture two(RgbBytes{50, 46, 14}, RgbBytes{235, 221, 61}, RgbBytes{255, 255, 255}, a, b);
  EXPECT_EQ(randomState(), stateAfterDraws(256));
}

// Reference values from a separate transcription of the algorithm (double arithmetic in the
// same operation order); any change of order, rounding or table layout changes them.
TEST(NoiseTexture, OneLayerMatchesTheReference) {
  resetRandomForTests();
  NoiseTexture t(RgbBytes{0, 0, 255}, RgbBytes{255, 255, 255}, NoiseLayer(1, 1.5, 1));
  EXPECT_EQ(fnv1a(t.pixels), 0x28807cdbu);
  EXPECT_EQ(pixelAt(t, 0, 0), (RgbBytes{76, 76, 203}));
  EXPECT_EQ(pixelAt(t, 37, 100), (RgbBytes{73, 73, 200}));
  EXPECT_EQ(t.frequency, 2.0);  // lacunarity 1 keeps every octave at frequency 2
}

TEST(NoiseTexture, StartUpNoiseThreeMatchesTheReference) {
  resetRandomForTests();
  NoiseTexture first;
  NoiseTexture second(RgbBytes{1, 1, 1});
  NoiseTexture third(RgbBytes{50, 46, 14}, RgbBytes{235, 221, 61}, RgbBytes{255, 255, 255}, NoiseLayer(2, 1.5, 2),
                     NoiseLayer(3, 2.5, 6));
  EXPECT_EQ(fnv1a(third.pixels), 0x4f3f7d8fu);
  EXPECT_EQ(pixelAt(third, 0, 0), (RgbBytes{124, 121, 93}));
  EXPECT_EQ(pixelAt(third, 13, 200), (RgbBytes{123, 120, 92}));
  EXPECT_EQ(pixelAt(third, 255, 255), (RgbBytes{121, 119, 91}));
  EXPECT_EQ(third.frequency, 177.0);  // lacunarity 6: 12, 72, 432 mod 255
}

TEST(NoiseTexture, OctaveSumWrapsBeforeTheAverage) {
  // Six equal octaves of about 50 each pass 255: the sum wraps, so the average comes out small.
  resetRandomForTests();
  NoiseTexture t(RgbBytes{10, 20, 30}, RgbBytes{0, 0, 0}, NoiseLayer(6, 1.0, 1));
  EXPECT_EQ(fnv1a(t.pixels), 0xb391df1du);
  EXPECT_EQ(pixelAt(t, 0, 0), (RgbBytes{6, 11, 16}));
  EXPECT_EQ(pixelAt(t, 64, 64), (RgbBytes{14, 19, 24}));
}

TEST(NoiseTexture, TwoRunsGiveIdenticalBytes) {
  auto build = [] {
    resetRandomForTests();
    NoiseTexture skipped;
    return NoiseTexture(RgbBytes{198, 226, 255}, RgbBytes{235, 221, 61}, RgbBytes{205, 205, 205}, NoiseLayer(2, 1.5, 2),
                        NoiseLayer(3, 2.5, 6))
        .pixels;
  };
  const std::vector<std::uint8_t> first = build();
  EXPECT_EQ(build(), first);
}

TEST(NoiseTexture, NoiseIsHalfwayOnLatticePointsAndBounded) {
  resetRandomForTests();
  NoiseTexture t;
  t.frequency = 2.0;  // lattice points every 128 pixels
  EXPECT_DOUBLE_EQ(t.noise(0, 0, 0), 50.0);
  EXPECT_DOUBLE_EQ(t.noise(128, 0, 0), 50.0);
  EXPECT_DOUBLE_EQ(t.noise(128, 128, 0), 50.0);
  t.frequency = 177.0;
  double lo = 100, hi = 0;
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x) {
      const double n = t.noise(y, x, 0);
      lo = std::min(lo, n);
      hi = std::max(hi, n);
    }
  EXPECT_GE(lo, -10.0);
  EXPECT_LE(hi, 110.0);
  EXPECT_GT(hi - lo, 50.0);  // it does vary
}

TEST(NoiseTexture, LayerWithoutOctavesLeavesTheFill) {
  resetRandomForTests();
  NoiseTexture t(RgbBytes{9, 8, 7}, RgbBytes{255, 255, 255}, NoiseLayer(0, 1.5, 2));
  for (int i = 0; i < 256 * 256; ++i) ASSERT_EQ(pixelAt(t, i % 256, i / 256), (RgbBytes{9, 8, 7})) << i;
}

}  // namespace
