#include "render/texture.h"

#include <stb_image.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>

namespace {

constexpr size_t kDdsHeaderSize = 124;

uint32_t readLittleEndian32(const unsigned char* bytes) {
  return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

// Closes the file when the reader returns on any path.
struct FileCloser {
  void operator()(FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<FILE, FileCloser>;

// Bytes left between the current position and the end, or -1 when the file cannot be measured.
long bytesRemaining(FILE* file) {
  const long here = std::ftell(file);
  if (here < 0 || std::fseek(file, 0, SEEK_END) != 0) return -1;
  const long end = std::ftell(file);
  if (end < 0 || std::fseek(file, here, SEEK_SET) != 0) return -1;
  return end - here;
}

GLenum pixelFormatFor(int channels) {
  switch (channels) {
    case 1:
      return GL_RED;
    case 2:
      return GL_RG;  // grey plus alpha keeps both channels
    case 3:
      return GL_RGB;
    case 4:
      return GL_RGBA;
    default:
      return 0;
  }
}

void setRepeatTrilinear() {
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
}

// Uploads 8-bit pixels whose rows are packed without padding (stb_image rows of 1 or 3 channels
// are not 4-byte aligned), then restores the unpack alignment the caller had.
void uploadPacked(GLenum format, GLsizei width, GLsizei height, const void* pixels) {
  GLint alignment = 4;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format), width, height, 0, format, GL_UNSIGNED_BYTE, pixels);
  glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
}

// Decodes directory + "/" + fileName into the given (already created) name. Prints the failure
// with the bare file name.
bool loadImageInto(GLuint name, const char* fileName, const std::string& directory) {
  const DecodedImage image = decodeImageFile(directory + "/" + fileName);
  GLint maxSize = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
  if (!image.pixels || image.width > maxSize || image.height > maxSize) {
    std::cout << "Texture failed to load at path: " << fileName << std::endl;
    return false;
  }
  glBindTexture(GL_TEXTURE_2D, name);
  uploadPacked(image.format, image.width, image.height, image.pixels.get());
  glGenerateMipmap(GL_TEXTURE_2D);
  setRepeatTrilinear();
  return true;
}

}  // namespace

void DecodedPixelsFree::operator()(unsigned char* pixels) const { stbi_image_free(pixels); }

DecodedImage decodeImageFile(const std::string& path) {
  DecodedImage image;
  FileHandle file(std::fopen(path.c_str(), "rb"));
  if (!file) return image;
  int width = 0, height = 0, channels = 0;
  if (!stbi_info_from_file(file.get(), &width, &height, &channels)) return image;
  if (width <= 0 || height <= 0 || width > kMaxImageSide || height > kMaxImageSide) return image;
  image.pixels.reset(stbi_load_from_file(file.get(), &width, &height, &channels, 0));
  image.format = pixelFormatFor(channels);
  if (!image.pixels || image.format == 0) return DecodedImage{};
  image.width = width;
  image.height = height;
  image.channels = channels;
  return image;
}

DdsImage loadDds(const char* path) {
  FileHandle file(std::fopen(path, "rb"));
  if (!file) return {};

  char magic[4];
  if (std::fread(magic, 1, 4, file.get()) != 4 || std::memcmp(magic, "DDS ", 4) != 0) return {};

  unsigned char header[kDdsHeaderSize];
  if (std::fread(header, 1, kDdsHeaderSize, file.get()) != kDdsHeaderSize) return {};
  // Offsets in the header are those in the file minus the four magic bytes.
  const uint32_t height = readLittleEndian32(header + 8);
  const uint32_t width = readLittleEndian32(header + 12);
  const uint32_t linearSize = readLittleEndian32(header + 16);
  const char* fourCc = reinterpret_cast<const char*>(header + 80);

  GLenum format = 0;
  uint64_t blockBytes = 16;
  if (std::memcmp(fourCc, "DXT1", 4) == 0) {
    format = GL_COMPRESSED_RGBA_S3TC_DXT1_EXT;
    blockBytes = 8;
  } else if (std::memcmp(fourCc, "DXT3", 4) == 0) {
    format = GL_COMPRESSED_RGBA_S3TC_DXT3_EXT;
  } else if (std::memcmp(fourCc, "DXT5", 4) == 0) {
    format = GL_COMPRESSED_RGBA_S3TC_DXT5_EXT;
  } else {
    return {};
  }

  // 64-bit so that sizes near 2^32 cannot wrap around to something small.
  const uint64_t byteSize = ((uint64_t{width} + 3) / 4) * ((uint64_t{height} + 3) / 4) * blockBytes;
  if (width == 0 || height == 0 || byteSize > linearSize) return {};
  // Trust the header's size only as far as the file really reaches; this also keeps a corrupt
  // size from allocating gigabytes.
  const long remaining = bytesRemaining(file.get());
  if (remaining < 0 || static_cast<uint64_t>(remaining) < linearSize) return {};

  std::unique_ptr<unsigned char[]> pixels(new unsigned char[linearSize]);
  if (std::fread(pixels.get(), 1, linearSize, file.get()) != linearSize) return {};

  DdsImage image;
  image.pixels = pixels.release();
  image.width = width;
  image.height = height;
  image.byteSize = static_cast<uint32_t>(byteSize);
  image.format = format;
  return image;
}

Texture::Texture(const std::string& fileName) {
  const std::string path = "assets/textures/" + fileName;
  DdsImage image = loadDds(path.c_str());
  if (!image.pixels) return;
  std::unique_ptr<unsigned char[]> pixels(image.pixels);
  // A size the driver cannot hold is as unusable as a broken file.
  GLint maxSize = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
  if (image.width > static_cast<uint32_t>(maxSize) || image.height > static_cast<uint32_t>(maxSize)) return;

  glGenTextures(1, &handle);
  glBindTexture(GL_TEXTURE_2D, handle);
  glCompressedTexImage2D(GL_TEXTURE_2D, 0, image.format, static_cast<GLsizei>(image.width),
                         static_cast<GLsizei>(image.height), 0, static_cast<GLsizei>(image.byteSize), pixels.get());
  glGenerateMipmap(GL_TEXTURE_2D);
  setRepeatTrilinear();
  valid = true;
}

Texture::Texture(const char* fileName, const std::string& directory) {
  glGenTextures(1, &handle);
  valid = loadImageInto(handle, fileName, directory);
}

Texture::Texture(const char* fileName, const char* directory) : Texture(fileName, std::string(directory)) {}

Texture::Texture(const unsigned char* pixels) {
  glGenTextures(1, &handle);
  glBindTexture(GL_TEXTURE_2D, handle);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  // Mipmaps are generated, but minification samples level 0 only.
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  uploadPacked(GL_RGB, kPixelTextureSize, kPixelTextureSize, pixels);
  glGenerateMipmap(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, 0);
  valid = true;
}

Texture::~Texture() {
  // A failed image load still created a name; it is ours, so it goes too.
  if (handle != 0) glDeleteTextures(1, &handle);
  handle = 0;
  valid = false;
}

GLuint loadImageTexture(const char* fileName, const std::string& directory) {
  GLuint name = 0;
  glGenTextures(1, &name);
  loadImageInto(name, fileName, directory);
  return name;
}
