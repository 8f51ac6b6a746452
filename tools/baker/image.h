#pragma once
#include <cstdint>
#include <string>
#include <vector>

// An 8-bit picture in memory: rows top to bottom, channels interleaved.
class Image {
 public:
  Image() = default;
  Image(int width, int height, int channels);

  std::uint8_t* at(int x, int y) { return &bytes[(static_cast<size_t>(y) * width + x) * channels]; }
  const std::uint8_t* at(int x, int y) const { return &bytes[(static_cast<size_t>(y) * width + x) * channels]; }
  // Sets a pixel from 0..1 values; channels beyond the image's are dropped, missing alpha is 1.
  void setPixel(int x, int y, float r, float g, float b, float a = 1.0f);

  int width = 0;
  int height = 0;
  int channels = 0;
  std::vector<std::uint8_t> bytes;
};

// Writes through stb_image_write; false (and a message) when the file cannot be written.
bool writePng(const std::string& path, const Image& image);
bool writeJpg(const std::string& path, const Image& image, int quality);
// Reads any file stb_image decodes, with its own channel count; an empty image on failure.
Image readImageFile(const std::string& path);

// Deterministic lattice noise for painting: the same numbers on every run and machine, and
// independent of the game's random generator.
double valueNoise3(double x, double y, double z, std::uint32_t seed);
// Sum of octaves of valueNoise3, each twice the frequency and half the weight; about 0..1.
double fbm3(double x, double y, double z, int octaves, std::uint32_t seed);
// Value noise on a lattice that repeats every `period` cells in x and y, for textures that tile.
double periodicNoise2(double x, double y, int period, std::uint32_t seed);
// Octaves of periodicNoise2 (each doubles frequency and period, halves weight); about 0..1.
double periodicFbm2(double x, double y, int period, int octaves, std::uint32_t seed);
// Hash of integers to 0..1.
double hash01(int x, int y, int z, std::uint32_t seed);

double clamp01(double v);
double smoothStep(double edge0, double edge1, double v);
double mix(double a, double b, double t);
