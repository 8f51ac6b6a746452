// The side-by-side pictures of kellvane-pictures: rows turned the right way up, the two halves
// where they belong, and difference figures that count pixels, not bytes.
#include "tools/pictures/picture_pair.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

// Every pixel one colour.
Picture plain(int width, int height, unsigned char r, unsigned char g, unsigned char b) {
  Picture picture;
  picture.width = width;
  picture.height = height;
  for (int i = 0; i < width * height; ++i) picture.rgb.insert(picture.rgb.end(), {r, g, b});
  return picture;
}

unsigned char* pixel(Picture& picture, int x, int y) { return &picture.rgb[(y * picture.width + x) * 3]; }

TEST(PicturePair, ReadBackRowsComeTopFirstAndAShortBufferGivesNothing) {
  // Three rows of two pixels, bottom row first as GL reads them; each row's bytes tell its index.
  std::vector<unsigned char> rows;
  for (int row = 0; row < 3; ++row)
    for (int b = 0; b < 6; ++b) rows.push_back(static_cast<unsigned char>(row * 10 + b));
  const Picture picture = pictureFromBottomRows(2, 3, rows);
  ASSERT_EQ(picture.width, 2);
  ASSERT_EQ(picture.height, 3);
  EXPECT_EQ(picture.at(0, 0)[0], 20) << "the top row is the last one read";
  EXPECT_EQ(picture.at(1, 0)[2], 25);
  EXPECT_EQ(picture.at(0, 1)[0], 10);
  EXPECT_EQ(picture.at(1, 2)[2], 5) << "the bottom row is the first one read";

  rows.pop_back();
  EXPECT_TRUE(pictureFromBottomRows(2, 3, rows).empty());
}

TEST(PicturePair, DifferenceCountsPixelsApartAndAveragesEachChannelOverAllPixels) {
  const Picture earlier = plain(4, 2, 100, 100, 100);
  Picture later = earlier;
  const PictureDifference same = comparePictures(earlier, later);
  ASSERT_TRUE(same.comparable);
  EXPECT_EQ(same.pixels, 8);
  EXPECT_EQ(same.differingPixels, 0);
  EXPECT_EQ(same.meanAbsolute[0] + same.meanAbsolute[1] + same.meanAbsolute[2], 0.0);

  // Two channels of one pixel count it once; a darker channel counts as much as a brighter one.
  pixel(later, 1, 0)[0] = 110;
  pixel(later, 1, 0)[1] = 96;
  pixel(later, 3, 1)[2] = 0;
  const PictureDifference apart = comparePictures(earlier, later);
  EXPECT_EQ(apart.differingPixels, 2);
  EXPECT_DOUBLE_EQ(apart.meanAbsolute[0], 10.0 / 8.0);
  EXPECT_DOUBLE_EQ(apart.meanAbsolute[1], 4.0 / 8.0);
  EXPECT_DOUBLE_EQ(apart.meanAbsolute[2], 100.0 / 8.0);
  const PictureDifference reversed = comparePictures(later, earlier);
  EXPECT_EQ(reversed.differingPixels, 2);
  EXPECT_DOUBLE_EQ(reversed.meanAbsolute[2], 100.0 / 8.0);

  EXPECT_FALSE(comparePictures(earlier, plain(2, 4, 100, 100, 100)).comparable) << "same pixel count, other shape";
  EXPECT_FALSE(comparePictures(Picture(), Picture()).comparable);
}

TEST(PicturePair, TheEarlierPictureGoesLeftTheGapIsWhiteAndAShorterHalfIsPaddedBelow) {
  const Picture left = plain(2, 2, 200, 0, 0);
  const Picture right = plain(3, 1, 0, 0, 200);
  Picture joined = besideEachOther(left, right);
  ASSERT_EQ(joined.width, 2 + kBesideGap + 3);
  ASSERT_EQ(joined.height, 2);
  for (int y = 0; y < 2; ++y) {
    EXPECT_EQ(pixel(joined, 0, y)[0], 200);
    EXPECT_EQ(pixel(joined, 1, y)[2], 0);
    EXPECT_EQ(pixel(joined, 2, y)[1], 255) << "the gap's first column";
    EXPECT_EQ(pixel(joined, 1 + kBesideGap, y)[0], 255) << "the gap's last column";
  }
  EXPECT_EQ(pixel(joined, 2 + kBesideGap, 0)[2], 200);
  EXPECT_EQ(pixel(joined, 4 + kBesideGap, 0)[0], 0);
  EXPECT_EQ(pixel(joined, 4 + kBesideGap, 1)[0], 255) << "below the shorter right half";
}

TEST(PicturePair, FilesReadBackAsWrittenAndWhatCannotBeReadIsEmpty) {
  const std::filesystem::path dir = std::filesystem::path(::testing::TempDir()) / "picture-pair";
  std::filesystem::create_directories(dir);
  Picture picture = plain(5, 3, 1, 2, 3);
  pixel(picture, 4, 2)[1] = 250;  // one odd pixel, so that a flip or a shift would show
  ASSERT_TRUE(writePicture((dir / "a.png").string(), picture));
  const Picture back = readPicture((dir / "a.png").string());
  EXPECT_EQ(back.width, 5);
  EXPECT_EQ(back.height, 3);
  EXPECT_EQ(back.rgb, picture.rgb);

  EXPECT_TRUE(readPicture((dir / "missing.png").string()).empty());
  EXPECT_FALSE(writePicture((dir / "no-such-folder" / "a.png").string(), picture));
  EXPECT_FALSE(writePicture((dir / "b.png").string(), Picture()));
  std::filesystem::remove_all(dir);
}

}  // namespace
