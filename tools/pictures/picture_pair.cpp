#include "tools/pictures/picture_pair.h"

#include <stb_image.h>
#include <stb_image_write.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iostream>

Picture pictureFromBottomRows(int width, int height, const std::vector<unsigned char>& bottomFirstRgb) {
  Picture picture;
  const size_t rowBytes = static_cast<size_t>(std::max(width, 0)) * 3;
  if (width <= 0 || height <= 0 || bottomFirstRgb.size() < rowBytes * static_cast<size_t>(height)) return picture;
  picture.width = width;
  picture.height = height;
  picture.rgb.resize(rowBytes * static_cast<size_t>(height));
  for (int y = 0; y < height; ++y)
    std::memcpy(&picture.rgb[rowBytes * static_cast<size_t>(y)],
                &bottomFirstRgb[rowBytes * static_cast<size_t>(height - 1 - y)], rowBytes);
  return picture;
}

bool writePicture(const std::string& path, const Picture& picture) {
  if (picture.empty() ||
      stbi_write_png(path.c_str(), picture.width, picture.height, 3, picture.rgb.data(), picture.width * 3) == 0) {
    std::cout << "kellvane-pictures: could not write " << path << std::endl;
    return false;
  }
  return true;
}

Picture readPicture(const std::string& path) {
  Picture picture;
  int width = 0, height = 0, channels = 0;
  unsigned char* data = stbi_load(path.c_str(), &width, &height, &channels, 3);
  if (!data) return picture;
  picture.width = width;
  picture.height = height;
  picture.rgb.assign(data, data + static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
  stbi_image_free(data);
  return picture;
}

PictureDifference comparePictures(const Picture& earlier, const Picture& later) {
  PictureDifference difference;
  if (earlier.empty() || later.empty() || earlier.width != later.width || earlier.height != later.height)
    return difference;
  difference.comparable = true;
  difference.pixels = static_cast<long long>(earlier.width) * earlier.height;
  std::array<long long, 3> sums{};
  for (long long p = 0; p < difference.pixels; ++p) {
    bool apart = false;
    for (int c = 0; c < 3; ++c) {
      const int step = std::abs(int(earlier.rgb[p * 3 + c]) - int(later.rgb[p * 3 + c]));
      sums[c] += step;
      apart = apart || step != 0;
    }
    difference.differingPixels += apart;
  }
  for (int c = 0; c < 3; ++c)
    difference.meanAbsolute[c] = static_cast<double>(sums[c]) / static_cast<double>(difference.pixels);
  return difference;
}

Picture besideEachOther(const Picture& left, const Picture& right) {
  Picture joined;
  const int leftWidth = left.empty() ? 0 : left.width;
  const int rightWidth = right.empty() ? 0 : right.width;
  joined.width = leftWidth + kBesideGap + rightWidth;
  joined.height = std::max(left.empty() ? 0 : left.height, right.empty() ? 0 : right.height);
  if (joined.height == 0) return Picture();
  joined.rgb.assign(static_cast<size_t>(joined.width) * joined.height * 3, 255);
  auto paste = [&joined](const Picture& part, int left) {
    if (part.empty()) return;
    for (int y = 0; y < part.height; ++y)
      std::memcpy(&joined.rgb[(static_cast<size_t>(y) * joined.width + left) * 3], part.at(0, y),
                  static_cast<size_t>(part.width) * 3);
  };
  paste(left, 0);
  paste(right, leftWidth + kBesideGap);
  return joined;
}
