// The files kellvane-assets bakes into the build's "assets" folder, read back the way the game
// reads them, and the baker's other modes.
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <gtest/gtest.h>
#include <stb_image.h>
#include <unistd.h>

#include <assimp/Importer.hpp>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <glm/glm.hpp>
#include <iterator>

#include "render/texture.h"
#include "support/gl_context.h"

namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::uint32_t u32(const std::string& d, size_t at) {
  std::uint32_t value = 0;
  std::memcpy(&value, d.data() + at, 4);
  return value;
}

// Mean of the first three channels and spread of channel `spreadOf`, over every pixel of `channels` bytes.
glm::vec4 meanAndSpread(const unsigned char* bytes, size_t pixels, int channels, int spreadOf = 0) {
  glm::dvec3 sum(0.0);
  double spreadSum = 0, square = 0;
  for (size_t i = 0; i < pixels * channels; ++i) sum[i % channels % 3] += bytes[i];
  for (size_t i = 0; i < pixels; ++i) spreadSum += bytes[i * channels + spreadOf];
  for (size_t i = 0; i < pixels; ++i) square += std::pow(bytes[i * channels + spreadOf] - spreadSum / pixels, 2);
  return glm::vec4(glm::vec3(sum / double(pixels)), std::sqrt(square / pixels));
}

class BakedTextures : public GlContextTest {
 protected:
  // The top level of a baked DDS file as the game uploads it, decoded by the GL to RGB; the file
  // holds the whole mipmap chain down to 1 x 1.
  static std::vector<unsigned char> decode(const std::string& file, const char* fourCc, int* size) {
    const std::string d = readFile("assets/textures/" + file);
    EXPECT_TRUE(d.size() > 128 && d.compare(0, 4, "DDS ") == 0 && d.compare(84, 4, fourCc) == 0) << file;
    *size = d.size() > 128 ? static_cast<int>(u32(d, 16)) : 0;
    size_t chain = 0, levels = 0, block = std::string(fourCc) == "DXT1" ? 8 : 16;
    for (int w = *size; w > 0; w /= 2, ++levels) chain += std::max(1, w / 4) * std::max(1, w / 4) * block;
    EXPECT_TRUE(u32(d, 12) == u32(d, 16) && u32(d, 28) == levels && d.size() == 128 + chain) << file;
    Texture texture{file};
    std::vector<unsigned char> rgb(3 * *size * *size);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    if (texture.valid) glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    EXPECT_TRUE(texture.valid) << file;
    return rgb;
  }
};

}  // namespace

