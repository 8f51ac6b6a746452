// Checks the files that kellvane-assets bakes into the build's "assets" folder at build time,
// read back the way the game reads them.
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <gtest/gtest.h>
#include <stb_image.h>
#include <unistd.h>

#include <assimp/Importer.hpp>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "render/noise_texture.h"
#include "render/random.h"

namespace {

std::vector<std::uint8_t> readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::uint32_t u32(const std::vector<std::uint8_t>& d, size_t at) {
  return d[at] | (d[at + 1] << 8) | (d[at + 2] << 16) | (static_cast<std::uint32_t>(d[at + 3]) << 24);
}

// Top level of a DXT file as RGB, decoded from the colour half of each block.
struct Decoded {
  int width = 0, height = 0;
  std::vector<float> rgb;  // 0..255
  const float* at(int x, int y) const { return &rgb[3 * (static_cast<size_t>(y) * width + x)]; }
};

Decoded decodeDds(const std::string& path, const char* expectedFourCc) {
  const std::vector<std::uint8_t> d = readFile(path);
  Decoded out;
  EXPECT_GE(d.size(), 128u) << path;
  if (d.size() < 128) return out;
  EXPECT_EQ(std::memcmp(d.data(), "DDS ", 4), 0) << path;
  EXPECT_EQ(u32(d, 4), 124u) << path;
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&d[84]), 4), expectedFourCc) << path;
  out.height = static_cast<int>(u32(d, 12));
  out.width = static_cast<int>(u32(d, 16));
  const size_t block = std::string(expectedFourCc) == "DXT1" ? 8 : 16;
  const size_t top = static_cast<size_t>((out.width + 3) / 4) * ((out.height + 3) / 4) * block;
  EXPECT_EQ(u32(d, 20), top) << path << ": linear size";
  // The whole mipmap chain follows the top level, down to 1 x 1.
  size_t chain = 0;
  std::uint32_t levels = 0;
  for (int w = out.width, h = out.height;; w = std::max(1, w / 2), h = std::max(1, h / 2)) {
    chain += static_cast<size_t>((w + 3) / 4) * ((h + 3) / 4) * block;
    ++levels;
    if (w == 1 && h == 1) break;
  }
  EXPECT_EQ(u32(d, 28), levels) << path << ": mipmap count";
  EXPECT_EQ(d.size(), 128 + chain) << path;
  if (d.size() < 128 + top) return out;
  out.rgb.resize(static_cast<size_t>(out.width) * out.height * 3);
  for (int by = 0; by < out.height / 4; ++by) {
    for (int bx = 0; bx < out.width / 4; ++bx) {
      const std::uint8_t* b = &d[128 + block * (static_cast<size_t>(by) * (out.width / 4) + bx) + block - 8];
      float palette[4][3];
      for (int e = 0; e < 2; ++e) {
        const int c = b[2 * e] | (b[2 * e + 1] << 8);
        palette[e][0] = ((c >> 11) & 31) * 255.0f / 31, palette[e][1] = ((c >> 5) & 63) * 255.0f / 63;
        palette[e][2] = (c & 31) * 255.0f / 31;
      }
      for (int k = 0; k < 3; ++k) {
        palette[2][k] = (2 * palette[0][k] + palette[1][k]) / 3;
        palette[3][k] = (palette[0][k] + 2 * palette[1][k]) / 3;
      }
      const std::uint32_t bits = u32(std::vector<std::uint8_t>(b + 4, b + 8), 0);
      for (int i = 0; i < 16; ++i)
        for (int k = 0; k < 3; ++k)
          out.rgb[3 * ((static_cast<size_t>(by) * 4 + i / 4) * out.width + bx * 4 + i % 4) + k] =
              palette[(bits >> (2 * i)) & 3][k];
    }
  }
  return out;
}

void meanAndSpread(const std::vector<float>& rgb, float mean[3], float* greySpread) {
  double sum[3] = {0, 0, 0}, sq = 0;
  const size_t n = rgb.size() / 3;
  for (size_t i = 0; i < n; ++i)
    for (int k = 0; k < 3; ++k) sum[k] += rgb[3 * i + k];
  for (int k = 0; k < 3; ++k) mean[k] = static_cast<float>(sum[k] / n);
  for (size_t i = 0; i < n; ++i) sq += std::pow(rgb[3 * i] - mean[0], 2);
  *greySpread = static_cast<float>(std::sqrt(sq / n));
}

