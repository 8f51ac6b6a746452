#include "render/random.h"

namespace {
// Unsigned, so the multiply-add wraps modulo 2^32 as the generator needs.
std::uint32_t state = 1u;
}  // namespace

int nextRandom() {
  state = state * 214013u + 2531011u;
  return static_cast<int>((state >> 16) & 0x7FFFu);
}

void resetRandomForTests() { state = 1u; }

std::uint32_t randomState() { return state; }