TEST_F(BakedTextures, EachLooksLikeItsNameInItsOwnFormat) {
  for (const auto& [file, fourCc] : {std::pair{"wood_texture.dds", "DXT1"},
                                     {"tiles_diffuse.dds", "DXT1"},
                                     {"wood_texture_specular.dds", "DXT1"},
                                     {"tiles_specular.dds", "DXT3"},
                                     {"sand_diffuse.dds", "DXT1"},
                                     {"simpleCharacter.dds", "DXT5"}}) {
    SCOPED_TRACE(file);
    int size = 0;
    const std::vector<unsigned char> rgb = decode(file, fourCc, &size);
    const glm::vec4 m = meanAndSpread(rgb.data(), rgb.size() / 3, 3);
    EXPECT_TRUE(size >= 256 && m.w > 10) << "a flat picture";
    const std::string name = file;
    const bool warm = name == "wood_texture.dds" || name == "sand_diffuse.dds";
    EXPECT_TRUE(!warm || (m.r > m.g + 15 && m.g > m.b + 15)) << "warm: red over green over blue";
    EXPECT_TRUE(name != "sand_diffuse.dds" || m.r > 150) << "light";
    EXPECT_TRUE(name.find("specular") == std::string::npos || std::abs(m.r - m.g) < 6) << "grey";
  }
  // The images: their own channel counts, and the particle a soft round sprite in its alpha.
  for (const auto& [path, channels] : {std::pair{"textures/particle.png", 4},
                                       {"objects/Skull/Skull.jpg", 3},
                                       {"objects/Skull/SkullSpecular.png", 1},
                                       {"textures/meine_texturen/texSpec1.jpg", 1},
                                       {"textures/meine_texturen/texSpec2.jpg", 1},
                                       {"textures/meine_texturen/texSpec3.jpg", 3},
                                       {"textures/meine_texturen/texSpec4.jpg", 1},
                                       {"textures/meine_texturen/tex2Spec.jpg", 3},
                                       {"textures/meine_texturen/tex2Spec2.jpg", 1}}) {
    int w = 0, h = 0, n = 0;
    unsigned char* data = stbi_load((std::string("assets/") + path).c_str(), &w, &h, &n, 0);
    ASSERT_NE(data, nullptr) << path;
    EXPECT_EQ(n, channels) << path;
    EXPECT_GT(meanAndSpread(data, w * h, n, n == 4 ? 3 : 0).w, 10.0) << path << " does not vary";
    if (n == 4) {
      const int middle = data[((h / 2) * w + w / 2) * 4 + 3], halfway = data[((h / 2) * w + w / 2 + w / 4) * 4 + 3];
      EXPECT_TRUE(middle > 200 && data[3] == 0 && data[(w * h - 1) * 4 + 3] == 0 && halfway > 10 && halfway < 200);
    }
    stbi_image_free(data);
  }
}

// From every edge texel of each face one texel on past its edge, along the cube: the texel found
// there on the neighbouring face must be about the same. A face turned or swapped jumps by tens.
TEST_F(BakedTextures, SkyFacesMeetWithoutSeams) {
  // Each face's direction, and the directions of its s and t texture axes, as the GL looks them up.
  const glm::dvec3 face[6][3] = {{{1, 0, 0}, {0, 0, -1}, {0, -1, 0}}, {{-1, 0, 0}, {0, 0, 1}, {0, -1, 0}},
                                 {{0, 1, 0}, {1, 0, 0}, {0, 0, 1}},   {{0, -1, 0}, {1, 0, 0}, {0, 0, -1}},
                                 {{0, 0, 1}, {1, 0, 0}, {0, -1, 0}},  {{0, 0, -1}, {-1, 0, 0}, {0, -1, 0}}};
  std::vector<unsigned char> rgb[6];
  int size = 0;
  for (int f = 0; f < 6; ++f)
    rgb[f] =
        decode(std::string("cubemap3/") + (const char*[]){"posx", "negx", "posy", "negy", "posz", "negz"}[f] + ".dds",
               "DXT1", &size);
  double worst = 0, total = 0;
  int count = 0;
  for (int f = 0; f < 6; ++f)
    for (int i = 0; i < 4 * size; ++i) {
      const int x = i < 2 * size ? i % size : (i / size == 2 ? 0 : size - 1),
                y = i < 2 * size ? (i / size) * (size - 1) : i % size;
      const glm::dvec2 st =
          (glm::dvec2(x, y) + 0.5 + glm::dvec2(x == 0 ? -1 : x == size - 1, y == 0 ? -1 : y == size - 1)) /
              double(size) * 2.0 -
          1.0;
      const glm::dvec3 d = face[f][0] + st.x * face[f][1] + st.y * face[f][2];
      int g = 0;
      for (int k = 1; k < 6; ++k) g = glm::dot(d, face[k][0]) > glm::dot(d, face[g][0]) ? k : g;
      if (g == f) continue;  // a corner texel stepping along its own edge
      const double ma = glm::dot(d, face[g][0]);
      const int gx = std::min(size - 1, int((glm::dot(d, face[g][1]) / ma + 1) / 2 * size)),
                gy = std::min(size - 1, int((glm::dot(d, face[g][2]) / ma + 1) / 2 * size));
      double diff = 0;
      for (int k = 0; k < 3; ++k)
        diff += std::abs(rgb[f][3 * (y * size + x) + k] - rgb[g][3 * (gy * size + gx) + k]) / 3.0;
      worst = std::max(worst, diff), total += diff, ++count;
    }
  ASSERT_GT(count, 6 * 4 * (size - 2));
  EXPECT_LT(total / count, 4.0);  // levels per channel, on average along all edges
  EXPECT_LT(worst, 40.0);         // block compression may differ a little at single texels
}

