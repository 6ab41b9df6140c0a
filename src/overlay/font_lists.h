// The display lists that hold the HUD font: making room for them, freeing
// them and drawing text through them. The plug-in's bind and release call
// these; the glyphs themselves come from the platform layer.
#pragma once

#include <cstdint>

namespace overlay {

// The font covers the character codes kFirstGlyph .. kFirstGlyph + kGlyphCount - 1.
constexpr int kFirstGlyph = 32;
constexpr int kGlyphCount = 96;

// Deletes the lists of `oldBase` when it is not 0, then reserves kGlyphCount
// fresh list names and returns the first (0 when GL has none to give).
std::uint32_t replaceFontLists(std::uint32_t oldBase) noexcept;

// Fills the kGlyphCount lists from `base` with the glyphs of `faceName` at
// `pixelHeight` pixels, for `drawingContext`, through the GlCalls table. A
// face that cannot be made leaves them empty (the text then draws nothing)
// and answers false.
bool fillFontLists(void* drawingContext, const char* faceName, int pixelHeight,
                   std::uint32_t base) noexcept;

// Deletes the kGlyphCount lists from `base`; nothing when `base` is 0.
void deleteFontLists(std::uint32_t base) noexcept;

// Draws `text` at the current raster position, each byte c through list
// base - kFirstGlyph + c, and restores the caller's list base. Nothing when
// `text` is null, or when `base` is 0: then the font has no lists and the
// names the bytes would call belong to someone else.
void drawText(std::uint32_t base, const char* text) noexcept;

}  // namespace overlay
