#include "tools/baker/icon_painter.h"

#include <algorithm>
#include <cmath>

#include "tools/baker/sky_painter.h"
#include "tools/baker/texture_painter.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// The layout in 0..1 of the icon's width, y running down. Everything is placed by fractions of
// the icon, so every size shows the same picture.
constexpr double kFrameMargin = 0.03, kFrameCorner = 0.19;
constexpr double kHorizon = 0.70;
constexpr double kBoulderX = 0.62, kBoulderY = 0.42, kBoulderRadius = 0.30;
constexpr double kCapsuleX = 0.33, kCapsuleTop = 0.36, kCapsuleBottom = 0.90, kCapsuleRadius = 0.115;
// A dark rim around the two shapes keeps them apart at the small sizes.
constexpr double kOutline = 0.016;
const double kOutlineColour[3] = {0.12, 0.10, 0.09};

// The game's own pictures, painted once per icon.
struct Textures {
  Image tiles = paintTiles(256);  // the boulder is drawn with the tile texture in the game
  Image character = paintCharacter(256);
  Image sand = paintSand(128);
};

// Nearest texel at wrapped 0..1 coordinates (the icon is supersampled); row 0 is v = 0.
void sample(const Image& image, double u, double v, double rgb[3]) {
  u -= std::floor(u), v -= std::floor(v);
  const std::uint8_t* p = image.at(std::min(image.width - 1, static_cast<int>(u * image.width)),
                                   std::min(image.height - 1, static_cast<int>(v * image.height)));
  for (int c = 0; c < 3; ++c) rgb[c] = p[image.channels >= 3 ? c : 0] / 255.0;
}

// Lambert and a small highlight for a unit normal in screen space (x right, y down, z out).
void shade(const double n[3], double rgb[3]) {
  const double light[3] = {-0.45, -0.55, 0.70};
  const double len = std::sqrt(light[0] * light[0] + light[1] * light[1] + light[2] * light[2]);
  const double diffuse = std::max(0.0, (n[0] * light[0] + n[1] * light[1] + n[2] * light[2]) / len);
  // The viewer looks along -z, so the mirrored light's z is the highlight's strength.
  const double reflected = 2 * diffuse * n[2] - light[2] / len;
  const double highlight = 0.18 * std::pow(std::max(0.0, reflected), 24.0);
  for (int c = 0; c < 3; ++c) rgb[c] = clamp01(rgb[c] * (0.22 + 0.9 * diffuse) + highlight);
}

bool insideFrame(double x, double y) {
  const double inner = 0.5 - kFrameMargin - kFrameCorner;
  const double dx = std::max(std::fabs(x - 0.5) - inner, 0.0), dy = std::max(std::fabs(y - 0.5) - inner, 0.0);
  return dx * dx + dy * dy <= kFrameCorner * kFrameCorner;
}

// A soft elliptic shadow: 1 in the middle, 0 outside.
double shadow(double x, double y, double cx, double cy, double rx, double ry) {
  const double d = std::hypot((x - cx) / rx, (y - cy) / ry);
  return smoothStep(1.0, 0.4, d);
}

bool paintCapsule(double x, double y, const Textures& t, double rgb[3]) {
  const double top = kCapsuleTop + kCapsuleRadius, bottom = kCapsuleBottom - kCapsuleRadius;
  const double axisY = std::clamp(y, top, bottom);
  const double d = std::hypot(x - kCapsuleX, y - axisY);
  if (d >= kCapsuleRadius) return false;
  if (d > kCapsuleRadius - kOutline) {
    std::copy(kOutlineColour, kOutlineColour + 3, rgb);
    return true;
  }
  const double n[3] = {(x - kCapsuleX) / kCapsuleRadius, (y - axisY) / kCapsuleRadius,
                       std::sqrt(1.0 - (d * d) / (kCapsuleRadius * kCapsuleRadius))};
  // The skin's u = 0.25 is the player's front, turned to the viewer; v runs from the feet up.
  const double u = 0.25 + std::atan2(n[0], n[2]) / (2 * kPi);
  const double v = (kCapsuleBottom - y) / (kCapsuleBottom - kCapsuleTop);
  sample(t.character, u, v, rgb);
  shade(n, rgb);
  return true;
}

bool paintBoulder(double x, double y, const Textures& t, double rgb[3]) {
  const double r = std::hypot(x - kBoulderX, y - kBoulderY);
  if (r >= kBoulderRadius) return false;
  if (r > kBoulderRadius - kOutline) {
    std::copy(kOutlineColour, kOutlineColour + 3, rgb);
    return true;
  }
  const double n[3] = {(x - kBoulderX) / kBoulderRadius, (y - kBoulderY) / kBoulderRadius,
                       std::sqrt(1.0 - (r * r) / (kBoulderRadius * kBoulderRadius))};
  // Longitude and latitude on the ball, a few tiles round, turned a little so that no seam runs
  // down the middle.
  const double longitude = std::atan2(n[0], n[2]), latitude = std::asin(-n[1]);
  sample(t.tiles, longitude / (2 * kPi) * 3 + 0.07, latitude / kPi * 1.5 + 0.5, rgb);
  shade(n, rgb);
  return true;
}

void paintBackground(double x, double y, const Textures& t, double rgb[3]) {
  if (y < kHorizon) {
    skyColour((x - 0.5) * 0.9, (kHorizon - y) * 1.3 + 0.02, 1.0, rgb);
    return;
  }
  const double depth = y - kHorizon;
  sample(t.sand, x * 1.5, depth * 2.5, rgb);
  const double dark = 1.0 - 0.45 * std::max(shadow(x, y, kCapsuleX + 0.04, kCapsuleBottom - 0.005, 0.15, 0.03),
                                            shadow(x, y, kBoulderX + 0.04, kHorizon + 0.02, 0.30, 0.04));
  const double haze = 0.85 + 0.15 * smoothStep(0.0, 0.3, depth);
  for (int c = 0; c < 3; ++c) rgb[c] *= dark * haze;
}

}  // namespace

Image paintIcon(int size) {
  const Textures textures;
  Image image(size, size, 4);
  constexpr int kSamples = 4;  // per axis and pixel
  for (int py = 0; py < size; ++py) {
    for (int px = 0; px < size; ++px) {
      double sum[3] = {0, 0, 0};
      int covered = 0;
      for (int sy = 0; sy < kSamples; ++sy) {
        for (int sx = 0; sx < kSamples; ++sx) {
          const double x = (px + (sx + 0.5) / kSamples) / size, y = (py + (sy + 0.5) / kSamples) / size;
          if (!insideFrame(x, y)) continue;
          double rgb[3];
          if (!paintCapsule(x, y, textures, rgb) && !paintBoulder(x, y, textures, rgb))
            paintBackground(x, y, textures, rgb);
          for (int c = 0; c < 3; ++c) sum[c] += rgb[c];
          ++covered;
        }
      }
      // Colour is the mean of the covered samples, so the frame's soft edge does not darken.
      if (covered == 0) continue;
      image.setPixel(px, py, sum[0] / covered, sum[1] / covered, sum[2] / covered,
                     covered / double(kSamples * kSamples));
    }
  }
  return image;
}