TEST(BakedModels, SkullAndDiamondImportUprightWithOutwardNormalsAndTheirTexture) {
  for (const auto& [path, minExtent, maxExtent, upright] :
       {std::tuple{"assets/objects/Skull/SkullV.obj", 15.0f, 25.0f, true},
        {"assets/objects/Diamond/diamond.obj", 4.0f, 6.0f, false}}) {
    SCOPED_TRACE(path);
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(path, aiProcess_Triangulate | aiProcess_FlipUVs);
    ASSERT_TRUE(scene && scene->mNumMeshes > 0) << importer.GetErrorString();
    const aiMesh* mesh = scene->mMeshes[0];
    ASSERT_TRUE(mesh->HasNormals() && mesh->HasTextureCoords(0) && mesh->mNumFaces > 100);
    aiVector3D lo(1e9f), hi(-1e9f);
    for (unsigned i = 0; i < mesh->mNumVertices; ++i) {
      const aiVector3D& p = mesh->mVertices[i];
      lo = aiVector3D(std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z));
      hi = aiVector3D(std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z));
      EXPECT_NEAR(mesh->mNormals[i].Length(), 1.0f, 0.01f);
    }
    const float extent = std::max({hi.x - lo.x, hi.y - lo.y, hi.z - lo.z});
    EXPECT_TRUE(extent >= minExtent && extent <= maxExtent) << extent;
    EXPECT_TRUE(!upright || hi.z - lo.z > extent * 0.8f) << "upright along +z";
    // Faces counter-clockwise seen from outside: their normals agree with their vertices'.
    unsigned agreeing = 0;
    for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
      const unsigned* i = mesh->mFaces[f].mIndices;
      const aiVector3D *v = mesh->mVertices, *n = mesh->mNormals;
      agreeing += ((v[i[1]] - v[i[0]]) ^ (v[i[2]] - v[i[0]])) * (n[i[0]] + n[i[1]] + n[i[2]]) > 0;
    }
    EXPECT_GT(agreeing, mesh->mNumFaces * 97 / 100);
    aiString texture;
    scene->mMaterials[mesh->mMaterialIndex]->GetTexture(aiTextureType_DIFFUSE, 0, &texture);
    EXPECT_EQ(std::string(texture.C_Str()), upright ? "Skull.jpg" : "");
  }
}

TEST(Baker, RebakingGivesTheSameBytesAndTheNoiseModeTheStartUpNoise) {
  const fs::path dir = fs::temp_directory_path() / ("kellvane-rebake-" + std::to_string(getpid()));
  fs::remove_all(dir);
  ASSERT_EQ(std::system(("tools/kellvane-assets " + dir.string() + " > /dev/null").c_str()), 0);
  int compared = 0;
  for (const auto& entry : fs::recursive_directory_iterator(dir))
    if (entry.is_regular_file()) {
      EXPECT_EQ(readFile(entry.path()), readFile("assets" / fs::relative(entry.path(), dir))) << entry.path();
      ++compared;
    }
  // 7 + 6 textures, the glyph atlas and its metrics, 6 sky faces, 5 model files, the contact sheet
  EXPECT_EQ(compared, 27);
  ASSERT_EQ(std::system(("tools/kellvane-assets noise " + (dir / "noise").string()).c_str()), 0);
  for (int i = 1; i <= 9; ++i) EXPECT_TRUE(fs::exists(dir / "noise" / ("noise" + std::to_string(i) + ".png"))) << i;
  // The third start-up texture, after two flat ones: the reference hash of its pixels.
  int w = 0, h = 0, n = 0;
  unsigned char* data = stbi_load((dir / "noise/noise3.png").c_str(), &w, &h, &n, 0);
  ASSERT_TRUE(data && w * h * n == 256 * 256 * 3);
  std::uint32_t hash = 2166136261u;
  for (int i = 0; i < w * h * n; ++i) hash = (hash ^ data[i]) * 16777619u;
  EXPECT_EQ(hash, 0x4f3f7d8fu);
  stbi_image_free(data);
  fs::remove_all(dir);
}

