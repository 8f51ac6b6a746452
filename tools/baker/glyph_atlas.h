#pragma once
#include <string>

// Rasterises the printable ASCII characters of a TrueType font into one grey atlas (PNG, one
// channel of coverage) and writes where each glyph lies and how it is placed as a text file of
// the same name ending ".txt" (read by the game's GlyphAtlas). False, with a message, when the
// font cannot be read or the glyphs do not fit.
bool bakeGlyphAtlas(const std::string& fontFile, const std::string& pngPath, const std::string& metricsPath);
