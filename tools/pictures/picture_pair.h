#pragma once
// Pictures of the game as files, and what sets two of them side by side: the earlier picture on
// the left, the new one on the right, with how far apart they are. No GL here, so the suite can
// check it without a context.
#include <array>
#include <string>
#include <vector>

// 8-bit RGB, top row first, as a PNG file holds it.
struct Picture {
  int width = 0;  // pixels
  int height = 0;
  std::vector<unsigned char> rgb;  // 3 bytes a pixel

  bool empty() const { return width <= 0 || height <= 0 || rgb.empty(); }
  const unsigned char* at(int x, int y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
};

// GL reads rows bottom first; PNG files and people read them top first.
Picture pictureFromBottomRows(int width, int height, const std::vector<unsigned char>& bottomFirstRgb);

// False (and a message naming the file) when the file cannot be written.
bool writePicture(const std::string& path, const Picture& picture);
// Any PNG, as RGB (alpha dropped, grey spread); an empty picture when missing or unreadable.
Picture readPicture(const std::string& path);

struct PictureDifference {
  bool comparable = false;               // same width and height, neither empty
  long long pixels = 0;                  // pixels compared
  long long differingPixels = 0;         // pixels with any channel apart
  std::array<double, 3> meanAbsolute{};  // red, green, blue: channel steps (0 to 255) averaged over all pixels
};

PictureDifference comparePictures(const Picture& earlier, const Picture& later);

// Columns of plain white between the two halves: where two similar pictures meet without one,
// the eye cannot tell where the first ends.
constexpr int kBesideGap = 8;  // pixels

// The left picture, the gap, then the right one, top aligned; a shorter one is padded with white
// below. Either may be empty.
Picture besideEachOther(const Picture& left, const Picture& right);
