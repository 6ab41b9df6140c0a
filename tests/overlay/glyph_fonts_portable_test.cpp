// The font lists away from Windows: fontconfig's face for the configured name
// (a metric-compatible one when the name is absent), FreeType glyphs as
// display lists that advance the raster position like the Windows lists.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include "hostsim/gl_context.h"
#include "overlay/gl_calls.h"
#include "platform/platform.h"

namespace {

// The plug-in's own table of GL calls, as the overlay hands it over.
const platform::GlyphListCalls& glyphGl = overlay::glCalls().glyphLists;

struct GlyphFonts : ::testing::Test {
    std::unique_ptr<hostsim::OffscreenGl> gl;
    void SetUp() override {
        std::string error;
        gl = hostsim::OffscreenGl::create(100, 100, error);
        ASSERT_NE(gl, nullptr) << error;
        glMatrixMode(GL_PROJECTION);
        glOrtho(0.0, 100.0, 0.0, 100.0, -1.0, 1.0);
    }
    // How far the list moves the raster position from x = 10.
    static float advanceOf(GLuint list) {
        glRasterPos2f(10.0f, 10.0f);
        glCallList(list);
        GLfloat raster[4] = {};
        glGetFloatv(GL_CURRENT_RASTER_POSITION, raster);
        return raster[0] - 10.0f;
    }
};

TEST_F(GlyphFonts, ArialFallsBackToAFaceWithArialsAdvances) {
    const GLuint base = glGenLists(96);
    void* context = platform::currentDrawingContext();
    ASSERT_NE(context, nullptr);
    ASSERT_TRUE(platform::buildFontLists(glyphGl, context, "Arial", 18, 32, 96, base));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    for (GLuint i = 0; i < 96; ++i) EXPECT_TRUE(glIsList(base + i)) << i;
    // Arial's advances in 1/2048 em: space 569, 'A' 1366, 'l' 455; at 18 px 5, 12 and 4.
    EXPECT_EQ(advanceOf(base + (' ' - 32)), 5.0f);
    EXPECT_EQ(advanceOf(base + ('A' - 32)), 12.0f);
    EXPECT_EQ(advanceOf(base + ('l' - 32)), 4.0f);
}

TEST_F(GlyphFonts, UnknownFaceStillGivesGlyphsAndSizeScalesThem) {
    const GLuint small = glGenLists(96);
    const GLuint large = glGenLists(96);
    void* context = platform::currentDrawingContext();
    ASSERT_TRUE(
        platform::buildFontLists(glyphGl, context, "No Such Face At All", 12, 32, 96, small));
    ASSERT_TRUE(platform::buildFontLists(glyphGl, context, "", 36, 32, 96, large));
    const float smallM = advanceOf(small + ('M' - 32));
    const float largeM = advanceOf(large + ('M' - 32));
    EXPECT_GT(smallM, 5.0f);
    EXPECT_NEAR(largeM, 3.0f * smallM, 3.0f);
}

TEST_F(GlyphFonts, NothingIsBuiltWithoutContextOrLists) {
    void* context = platform::currentDrawingContext();
    EXPECT_FALSE(platform::buildFontLists(glyphGl, nullptr, "Arial", 18, 32, 96, 1));
    EXPECT_FALSE(platform::buildFontLists(glyphGl, context, "Arial", 18, 32, 96, 0));
    EXPECT_FALSE(platform::buildFontLists(glyphGl, context, "Arial", 0, 32, 96, 1));
    EXPECT_FALSE(glIsList(1));
}

TEST(GlyphFontsContext, NoContextIsCurrentWithoutOne) {
    EXPECT_EQ(platform::currentDrawingContext(), nullptr);
}

}  // namespace
