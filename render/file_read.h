#pragma once
// Whole-file reads that report failure instead of throwing. A path can open and still not read:
// a folder opens for reading on Linux and every read of it then fails (EISDIR), which the
// standard file stream turns into an exception from deep inside its buffer.
#include <cstdio>
#include <string>

// The whole file in out; false when it cannot be opened or any read fails (out is then empty).
inline bool readWholeFile(const std::string& path, std::string& out) {
  out.clear();
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  char buffer[8192];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) out.append(buffer, got);
  const bool ok = std::ferror(file) == 0;
  std::fclose(file);
  if (!ok) out.clear();
  return ok;
}

// True when the file opens and its first byte (if any) can be read.
inline bool fileReadable(const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  std::fgetc(file);
  const bool ok = std::ferror(file) == 0;
  std::fclose(file);
  return ok;
}
