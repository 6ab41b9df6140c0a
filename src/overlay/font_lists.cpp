#include "overlay/font_lists.h"

#include <cstring>

#include "overlay/gl_calls.h"
#include "platform/platform.h"

namespace overlay {

std::uint32_t replaceFontLists(std::uint32_t oldBase) noexcept {
    const GlCalls& gl = glCalls();
    if (oldBase != 0) gl.deleteLists(oldBase, kGlyphCount);
    return gl.genLists(kGlyphCount);
}

bool fillFontLists(void* drawingContext, const char* faceName, int pixelHeight,
                   std::uint32_t base) noexcept {
    return platform::buildFontLists(glCalls().glyphLists, drawingContext, faceName, pixelHeight,
                                    kFirstGlyph, kGlyphCount, base);
}

void deleteFontLists(std::uint32_t base) noexcept {
    if (base == 0) return;
    glCalls().deleteLists(base, kGlyphCount);
}

void drawText(std::uint32_t base, const char* text) noexcept {
    if (text == nullptr || base == 0) return;
    const GlCalls& gl = glCalls();
    gl.pushAttrib(kGlListBit);
    // Unsigned arithmetic, as GL's list names are: the offset makes byte c
    // call the glyph of c.
    gl.listBase(base - static_cast<std::uint32_t>(kFirstGlyph));
    gl.callLists(static_cast<int>(std::strlen(text)), kGlUnsignedByte, text);
    gl.popAttrib();
}

}  // namespace overlay
