#pragma once
#include <GL/glew.h>

#include <cstdint>
#include <memory>
#include <string>

// The top level of a block-compressed DDS file. pixels is allocated with new[] by loadDds and
// released by the caller with delete[]; on any failure every field is zero.
struct DdsImage {
  unsigned char* pixels = nullptr;
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t byteSize = 0;  // bytes of the top level: blocks across x blocks down x block size
  GLenum format = 0;      // one of the three S3TC DXT formats
};

// Reads "DDS " files with the codes DXT1, DXT3 and DXT5; prints nothing on failure. A file whose
// pixel data is shorter than its blocks need (short linear size, or a file that ends early) is
// rejected rather than read past its end.
DdsImage loadDds(const char* path);

// Releases pixels that the image decoder allocated.
struct DecodedPixelsFree {
  void operator()(unsigned char* pixels) const;
};

// A JPEG or PNG file decoded with its own channel count: 8-bit rows without padding and the GL
// format that matches the channels. pixels is empty when the file cannot be read or decoded, has
// a channel count GL has no format for, or is larger than kMaxImageSide on a side (checked
// before decoding, so a lying header cannot make it allocate gigabytes).
struct DecodedImage {
  std::unique_ptr<unsigned char, DecodedPixelsFree> pixels;
  int width = 0;
  int height = 0;
  int channels = 0;
  GLenum format = 0;
};
constexpr int kMaxImageSide = 8192;  // pixels
DecodedImage decodeImageFile(const std::string& path);

// A 2D texture with mipmaps and repeat wrapping. handle comes first: the game stores bare GL
// texture names as its texture values.
class Texture {
 public:
  // A DDS file under "assets/textures/"; valid stays false when the file is unusable.
  explicit Texture(const std::string& fileName);
  // A JPEG or PNG file at directory + "/" + fileName, decoded with its own channel count.
  Texture(const char* fileName, const std::string& directory);
  Texture(const char* fileName, const char* directory);
  // 256 x 256 RGB pixels, rows without gaps; the caller keeps the buffer.
  explicit Texture(const unsigned char* pixels);
  ~Texture();
  Texture(const Texture&) = delete;
  Texture& operator=(const Texture&) = delete;

  GLuint handle = 0;
  bool valid = false;
};

// Image loading as the image constructor does it, returning the bare name; a file that fails
// prints its message and still yields a created (empty) name. The caller owns the name.
GLuint loadImageTexture(const char* fileName, const std::string& directory);

// Side length of the pixel buffers the third constructor takes.
constexpr int kPixelTextureSize = 256;
