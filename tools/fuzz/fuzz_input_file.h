#pragma once
// The readers take file names: every fuzz input is written to one file per process first.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

inline std::string writeFuzzInput(const char* extension, const uint8_t* data, size_t size) {
  static const std::string path = "/tmp/kellvane-fuzz-" + std::to_string(getpid()) + extension;
  if (FILE* file = std::fopen(path.c_str(), "wb")) {
    if (size > 0) std::fwrite(data, 1, size, file);
    std::fclose(file);
  }
  return path;
}
