#include "tools/baker/sky_painter.h"

#include <cmath>

namespace {
// Where the sun stands: opposite to the way its light travels, (0, -1, -1).
const double kSun[3] = {0.0, 0.70710678, 0.70710678};
}  // namespace

void cubeFaceDirection(int face, double s, double t, double dir[3]) {
  const double sc = 2 * s - 1, tc = 2 * t - 1;
  switch (face) {
    case 0:
      dir[0] = 1, dir[1] = -tc, dir[2] = -sc;
      break;
    case 1:
      dir[0] = -1, dir[1] = -tc, dir[2] = sc;
      break;
    case 2:
      dir[0] = sc, dir[1] = 1, dir[2] = tc;
      break;
    case 3:
      dir[0] = sc, dir[1] = -1, dir[2] = -tc;
      break;
    case 4:
      dir[0] = sc, dir[1] = -tc, dir[2] = 1;
      break;
    default:
      dir[0] = -sc, dir[1] = -tc, dir[2] = -1;
      break;
  }
}

void skyColour(double dx, double dy, double dz, double rgb[3]) {
  const double len = std::sqrt(dx * dx + dy * dy + dz * dz);
  dx /= len, dy /= len, dz /= len;
  const double zenith[3] = {0.20, 0.42, 0.85}, horizon[3] = {0.78, 0.86, 0.95}, ground[3] = {0.36, 0.40, 0.46};
  if (dy >= 0) {
    const double t = std::pow(1.0 - dy, 3.0);
    for (int c = 0; c < 3; ++c) rgb[c] = mix(zenith[c], horizon[c], t);
  } else {
    const double t = smoothStep(0.0, 0.25, -dy);
    for (int c = 0; c < 3; ++c) rgb[c] = mix(horizon[c], ground[c], t);
  }

  const double cosAngle = dx * kSun[0] + dy * kSun[1] + dz * kSun[2];
  // Clouds on a flat layer overhead: the direction is projected onto it, so they shrink and
  // thin out towards the horizon as real clouds do.
  if (dy > 0.01) {
    const double px = dx / (dy + 0.08) * 1.6, pz = dz / (dy + 0.08) * 1.6;
    const double density = fbm3(px, pz, 0.5, 6, 2024);
    // Thinner round the sun, so the sun that lights the level can be seen.
    const double cover =
        smoothStep(0.48, 0.68, density) * smoothStep(0.01, 0.18, dy) * (1.0 - 0.8 * smoothStep(0.96, 0.995, cosAngle));
    const double shade = 0.78 + 0.22 * smoothStep(0.5, 0.8, fbm3(px + 0.15, pz + 0.15, 0.5, 5, 2024));
    for (int c = 0; c < 3; ++c) rgb[c] = mix(rgb[c], shade * (c == 2 ? 1.0 : 0.97), cover);
  }

  // The sun: a bright disc and a wide warm glow.
  const double glow = std::pow(std::fmax(cosAngle, 0.0), 64.0) * 0.5;
  const double disc = smoothStep(0.9990, 0.9994, cosAngle);
  rgb[0] += glow + disc, rgb[1] += glow * 0.85 + disc, rgb[2] += glow * 0.55 + disc;
  for (int c = 0; c < 3; ++c) rgb[c] = clamp01(rgb[c]);
}

Image paintSkyFace(int face, int size) {
  Image image(size, size, 4);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      double dir[3], rgb[3];
      cubeFaceDirection(face, (x + 0.5) / size, (y + 0.5) / size, dir);
      skyColour(dir[0], dir[1], dir[2], rgb);
      image.setPixel(x, y, rgb[0], rgb[1], rgb[2]);
    }
  }
  return image;
}