TEST(BakedTextures, DdsFilesHaveTheirFormatAndLookLikeTheirNames) {
  struct Case {
    const char* file;
    const char* fourCc;
  };
  for (const Case& c :
       {Case{"wood_texture.dds", "DXT1"}, Case{"tiles_diffuse.dds", "DXT1"}, Case{"wood_texture_specular.dds", "DXT1"},
        Case{"tiles_specular.dds", "DXT3"}, Case{"sand_diffuse.dds", "DXT1"}, Case{"simpleCharacter.dds", "DXT5"}}) {
    SCOPED_TRACE(c.file);
    const Decoded image = decodeDds(std::string("assets/textures/") + c.file, c.fourCc);
    ASSERT_FALSE(image.rgb.empty());
    EXPECT_GE(image.width, 256);
    float mean[3], spread = 0;
    meanAndSpread(image.rgb, mean, &spread);
    EXPECT_GT(spread, 10.0f) << "a flat picture";
    const std::string name = c.file;
    if (name == "wood_texture.dds" || name == "sand_diffuse.dds") {
      EXPECT_GT(mean[0], mean[1] + 15);  // warm: red over green over blue
      EXPECT_GT(mean[1], mean[2] + 15);
    }
    if (name == "sand_diffuse.dds") {
      EXPECT_GT(mean[0], 150);  // and light
    }
    if (name.find("specular") != std::string::npos) {
      EXPECT_NEAR(mean[0], mean[1], 6.0f);  // grey
    }
  }
}

TEST(BakedTextures, ImagesDecodeWithTheirOwnChannelCounts) {
  struct Case {
    const char* path;
    int channels;
  };
  for (const Case& c :
       {Case{"assets/textures/particle.png", 4}, Case{"assets/objects/Skull/Skull.jpg", 3},
        Case{"assets/objects/Skull/SkullSpecular.png", 1}, Case{"assets/textures/meine_texturen/texSpec1.jpg", 1},
        Case{"assets/textures/meine_texturen/texSpec2.jpg", 1}, Case{"assets/textures/meine_texturen/texSpec3.jpg", 3},
        Case{"assets/textures/meine_texturen/texSpec4.jpg", 1}, Case{"assets/textures/meine_texturen/tex2Spec.jpg", 3},
        Case{"assets/textures/meine_texturen/tex2Spec2.jpg", 1}}) {
    SCOPED_TRACE(c.path);
    int w = 0, h = 0, n = 0;
    unsigned char* data = stbi_load(c.path, &w, &h, &n, 0);
    ASSERT_NE(data, nullptr) << stbi_failure_reason();
    EXPECT_EQ(n, c.channels);
    double sum = 0, sq = 0;
    const int channel = n == 4 ? 3 : 0;  // the sprite's colour is nearly flat, its alpha is not
    for (int i = 0; i < w * h; ++i) sum += data[i * n + channel];
    for (int i = 0; i < w * h; ++i) sq += std::pow(data[i * n + channel] - sum / (w * h), 2);
    EXPECT_GT(std::sqrt(sq / (w * h)), 10.0) << "does not vary";
    if (n == 4) {
      // A soft round sprite: opaque in the middle, clear at the corners, soft in between.
      EXPECT_GT(data[((h / 2) * w + w / 2) * 4 + 3], 200);
      EXPECT_EQ(data[3], 0);
      EXPECT_EQ(data[(w * h - 1) * 4 + 3], 0);
      const int halfway = data[((h / 2) * w + w / 2 + w / 4) * 4 + 3];
      EXPECT_GT(halfway, 10);
      EXPECT_LT(halfway, 200);
    }
    stbi_image_free(data);
  }
}

// Forward cube map lookup as the GL does it: which face and texel a direction lands on.
void lookUp(const double d[3], int size, int* face, int* x, int* y) {
  const double ax = std::fabs(d[0]), ay = std::fabs(d[1]), az = std::fabs(d[2]);
  double sc, tc, ma;
  if (ax >= ay && ax >= az) {
    *face = d[0] > 0 ? 0 : 1, ma = ax, sc = d[0] > 0 ? -d[2] : d[2], tc = -d[1];
  } else if (ay >= az) {
    *face = d[1] > 0 ? 2 : 3, ma = ay, sc = d[0], tc = d[1] > 0 ? d[2] : -d[2];
  } else {
    *face = d[2] > 0 ? 4 : 5, ma = az, sc = d[2] > 0 ? d[0] : -d[0], tc = -d[1];
  }
  *x = std::min(size - 1, static_cast<int>((sc / ma + 1) / 2 * size));
  *y = std::min(size - 1, static_cast<int>((tc / ma + 1) / 2 * size));
}

