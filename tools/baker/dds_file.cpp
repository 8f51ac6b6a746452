#include "tools/baker/dds_file.h"

#include <stb_dxt.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

namespace {

constexpr std::uint32_t kHeaderSize = 124;
constexpr std::uint32_t kPixelFormatSize = 32;
// Header flags: caps, height, width, pixel format, mipmap count, linear size.
constexpr std::uint32_t kHeaderFlags = 0x1 | 0x2 | 0x4 | 0x1000 | 0x20000 | 0x80000;
constexpr std::uint32_t kPixelFormatFourCc = 0x4;
// Caps: complex (has mipmaps), texture, mipmap.
constexpr std::uint32_t kCaps = 0x8 | 0x1000 | 0x400000;

void putU32(std::vector<std::uint8_t>& out, size_t offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t getU32(const std::vector<std::uint8_t>& in, size_t offset) {
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(in[offset + i]) << (8 * i);
  return v;
}

std::uint32_t blockBytes(DxtFormat format) { return format == DxtFormat::dxt1 ? 8u : 16u; }

// Half size, averaging 2 x 2 pixels; a side of 1 stays 1.
Image halve(const Image& src) {
  Image dst(std::max(1, src.width / 2), std::max(1, src.height / 2), src.channels);
  for (int y = 0; y < dst.height; ++y) {
    for (int x = 0; x < dst.width; ++x) {
      for (int c = 0; c < src.channels; ++c) {
        int sum = 0;
        for (int dy = 0; dy < 2; ++dy)
          for (int dx = 0; dx < 2; ++dx)
            sum += src.at(std::min(2 * x + dx, src.width - 1), std::min(2 * y + dy, src.height - 1))[c];
        dst.at(x, y)[c] = static_cast<std::uint8_t>((sum + 2) / 4);
      }
    }
  }
  return dst;
}

void compressLevel(const Image& level, DxtFormat format, std::vector<std::uint8_t>& out) {
  const int bw = (level.width + 3) / 4, bh = (level.height + 3) / 4;
  for (int by = 0; by < bh; ++by) {
    for (int bx = 0; bx < bw; ++bx) {
      // Levels smaller than a block repeat their edge pixels to fill it.
      std::uint8_t block[64];
      for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
          std::memcpy(&block[(y * 4 + x) * 4],
                      level.at(std::min(bx * 4 + x, level.width - 1), std::min(by * 4 + y, level.height - 1)), 4);
      std::uint8_t packed[16];
      if (format == DxtFormat::dxt3) {
        // Explicit alpha: 4 bits per pixel, rounded, low nibble first.
        for (int i = 0; i < 8; ++i) {
          const int a0 = (block[(2 * i) * 4 + 3] * 15 + 127) / 255;
          const int a1 = (block[(2 * i + 1) * 4 + 3] * 15 + 127) / 255;
          packed[i] = static_cast<std::uint8_t>(a0 | (a1 << 4));
        }
        stb_compress_dxt_block(packed + 8, block, 0, STB_DXT_HIGHQUAL);
      } else {
        stb_compress_dxt_block(packed, block, format == DxtFormat::dxt5 ? 1 : 0, STB_DXT_HIGHQUAL);
      }
      out.insert(out.end(), packed, packed + blockBytes(format));
    }
  }
}

void decodeColourBlock(const std::uint8_t* b, bool opaqueFourColour, std::uint8_t rgba[16][4]) {
  const int c0 = b[0] | (b[1] << 8), c1 = b[2] | (b[3] << 8);
  int palette[4][4];
  auto expand = [](int c, int* p) {
    p[0] = ((c >> 11) & 31) * 255 / 31;
    p[1] = ((c >> 5) & 63) * 255 / 63;
    p[2] = (c & 31) * 255 / 31;
    p[3] = 255;
  };
  expand(c0, palette[0]);
  expand(c1, palette[1]);
  const bool fourColour = opaqueFourColour || c0 > c1;
  for (int i = 0; i < 3; ++i) {
    palette[2][i] = fourColour ? (2 * palette[0][i] + palette[1][i]) / 3 : (palette[0][i] + palette[1][i]) / 2;
    palette[3][i] = fourColour ? (palette[0][i] + 2 * palette[1][i]) / 3 : 0;
  }
  palette[2][3] = 255;
  palette[3][3] = fourColour ? 255 : 0;
  const std::uint32_t bits = b[4] | (b[5] << 8) | (b[6] << 16) | (static_cast<std::uint32_t>(b[7]) << 24);
  for (int i = 0; i < 16; ++i)
    for (int c = 0; c < 4; ++c) rgba[i][c] = static_cast<std::uint8_t>(palette[(bits >> (2 * i)) & 3][c]);
}

void decodeDxt5Alpha(const std::uint8_t* b, std::uint8_t rgba[16][4]) {
  int a[8] = {b[0], b[1]};
  for (int i = 2; i < 8; ++i)
    a[i] = a[0] > a[1] ? ((8 - i) * a[0] + (i - 1) * a[1]) / 7
                       : (i < 6 ? ((6 - i) * a[0] + (i - 1) * a[1]) / 5 : (i == 6 ? 0 : 255));
  std::uint64_t bits = 0;
  for (int i = 0; i < 6; ++i) bits |= static_cast<std::uint64_t>(b[2 + i]) << (8 * i);
  for (int i = 0; i < 16; ++i) rgba[i][3] = static_cast<std::uint8_t>(a[(bits >> (3 * i)) & 7]);
}

}  // namespace

bool writeDds(const std::string& path, const Image& rgba, DxtFormat format) {
  if (rgba.channels != 4 || rgba.width % 4 != 0 || rgba.height % 4 != 0) {
    std::cout << "kellvane-assets: " << path << " needs an RGBA image of whole 4 x 4 blocks" << std::endl;
    return false;
  }
  std::vector<std::uint8_t> blocks;
  Image level = rgba;
  std::uint32_t levels = 0;
  for (;;) {
    compressLevel(level, format, blocks);
    ++levels;
    if (level.width == 1 && level.height == 1) break;
    level = halve(level);
  }

  std::vector<std::uint8_t> header(4 + kHeaderSize, 0);
  std::memcpy(header.data(), "DDS ", 4);
  putU32(header, 4, kHeaderSize);
  putU32(header, 8, kHeaderFlags);
  putU32(header, 12, static_cast<std::uint32_t>(rgba.height));
  putU32(header, 16, static_cast<std::uint32_t>(rgba.width));
  // Linear size: the bytes of the top level, which is all the game's reader takes.
  putU32(header, 20, static_cast<std::uint32_t>((rgba.width / 4) * (rgba.height / 4)) * blockBytes(format));
  putU32(header, 28, levels);
  putU32(header, 76, kPixelFormatSize);
  putU32(header, 80, kPixelFormatFourCc);
  const char* fourCc = format == DxtFormat::dxt1 ? "DXT1" : format == DxtFormat::dxt3 ? "DXT3" : "DXT5";
  std::memcpy(&header[84], fourCc, 4);
  putU32(header, 108, kCaps);

  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(header.data()), static_cast<std::streamsize>(header.size()));
  file.write(reinterpret_cast<const char*>(blocks.data()), static_cast<std::streamsize>(blocks.size()));
  if (!file) {
    std::cout << "kellvane-assets: could not write " << path << std::endl;
    return false;
  }
  return true;
}

