#pragma once
#include <cstdint>
#include <string>

// The bytes of a one-level DDS file: the magic, a 124-byte header of the given size, linear size
// and four-character code (little-endian, as the reader expects), then dataBytes filler bytes as
// blocks. The reader never looks inside the blocks, and S3TC decodes any bytes.
inline std::string ddsBytes(uint32_t width, uint32_t height, const char* fourCc, uint32_t linearSize,
                            std::size_t dataBytes, const char* magic = "DDS ") {
  auto le32 = [](uint32_t v) {
    return std::string{char(v & 255), char(v >> 8 & 255), char(v >> 16 & 255), char(v >> 24 & 255)};
  };
  std::string header(124, '\0');
  header.replace(0, 4, le32(124));
  header.replace(8, 4, le32(height));
  header.replace(12, 4, le32(width));
  header.replace(16, 4, le32(linearSize));
  header.replace(80, 4, fourCc);
  return std::string(magic, 4) + header + std::string(dataBytes, '\x5a');
}