TEST(BakedTextures, SkyFacesMeetWithoutSeams) {
  const char* names[6] = {"posx", "negx", "posy", "negy", "posz", "negz"};
  std::vector<Decoded> faces;
  for (const char* n : names) faces.push_back(decodeDds(std::string("assets/textures/cubemap3/") + n + ".dds", "DXT1"));
  for (const Decoded& f : faces) ASSERT_FALSE(f.rgb.empty());
  const int size = faces[0].width;
  // Step from every edge texel of each face just across its edge and compare with the texel
  // found there. A face turned or swapped shows up as jumps of tens of levels.
  double worst = 0, total = 0;
  int count = 0;
  for (int f = 0; f < 6; ++f) {
    for (int i = 0; i < size; ++i) {
      const int edge[4][2] = {{i, 0}, {i, size - 1}, {0, i}, {size - 1, i}};
      for (const auto& e : edge) {
        double s = (e[0] + 0.5) / size, t = (e[1] + 0.5) / size;
        // One texel further out, past the edge.
        s += (e[0] == 0 ? -1.0 : e[0] == size - 1 ? 1.0 : 0.0) / size;
        t += (e[1] == 0 ? -1.0 : e[1] == size - 1 ? 1.0 : 0.0) / size;
        const double sc = 2 * s - 1, tc = 2 * t - 1;
        double d[3];
        switch (f) {
          case 0:
            d[0] = 1, d[1] = -tc, d[2] = -sc;
            break;
          case 1:
            d[0] = -1, d[1] = -tc, d[2] = sc;
            break;
          case 2:
            d[0] = sc, d[1] = 1, d[2] = tc;
            break;
          case 3:
            d[0] = sc, d[1] = -1, d[2] = -tc;
            break;
          case 4:
            d[0] = sc, d[1] = -tc, d[2] = 1;
            break;
          default:
            d[0] = -sc, d[1] = -tc, d[2] = -1;
            break;
        }
        int g, x, y;
        lookUp(d, size, &g, &x, &y);
        if (g == f) continue;  // a corner texel stepping along its own edge
        double diff = 0;
        for (int k = 0; k < 3; ++k) diff += std::fabs(faces[f].at(e[0], e[1])[k] - faces[g].at(x, y)[k]);
        worst = std::max(worst, diff / 3);
        total += diff / 3;
        ++count;
      }
    }
  }
  ASSERT_GT(count, 6 * 4 * (size - 2));
  EXPECT_LT(total / count, 4.0);  // levels per channel, on average along all edges
  EXPECT_LT(worst, 40.0);         // block compression may differ a little at single texels
}

void checkModel(const std::string& path, float minExtent, float maxExtent, bool tallest) {
  Assimp::Importer importer;
  const aiScene* scene = importer.ReadFile(path, aiProcess_Triangulate | aiProcess_FlipUVs);
  ASSERT_NE(scene, nullptr) << importer.GetErrorString();
  ASSERT_GT(scene->mNumMeshes, 0u);
  const aiMesh* mesh = scene->mMeshes[0];
  ASSERT_TRUE(mesh->HasNormals());
  ASSERT_TRUE(mesh->HasTextureCoords(0));
  EXPECT_GT(mesh->mNumFaces, 100u);
  aiVector3D lo(1e9f, 1e9f, 1e9f), hi(-1e9f, -1e9f, -1e9f);
  for (unsigned i = 0; i < mesh->mNumVertices; ++i) {
    const aiVector3D& p = mesh->mVertices[i];
    lo = aiVector3D(std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z));
    hi = aiVector3D(std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z));
    EXPECT_NEAR(mesh->mNormals[i].Length(), 1.0f, 0.01f);
  }
  const float extent = std::max(hi.x - lo.x, std::max(hi.y - lo.y, hi.z - lo.z));
  EXPECT_GE(extent, minExtent);
  EXPECT_LE(extent, maxExtent);
  if (tallest) {
    EXPECT_NEAR(hi.z - lo.z, extent, extent * 0.2f) << "upright along +z";
  }
  // Windings agree with the normals: faces are counter-clockwise seen from outside.
  unsigned agreeing = 0;
  for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
    const aiFace& face = mesh->mFaces[f];
    ASSERT_EQ(face.mNumIndices, 3u);
    const aiVector3D a = mesh->mVertices[face.mIndices[0]], b = mesh->mVertices[face.mIndices[1]],
                     c = mesh->mVertices[face.mIndices[2]];
    const aiVector3D n = (b - a) ^ (c - a);
    const aiVector3D vn =
        mesh->mNormals[face.mIndices[0]] + mesh->mNormals[face.mIndices[1]] + mesh->mNormals[face.mIndices[2]];
    if (n * vn > 0) ++agreeing;
  }
  EXPECT_GT(agreeing, mesh->mNumFaces * 97 / 100);
}

