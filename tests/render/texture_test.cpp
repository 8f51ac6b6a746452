#include "render/texture.h"

#include <gtest/gtest.h>
#include <stb_dxt.h>
#include <stb_image_write.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "support/gl_context.h"

namespace fs = std::filesystem;

namespace {

void put32(std::vector<unsigned char>& bytes, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<unsigned char>(value >> (8 * i));
}

// A DDS file of one level: magic, 124-byte header, then `dataBytes` bytes of blocks, each block
// the compressed form of one solid colour. linearSize is written as given so tests can lie.
std::vector<unsigned char> makeDds(uint32_t width, uint32_t height, const char* fourCc, uint32_t linearSize,
                                   size_t dataBytes, const unsigned char rgba[4] = nullptr) {
  std::vector<unsigned char> bytes(128, 0);
  std::memcpy(bytes.data(), "DDS ", 4);
  put32(bytes, 4, 124);
  put32(bytes, 12, height);
  put32(bytes, 16, width);
  put32(bytes, 20, linearSize);
  std::memcpy(bytes.data() + 84, fourCc, 4);
  const bool dxt1 = std::strncmp(fourCc, "DXT1", 4) == 0;
  const size_t blockBytes = dxt1 ? 8 : 16;
  static const unsigned char grey[4] = {128, 128, 128, 255};
  unsigned char source[64];
  for (int p = 0; p < 16; ++p) std::memcpy(source + 4 * p, rgba ? rgba : grey, 4);
  unsigned char block[16];
  stb_compress_dxt_block(block, source, dxt1 ? 0 : 1, STB_DXT_HIGHQUAL);
  for (size_t i = 0; i < dataBytes; ++i) bytes.push_back(block[i % blockBytes]);
  return bytes;
}

void writeFile(const fs::path& path, const std::vector<unsigned char>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool isZero(const DdsImage& image) {
  return !image.pixels && image.width == 0 && image.height == 0 && image.byteSize == 0 && image.format == 0;
}

// Works inside a fresh folder holding "assets/textures", so the DDS constructor's fixed prefix
// finds the files the test writes; the previous working folder is restored afterwards.
class TextureFiles {
 public:
  TextureFiles() {
    char pattern[] = "/tmp/kellvane-texture-XXXXXX";
    root = mkdtemp(pattern);
    fs::create_directories(root / "assets/textures");
    previous = fs::current_path();
    fs::current_path(root);
  }
  ~TextureFiles() {
    fs::current_path(previous);
    fs::remove_all(root);
  }
  fs::path textures() const { return root / "assets/textures"; }
  fs::path root, previous;
};

GLint levelParameter(GLenum name, GLint level = 0) {
  GLint value = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, level, name, &value);
  return value;
}

GLint parameter(GLenum name) {
  GLint value = 0;
  glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
  return value;
}

}  // namespace

TEST(DdsReader, ComputesTheTopLevelSizeFromBlocks) {
  TextureFiles files;
  struct Case {
    uint32_t width, height;
    const char* code;
    uint32_t byteSize;
    GLenum format;
  };
  const Case cases[] = {{256, 256, "DXT1", 32768, GL_COMPRESSED_RGBA_S3TC_DXT1_EXT},
                        {256, 256, "DXT5", 65536, GL_COMPRESSED_RGBA_S3TC_DXT5_EXT},
                        {5, 3, "DXT1", 16, GL_COMPRESSED_RGBA_S3TC_DXT1_EXT},
                        {1, 1, "DXT3", 16, GL_COMPRESSED_RGBA_S3TC_DXT3_EXT}};
  for (const Case& c : cases) {
    const fs::path path = files.textures() / "sized.dds";
    writeFile(path, makeDds(c.width, c.height, c.code, c.byteSize, c.byteSize));
    DdsImage image = loadDds(path.c_str());
    ASSERT_NE(image.pixels, nullptr) << c.code << " " << c.width;
    EXPECT_EQ(image.width, c.width);
    EXPECT_EQ(image.height, c.height);
    EXPECT_EQ(image.byteSize, c.byteSize);
    EXPECT_EQ(image.format, c.format);
    delete[] image.pixels;
  }
}

