#pragma once
// Resident memory of this process, for the soak tests' flat-memory checks.
#include <unistd.h>

#include <cstdio>

// Bytes resident now (the second field of /proc/self/statm, in pages); 0 when unreadable.
inline long long residentBytes() {
  long long pages = 0, resident = 0;
  FILE* statm = std::fopen("/proc/self/statm", "r");
  if (!statm) return 0;
  const int read = std::fscanf(statm, "%lld %lld", &pages, &resident);
  std::fclose(statm);
  return read == 2 ? resident * sysconf(_SC_PAGESIZE) : 0;
}

constexpr long long kMaxGrowthBytes = 2ll * 1024 * 1024;  // allowed growth after warm-up
