// The shipped plug-in's font through the host's entries: the first draw with
// a GL context current builds 96 display lists in it, release(0) deletes them
// and the next draw makes them again. The lists are called here the way the
// overlay calls them, so their glyphs are checked as pixels.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include "hostsim/gl_context.h"
#include "overlay/pixel_probe.h"
#include "overlay/png_artefact.h"
#include "support/plugin_fixture.h"

namespace {

// How many of the list names 1 .. 400 are display lists, and the first.
struct Lists {
    int count = 0;
    GLuint first = 0;
};

Lists displayLists() {
    Lists lists;
    for (GLuint list = 1; list <= 400; ++list) {
        if (glIsList(list) != GL_TRUE) continue;
        if (lists.count++ == 0) lists.first = list;
    }
    return lists;
}

TEST(PluginFont, FirstDrawWithAContextBuildsTheLists) {
    PluginFixture fixture;
    hostsim::Host& host = fixture.host;
    // Without a context nothing binds; with one, draw(1) still binds nothing.
    EXPECT_TRUE(host.draw(0));
    std::string error;
    auto gl = hostsim::OffscreenGl::create(200, 40, error);
    ASSERT_NE(gl, nullptr) << error;
    EXPECT_TRUE(host.draw(1));
    EXPECT_EQ(displayLists().count, 0);
    EXPECT_TRUE(host.draw(0));
    const Lists font = displayLists();
    ASSERT_EQ(font.count, 96);
    // The plane is off: nothing drawn, no state touched, no host service asked.
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    EXPECT_TRUE(host.calls.empty());

    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glOrtho(0.0, 200.0, 0.0, 40.0, -1.0, 1.0);
    glColor3f(1.0f, 1.0f, 0.0f);
    glRasterPos2f(10.0f, 12.0f);
    glListBase(font.first - 32);
    const char text[] = "Talvex Active";
    glCallLists(13, GL_UNSIGNED_BYTE, text);
    glListBase(0);
    GLfloat raster[4] = {};
    glGetFloatv(GL_CURRENT_RASTER_POSITION, raster);
    std::vector<unsigned char> pixels = gl->readPixels();
    overlaytest::saveArtefact("plugin_font_lists", pixels, 200, 40);
    const overlaytest::Image image(std::move(pixels), 200, 40);
    const overlaytest::Ink ink = image.find({255, 255, 0});
    // 18-pixel glyphs from the raster position on, advancing it as they go.
    EXPECT_GT(ink.count, 100);
    EXPECT_LE(std::abs(ink.minX - 10), 2);
    EXPECT_LE(std::abs(ink.minY - 12), 1);
    EXPECT_GE(ink.maxY - ink.minY, 9);
    EXPECT_LE(ink.maxY - ink.minY, 18);
    EXPECT_NEAR(raster[0], static_cast<float>(ink.maxX + 1), 4.0f);
    EXPECT_GT(raster[0], 70.0f);
}

TEST(PluginFont, ReleaseDeletesTheListsAndTheNextDrawMakesThemAgain) {
    PluginFixture fixture;
    hostsim::Host& host = fixture.host;
    std::string reason;
    auto gl = hostsim::OffscreenGl::create(16, 16, reason);
    ASSERT_NE(gl, nullptr) << reason;
    host.draw(0);
    const Lists first = displayLists();
    ASSERT_EQ(first.count, 96);
    host.release(1);
    EXPECT_EQ(displayLists().count, 96);
    host.release(0);
    EXPECT_EQ(displayLists().count, 0);
    host.release(0);  // nothing left to delete: a second release is harmless
    EXPECT_TRUE(host.draw(0));
    EXPECT_EQ(displayLists().count, 96);
    host.draw(0);  // the font is made once, not at every draw
    EXPECT_EQ(displayLists().count, 96);
    // Under Wine the font builder's empty space glyph raises GL_OUT_OF_MEMORY
    // (a null 0 x 0 bitmap in a list); nothing else may be flagged.
    const GLenum error = glGetError();
    EXPECT_TRUE(error == GL_NO_ERROR || error == GL_OUT_OF_MEMORY) << error;
}

}  // namespace
