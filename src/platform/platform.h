// Everything the operating system provides to the plug-in, behind one seam.
// platform_win32.cpp uses the Windows API; platform_portable.cpp gives the same
// answers elsewhere, over our own INI reader, the current GL context and
// FreeType glyphs. CMake compiles exactly one of the two.
#pragma once

#include <cstdint>

namespace platform {

// The profile API's answer: copies the value of [section] key from the INI
// file at `path` into `buffer` (always zero-terminated, at most size - 1
// characters) and returns the count of characters copied; `fallback` when the
// file, section or key is missing.
std::uint32_t readProfileString(const char* section, const char* key, const char* fallback,
                                char* buffer, std::uint32_t size, const char* path) noexcept;

// The drawing context current on this thread (a device context on Windows, the
// current GL context elsewhere), or null when there is none.
void* currentDrawingContext() noexcept;

// The OpenGL 1.1 calls that compile glyph bitmaps into display lists, same
// arguments in the same order (GLenum unsigned, GLubyte unsigned char). The
// overlay hands over entries of its GlCalls table, so every GL call of the
// plug-in goes through that one table; on Windows WGL builds the lists itself.
struct GlyphListCalls {
    void (*newList)(unsigned list, unsigned mode);
    void (*endList)();
    void (*bitmap)(int width, int height, float originX, float originY, float moveX, float moveY,
                   const unsigned char* bits);
    void (*pushClientAttrib)(unsigned mask);
    void (*popClientAttrib)();
    void (*pixelStorei)(unsigned name, int value);
};

// Fills the display lists base .. base + count - 1 with the bitmap glyphs of
// the characters first .. first + count - 1 in the named face at `pixelHeight`
// pixels, for the context `drawingContext`, through `gl`. Each list draws its
// glyph at the raster position and advances it. Returns false when no glyphs
// could be made.
bool buildFontLists(const GlyphListCalls& gl, void* drawingContext, const char* faceName,
                    int pixelHeight, int first, int count, std::uint32_t listBase) noexcept;

}  // namespace platform
