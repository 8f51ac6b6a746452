// The loaders on damaged files, without a GL context: the DDS reader, the image decoder and the
// model import with its mesh conversion. Each must refuse or repair, never read past its input.
#include <assimp/scene.h>
#include <gtest/gtest.h>

#include <assimp/Importer.hpp>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "app/settings.h"
#include "render/model.h"
#include "render/texture.h"
#include "support/dds_bytes.h"

namespace {

std::string tempFile(const std::string& name, const std::string& bytes) {
  const std::string path = ::testing::TempDir() + name;
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

Mesh importObj(const std::string& text) {
  Assimp::Importer importer;
  const aiScene* scene = importer.ReadFileFromMemory(text.data(), text.size(), kModelImportFlags, "obj");
  if (!scene || scene->mNumMeshes == 0) return {};
  Mesh all;
  for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
    Mesh one = convertMesh(scene->mMeshes[m]);
    const unsigned base = static_cast<unsigned>(all.vertices.size());
    all.vertices.insert(all.vertices.end(), one.vertices.begin(), one.vertices.end());
    for (unsigned i : one.indices) all.indices.push_back(base + i);
  }
  return all;
}

void expectDrawable(const Mesh& mesh) {
  EXPECT_EQ(mesh.indices.size() % 3, 0u);
  for (unsigned i : mesh.indices) EXPECT_LT(i, mesh.vertices.size());
  for (const MeshVertex& v : mesh.vertices) {
    EXPECT_TRUE(std::isfinite(v.normal.x) && std::isfinite(v.normal.y) && std::isfinite(v.normal.z));
    EXPECT_GT(glm::length(v.normal), 0.0f);
  }
}

}  // namespace

TEST(BadDds, TruncatedOrLyingFilesAreRefused) {
  const std::string wood = readFile("assets/textures/wood_texture.dds");
  ASSERT_GT(wood.size(), 1000u) << "needs the baked assets";
  DdsImage whole = loadDds("assets/textures/wood_texture.dds");
  EXPECT_NE(whole.pixels, nullptr);
  delete[] whole.pixels;
  const std::string refused[] = {
      wood.substr(0, wood.size() / 2),  // the game's own wood texture cut in half
      wood.substr(0, 70), "",           // cut inside the header, and an empty file
      // A header that claims 65535 x 65535 (2 GB of blocks) over 64 bytes of data: refused before
      // any allocation of that size.
      ddsBytes(65535, 65535, "DXT5", 0xFFFFFFFFu, 64),
      ddsBytes(8, 8, "DXT1", 16, 32),  // a linear size short of the blocks: the upload would read past it
      ddsBytes(0, 4, "DXT1", 8, 8), ddsBytes(4, 4, "ATI2", 16, 16)};  // width of zero, unknown code
  for (const std::string& bytes : refused) {
    const DdsImage image = loadDds(tempFile("refused.dds", bytes).c_str());
    EXPECT_TRUE(image.pixels == nullptr && image.width == 0u) << &bytes - refused;
  }
  // A sound 5 x 3 DXT5 file needs two blocks across and one down.
  DdsImage ok = loadDds(tempFile("ok.dds", ddsBytes(5, 3, "DXT5", 32, 32)).c_str());
  ASSERT_NE(ok.pixels, nullptr);
  EXPECT_EQ(ok.byteSize, 32u);
  EXPECT_EQ(ok.format, static_cast<GLenum>(GL_COMPRESSED_RGBA_S3TC_DXT5_EXT));
  delete[] ok.pixels;
}

TEST(BadImage, EmptyTruncatedAndOversizedFilesAreRefused) {
  EXPECT_FALSE(decodeImageFile(tempFile("zero.png", "")).pixels);
  EXPECT_FALSE(decodeImageFile(::testing::TempDir() + "no-such.png").pixels);
  const std::string particle = readFile("assets/textures/particle.png");
  ASSERT_GT(particle.size(), 100u) << "needs the baked assets";
  const DecodedImage whole = decodeImageFile("assets/textures/particle.png");
  ASSERT_TRUE(whole.pixels);
  EXPECT_NE(whole.format, 0u);
  EXPECT_FALSE(decodeImageFile(tempFile("cut.png", particle.substr(0, 40))).pixels);
  // The same PNG with its header's width raised to 100000 pixels: refused from the header alone.
  std::string wide = particle;
  wide.replace(16, 4, std::string{0, 1, char(0x86), char(0xA0)});
  const DecodedImage refused = decodeImageFile(tempFile("wide.png", wide));
  EXPECT_FALSE(refused.pixels);
  EXPECT_EQ(refused.width, 0);
}

TEST(BadModel, GarbageImportsNothingOrSomethingDrawableAndMissingNormalsFaceOutOfEachTriangle) {
  std::string garbage;
  for (int i = 0; i < 4000; ++i) garbage += static_cast<char>((i * 7919) % 251);
  expectDrawable(importObj(garbage));
  expectDrawable(importObj("v 1 2\nv a b c\nf 1 2 3\nvt\nvn 0 0\nf\nf 1/1/1 1/1/1\n"));
  // A square in the xy plane wound counter-clockwise seen from +z, split into two triangles.
  const Mesh square = importObj("v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nf 1 2 3 4\n");
  ASSERT_EQ(square.indices.size(), 6u);
  for (const MeshVertex& v : square.vertices) EXPECT_NEAR(glm::distance(v.normal, glm::vec3(0, 0, 1)), 0.0f, 1e-6f);
  // The OBJ reader gives every face corners of its own, so each triangle of a box corner gets its
  // own flat, outward normal.
  const Mesh corner =
      importObj("v 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 0 1\nf 1 3 2\nf 1 2 4\nf 1 4 3\n");  // faces looking -z, -y, -x
  ASSERT_EQ(corner.indices.size(), 9u);
  const glm::vec3 outward[3] = {{0, 0, -1}, {0, -1, 0}, {-1, 0, 0}};
  for (size_t i = 0; i < 9; ++i)
    EXPECT_NEAR(glm::distance(corner.vertices[corner.indices[i]].normal, outward[i / 3]), 0.0f, 1e-6f) << i;
}

