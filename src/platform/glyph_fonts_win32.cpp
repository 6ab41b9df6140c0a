// The drawing context and the HUD font on Windows: the current GL device
// context, and a GDI font turned into display lists by wglUseFontBitmapsA.
// The GDI font lives only while the lists are built.
#include <windows.h>

#include "platform/platform.h"

namespace platform {

void* currentDrawingContext() noexcept {
    return wglGetCurrentDC();
}

bool buildFontLists(const GlyphListCalls& /*gl: WGL compiles the lists*/, void* drawingContext,
                    const char* faceName, int pixelHeight, int first, int count,
                    std::uint32_t listBase) noexcept {
    HDC dc = static_cast<HDC>(drawingContext);
    // A negative height asks for the character height in pixels, not the cell.
    HFONT font = CreateFontA(-pixelHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET,
                             OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                             DEFAULT_PITCH | FF_DONTCARE, faceName);
    HGDIOBJ previous = SelectObject(dc, font);
    const BOOL built =
        wglUseFontBitmapsA(dc, static_cast<DWORD>(first), static_cast<DWORD>(count), listBase);
    SelectObject(dc, previous);
    DeleteObject(font);
    return built != FALSE;
}

}  // namespace platform
