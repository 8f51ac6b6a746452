#include "tools/baker/image.h"

#include <stb_image.h>
#include <stb_image_write.h>

#include <algorithm>
#include <cstdio>
// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>
#include <cmath>
#include <iostream>

Image::Image(int width, int height, int channels)
    : width(width), height(height), channels(channels), bytes(static_cast<size_t>(width) * height * channels, 0) {}

void Image::setPixel(int x, int y, float r, float g, float b, float a) {
  const float values[4] = {r, g, b, a};
  std::uint8_t* p = at(x, y);
  for (int c = 0; c < channels; ++c) {
    p[c] = static_cast<std::uint8_t>(std::lround(clamp01(values[c]) * 255.0));
  }
}

bool writePng(const std::string& path, const Image& image) {
  if (stbi_write_png(path.c_str(), image.width, image.height, image.channels, image.bytes.data(),
                     image.width * image.channels) == 0) {
    std::cout << "kellvane-assets: could not write " << path << std::endl;
    return false;
  }
  return true;
}

// libjpeg rather than stb: stb always writes three colour channels, and the grey specular maps
// are meant to be true one-channel JPEG files.
bool writeJpg(const std::string& path, const Image& image, int quality) {
  if (image.channels != 1 && image.channels != 3) {
    std::cout << "kellvane-assets: a JPEG holds 1 or 3 channels, not " << image.channels << ": " << path << std::endl;
    return false;
  }
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    std::cout << "kellvane-assets: could not write " << path << std::endl;
    return false;
  }
  jpeg_compress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  jpeg_stdio_dest(&info, file);
  info.image_width = static_cast<JDIMENSION>(image.width);
  info.image_height = static_cast<JDIMENSION>(image.height);
  info.input_components = image.channels;
  info.in_color_space = image.channels == 1 ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  const int stride = image.width * image.channels;
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(image.bytes.data() + static_cast<size_t>(info.next_scanline) * stride);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  const bool written = std::fclose(file) == 0;
  if (!written) std::cout << "kellvane-assets: could not write " << path << std::endl;
  return written;
}

Image readImageFile(const std::string& path) {
  int w = 0, h = 0, n = 0;
  unsigned char* data = stbi_load(path.c_str(), &w, &h, &n, 0);
  if (!data) return Image();
  Image image(w, h, n);
  std::copy(data, data + image.bytes.size(), image.bytes.begin());
  stbi_image_free(data);
  return image;
}

double hash01(int x, int y, int z, std::uint32_t seed) {
  std::uint32_t h = seed * 0x9E3779B9u;
  h ^= static_cast<std::uint32_t>(x) * 0x85EBCA6Bu;
  h = (h << 13) | (h >> 19);
  h ^= static_cast<std::uint32_t>(y) * 0xC2B2AE35u;
  h = (h << 17) | (h >> 15);
  h ^= static_cast<std::uint32_t>(z) * 0x27D4EB2Fu;
  h ^= h >> 16;
  h *= 0x7FEB352Du;
  h ^= h >> 15;
  h *= 0x846CA68Bu;
  h ^= h >> 16;
  return (h & 0xFFFFFFu) / double(0xFFFFFF);
}

double valueNoise3(double x, double y, double z, std::uint32_t seed) {
  const int xi = static_cast<int>(std::floor(x)), yi = static_cast<int>(std::floor(y)),
            zi = static_cast<int>(std::floor(z));
  auto smooth = [](double t) { return t * t * (3 - 2 * t); };
  const double u = smooth(x - xi), v = smooth(y - yi), w = smooth(z - zi);
  double corners[2][2][2];
  for (int dz = 0; dz < 2; ++dz)
    for (int dy = 0; dy < 2; ++dy)
      for (int dx = 0; dx < 2; ++dx) corners[dz][dy][dx] = hash01(xi + dx, yi + dy, zi + dz, seed);
  auto plane = [&](int dz) {
    return mix(mix(corners[dz][0][0], corners[dz][0][1], u), mix(corners[dz][1][0], corners[dz][1][1], u), v);
  };
  return mix(plane(0), plane(1), w);
}

double fbm3(double x, double y, double z, int octaves, std::uint32_t seed) {
  double sum = 0, weight = 0.5, total = 0;
  for (int o = 0; o < octaves; ++o) {
    sum += weight * valueNoise3(x, y, z, seed + static_cast<std::uint32_t>(o) * 101u);
    total += weight;
    x *= 2.03;
    y *= 2.03;
    z *= 2.03;
    weight *= 0.5;
  }
  return sum / total;
}

double periodicNoise2(double x, double y, int period, std::uint32_t seed) {
  const int xi = static_cast<int>(std::floor(x)), yi = static_cast<int>(std::floor(y));
  auto smooth = [](double t) { return t * t * (3 - 2 * t); };
  const double u = smooth(x - xi), v = smooth(y - yi);
  auto wrap = [period](int i) { return ((i % period) + period) % period; };
  auto corner = [&](int dx, int dy) { return hash01(wrap(xi + dx), wrap(yi + dy), 0, seed); };
  return mix(mix(corner(0, 0), corner(1, 0), u), mix(corner(0, 1), corner(1, 1), u), v);
}

double periodicFbm2(double x, double y, int period, int octaves, std::uint32_t seed) {
  double sum = 0, weight = 0.5, total = 0;
  for (int o = 0; o < octaves; ++o) {
    sum += weight * periodicNoise2(x, y, period, seed + static_cast<std::uint32_t>(o) * 101u);
    total += weight;
    x *= 2;
    y *= 2;
    period *= 2;
    weight *= 0.5;
  }
  return sum / total;
}

double clamp01(double v) { return std::min(1.0, std::max(0.0, v)); }

double smoothStep(double edge0, double edge1, double v) {
  const double t = clamp01((v - edge0) / (edge1 - edge0));
  return t * t * (3 - 2 * t);
}

double mix(double a, double b, double t) { return a + (b - a) * t; }
