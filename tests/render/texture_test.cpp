#include "render/texture.h"

#include <gtest/gtest.h>
#include <stb_dxt.h>
#include <stb_image_write.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "support/gl_context.h"

namespace fs = std::filesystem;

namespace {

// One-level DDS bytes: magic, 124-byte header, then dataBytes of solid-colour blocks. linearSize
// is written as given, so a test can make the header lie.
std::vector<unsigned char> makeDds(uint32_t width, uint32_t height, const char* code, uint32_t linearSize,
                                   size_t dataBytes, unsigned char red = 128) {
  std::vector<unsigned char> bytes(128, 0);
  std::memcpy(bytes.data(), "DDS ", 4);
  const uint32_t fields[3] = {height, width, linearSize};  // at offsets 12, 16, 20
  std::memcpy(bytes.data() + 12, fields, sizeof fields);
  std::memcpy(bytes.data() + 84, code, 4);
  const bool dxt1 = std::strncmp(code, "DXT1", 4) == 0;
  const unsigned char colour[4] = {red, 0, 0, 255};
  unsigned char source[64], block[16];
  for (int p = 0; p < 16; ++p) std::memcpy(source + 4 * p, colour, 4);
  stb_compress_dxt_block(block, source, dxt1 ? 0 : 1, STB_DXT_HIGHQUAL);
  for (size_t i = 0; i < dataBytes; ++i) bytes.push_back(block[i % (dxt1 ? 8 : 16)]);
  return bytes;
}

// A fresh folder holding "assets/textures" as the working folder, so the DDS constructor's fixed
// prefix finds the files a test writes; the previous working folder comes back afterwards.
class TextureTest : public GlContextTest {
 protected:
  void SetUp() override {
    GlContextTest::SetUp();
    char pattern[] = "/tmp/kellvane-texture-XXXXXX";
    root = mkdtemp(pattern);
    fs::create_directories(root / "assets/textures");
    previous = fs::current_path();
    fs::current_path(root);
  }
  void TearDown() override {
    fs::current_path(previous);
    fs::remove_all(root);
    GlContextTest::TearDown();
  }
  std::string dds(const std::vector<unsigned char>& bytes, const std::string& name = "t.dds") {
    std::ofstream(root / "assets/textures" / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return (root / "assets/textures" / name).string();
  }
  static GLint level0(GLenum name) {
    GLint value = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, name, &value);
    return value;
  }
  static std::vector<unsigned char> readBack(GLenum format, size_t size) {
    std::vector<unsigned char> out(size);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, format, GL_UNSIGNED_BYTE, out.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    return out;
  }
  fs::path root, previous;
};

}  // namespace

TEST_F(TextureTest, DdsReaderSizesTheTopLevelInBlocks) {
  struct Case {
    uint32_t width, height;
    const char* code;
    uint32_t byteSize;
    GLenum format;
  } cases[] = {{256, 256, "DXT1", 32768, GL_COMPRESSED_RGBA_S3TC_DXT1_EXT},
               {256, 256, "DXT5", 65536, GL_COMPRESSED_RGBA_S3TC_DXT5_EXT},
               {5, 3, "DXT1", 16, GL_COMPRESSED_RGBA_S3TC_DXT1_EXT},
               {1, 1, "DXT3", 16, GL_COMPRESSED_RGBA_S3TC_DXT3_EXT}};
  for (const Case& c : cases) {
    DdsImage image = loadDds(dds(makeDds(c.width, c.height, c.code, c.byteSize, c.byteSize)).c_str());
    ASSERT_NE(image.pixels, nullptr) << c.code << " " << c.width;
    EXPECT_EQ(image.byteSize, c.byteSize);
    EXPECT_EQ(image.format, c.format);
    EXPECT_EQ(image.width * 100 + image.height, c.width * 100 + c.height);
    delete[] image.pixels;
  }
}

