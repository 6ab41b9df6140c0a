// The drawing context and the HUD font away from Windows. The "device context"
// is the EGL context current on this thread: EGL rather than GLX because it
// answers with or without a display server (a surfaceless context has no X
// drawable at all), and glvnd's libOpenGL draws into whichever is current.
// Glyphs are FreeType bitmaps of the face fontconfig picks, compiled into
// display lists of glBitmap calls that advance the raster position, as the
// Windows font lists do; the GL calls go through the caller's table.
#include <EGL/egl.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <string>
#include <vector>

#include "platform/platform.h"

namespace platform {
namespace {

// OpenGL 1.1 enumerants of the glyph compile, so that no GL header is needed.
constexpr unsigned kGlCompile = 0x1300;
constexpr unsigned kGlClientPixelStoreBit = 0x00000001;
constexpr unsigned kGlUnpackSwapBytes = 0x0CF0;
constexpr unsigned kGlUnpackLsbFirst = 0x0CF1;
constexpr unsigned kGlUnpackRowLength = 0x0CF2;
constexpr unsigned kGlUnpackSkipRows = 0x0CF3;
constexpr unsigned kGlUnpackSkipPixels = 0x0CF4;
constexpr unsigned kGlUnpackAlignment = 0x0CF5;

// The font file fontconfig matches for `faceName` at `pixelHeight`. An absent
// face falls back through fontconfig's aliases to a metric-compatible face
// (Liberation Sans for Arial) or to the default sans face.
bool findFontFile(const char* faceName, int pixelHeight, std::string& file, int& index) {
    FcPattern* pattern = FcPatternCreate();
    if (pattern == nullptr) return false;
    if (faceName != nullptr && faceName[0] != '\0')
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(faceName));
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif"));
    FcPatternAddDouble(pattern, FC_PIXEL_SIZE, static_cast<double>(pixelHeight));
    FcPatternAddInteger(pattern, FC_WEIGHT, FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (match == nullptr) return false;
    FcChar8* path = nullptr;
    const bool found =
        FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path != nullptr;
    if (found) file = reinterpret_cast<const char*>(path);
    if (FcPatternGetInteger(match, FC_INDEX, 0, &index) != FcResultMatch) index = 0;
    FcPatternDestroy(match);
    return found;
}

// One glyph as a display list: its 1-bit bitmap placed with its origin at the
// raster position, then the raster position moved on by its advance.
void compileGlyph(const GlyphListCalls& gl, FT_Face face, unsigned long code, unsigned list,
                  std::vector<unsigned char>& rows) {
    gl.newList(list, kGlCompile);
    if (FT_Load_Char(face, code, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME) == 0) {
        const FT_GlyphSlot glyph = face->glyph;
        const FT_Bitmap& bitmap = glyph->bitmap;
        const int width = static_cast<int>(bitmap.width);
        const int height = static_cast<int>(bitmap.rows);
        const int rowBytes = (width + 7) / 8;
        // glBitmap wants rows bottom-up; FreeType gives them top-down.
        try {
            rows.assign(static_cast<size_t>(rowBytes) * static_cast<size_t>(height), 0);
        } catch (...) {
            gl.endList();  // out of memory: this glyph stays empty
            return;
        }
        for (int row = 0; row < height && bitmap.pixel_mode == FT_PIXEL_MODE_MONO; ++row) {
            const unsigned char* source = bitmap.buffer + static_cast<long>(row) * bitmap.pitch;
            unsigned char* target =
                rows.data() + static_cast<size_t>(height - 1 - row) * static_cast<size_t>(rowBytes);
            for (int byte = 0; byte < rowBytes; ++byte) target[byte] = source[byte];
        }
        const float originX = static_cast<float>(-glyph->bitmap_left);
        const float originY = static_cast<float>(height - glyph->bitmap_top);
        // The unhinted advance (16.16 pixels) rounded to whole pixels, so a
        // metric-compatible face spaces text as the named face would.
        const float advance = static_cast<float>((glyph->linearHoriAdvance + 0x8000) >> 16);
        // An empty glyph (the space) still gets a pointer: some GL stacks
        // refuse a null bitmap inside a display list.
        static const unsigned char kNoBits[4] = {0, 0, 0, 0};
        gl.bitmap(width, height, originX, originY, advance, 0.0f,
                  rows.empty() ? kNoBits : rows.data());
    }
    gl.endList();
}

}  // namespace

void* currentDrawingContext() noexcept {
    return eglGetCurrentContext();
}

bool buildFontLists(const GlyphListCalls& gl, void* drawingContext, const char* faceName,
                    int pixelHeight, int first, int count, std::uint32_t listBase) noexcept {
    if (drawingContext == nullptr || listBase == 0 || pixelHeight <= 0 || count <= 0) return false;
    std::string file;
    int index = 0;
    try {
        if (!findFontFile(faceName, pixelHeight, file, index)) return false;
    } catch (...) {
        return false;
    }
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0) return false;
    FT_Face face = nullptr;
    bool built = false;
    if (FT_New_Face(library, file.c_str(), index, &face) == 0) {
        // Pixel size is the em height, as a negative GDI font height is.
        if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixelHeight)) == 0) {
            // The bitmaps are tightly packed; the host's unpack state is kept.
            gl.pushClientAttrib(kGlClientPixelStoreBit);
            gl.pixelStorei(kGlUnpackAlignment, 1);
            gl.pixelStorei(kGlUnpackRowLength, 0);
            gl.pixelStorei(kGlUnpackSkipRows, 0);
            gl.pixelStorei(kGlUnpackSkipPixels, 0);
            gl.pixelStorei(kGlUnpackLsbFirst, 0);
            gl.pixelStorei(kGlUnpackSwapBytes, 0);
            std::vector<unsigned char> rows;
            for (int i = 0; i < count; ++i)
                compileGlyph(gl, face, static_cast<unsigned long>(first + i),
                             listBase + static_cast<unsigned>(i), rows);
            gl.popClientAttrib();
            built = true;
        }
        FT_Done_Face(face);
    }
    FT_Done_FreeType(library);
    return built;
}

}  // namespace platform
