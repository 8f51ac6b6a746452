#pragma once
#include <string>

#include "tools/baker/image.h"

// The three block-compressed layouts the game reads.
enum class DxtFormat { dxt1, dxt3, dxt5 };

// Writes an RGBA image (width and height multiples of 4) as a DDS file with a full mipmap chain,
// each level box-filtered from the one above and compressed 4 x 4 block by block. DXT1 keeps
// colour only, DXT3 adds 4-bit alpha as stored, DXT5 adds interpolated alpha.
bool writeDds(const std::string& path, const Image& rgba, DxtFormat format);

// Reads the top level of a DDS file written as above and decodes it to RGBA; an empty image
// when the file is missing, not a DDS, not DXT1/3/5 or shorter than its blocks.
Image readDdsTopLevel(const std::string& path);
