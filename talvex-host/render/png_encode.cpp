// PNG encoding through stb's single-header writer (Debian's libstb-dev), kept
// in its own file so that only this one translation unit holds its body.
#include <string>
#include <vector>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb_image_write.h>

#include "render/png_encode.h"

namespace talvexhost {

namespace {

void appendBytes(void* context, void* data, int size) {
    static_cast<std::string*>(context)->append(static_cast<const char*>(data),
                                               static_cast<std::size_t>(size));
}

}  // namespace

bool encodePng(const std::vector<unsigned char>& rgba, int width, int height, std::string& png) {
    if (width <= 0 || height <= 0 || rgba.size() != static_cast<std::size_t>(width) * height * 4u)
        return false;
    png.clear();
    return stbi_write_png_to_func(appendBytes, &png, width, height, 4, rgba.data(), width * 4) != 0;
}

}  // namespace talvexhost
