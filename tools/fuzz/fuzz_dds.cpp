// loadDds on arbitrary bytes: it must reject what it cannot read without reading past the file or
// its buffer, and what it accepts must agree with its own header.
#include <cstdint>
#include <cstdlib>

#include "fuzz_input_file.h"
#include "render/texture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = writeFuzzInput(".dds", data, size);
  DdsImage image = loadDds(path.c_str());
  if (!image.pixels) {
    if (image.width || image.height || image.byteSize || image.format) std::abort();  // a failure is all zero
    return 0;
  }
  const uint64_t blocks = ((uint64_t{image.width} + 3) / 4) * ((uint64_t{image.height} + 3) / 4);
  const uint64_t blockBytes = image.format == GL_COMPRESSED_RGBA_S3TC_DXT1_EXT ? 8 : 16;
  if (image.byteSize != blocks * blockBytes || image.byteSize + 128 > size) std::abort();
  // Every byte the upload would read must be inside the buffer (AddressSanitizer watches).
  volatile unsigned sum = 0;
  for (uint32_t i = 0; i < image.byteSize; ++i) sum = sum + image.pixels[i];
  delete[] image.pixels;
  return 0;
}
