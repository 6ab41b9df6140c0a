// A tiny built-in bitmap font for the text the host writes into its own
// pictures (captions, legends). The host draws it as pixels with OpenGL 1.1,
// so both builds render it identically without a font of the system's.
#pragma once

#include <string>

namespace talvexhost {

constexpr int kGlyphHeight = 13;  // rows per glyph, pixels
constexpr int kGlyphAdvance = 7;  // pixels from one glyph to the next

// The rows of one printable ASCII glyph, top row first, bit 7 the leftmost
// pixel of the row; characters outside 32..126 give the glyph of '?'.
const unsigned char* glyphRows(char c);

// Width in pixels of `text` drawn at `scale` pixels per font pixel.
int textWidth(const std::string& text, int scale);

}  // namespace talvexhost
