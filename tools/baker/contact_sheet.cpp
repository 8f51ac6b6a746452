#include "tools/baker/contact_sheet.h"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <limits>

#include "tools/baker/dds_file.h"

namespace {

constexpr int kTile = 128;

Image loadAny(const std::string& path) {
  if (path.size() > 4 && path.compare(path.size() - 4, 4, ".dds") == 0) return readDdsTopLevel(path);
  return readImageFile(path);
}

// Nearest-neighbour copy into the sheet; alpha is shown over a grey checkerboard.
void blit(Image& sheet, const Image& src, int left, int top, int size) {
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const bool check = ((x / 8) + (y / 8)) % 2 == 0;
      double rgb[3] = {check ? 0.3 : 0.2, check ? 0.3 : 0.2, check ? 0.3 : 0.2};
      if (src.width > 0) {
        const std::uint8_t* p = src.at(x * src.width / size, y * src.height / size);
        const double a = src.channels == 4 ? p[3] / 255.0 : 1.0;
        for (int c = 0; c < 3; ++c) rgb[c] = mix(rgb[c], p[src.channels >= 3 ? c : 0] / 255.0, a);
      } else {
        rgb[0] = 1.0, rgb[1] = rgb[2] = 0.0;  // a missing file shows as red
      }
      sheet.setPixel(left + x, top + y, rgb[0], rgb[1], rgb[2]);
    }
  }
}

}  // namespace

bool ContactSheet::write(const std::string& assetDir, const std::vector<std::string>& textureFiles,
                         const std::vector<std::string>& skyFaces, const std::string& outputPath) const {
  const int columns = 8;
  const int textureRows = (static_cast<int>(textureFiles.size()) + columns - 1) / columns;
  // Below the textures: the sky as an unfolded cross (4 x 3 faces) and the two models.
  Image sheet(columns * kTile, (textureRows + 3) * kTile, 3);
  for (size_t i = 0; i < textureFiles.size(); ++i) {
    blit(sheet, loadAny(assetDir + "/" + textureFiles[i]), static_cast<int>(i % columns) * kTile,
         static_cast<int>(i / columns) * kTile, kTile);
  }
  // Faces at (column, row): -x, +z, +x, -z in the middle row, +y above and -y below +z, each
  // as stored (the up and down faces are not turned to match).
  const int cross[6][2] = {{2, 1}, {0, 1}, {1, 0}, {1, 2}, {1, 1}, {3, 1}};
  for (size_t f = 0; f < skyFaces.size() && f < 6; ++f) {
    blit(sheet, loadAny(assetDir + "/" + skyFaces[f]), cross[f][0] * kTile, (textureRows + cross[f][1]) * kTile, kTile);
  }
  const Image skullTexture = readImageFile(assetDir + "/objects/Skull/Skull.jpg");
  const Image skull = renderMesh(buildSkull(), skullTexture, 2 * kTile);
  const Image diamond = renderMesh(buildDiamond(), Image(), 2 * kTile);
  for (int y = 0; y < 2 * kTile; ++y) {
    for (int x = 0; x < 2 * kTile; ++x) {
      std::copy(skull.at(x, y), skull.at(x, y) + 3, sheet.at(4 * kTile + x, (textureRows + 1) * kTile + y - kTile / 2));
      std::copy(diamond.at(x, y), diamond.at(x, y) + 3,
                sheet.at(6 * kTile + x, (textureRows + 1) * kTile + y - kTile / 2));
    }
  }
  return writePng(outputPath, sheet);
}

