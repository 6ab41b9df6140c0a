// The OpenGL 1.1 entry points the overlay uses, as one table of plain
// function pointers. The overlay makes every GL call through glCalls(), which
// is real GL in the plug-in; tests put a recording table in its place to check
// the exact order and arguments of the calls.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace overlay {

// OpenGL 1.1 enumerants, so that callers need no GL header.
constexpr unsigned kGlPoints = 0x0000;
constexpr unsigned kGlLines = 0x0001;
constexpr unsigned kGlLineStipple = 0x0B24;
constexpr unsigned kGlLighting = 0x0B50;
constexpr unsigned kGlDepthTest = 0x0B71;
constexpr unsigned kGlUnsignedByte = 0x1401;
constexpr unsigned kGlModelView = 0x1700;
constexpr unsigned kGlProjection = 0x1701;
constexpr unsigned kGlListBit = 0x00020000;

// One pointer per GL function, same arguments in the same order; GLenum and
// GLbitfield are unsigned, GLboolean is unsigned char, GLushort is uint16_t.
struct GlCalls {
    unsigned char (*isEnabled)(unsigned cap);
    void (*enable)(unsigned cap);
    void (*disable)(unsigned cap);
    void (*color3f)(float red, float green, float blue);
    void (*lineWidth)(float width);
    void (*lineStipple)(int factor, std::uint16_t pattern);
    void (*pointSize)(float size);
    void (*begin)(unsigned mode);
    void (*vertex3f)(float x, float y, float z);
    void (*end)();
    void (*matrixMode)(unsigned mode);
    void (*pushMatrix)();
    void (*popMatrix)();
    void (*loadIdentity)();
    void (*ortho)(double left, double right, double bottom, double top, double zNear, double zFar);
    void (*rasterPos2f)(float x, float y);
    void (*pushAttrib)(unsigned mask);
    void (*popAttrib)();
    void (*listBase)(unsigned base);
    void (*callLists)(int count, unsigned type, const void* lists);
    unsigned (*genLists)(int range);
    void (*deleteLists)(unsigned list, int range);
    // What the platform compiles glyph bitmaps with (unused on Windows).
    platform::GlyphListCalls glyphLists;
};

// The table in use: real OpenGL unless a test substituted another.
const GlCalls& glCalls() noexcept;

// Puts `table` in place of real OpenGL until the next call; null restores real
// OpenGL. The table must outlive its use. For tests only.
void useGlCalls(const GlCalls* table) noexcept;

}  // namespace overlay
