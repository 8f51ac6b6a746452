// loadSettings on arbitrary bytes: whatever the file says, the values the game starts with must
// be ones it can run with.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <sstream>

#include "app/settings.h"
#include "fuzz_input_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = writeFuzzInput(".ini", data, size);
  // The messages go to a string: they must be plain printable lines.
  std::ostringstream out;
  std::streambuf* previous = std::cout.rdbuf(out.rdbuf());
  const Settings s = loadSettings(path);
  std::cout.rdbuf(previous);

  if (s.width < 1 || s.width > 8192 || s.height < 1 || s.height > 8192) std::abort();
  if (s.refreshRate < 1 || s.refreshRate > 1000) std::abort();
  if (!(s.fov >= 1.0f && s.fov <= 179.0f)) std::abort();
  if (!std::isfinite(s.brightness) || s.brightness < 0.0f) std::abort();
  if (!std::isfinite(s.nearPlane) || !std::isfinite(s.farPlane)) std::abort();
  for (const char c : out.str())
    if (c != '\n' && (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7f)) std::abort();
  return 0;
}