TEST(BadModel, LinesAndPointsDoNotShiftTheTriangles) {
  // Two triangles with a line and a point between them.
  const Mesh mesh = importObj("v 0 0 0\nv 1 0 0\nv 0 1 0\nv 5 5 5\nf 1 2 3\nl 1 4\np 4\nf 2 3 4\n");
  expectDrawable(mesh);
  EXPECT_GE(mesh.indices.size(), 3u);
  // Whatever Assimp splits it into, every kept index triple is a real triangle of the file.
  for (size_t t = 0; t < mesh.indices.size(); t += 3) {
    const glm::vec3 a = mesh.vertices[mesh.indices[t]].position, b = mesh.vertices[mesh.indices[t + 1]].position,
                    c = mesh.vertices[mesh.indices[t + 2]].position;
    EXPECT_GT(glm::length(glm::cross(b - a, c - a)), 0.0f) << "triangle " << t / 3 << " is a line or a point";
  }
}

// The conversion on meshes no importer would hand over: it still yields drawable data.
TEST(BadModel, ConversionAveragesSharedCornersDropsBrokenFacesAndRepairsUnusableNormals) {
  // Four corners of a box, three faces: a face of two corners is a line.
  const auto convert = [](std::vector<aiVector3D> points, std::vector<aiVector3D> normals,
                          std::vector<std::vector<unsigned>> faces) {
    aiMesh source;
    source.mNumVertices = 4;
    source.mVertices = new aiVector3D[4]{points[0], points[1], points[2], points[3]};
    if (!normals.empty()) source.mNormals = new aiVector3D[4]{normals[0], normals[1], normals[2], normals[3]};
    source.mNumFaces = static_cast<unsigned>(faces.size());
    source.mFaces = new aiFace[faces.size()];
    for (size_t f = 0; f < faces.size(); ++f) {
      source.mFaces[f].mNumIndices = static_cast<unsigned>(faces[f].size());
      source.mFaces[f].mIndices = new unsigned[3]{faces[f][0], faces[f][1], faces[f].back()};
    }
    return convertMesh(&source);
  };
  // Where corners are shared, the normal is the unit average of the faces around them; a corner
  // on two of the three faces averages those two.
  Mesh mesh = convert({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {}, {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}});
  const float d = -1.0f / std::sqrt(3.0f), h = -1.0f / std::sqrt(2.0f);
  EXPECT_NEAR(glm::distance(mesh.vertices[0].normal, glm::vec3(d, d, d)), 0.0f, 1e-6f);
  EXPECT_NEAR(glm::distance(mesh.vertices[1].normal, glm::vec3(0, h, h)), 0.0f, 1e-6f);
  // The face past the vertex list and the line are gone; the face with the NaN corner stays (its
  // indices are sound), and the corners it touches fall back to a finite normal.
  mesh = convert({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {NAN, 0, 0}}, {{0, 0, 2}, {0, 0, 0}, {NAN, 1, 0}, {0, 0, 1}},
                 {{0, 1, 2}, {0, 1, 7}, {2, 3, 0}, {1, 2}});
  ASSERT_EQ(mesh.indices, (std::vector<unsigned>{0, 1, 2, 2, 3, 0}));
  EXPECT_EQ(mesh.vertices[0].normal, glm::vec3(0, 0, 2)) << "a usable normal of the file is kept as it is";
  EXPECT_NEAR(glm::distance(mesh.vertices[1].normal, glm::vec3(0, 0, 1)), 0.0f, 1e-6f) << "zero normal repaired";
  EXPECT_TRUE(std::isfinite(mesh.vertices[2].normal.x)) << "NaN normal repaired";
  expectDrawable(mesh);
}

// A folder where a file should be opens for reading on Linux, and every read of it then fails
// (EISDIR): each reader must refuse it as it refuses a missing file, without throwing.
TEST(BadPath, AFolderInPlaceOfAFileIsRefusedByEveryReader) {
  const std::string folder = ::testing::TempDir() + "a-folder.dds";
  std::filesystem::create_directories(folder);

  EXPECT_EQ(loadDds(folder.c_str()).pixels, nullptr);
  EXPECT_FALSE(decodeImageFile(folder).pixels);

  ::testing::internal::CaptureStdout();
  const Settings settings = loadSettings(folder);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "ERROR: Failed to load '" + folder + "'. Using default values instead.\n");
  EXPECT_EQ(settings.width, 800);

  ::testing::internal::CaptureStdout();
  const Model model(folder.c_str(), glm::mat4(1.0f), nullptr);
  EXPECT_EQ(::testing::internal::GetCapturedStdout().rfind("ERROR::ASSIMP::", 0), 0u);
  EXPECT_TRUE(model.meshes.empty());
}