TEST(BakedModels, SkullAndDiamondImportWithNormalsAndTextureCoordinates) {
  {
    SCOPED_TRACE("skull");
    checkModel("assets/objects/Skull/SkullV.obj", 15.0f, 25.0f, true);
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile("assets/objects/Skull/SkullV.obj", aiProcess_Triangulate);
    ASSERT_NE(scene, nullptr);
    const aiMaterial* material = scene->mMaterials[scene->mMeshes[0]->mMaterialIndex];
    ASSERT_EQ(material->GetTextureCount(aiTextureType_DIFFUSE), 1u);
    aiString texture;
    material->GetTexture(aiTextureType_DIFFUSE, 0, &texture);
    EXPECT_STREQ(texture.C_Str(), "Skull.jpg");
  }
  {
    SCOPED_TRACE("diamond");
    checkModel("assets/objects/Diamond/diamond.obj", 4.0f, 6.0f, false);
  }
}

TEST(Baker, RebakingGivesTheSameBytes) {
  ASSERT_TRUE(std::filesystem::exists("tools/kellvane-assets")) << "the baker is built with the game";
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "kellvane-rebake";
  std::filesystem::remove_all(dir);
  ASSERT_EQ(std::system(("tools/kellvane-assets " + dir.string() + " > /dev/null").c_str()), 0);
  int compared = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
    if (!entry.is_regular_file()) continue;
    const std::string relative = std::filesystem::relative(entry.path(), dir).string();
    EXPECT_EQ(readFile(entry.path().string()), readFile("assets/" + relative)) << relative;
    ++compared;
  }
  // 7 + 6 textures, the glyph atlas and its metrics, 6 sky faces, 5 model files, the contact sheet
  EXPECT_EQ(compared, 27);
  std::filesystem::remove_all(dir);
}

TEST(Baker, NoiseModeWritesTheStartUpNoiseTextures) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "kellvane-noise";
  std::filesystem::remove_all(dir);
  ASSERT_EQ(std::system(("tools/kellvane-assets noise " + dir.string()).c_str()), 0);
  // The same generators built here in start-up order must give the same pixels.
  resetRandomForTests();
  NoiseTexture n1, n2(RgbBytes{1, 1, 1});
  NoiseTexture n3(RgbBytes{50, 46, 14}, RgbBytes{235, 221, 61}, RgbBytes{255, 255, 255}, NoiseLayer(2, 1.5, 2),
                  NoiseLayer(3, 2.5, 6));
  NoiseTexture n4(RgbBytes{0, 0, 255}, RgbBytes{255, 255, 255}, NoiseLayer(1, 1.5, 1));
  for (const auto& [file, noise] : {std::make_pair("noise3.png", &n3), std::make_pair("noise4.png", &n4)}) {
    int w = 0, h = 0, n = 0;
    unsigned char* data = stbi_load((dir / file).string().c_str(), &w, &h, &n, 0);
    ASSERT_NE(data, nullptr) << file;
    EXPECT_EQ(n, 3);
    ASSERT_EQ(static_cast<size_t>(w * h * n), noise->pixels.size());
    EXPECT_TRUE(std::equal(noise->pixels.begin(), noise->pixels.end(), data)) << file;
    stbi_image_free(data);
  }
  for (int i = 1; i <= 9; ++i) EXPECT_TRUE(std::filesystem::exists(dir / ("noise" + std::to_string(i) + ".png")));
  std::filesystem::remove_all(dir);
}

