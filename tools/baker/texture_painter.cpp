#include "tools/baker/texture_painter.h"

#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;

// Wood in 0..1 texture space: four planks side by side, each with its own grain offset.
double woodGrain(double u, double v, int size, double* plankShade) {
  const int plank = static_cast<int>(u * 4) % 4;
  const double pu = u * 4 - plank;
  *plankShade = 0.85 + 0.3 * hash01(plank, 0, 0, 7);
  // Rings: distance from a log axis far outside the plank, bent by noise; they repeat along v.
  const double warp = periodicFbm2(u * 8, v * 8, 8, 4, 11 + plank);
  const double rings = std::sin((pu * 3.0 + warp * 2.5 + plank * 0.37) * 2 * kPi * 2.0 + std::sin(v * 2 * kPi) * 1.5);
  const double streaks = periodicFbm2(u * 64, v * 4, 64, 3, 23 + plank);
  (void)size;
  return 0.5 + 0.3 * rings + 0.35 * (streaks - 0.5);
}

}  // namespace

Image paintWood(int size) {
  Image image(size, size, 4);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const double u = (x + 0.5) / size, v = (y + 0.5) / size;
      double shade = 1;
      const double g = clamp01(woodGrain(u, v, size, &shade));
      const double seam = std::fabs(u * 4 - std::round(u * 4)) * size / 4 < 1.0 ? 0.45 : 1.0;
      const double light[3] = {0.72, 0.50, 0.28}, dark[3] = {0.36, 0.21, 0.10};
      image.setPixel(x, y, mix(dark[0], light[0], g) * shade * seam, mix(dark[1], light[1], g) * shade * seam,
                     mix(dark[2], light[2], g) * shade * seam);
    }
  }
  return image;
}

Image paintWoodSpecular(int size) {
  Image image(size, size, 4);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const double u = (x + 0.5) / size, v = (y + 0.5) / size;
      double shade = 1;
      const double g = clamp01(woodGrain(u, v, size, &shade));
      // Late wood (the dark rings) is denser and takes the varnish better.
      const double s = 0.15 + 0.6 * (1.0 - g) * (1.0 - g);
      image.setPixel(x, y, s, s, s);
    }
  }
  return image;
}

namespace {

// Tile layout: which tile a texel is in and how far it is from the grout, in texels.
struct TileCell {
  int column, row;
  double edgeDistance;
};

TileCell tileCell(int x, int y, int size) {
  const int tile = size / 4;
  TileCell c{x / tile, y / tile, 0};
  const int lx = x % tile, ly = y % tile;
  c.edgeDistance = std::min(std::min(lx, tile - 1 - lx), std::min(ly, tile - 1 - ly));
  return c;
}

}  // namespace

Image paintTiles(int size) {
  Image image(size, size, 4);
  const double grout = size / 64.0;  // grout half width, texels
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const TileCell c = tileCell(x, y, size);
      const double u = (x + 0.5) / size, v = (y + 0.5) / size;
      const double tone = 0.8 + 0.35 * hash01(c.column, c.row, 0, 31);
      const double marble = periodicFbm2(u * 16, v * 16, 16, 5, 37);
      const double vein = std::pow(1.0 - std::fabs(std::sin((u + v + marble * 0.6) * 10 * kPi)), 12.0);
      const double speck = hash01(x, y, 1, 41) > 0.97 ? -0.12 : 0.0;
      const double bevel = smoothStep(grout, grout + 3, c.edgeDistance);
      double r = (0.62 * tone + 0.1 * marble - 0.15 * vein + speck) * (0.75 + 0.25 * bevel);
      double g = (0.58 * tone + 0.1 * marble - 0.15 * vein + speck) * (0.75 + 0.25 * bevel);
      double b = (0.52 * tone + 0.1 * marble - 0.12 * vein + speck) * (0.75 + 0.25 * bevel);
      if (c.edgeDistance < grout) r = g = b = 0.22 + 0.06 * hash01(x, y, 2, 43);
      image.setPixel(x, y, r, g, b);
    }
  }
  return image;
}

Image paintTilesSpecular(int size) {
  Image image(size, size, 4);
  const double grout = size / 64.0;
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const TileCell c = tileCell(x, y, size);
      const double u = (x + 0.5) / size, v = (y + 0.5) / size;
      const bool isTile = c.edgeDistance >= grout;
      const double wear = periodicFbm2(u * 8, v * 8, 8, 4, 53);
      const double s = isTile ? 0.55 + 0.4 * (1.0 - wear) * (0.7 + 0.3 * hash01(c.column, c.row, 0, 59)) : 0.05;
      image.setPixel(x, y, s, s, s, isTile ? 1.0 : 0.0);
    }
  }
  return image;
}

