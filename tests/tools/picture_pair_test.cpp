// The side-by-side pictures of kellvane-pictures: rows turned the right way up, the two halves
// where they belong, and difference figures that count pixels, not bytes.
#include "tools/pictures/picture_pair.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

// Every pixel one colour.
Picture plain(int width, int height, unsigned char r, unsigned char g, unsigned char b) {
  Picture picture{width, height, {}};
  for (int i = 0; i < width * height; ++i) picture.rgb.insert(picture.rgb.end(), {r, g, b});
  return picture;
}

unsigned char* pixel(Picture& picture, int x, int y) { return &picture.rgb[(y * picture.width + x) * 3]; }

TEST(PicturePair, ReadBackRowsComeTopFirstAndAShortBufferGivesNothing) {
  // Three rows of two pixels, bottom row first as GL reads them; each row's bytes tell its index.
  std::vector<unsigned char> rows;
  for (int i = 0; i < 18; ++i) rows.push_back(static_cast<unsigned char>(i / 6 * 10 + i % 6));
  const Picture picture = pictureFromBottomRows(2, 3, rows);
  ASSERT_TRUE(picture.width == 2 && picture.height == 3);
  EXPECT_EQ(std::vector<int>({picture.at(0, 0)[0], picture.at(1, 0)[2], picture.at(0, 1)[0], picture.at(1, 2)[2]}),
            std::vector<int>({20, 25, 10, 5}));
  rows.pop_back();
  EXPECT_TRUE(pictureFromBottomRows(2, 3, rows).empty());
}

TEST(PicturePair, DifferenceCountsPixelsApartAndAveragesEachChannelOverAllPixels) {
  const Picture earlier = plain(4, 2, 100, 100, 100);
  Picture later = earlier;
  const PictureDifference same = comparePictures(earlier, later);
  EXPECT_TRUE(same.comparable && same.pixels == 8 && same.differingPixels == 0);
  EXPECT_EQ(same.meanAbsolute, (std::array<double, 3>{0, 0, 0}));
  // Two channels of one pixel count it once; a darker channel counts as much as a brighter one.
  pixel(later, 1, 0)[0] = 110;
  pixel(later, 1, 0)[1] = 96;
  pixel(later, 3, 1)[2] = 0;
  for (const PictureDifference& apart : {comparePictures(earlier, later), comparePictures(later, earlier)}) {
    EXPECT_EQ(apart.differingPixels, 2);
    EXPECT_EQ(apart.meanAbsolute, (std::array<double, 3>{10.0 / 8, 4.0 / 8, 100.0 / 8}));
  }
  EXPECT_FALSE(comparePictures(earlier, plain(2, 4, 100, 100, 100)).comparable) << "same pixel count, other shape";
  EXPECT_FALSE(comparePictures(Picture(), Picture()).comparable);
}

TEST(PicturePair, TheEarlierPictureGoesLeftTheGapIsWhiteAndAShorterHalfIsPaddedBelow) {
  Picture joined = besideEachOther(plain(2, 2, 200, 0, 0), plain(3, 1, 0, 0, 200));
  ASSERT_TRUE(joined.width == 2 + kBesideGap + 3 && joined.height == 2);
  for (int y = 0; y < 2; ++y)
    EXPECT_EQ(std::vector<int>({pixel(joined, 0, y)[0], pixel(joined, 1, y)[2], pixel(joined, 2, y)[1],
                                pixel(joined, 1 + kBesideGap, y)[0]}),
              std::vector<int>({200, 0, 255, 255}))
        << "left half, then the gap's first and last columns, row " << y;
  EXPECT_EQ(std::vector<int>({pixel(joined, 2 + kBesideGap, 0)[2], pixel(joined, 4 + kBesideGap, 0)[0],
                              pixel(joined, 4 + kBesideGap, 1)[0]}),
            std::vector<int>({200, 0, 255}))
      << "the right half, white below it";
}

TEST(PicturePair, FilesReadBackAsWrittenAndWhatCannotBeReadIsEmpty) {
  const std::filesystem::path dir = std::filesystem::path(::testing::TempDir()) / "picture-pair";
  std::filesystem::create_directories(dir);
  Picture picture = plain(5, 3, 1, 2, 3);
  pixel(picture, 4, 2)[1] = 250;  // one odd pixel, so that a flip or a shift would show
  ASSERT_TRUE(writePicture((dir / "a.png").string(), picture));
  const Picture back = readPicture((dir / "a.png").string());
  EXPECT_TRUE(back.width == 5 && back.height == 3 && back.rgb == picture.rgb);
  EXPECT_TRUE(readPicture((dir / "missing.png").string()).empty());
  EXPECT_FALSE(writePicture((dir / "no-such-folder" / "a.png").string(), picture));
  EXPECT_FALSE(writePicture((dir / "b.png").string(), Picture()));
  std::filesystem::remove_all(dir);
}

}  // namespace
