#include "render/random.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "render/noise_texture.h"

namespace {

TEST(Random, FirstNumbersFromStateOne) {
  resetRandomForTests();
  EXPECT_EQ(nextRandom(), 41);
  EXPECT_EQ(nextRandom(), 18467);
  EXPECT_EQ(nextRandom(), 6334);
  EXPECT_EQ(nextRandom(), 26500);
  EXPECT_EQ(nextRandom(), 19169);
}

TEST(Random, StateWrapsModulo2To32AndStaysInRange) {
  resetRandomForTests();
  std::uint64_t state = 1;  // the same recurrence, computed wide and reduced by hand
  int largest = 0;
  for (int i = 0; i < 100000; ++i) {
    state = (state * 214013u + 2531011u) % (1ull << 32);
    const int value = nextRandom();
    ASSERT_EQ(randomState(), state) << "draw " << i;
    ASSERT_EQ(value, static_cast<int>((state >> 16) & 0x7FFF)) << "draw " << i;
    largest = std::max(largest, value);
  }
  EXPECT_LE(largest, kRandomMax);
  EXPECT_GT(largest, kRandomMax - 100);  // the whole range is reached, not only the low bits
}

TEST(Random, ResetRestartsTheSequence) {
  resetRandomForTests();
  const int first = nextRandom();
  nextRandom();
  resetRandomForTests();
  EXPECT_EQ(nextRandom(), first);
}

// The noise textures, the diamond colours and the particles take turns on one generator: a
// draw taken between two noise textures changes the second one.
TEST(Random, NoiseTexturesShareTheGeneratorInCallOrder) {
  resetRandomForTests();
  NoiseTexture firstA(RgbBytes{0, 0, 255}, RgbBytes{255, 255, 255}, NoiseLayer(1, 1.5, 1));
  NoiseTexture secondA(RgbBytes{0, 0, 255}, RgbBytes{255, 255, 255}, NoiseLayer(1, 1.5, 1));

  resetRandomForTests();
  for (int i = 0; i < 256; ++i) nextRandom();
  NoiseTexture secondB(RgbBytes{0, 0, 255}, RgbBytes{255, 255, 255}, NoiseLayer(1, 1.5, 1));
  EXPECT_EQ(secondA.perm, secondB.perm);
  EXPECT_EQ(secondA.pixels, secondB.pixels);
  EXPECT_NE(firstA.pixels, secondA.pixels);

  resetRandomForTests();
  NoiseTexture firstC(RgbBytes{0, 0, 255}, RgbBytes{255, 255, 255}, NoiseLayer(1, 1.5, 1));
  nextRandom();  // someone else draws in between
  NoiseTexture secondC(RgbBytes{0, 0, 255}, RgbBytes{255, 255, 255}, NoiseLayer(1, 1.5, 1));
  EXPECT_EQ(firstA.pixels, firstC.pixels);
  EXPECT_NE(secondA.pixels, secondC.pixels);
}

}  // namespace