// The menu icon: one picture at every size, clear outside its rounded frame; the build's icon is
// what the baker paints.
TEST(Baker, IconModePaintsOnePictureAtEverySize) {
  // A folder of this process's own: other builds' test runs may share the machine.
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("kellvane-icons-" + std::to_string(getpid()));
  std::filesystem::remove_all(dir);
  ASSERT_EQ(std::system(("tools/kellvane-assets icons " + dir.string() + " 48 256 > /dev/null").c_str()), 0);
  struct Icon {
    int size = 0, channels = 0;
    std::vector<std::uint8_t> rgba;
    // Colour times alpha, 0..255, so that clear pixels compare equal whatever their colour.
    double premultiplied(int x, int y, int c) const {
      const std::uint8_t* p = &rgba[4 * (static_cast<size_t>(y) * size + x)];
      return c == 3 ? p[3] : p[c] * p[3] / 255.0;
    }
  };
  auto load = [](const std::filesystem::path& path, int size) {
    Icon icon;
    int w = 0, h = 0;
    unsigned char* data = stbi_load(path.string().c_str(), &w, &h, &icon.channels, 0);
    EXPECT_NE(data, nullptr) << path;
    if (!data) return icon;
    EXPECT_EQ(w, size) << path;
    EXPECT_EQ(h, size) << path;
    EXPECT_EQ(icon.channels, 4) << path;
    if (w == size && h == size && icon.channels == 4) {
      icon.size = size;
      icon.rgba.assign(data, data + static_cast<size_t>(size) * size * 4);
    }
    stbi_image_free(data);
    return icon;
  };
  const Icon small = load(dir / "48x48/apps/kellvane.png", 48), large = load(dir / "256x256/apps/kellvane.png", 256);
  ASSERT_TRUE(small.size && large.size);
  for (const Icon* icon : {&small, &large}) {
    SCOPED_TRACE(icon->size);
    const int last = icon->size - 1;
    for (const auto& [x, y] : {std::pair{0, 0}, std::pair{last, 0}, std::pair{0, last}, std::pair{last, last}})
      EXPECT_EQ(icon->premultiplied(x, y, 3), 0) << "corner " << x << ", " << y;
    EXPECT_EQ(icon->premultiplied(icon->size / 2, icon->size / 2, 3), 255);
    EXPECT_EQ(icon->premultiplied(icon->size / 2, 0, 3), 0) << "the frame keeps clear of the edge";
    EXPECT_EQ(icon->premultiplied(icon->size / 2, icon->size / 10, 3), 255) << "the frame fills the icon";
    double sum[3] = {0, 0, 0}, sq[3] = {0, 0, 0};
    const int n = icon->size * icon->size;
    for (int i = 0; i < n; ++i)
      for (int c = 0; c < 3; ++c) sum[c] += icon->premultiplied(i % icon->size, i / icon->size, c);
    for (int i = 0; i < n; ++i)
      for (int c = 0; c < 3; ++c)
        sq[c] += std::pow(icon->premultiplied(i % icon->size, i / icon->size, c) - sum[c] / n, 2);
    for (int c = 0; c < 3; ++c) EXPECT_GT(std::sqrt(sq[c] / n), 20.0) << "channel " << c << " is nearly flat";
  }
  // The small one is the large one scaled down: each of its pixels against the mean of the large
  // pixels it covers.
  double difference = 0;
  for (int y = 0; y < 48; ++y) {
    for (int x = 0; x < 48; ++x) {
      for (int c = 0; c < 4; ++c) {
        double mean = 0;
        int count = 0;
        for (int ly = y * 256 / 48; ly < (y + 1) * 256 / 48; ++ly)
          for (int lx = x * 256 / 48; lx < (x + 1) * 256 / 48; ++lx, ++count) mean += large.premultiplied(lx, ly, c);
        difference += std::fabs(small.premultiplied(x, y, c) - mean / count);
      }
    }
  }
  EXPECT_LT(difference / (48 * 48 * 4), 8.0) << "the 48 px icon is not the 256 px picture";
  EXPECT_EQ(readFile((dir / "256x256/apps/kellvane.png").string()), readFile("icons/256x256/apps/kellvane.png"))
      << "the build's icon differs from a fresh one";

  // Sizes the build cannot mean are refused before anything is painted.
  for (const char* sizes : {"0", "12", "2048", "48px", "-48", "''", "48 abc"}) {
    const std::filesystem::path bad = dir / "bad";
    EXPECT_NE(std::system(("tools/kellvane-assets icons " + bad.string() + " " + sizes + " > /dev/null").c_str()), 0)
        << sizes;
    EXPECT_FALSE(std::filesystem::exists(bad)) << sizes;
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