// The menu icon: one picture at every size, clear outside its rounded frame, and the build's own
// icon is what the baker paints; sizes the build cannot mean are refused before anything is painted.
TEST(Baker, IconModePaintsOnePictureAtEverySize) {
  const fs::path dir = fs::temp_directory_path() / ("kellvane-icons-" + std::to_string(getpid()));
  fs::remove_all(dir);
  ASSERT_EQ(std::system(("tools/kellvane-assets icons " + dir.string() + " 48 256 > /dev/null").c_str()), 0);
  std::vector<double> icons[2];  // colour times alpha, 0..255, so that clear pixels compare equal
  for (int k = 0, size = 48; k < 2; ++k, size = 256) {
    int w = 0, h = 0, n = 0;
    unsigned char* data = stbi_load(
        (dir / (std::to_string(size) + "x" + std::to_string(size)) / "apps/kellvane.png").c_str(), &w, &h, &n, 0);
    ASSERT_TRUE(data && w == size && h == size && n == 4) << size;
    for (int i = 0; i < 4 * size * size; ++i) icons[k].push_back(i % 4 == 3 ? data[i] : data[i] * data[i | 3] / 255.0);
    stbi_image_free(data);
    const auto alpha = [&](int x, int y) { return icons[k][4 * (y * size + x) + 3]; };
    const int last = size - 1;
    EXPECT_TRUE(alpha(0, 0) == 0 && alpha(last, 0) == 0 && alpha(0, last) == 0 && alpha(last, last) == 0) << "corners";
    EXPECT_TRUE(alpha(size / 2, 0) == 0 && alpha(size / 2, size / 10) == 255 && alpha(size / 2, size / 2) == 255)
        << "frame";
    for (int c = 0; c < 3; ++c) {
      double sum = 0, square = 0;
      for (int i = c; i < 4 * size * size; i += 4) sum += icons[k][i], square += icons[k][i] * icons[k][i];
      EXPECT_GT(std::sqrt(square / (size * size) - std::pow(sum / (size * size), 2)), 20.0)
          << "channel " << c << " is flat";
    }
  }
  // The small one is the large one scaled down: each pixel against the mean of the large pixels it covers.
  double difference = 0;
  for (int i = 0; i < 48 * 48 * 4; ++i) {
    const int x = i / 4 % 48, y = i / 4 / 48;
    double mean = 0, count = 0;
    for (int ly = y * 256 / 48; ly < (y + 1) * 256 / 48; ++ly)
      for (int lx = x * 256 / 48; lx < (x + 1) * 256 / 48; ++lx, ++count) mean += icons[1][4 * (ly * 256 + lx) + i % 4];
    difference += std::abs(icons[0][i] - mean / count);
  }
  EXPECT_LT(difference / (48 * 48 * 4), 8.0) << "the 48 px icon is not the 256 px picture";
  EXPECT_EQ(readFile(dir / "256x256/apps/kellvane.png"), readFile("icons/256x256/apps/kellvane.png"));
  for (const char* sizes : {"0", "12", "2048", "48px", "-48", "''", "48 abc"}) {
    EXPECT_NE(
        std::system(("tools/kellvane-assets icons " + (dir / "bad").string() + " " + sizes + " > /dev/null").c_str()),
        0)
        << sizes;
    EXPECT_FALSE(fs::exists(dir / "bad")) << sizes;
  }
  fs::remove_all(dir);
}