Image paintSand(int size) {
  Image image(size, size, 4);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const double u = (x + 0.5) / size, v = (y + 0.5) / size;
      const double warp = periodicFbm2(u * 4, v * 4, 4, 4, 61);
      // Wind ripples: six crests across the tile, bent by the warp, steep on the lee side.
      const double phase = std::fmod(v * 6 + u * 0 + warp * 1.5 + 10.0, 1.0);
      const double ripple = phase < 0.75 ? phase / 0.75 : (1.0 - phase) / 0.25;
      const double grain = hash01(x, y, 0, 67);
      const double patches = periodicFbm2(u * 16, v * 16, 16, 3, 71);
      const double t = 0.55 + 0.25 * (ripple - 0.5) + 0.2 * (patches - 0.5) + 0.12 * (grain - 0.5);
      image.setPixel(x, y, 0.93 * t + 0.25, 0.80 * t + 0.18, 0.55 * t + 0.08);
    }
  }
  return image;
}

Image paintCharacter(int size) {
  // The cylinder's side maps u around (u = 0.25 faces +z, the way the player runs) and v from
  // the feet (v = 0, the first row) to the head (v = 1); its caps sample around the centre.
  Image image(size, size, 4);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const double u = (x + 0.5) / size, v = (y + 0.5) / size;
      const double cloth = 0.9 + 0.1 * periodicFbm2(u * 32, v * 32, 32, 2, 79);
      double r, g, b, skin = 0;
      if (v < 0.12) {  // boots
        r = 0.25, g = 0.16, b = 0.10;
      } else if (v < 0.45) {  // trousers with a seam at the sides
        const bool seam = std::fabs(std::fmod(u + 0.125, 0.5) - 0.25) < 0.006;
        r = 0.18, g = 0.26, b = 0.48;
        if (seam) r *= 0.6, g *= 0.6, b *= 0.6;
      } else if (v < 0.5) {  // belt with a buckle in front
        const bool buckle = std::fabs(u - 0.25) < 0.03;
        r = buckle ? 0.85 : 0.30, g = buckle ? 0.70 : 0.20, b = buckle ? 0.20 : 0.10;
      } else if (v < 0.74) {  // shirt with stripes
        const bool stripe = std::fmod(v * 40, 2.0) < 0.6;
        r = stripe ? 0.95 : 0.80, g = stripe ? 0.85 : 0.30, b = stripe ? 0.30 : 0.15;
      } else if (v < 0.90) {  // face band
        r = 0.93, g = 0.72, b = 0.58, skin = 1;
        const double ex = (u - 0.25) * 8.0, ey = (v - 0.83) * 10.0;
        for (double side : {-0.45, 0.45}) {
          const double d = std::hypot(ex - side, ey);
          if (d < 0.22) r = g = b = 1.0;
          if (std::hypot(ex - side, ey + 0.02) < 0.11) r = g = b = 0.05;
        }
        if (std::fabs(ex) < 0.55 && std::fabs((v - 0.775) * 10.0 + 0.1 * ex * ex) < 0.05) r = 0.6, g = 0.15, b = 0.15;
        if (std::hypot(ex, (v - 0.79) * 10.0) < 0.12) r = 0.85, g = 0.55, b = 0.45;  // nose
      } else {                                                                       // hair
        const double strand = periodicFbm2(u * 64, v * 8, 64, 2, 83);
        r = 0.30 + 0.1 * strand, g = 0.18 + 0.06 * strand, b = 0.08;
      }
      image.setPixel(x, y, r * cloth, g * cloth, b * cloth, 0.5 + 0.5 * skin * smoothStep(0.74, 0.78, v));
    }
  }
  return image;
}

Image paintBone(int size) {
  Image image(size, size, 3);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const double u = (x + 0.5) / size, v = (y + 0.5) / size;
      const double stain = periodicFbm2(u * 6, v * 6, 6, 5, 89);
      const double pores = periodicFbm2(u * 96, v * 96, 96, 2, 97);
      // Cracks: thin lines where a warped noise crosses one value.
      const double c = periodicFbm2(u * 10, v * 10, 10, 4, 101);
      const double crack = smoothStep(0.012, 0.0, std::fabs(c - 0.5));
      const double t = 0.78 + 0.18 * (1.0 - stain) + 0.06 * (pores - 0.5) - 0.45 * crack;
      image.setPixel(x, y, 0.98 * t, 0.92 * t, 0.78 * t - 0.08 * stain);
    }
  }
  return image;
}

