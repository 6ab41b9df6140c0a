// What every platform's offscreen context shares: the factory's checks, and
// reading the colour buffer back (the context's drawing buffer is the one read).
#include "hostsim/gl_context.h"

#include <GL/gl.h>

#include <system_error>

namespace hostsim {

std::unique_ptr<OffscreenGl> OffscreenGl::create(int width, int height, std::string& error) {
    if (width <= 0 || height <= 0) {
        error = "context size must be positive";
        return nullptr;
    }
    return openPlatformContext(width, height, error);
}

OffscreenGl::~OffscreenGl() = default;

GlWarmUp::GlWarmUp() {
    try {
        thread_ = std::thread(warmUpPlatformGl);
    } catch (const std::system_error&) {
        // No thread to be had: the context loads the driver itself.
    }
}

GlWarmUp::~GlWarmUp() {
    if (thread_.joinable()) thread_.join();
}

std::vector<unsigned char> OffscreenGl::readPixels() const {
    std::vector<unsigned char> pixels(static_cast<size_t>(width_) * static_cast<size_t>(height_) *
                                      4u);
    glFinish();
    // Pack state belongs to whoever drew; rows must come out tightly packed.
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glPixelStorei(GL_PACK_SKIP_ROWS, 0);
    glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_PACK_SWAP_BYTES, GL_FALSE);
    glPixelStorei(GL_PACK_LSB_FIRST, GL_FALSE);
    glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    glPopClientAttrib();
    return pixels;
}

}  // namespace hostsim