TEST_F(TextureTest, DdsReaderRejectsUnusableFilesWithTheZeroRecord) {
  std::vector<unsigned char> noSpace = makeDds(4, 4, "DXT1", 8, 8), shortHeader = noSpace;
  noSpace[3] = 'X';
  shortHeader.resize(60);
  const std::pair<const char*, std::vector<unsigned char>> cases[] = {
      {"magic without its space", noSpace},
      {"unknown code", makeDds(4, 4, "ATI2", 16, 16)},
      {"header cut off", shortHeader},
      {"data cut off", makeDds(256, 256, "DXT1", 32768, 100)},
      {"linear size below the blocks", makeDds(256, 256, "DXT5", 16, 65536)},
      {"zero width", makeDds(0, 4, "DXT1", 8, 8)},
      {"huge sizes", makeDds(0xFFFFFFFFu, 0xFFFFFFFFu, "DXT1", 0xFFFFFFFFu, 64)},
      {"huge linear size", makeDds(4, 4, "DXT1", 0xFFFFFFFFu, 8)},
      {"empty file", {}}};
  for (const auto& [what, bytes] : cases) {
    const DdsImage image = loadDds(dds(bytes).c_str());
    EXPECT_TRUE(!image.pixels && !image.width && !image.height && !image.byteSize && !image.format) << what;
  }
  EXPECT_EQ(loadDds("assets/textures/absent.dds").pixels, nullptr);

  // As textures they stay invalid without a name or a word on standard output.
  dds(makeDds(64, 64, "DXT5", 4096, 10), "short.dds");
  dds(makeDds(4, 4, "BC7 ", 16, 16), "odd.dds");
  testing::internal::CaptureStdout();
  for (const char* name : {"short.dds", "odd.dds", "absent.dds"}) {
    Texture texture{std::string(name)};
    EXPECT_FALSE(texture.valid);
    EXPECT_EQ(texture.handle, 0u);
  }
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST_F(TextureTest, DdsUploadsItsBlocksCompressedWithTrilinearRepeat) {
  dds(makeDds(8, 8, "DXT1", 32, 32, 255), "red.dds");
  Texture texture(std::string("red.dds"));
  ASSERT_TRUE(texture.valid);
  GLint bound = 0, minFilter = 0, wrap = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(static_cast<GLuint>(bound), texture.handle);
  EXPECT_EQ(level0(GL_TEXTURE_INTERNAL_FORMAT), GL_COMPRESSED_RGBA_S3TC_DXT1_EXT);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrap);
  EXPECT_EQ(minFilter, GL_LINEAR_MIPMAP_LINEAR);
  EXPECT_EQ(wrap, GL_REPEAT);
  const std::vector<unsigned char> pixels = readBack(GL_RGBA, 8 * 8 * 4);
  EXPECT_EQ(pixels[0], 255);
  EXPECT_EQ(pixels[4 * 63 + 1], 0);
}

TEST_F(TextureTest, ImagesUploadWithTheirOwnChannelCountRowsInFileOrder) {
  // Odd widths: rows of one and three bytes per pixel are not 4-byte aligned.
  std::vector<unsigned char> rgba(3 * 2 * 4), rgb(5 * 3 * 3), grey(7 * 5);
  for (size_t i = 0; i < rgba.size(); ++i) rgba[i] = static_cast<unsigned char>(i * 9 + 1);
  for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<unsigned char>(i * 5 + 3);
  for (size_t i = 0; i < grey.size(); ++i) grey[i] = static_cast<unsigned char>(i * 7);
  ASSERT_TRUE(stbi_write_png("four.png", 3, 2, 4, rgba.data(), 3 * 4));
  ASSERT_TRUE(stbi_write_png("three.png", 5, 3, 3, rgb.data(), 5 * 3));
  ASSERT_TRUE(stbi_write_png("one.png", 7, 5, 1, grey.data(), 7));
  ASSERT_TRUE(stbi_write_jpg("flat.jpg", 4, 4, 3, std::vector<unsigned char>(48, 120).data(), 95));
  const struct {
    const char* file;
    GLenum format;
    const std::vector<unsigned char>& pixels;
  } cases[] = {{"four.png", GL_RGBA, rgba}, {"three.png", GL_RGB, rgb}, {"one.png", GL_RED, grey}};
  for (const auto& c : cases) {
    Texture texture(c.file, root.string());
    ASSERT_TRUE(texture.valid) << c.file;
    EXPECT_EQ(level0(GL_TEXTURE_INTERNAL_FORMAT), static_cast<GLint>(c.format)) << c.file;
    EXPECT_EQ(readBack(c.format, c.pixels.size()), c.pixels) << c.file;
  }
  Texture jpeg("flat.jpg", root.c_str());
  ASSERT_TRUE(jpeg.valid);
  for (unsigned char v : readBack(GL_RGB, 48)) EXPECT_NEAR(v, 120, 3);
  GLint alignment = 0;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
  EXPECT_EQ(alignment, 4);  // the caller's unpack alignment is back
}

TEST_F(TextureTest, MissingImagePrintsTheBareFileNameAndGoesOn) {
  std::ofstream("broken.png") << "not a png";
  testing::internal::CaptureStdout();
  Texture missing("particle.png", "assets/textures");
  const GLuint name = loadImageTexture("broken.png", root.string());
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
  GLint bound = -1, minFilter = 0, smallest = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(bound, 0);
  glBindTexture(GL_TEXTURE_2D, texture.handle);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 8, GL_TEXTURE_WIDTH, &smallest);
  EXPECT_EQ(minFilter, GL_LINEAR);
  EXPECT_EQ(smallest, 1);  // the chain reaches 1 x 1
  EXPECT_EQ(readBack(GL_RGB, pixels.size()), pixels);
  glBindTexture(GL_TEXTURE_2D, 0);
}
