// The offscreen context the rendering tests and the reference host draw into:
// it must give real GL 1.1 with a depth buffer and read back what was drawn.
#include "hostsim/gl_context.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include "overlay/host_frame.h"
#include "overlay/png_artefact.h"

namespace {

struct Rgba {
    int r, g, b, a;
};

Rgba pixelAt(const std::vector<unsigned char>& pixels, int width, int x, int y) {
    const size_t at =
        (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 4u;
    return {pixels[at], pixels[at + 1], pixels[at + 2], pixels[at + 3]};
}

TEST(OffscreenGl, RefusesAnEmptySize) {
    std::string error;
    EXPECT_EQ(hostsim::OffscreenGl::create(0, 10, error), nullptr);
    EXPECT_FALSE(error.empty());
}

TEST(OffscreenGl, DrawsWithDepthTestAndReadsBackBottomUp) {
    std::string error;
    auto gl = hostsim::OffscreenGl::create(64, 48, error);
    ASSERT_NE(gl, nullptr) << error;
    EXPECT_EQ(gl->width(), 64);
    EXPECT_EQ(gl->height(), 48);
    GLint depthBits = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    EXPECT_GE(depthBits, 16);

    overlaytest::beginHostFrame(0.0f, 0.0f, 1.0f);
    // The near red quad covers the lower half; the far green quad, drawn
    // after it over the whole target, must lose there to the depth test.
    glBegin(GL_QUADS);
    glColor3f(1.0f, 0.0f, 0.0f);
    glVertex3f(-1.0f, -1.0f, -0.5f);
    glVertex3f(1.0f, -1.0f, -0.5f);
    glVertex3f(1.0f, 0.0f, -0.5f);
    glVertex3f(-1.0f, 0.0f, -0.5f);
    glColor3f(0.0f, 1.0f, 0.0f);
    glVertex3f(-1.0f, -1.0f, 0.5f);
    glVertex3f(1.0f, -1.0f, 0.5f);
    glVertex3f(1.0f, 0.5f, 0.5f);
    glVertex3f(-1.0f, 0.5f, 0.5f);
    glEnd();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    const std::vector<unsigned char> pixels = gl->readPixels();
    ASSERT_EQ(pixels.size(), 64u * 48u * 4u);
    overlaytest::saveArtefact("offscreen_gl_depth", pixels, 64, 48);
    const Rgba bottom = pixelAt(pixels, 64, 32, 5);  // row 5 from the bottom
    const Rgba middle = pixelAt(pixels, 64, 32, 30);
    const Rgba top = pixelAt(pixels, 64, 32, 45);
    EXPECT_EQ(bottom.r, 255);
    EXPECT_EQ(bottom.g, 0);
    EXPECT_EQ(middle.g, 255);
    EXPECT_EQ(middle.r, 0);
    EXPECT_EQ(top.b, 255);
    EXPECT_EQ(top.g, 0);
}

TEST(OffscreenGl, ASecondContextWorksAfterTheFirstIsGone) {
    std::string error;
    for (int round = 0; round < 2; ++round) {
        auto gl = hostsim::OffscreenGl::create(8, 8, error);
        ASSERT_NE(gl, nullptr) << error;
        glClearColor(1.0f, 1.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        const Rgba pixel = pixelAt(gl->readPixels(), 8, 3, 3);
        EXPECT_EQ(pixel.r, 255);
        EXPECT_EQ(pixel.g, 255);
        EXPECT_EQ(pixel.b, 0);
    }
}

}  // namespace