TEST(DdsReader, RejectsUnusableFilesWithTheZeroRecord) {
  TextureFiles files;
  const fs::path path = files.textures() / "bad.dds";
  auto load = [&](const std::vector<unsigned char>& bytes) {
    writeFile(path, bytes);
    return loadDds(path.c_str());
  };
  std::vector<unsigned char> noSpace = makeDds(4, 4, "DXT1", 8, 8);
  noSpace[3] = 'X';
  EXPECT_TRUE(isZero(load(noSpace))) << "magic without its space";
  EXPECT_TRUE(isZero(load(makeDds(4, 4, "ATI2", 16, 16)))) << "unknown code";
  std::vector<unsigned char> shortHeader = makeDds(4, 4, "DXT1", 8, 8);
  shortHeader.resize(60);
  EXPECT_TRUE(isZero(load(shortHeader))) << "header cut off";
  EXPECT_TRUE(isZero(load(makeDds(256, 256, "DXT1", 32768, 100)))) << "data cut off";
  EXPECT_TRUE(isZero(load(makeDds(256, 256, "DXT5", 16, 65536)))) << "linear size below the blocks";
  EXPECT_TRUE(isZero(load(makeDds(0, 4, "DXT1", 8, 8)))) << "zero width";
  EXPECT_TRUE(isZero(load(makeDds(0xFFFFFFFFu, 0xFFFFFFFFu, "DXT1", 0xFFFFFFFFu, 64)))) << "huge sizes";
  EXPECT_TRUE(isZero(load(makeDds(4, 4, "DXT1", 0xFFFFFFFFu, 8)))) << "huge linear size";
  EXPECT_TRUE(isZero(load({}))) << "empty file";
  EXPECT_TRUE(isZero(loadDds((files.textures() / "absent.dds").c_str())));
}

class TextureTest : public GlContextTest {};

