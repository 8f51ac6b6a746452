// The image loader's decode half on arbitrary bytes: a JPEG or PNG that it accepts has a size
// within bounds and exactly the bytes the upload reads.
#include <cstdint>
#include <cstdlib>

#include "fuzz_input_file.h"
#include "render/texture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = writeFuzzInput(".png", data, size);
  const DecodedImage image = decodeImageFile(path);
  if (!image.pixels) return 0;
  if (image.width < 1 || image.height < 1 || image.width > kMaxImageSide || image.height > kMaxImageSide) std::abort();
  if (image.channels < 1 || image.channels > 4 || image.format == 0) std::abort();
  // The upload reads width x height x channels bytes (rows packed): touch the first and last.
  const size_t bytes = size_t(image.width) * size_t(image.height) * size_t(image.channels);
  volatile unsigned char edge = image.pixels.get()[0];
  edge = image.pixels.get()[bytes - 1];
  (void)edge;
  return 0;
}
