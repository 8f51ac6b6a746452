#pragma once
#include <array>
#include <cstdint>
#include <vector>

// Three bytes of colour: red, green, blue.
using RgbBytes = std::array<std::uint8_t, 3>;

// Parameters of one layer of gradient noise. The constructor takes whole octave and lacunarity
// counts and a real divisor, and keeps all three as floats.
class NoiseLayer {
 public:
  NoiseLayer(int octaves, double divisor, int lacunarity);

  float octaves;     // truncated to a whole count when the layer is applied
  float divisor;     // the amplitude is divided by this after every octave
  float lacunarity;  // the frequency is multiplied by this before every octave
};

// A 256 x 256 RGB picture: one base colour with up to two layers of improved gradient noise
// blended over it. Building one consumes exactly 256 draws of the shared random generator (the
// hash table), so the order in which generators are built decides what each one looks like.
// The bytes in pixels are what a texture is made from; no GL object is made here.
class NoiseTexture {
 public:
  // Base colour (255, 10, 10), no noise.
  NoiseTexture();
  // One flat colour.
  explicit NoiseTexture(RgbBytes base);
  // The base colour with one noise layer in layerColour.
  NoiseTexture(RgbBytes base, RgbBytes layerColour, NoiseLayer layer);
  // The base colour, a layer in colour A, then a layer in colour B.
  NoiseTexture(RgbBytes base, RgbBytes colourA, RgbBytes colourB, NoiseLayer layerA, NoiseLayer layerB);

  // Improved gradient noise at (a, b, c) for the current frequency, scaled to about 0..100.
  // Coordinates are pixel units and must not be negative (negative ones are mirrored).
  double noise(double a, double b, double c) const;

  int size = 256;           // edge length, pixels
  double frequency = 10.0;  // lattice cells across the picture; each octave overwrites it
  RgbBytes baseColour{{255, 10, 10}};
  RgbBytes layerColour{{235, 221, 61}};
  std::vector<std::uint8_t> pixels;  // size * size * 3 bytes, rows top to bottom, no gaps
  std::array<int, 512> perm{};       // hash table; entry 511 is never written nor read

 private:
  void initialise();
  void fill();
  void applyLayer(const NoiseLayer& layer);
};