TEST_F(TextureTest, DdsUploadsCompressedBlocksWithTrilinearRepeat) {
  TextureFiles files;
  const unsigned char red[4] = {255, 0, 0, 255};
  writeFile(files.textures() / "red.dds", makeDds(8, 8, "DXT1", 32, 32, red));
  Texture texture(std::string("red.dds"));
  ASSERT_TRUE(texture.valid);
  ASSERT_NE(texture.handle, 0u);
  GLint bound = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(static_cast<GLuint>(bound), texture.handle);
  EXPECT_EQ(levelParameter(GL_TEXTURE_COMPRESSED), GL_TRUE);
  EXPECT_EQ(levelParameter(GL_TEXTURE_INTERNAL_FORMAT), GL_COMPRESSED_RGBA_S3TC_DXT1_EXT);
  EXPECT_EQ(levelParameter(GL_TEXTURE_WIDTH, 3), 1);  // the driver built the mipmap chain
  EXPECT_EQ(parameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
  EXPECT_EQ(parameter(GL_TEXTURE_MAG_FILTER), GL_LINEAR);
  EXPECT_EQ(parameter(GL_TEXTURE_WRAP_S), GL_REPEAT);
  EXPECT_EQ(parameter(GL_TEXTURE_WRAP_T), GL_REPEAT);
  std::vector<unsigned char> pixels(8 * 8 * 4);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  EXPECT_EQ(pixels[0], 255);
  EXPECT_EQ(pixels[1], 0);
  EXPECT_EQ(pixels[4 * 63 + 0], 255);
}

TEST_F(TextureTest, UnusableDdsGivesAnInvalidTextureSilently) {
  TextureFiles files;
  writeFile(files.textures() / "odd.dds", makeDds(4, 4, "BC7 ", 16, 16));
  writeFile(files.textures() / "short.dds", makeDds(64, 64, "DXT5", 4096, 10));
  testing::internal::CaptureStdout();
  Texture unknown(std::string("odd.dds"));
  Texture truncated(std::string("short.dds"));
  Texture missing(std::string("nowhere.dds"));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  for (const Texture* t : {&unknown, &truncated, &missing}) {
    EXPECT_FALSE(t->valid);
    EXPECT_EQ(t->handle, 0u);
  }
}

TEST_F(TextureTest, ImagesUploadWithTheirOwnChannelCountRowsInFileOrder) {
  TextureFiles files;
  // Odd widths: rows of 1 and 3 channels are not 4-byte aligned.
  std::vector<unsigned char> rgba(3 * 2 * 4), rgb(5 * 3 * 3);
  for (size_t i = 0; i < rgba.size(); ++i) rgba[i] = static_cast<unsigned char>(i * 9 + 1);
  for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<unsigned char>(i * 5 + 3);
  ASSERT_TRUE(stbi_write_png((files.root / "four.png").c_str(), 3, 2, 4, rgba.data(), 3 * 4));
  ASSERT_TRUE(stbi_write_png((files.root / "three.png").c_str(), 5, 3, 3, rgb.data(), 5 * 3));
  std::vector<unsigned char> grey(7 * 5);
  for (size_t i = 0; i < grey.size(); ++i) grey[i] = static_cast<unsigned char>(i * 7);
  ASSERT_TRUE(stbi_write_png((files.root / "grey.png").c_str(), 7, 5, 1, grey.data(), 7));
  // The JPEG writer always stores colour, so a JPEG checks decoding rather than channel counts.
  std::vector<unsigned char> flat(4 * 4 * 3, 120);
  ASSERT_TRUE(stbi_write_jpg((files.root / "flat.jpg").c_str(), 4, 4, 3, flat.data(), 95));

  auto readBack = [](GLenum format, size_t size) {
    std::vector<unsigned char> out(size);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, format, GL_UNSIGNED_BYTE, out.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    return out;
  };
  Texture four("four.png", files.root.string());
  ASSERT_TRUE(four.valid);
  EXPECT_EQ(levelParameter(GL_TEXTURE_INTERNAL_FORMAT), GL_RGBA);
  EXPECT_EQ(readBack(GL_RGBA, rgba.size()), rgba);
  EXPECT_EQ(parameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);

  Texture three("three.png", files.root.c_str());
  ASSERT_TRUE(three.valid);
  EXPECT_EQ(levelParameter(GL_TEXTURE_INTERNAL_FORMAT), GL_RGB);
  EXPECT_EQ(readBack(GL_RGB, rgb.size()), rgb);

  Texture single("grey.png", files.root.string());
  ASSERT_TRUE(single.valid);
  EXPECT_EQ(levelParameter(GL_TEXTURE_INTERNAL_FORMAT), GL_RED);
  EXPECT_EQ(readBack(GL_RED, grey.size()), grey);

  Texture jpeg("flat.jpg", files.root.string());
  ASSERT_TRUE(jpeg.valid);
  for (unsigned char v : readBack(GL_RGB, flat.size())) EXPECT_NEAR(v, 120, 3);
  GLint alignment = 0;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
  EXPECT_EQ(alignment, 4);  // the upload put the caller's alignment back
}

TEST_F(TextureTest, MissingImagePrintsTheBareFileNameAndGoesOn) {
  TextureFiles files;
  std::ofstream(files.root / "broken.png") << "not a png";
  testing::internal::CaptureStdout();
  Texture missing("particle.png", "assets/textures");
  const GLuint name = loadImageTexture("broken.png", files.root.string());
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Texture failed to load at path: particle.png\nTexture failed to load at path: broken.png\n");
  EXPECT_FALSE(missing.valid);
  EXPECT_NE(name, 0u);  // the model keeps the created, empty name
  glDeleteTextures(1, &name);
}

TEST_F(TextureTest, PixelBufferTextureSamplesLevelZeroAndUnbinds) {
  std::vector<unsigned char> pixels(kPixelTextureSize * kPixelTextureSize * 3);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<unsigned char>(i % 251);
  Texture texture(pixels.data());
  EXPECT_TRUE(texture.valid);
  GLint bound = -1;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(bound, 0);
  glBindTexture(GL_TEXTURE_2D, texture.handle);
  EXPECT_EQ(parameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR);
  EXPECT_EQ(parameter(GL_TEXTURE_WRAP_S), GL_REPEAT);
  EXPECT_EQ(levelParameter(GL_TEXTURE_WIDTH, 8), 1);  // full chain down to 1 x 1
  std::vector<unsigned char> back(pixels.size());
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, back.data());
  EXPECT_EQ(back, pixels);
  glBindTexture(GL_TEXTURE_2D, 0);
}
