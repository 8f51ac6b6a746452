#pragma once
#include "tools/baker/image.h"

// Procedural pictures for the game's texture files. Every surface texture tiles seamlessly,
// since the level repeats them across large objects. Sizes are edge lengths in pixels.

Image paintWood(int size);           // RGBA, planks of ringed, streaked grain
Image paintWoodSpecular(int size);   // RGBA grey, shinier along the dense grain lines
Image paintTiles(int size);          // RGBA, 4 x 4 stone floor tiles with grout
Image paintTilesSpecular(int size);  // RGBA grey, glossy tiles and dull grout; alpha = tile mask
Image paintSand(int size);           // RGBA, wind ripples and grains
Image paintCharacter(int size);      // RGBA skin for the player's cylinder; alpha = skin mask
Image paintBone(int size);           // RGB, ivory with stains and hairline cracks
Image paintBoneSpecular(int size);   // grey, one channel
Image paintFlame(int size);          // RGBA, a soft round flame with a teardrop top
// Six specular maps for the level's surfaces, kind 0..5, with one or three channels.
Image paintSpecularMap(int size, int kind, int channels);
