#include "render/noise_texture.h"

#include <cmath>

#include "render/random.h"

namespace {

double fade(double t) { return t * t * t * (t * (t * 6 - 15) + 10); }

// Written as p (1 - t) + q t rather than p + t (q - p): the two differ in the last bit, and the
// textures must come out byte for byte the same on every build.
double lerp(double t, double p, double q) { return p * (1 - t) + q * t; }

double grad(int hash, double x, double y, double z) {
  switch (hash & 15) {
    case 0:
      return x + y;
    case 1:
      return -x + y;
    case 2:
      return x - y;
    case 3:
      return -x - y;
    case 4:
      return x + z;
    case 5:
      return -x + z;
    case 6:
      return x - z;
    case 7:
      return -x - z;
    case 8:
      return y + z;
    case 9:
      return -y + z;
    case 10:
      return y - z;
    case 11:
      return -y - z;
    case 12:
      return y + x;
    case 13:
      return -y + z;
    case 14:
      return y - x;
    default:
      return -y - z;
  }
}

}  // namespace

NoiseLayer::NoiseLayer(int octaves, double divisor, int lacunarity)
    : octaves(static_cast<float>(octaves)),
      divisor(static_cast<float>(divisor)),
      lacunarity(static_cast<float>(lacunarity)) {}

NoiseTexture::NoiseTexture() {
  initialise();
  fill();
}

NoiseTexture::NoiseTexture(RgbBytes base) {
  initialise();
  baseColour = base;
  fill();
}

NoiseTexture::NoiseTexture(RgbBytes base, RgbBytes colour, NoiseLayer layer) {
  initialise();
  baseColour = base;
  layerColour = colour;
  fill();
  applyLayer(layer);
}

NoiseTexture::NoiseTexture(RgbBytes base, RgbBytes colourA, RgbBytes colourB, NoiseLayer layerA, NoiseLayer layerB) {
  initialise();
  baseColour = base;
  fill();
  layerColour = colourA;
  applyLayer(layerA);
  layerColour = colourB;
  applyLayer(layerB);
}

void NoiseTexture::initialise() {
  // The copy sits 255 entries on, not 256: entry 255 ends up holding the 256th draw and
  // entries 256..510 the 2nd to 256th. The modulus is size - 1 as well.
  for (int i = 0; i < 256; ++i) {
    const int r = nextRandom() % 255;
    perm[i] = r;
    perm[i + 255] = r;
  }
}

void NoiseTexture::fill() {
  pixels.assign(static_cast<size_t>(size) * size * 3, 0);
  for (size_t i = 0; i < pixels.size(); i += 3) {
    pixels[i] = baseColour[0];
    pixels[i + 1] = baseColour[1];
    pixels[i + 2] = baseColour[2];
  }
}

void NoiseTexture::applyLayer(const NoiseLayer& layer) {
  const int octaves = static_cast<int>(layer.octaves);
  // Without octaves the layer has no weight at all (and would divide 0 by 0): it adds nothing.
  if (octaves <= 0) return;
  const double divisor = layer.divisor;
  const double lacunarity = layer.lacunarity;
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      double amp = 1.0;
      std::uint8_t total = 0;  // wraps past 255 on purpose; the average is taken after the wrap
      double ampSum = 0.0;
      double f = 2.0;
      for (int o = 0; o < octaves; ++o) {
        f = static_cast<double>(static_cast<long long>(f * lacunarity) % 255);
        frequency = f;
        const double s = noise(y, x, 0);
        total = static_cast<std::uint8_t>(static_cast<long long>(s * amp + total));
        ampSum = ampSum + amp;
        amp = amp / divisor;
      }
      const int v = static_cast<int>(total / ampSum);
      std::uint8_t* pixel = &pixels[3 * (static_cast<size_t>(size) * y + x)];
      for (int c = 0; c < 3; ++c) pixel[c] = static_cast<std::uint8_t>(((layerColour[c] + v) / 2 + pixel[c]) / 2);
    }
  }
}

double NoiseTexture::noise(double a, double b, double c) const {
  a = std::fabs(a);
  b = std::fabs(b);
  c = std::fabs(c);
  const double cell = 256 / frequency;
  const double X = a / cell;
  const double Y = b / cell;
  const double Z = c / cell;
  const int xi = static_cast<int>(X) % 255;
  const int yi = static_cast<int>(Y) % 255;
  const int zi = static_cast<int>(Z) % 255;
  const double xf = X - xi;
  const double yf = Y - yi;
  const double zf = Z - zi;
  const double u = fade(xf);
  const double v = fade(yf);
  const double w = fade(zf);

  // Hash values stay below 255 and the indices below 255, so every index is at most 510.
  const int A = perm[xi] + yi;
  const int AA = perm[A] + zi;
  const int AB = perm[A + 1] + zi;
  const int B = perm[xi + 1] + yi;
  const int BA = perm[B] + zi;
  const int BB = perm[B + 1] + zi;

  auto g = [this](int h, double x, double y, double z) { return grad(perm[h], x, y, z); };
  const double front = lerp(v, lerp(u, g(AA, xf, yf, zf), g(BA, xf - 1, yf, zf)),
                            lerp(u, g(AB, xf, yf - 1, zf), g(BB, xf - 1, yf - 1, zf)));
  const double back = lerp(v, lerp(u, g(AA + 1, xf, yf, zf - 1), g(BA + 1, xf - 1, yf, zf - 1)),
                           lerp(u, g(AB + 1, xf, yf - 1, zf - 1), g(BB + 1, xf - 1, yf - 1, zf - 1)));
  const double result = lerp(w, front, back);
  return (result + 1.0) * 0.5 * 100.0;
}
