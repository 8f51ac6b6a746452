#pragma once
// Counts every draw call the program makes. The plain entry points are wrapped by name in this
// executable; the loader's function pointers are wrapped once the context exists.

extern long long drawCallCount;

// After the loader ran (the game's start-up): wraps the instanced draw, which is reached through
// a loader pointer rather than by name.
void wrapLoaderDrawCalls();
