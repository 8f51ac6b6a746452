#pragma once
#include <cstdint>

// The one process-wide pseudo-random generator. It is never seeded, so everything drawn at
// start-up (noise textures, diamond colours) comes out the same on every run; the noise
// textures, the diamond colours and the particles share it in the order they call it.

// Largest value nextRandom() yields.
constexpr int kRandomMax = 0x7FFF;

// Advances the state (state * 214013 + 2531011, modulo 2^32) and returns bits 16..30 of it,
// a value in 0..kRandomMax.
int nextRandom();

// Puts the state back to its start value 1. For tests only: the game never rewinds it.
void resetRandomForTests();

// The state as it is now, for tests that count draws.
std::uint32_t randomState();