Image paintBoneSpecular(int size) {
  Image image(size, size, 1);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const double u = (x + 0.5) / size, v = (y + 0.5) / size;
      const double stain = periodicFbm2(u * 6, v * 6, 6, 5, 89);
      const double c = periodicFbm2(u * 10, v * 10, 10, 4, 101);
      const double crack = smoothStep(0.012, 0.0, std::fabs(c - 0.5));
      image.setPixel(x, y, (0.25 + 0.6 * (1.0 - stain)) * (1.0 - crack), 0, 0);
    }
  }
  return image;
}

Image paintFlame(int size) {
  Image image(size, size, 4);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      // Centred coordinates with +y up (the texture's first row is v = 0, the quad's bottom).
      const double px = (x + 0.5) / size * 2 - 1, py = (y + 0.5) / size * 2 - 1;
      // A circle stretched upwards into a teardrop: narrower the higher it goes.
      const double width = 1.0 - 0.45 * clamp01((py + 0.2) / 1.2);
      const double r = std::hypot(px / width, py > 0 ? py * 0.8 : py);
      const double alpha = std::pow(clamp01(1.0 - r), 1.6);
      const double core = std::pow(clamp01(1.0 - r * 1.8), 2.0);
      image.setPixel(x, y, 1.0, 0.55 + 0.45 * core, 0.15 + 0.75 * core, alpha);
    }
  }
  return image;
}

Image paintSpecularMap(int size, int kind, int channels) {
  Image image(size, size, channels);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const double u = (x + 0.5) / size, v = (y + 0.5) / size;
      double s = 0;
      switch (kind) {
        case 0: {  // brushed metal: fine streaks along u with scratches
          const double streak = periodicFbm2(u * 4, v * 128, 4, 3, 107);
          const double scratch = hash01(static_cast<int>(v * size), 0, 0, 109) > 0.96 ? 0.3 : 0.0;
          s = 0.35 + 0.45 * streak + scratch;
          break;
        }
        case 1: {  // wet spots on dry stone
          const double spots = periodicFbm2(u * 8, v * 8, 8, 4, 113);
          s = 0.1 + 0.8 * smoothStep(0.5, 0.62, spots);
          break;
        }
        case 2: {  // worn bands across the surface
          const double warp = periodicFbm2(u * 4, v * 4, 4, 3, 127);
          s = 0.3 + 0.35 * std::sin((v + warp * 0.3) * 8 * kPi) + 0.15 * (warp - 0.5);
          break;
        }
        case 3: {  // bricks: glossy glazed faces, dull mortar
          const int row = static_cast<int>(v * 8);
          const double shifted = u * 4 + (row % 2) * 0.5;
          const double bu = shifted - std::floor(shifted), bv = v * 8 - row;
          const bool mortar = bu < 0.04 || bu > 0.96 || bv < 0.07 || bv > 0.93;
          s = mortar ? 0.05 : 0.55 + 0.3 * hash01(static_cast<int>(std::floor(shifted)), row, 0, 131);
          break;
        }
        case 4: {  // cells, like polished pebbles
          const double gx = u * 8, gy = v * 8;
          double nearest = 9;
          for (int j = -1; j <= 1; ++j)
            for (int i = -1; i <= 1; ++i) {
              const int cx = static_cast<int>(std::floor(gx)) + i, cy = static_cast<int>(std::floor(gy)) + j;
              const double fx = cx + hash01((cx + 8) % 8, (cy + 8) % 8, 0, 137);
              const double fy = cy + hash01((cx + 8) % 8, (cy + 8) % 8, 1, 137);
              nearest = std::min(nearest, std::hypot(gx - fx, gy - fy));
            }
          s = 0.9 - 0.8 * clamp01(nearest);
          break;
        }
        default: {  // diagonal stripes with grime
          const double grime = periodicFbm2(u * 16, v * 16, 16, 3, 139);
          s = (std::fmod((u + v) * 8, 1.0) < 0.5 ? 0.75 : 0.25) * (0.6 + 0.4 * grime);
          break;
        }
      }
      // The three-channel maps get a faint tint; the game reads the red channel.
      image.setPixel(x, y, s, s * 0.97, s * 0.92);
    }
  }
  return image;
}
