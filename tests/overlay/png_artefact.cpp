#include "overlay/png_artefact.h"

#include <cstdio>
#include <filesystem>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

#ifndef TALVEX_ARTEFACT_DIR
#error "TALVEX_ARTEFACT_DIR names the folder for rendered images"
#endif

namespace overlaytest {

std::string saveArtefact(const std::string& name, const std::vector<unsigned char>& rgba, int width,
                         int height) {
    if (rgba.size() != static_cast<size_t>(width) * static_cast<size_t>(height) * 4u) return "";
    std::error_code ignored;
    std::filesystem::create_directories(TALVEX_ARTEFACT_DIR, ignored);
    const std::string path = std::string(TALVEX_ARTEFACT_DIR) + "/" + name + ".png";
    stbi_flip_vertically_on_write(1);
    if (!stbi_write_png(path.c_str(), width, height, 4, rgba.data(), width * 4)) return "";
    std::printf("rendered image: %s\n", path.c_str());
    return path;
}

}  // namespace overlaytest