Image readDdsTopLevel(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::vector<std::uint8_t> data((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (data.size() < 128 || std::memcmp(data.data(), "DDS ", 4) != 0) return Image();
  const int height = static_cast<int>(getU32(data, 12)), width = static_cast<int>(getU32(data, 16));
  const std::string fourCc(reinterpret_cast<const char*>(&data[84]), 4);
  if (fourCc != "DXT1" && fourCc != "DXT3" && fourCc != "DXT5") return Image();
  const size_t block = fourCc == "DXT1" ? 8 : 16;
  const int bw = (width + 3) / 4, bh = (height + 3) / 4;
  if (width <= 0 || height <= 0 || data.size() < 128 + block * bw * bh) return Image();
  Image image(width, height, 4);
  for (int by = 0; by < bh; ++by) {
    for (int bx = 0; bx < bw; ++bx) {
      const std::uint8_t* b = &data[128 + block * (static_cast<size_t>(by) * bw + bx)];
      std::uint8_t rgba[16][4];
      decodeColourBlock(fourCc == "DXT1" ? b : b + 8, fourCc != "DXT1", rgba);
      if (fourCc == "DXT3")
        for (int i = 0; i < 16; ++i) rgba[i][3] = static_cast<std::uint8_t>(((b[i / 2] >> (4 * (i % 2))) & 15) * 17);
      if (fourCc == "DXT5") decodeDxt5Alpha(b, rgba);
      for (int i = 0; i < 16; ++i) {
        const int x = bx * 4 + i % 4, y = by * 4 + i / 4;
        if (x < width && y < height) std::memcpy(image.at(x, y), rgba[i], 4);
      }
    }
  }
  return image;
}