Image ContactSheet::renderMesh(const BakedMesh& mesh, const Image& texture, int size) {
  Image picture(size, size, 3);
  std::vector<float> depth(static_cast<size_t>(size) * size, std::numeric_limits<float>::max());
  // Game space: the model is turned -90 degrees about x, so file (x, y, z) is world (x, z, -y).
  // Two views side by side, each half the picture wide: from the front (looking along +z) and
  // from the right; the camera's right vector is world -x for the front view.
  float lo[3] = {1e9f, 1e9f, 1e9f}, hi[3] = {-1e9f, -1e9f, -1e9f};
  for (const auto& p : mesh.positions)
    for (int c = 0; c < 3; ++c) lo[c] = std::min(lo[c], p[c]), hi[c] = std::max(hi[c], p[c]);
  const float extent = std::max(std::max(hi[0] - lo[0], hi[1] - lo[1]), hi[2] - lo[2]) * 1.1f;
  const float centre[3] = {(lo[0] + hi[0]) / 2, (lo[1] + hi[1]) / 2, (lo[2] + hi[2]) / 2};
  for (int view = 0; view < 2; ++view) {
    auto project = [&](const std::array<float, 3>& p, float out[3]) {
      const float wx = p[0] - centre[0], wy = p[2] - centre[2], wz = -(p[1] - centre[1]);
      const float sx = view == 0 ? -wx : wz, sz = view == 0 ? wz : wx;
      out[0] = (sx / extent + 0.5f) * size / 2 + view * size / 2;
      out[1] = (0.5f - wy / extent) * size / 2 + size / 4;
      out[2] = sz;
    };
    for (const auto& t : mesh.triangles) {
      float s[3][3];
      for (int k = 0; k < 3; ++k) project(mesh.positions[t[k]], s[k]);
      const float area = (s[1][0] - s[0][0]) * (s[2][1] - s[0][1]) - (s[2][0] - s[0][0]) * (s[1][1] - s[0][1]);
      if (area >= 0) continue;  // facing away (screen y runs down)
      const int x0 = std::max(0, static_cast<int>(std::floor(std::min({s[0][0], s[1][0], s[2][0]}))));
      const int x1 = std::min(size - 1, static_cast<int>(std::ceil(std::max({s[0][0], s[1][0], s[2][0]}))));
      const int y0 = std::max(0, static_cast<int>(std::floor(std::min({s[0][1], s[1][1], s[2][1]}))));
      const int y1 = std::min(size - 1, static_cast<int>(std::ceil(std::max({s[0][1], s[1][1], s[2][1]}))));
      for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
          const float px = x + 0.5f, py = y + 0.5f;
          float w[3];
          for (int k = 0; k < 3; ++k) {
            const float* a = s[(k + 1) % 3];
            const float* b = s[(k + 2) % 3];
            w[k] = ((b[0] - a[0]) * (py - a[1]) - (px - a[0]) * (b[1] - a[1])) / area;
          }
          if (w[0] < 0 || w[1] < 0 || w[2] < 0) continue;
          const float z = w[0] * s[0][2] + w[1] * s[1][2] + w[2] * s[2][2];
          float& stored = depth[static_cast<size_t>(y) * size + x];
          if (z >= stored) continue;
          stored = z;
          float n[3] = {0, 0, 0}, uv[2] = {0, 0};
          for (int k = 0; k < 3; ++k) {
            for (int c = 0; c < 3; ++c) n[c] += w[k] * mesh.normals[t[k]][c];
            for (int c = 0; c < 2; ++c) uv[c] += w[k] * mesh.uvs[t[k]][c];
          }
          // Light from above, in front and to the left of the viewer, in file space.
          const float len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]) + 1e-6f;
          const float light = std::max(0.0f, (0.4f * n[0] + 0.6f * n[1] + 0.7f * n[2]) / len / 1.0075f);
          double albedo[3] = {0.75, 0.8, 0.9};
          if (texture.width > 0) {
            // The importer flips v: row 0 of the picture is v = 1.
            const float u = uv[0] - std::floor(uv[0]), v = uv[1] - std::floor(uv[1]);
            const std::uint8_t* p =
                texture.at(std::min(texture.width - 1, static_cast<int>(u * texture.width)),
                           std::min(texture.height - 1, static_cast<int>((1 - v) * texture.height)));
            for (int c = 0; c < 3; ++c) albedo[c] = p[texture.channels >= 3 ? c : 0] / 255.0;
          }
          const double shade = 0.2 + 0.8 * light;
          picture.setPixel(x, y, albedo[0] * shade, albedo[1] * shade, albedo[2] * shade);
        }
      }
    }
  }
  return picture;
}
