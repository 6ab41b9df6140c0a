// The overlay drawn for real: the plug-in object binds to a real offscreen GL
// context (Mesa natively, WGL under Wine), builds its font from real glyphs
// and draws; the pixels read back must show the HUD where the 640 x 480 HUD
// space puts it and the search marks in their colours. Every image is saved.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "hostsim/gl_context.h"
#include "hostsim/sim_scene.h"
#include "overlay/host_frame.h"
#include "overlay/pixel_probe.h"
#include "overlay/png_artefact.h"
#include "symmetry/symmetry_plugin.h"

namespace {

using overlaytest::Image;
using overlaytest::Ink;
using overlaytest::Rgb8;

std::int32_t HOST_CALL vertexMode() {
    return 2;
}

Rgb8 bytes(const Rgb& colour) {
    return {overlaytest::colourByte(colour.red), overlaytest::colourByte(colour.green),
            overlaytest::colourByte(colour.blue)};
}

struct RealOverlay {
    hostsim::Scene scene;
    HostServices services{};
    HostObject* plane = scene.addObject("plane", {{0.0f, 0.0f, 0.0f}});
    Vertex selected{0.0f, 0.0f, 0.0f};
    SymmetryPlugin plugin{&scene.record, &services};
    std::unique_ptr<hostsim::OffscreenGl> gl;

    RealOverlay(int width, int height) {
        services.getSelectionMode = vertexMode;
        scene.selectVertices({&selected});
        std::string error;
        gl = hostsim::OffscreenGl::create(width, height, error);
        EXPECT_NE(gl, nullptr) << error;
        overlaytest::beginHostFrame(0.0f, 0.0f, 0.0f);
        plugin.draw(0);  // binds: settings (the defaults here) and font
        // Wine's wglUseFontBitmapsA compiles the empty space glyph as a null
        // 0 x 0 bitmap, which Mesa under Wine flags GL_OUT_OF_MEMORY (and the
        // space then does not advance). That error belongs to the font
        // builder; the draws below must raise none of their own.
        const GLenum bindError = glGetError();
        EXPECT_TRUE(bindError == GL_NO_ERROR || bindError == GL_OUT_OF_MEMORY) << bindError;
        plugin.active = true;
        plugin.planeObject = plane;
    }

    void setMarks(const Vector3& search, const Vector3& mirror, bool found) {
        plugin.searchPoint = search;
        plugin.mirrorPoint = mirror;
        plugin.partnerTarget = mirror;
        plugin.searchPointRef = &plugin.searchPoint;
        plugin.mirrorPointRef = &plugin.mirrorPoint;
        plugin.matchTarget = &plugin.partnerTarget;
        plugin.pairsFound = found;
    }

    Image render(const std::string& name) {
        EXPECT_TRUE(plugin.draw(0));
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        std::vector<unsigned char> pixels = gl->readPixels();
        EXPECT_FALSE(overlaytest::saveArtefact(name, pixels, gl->width(), gl->height()).empty());
        return Image(std::move(pixels), gl->width(), gl->height());
    }
};

TEST(OverlayPixels, HudLinesLandWhereTheHudSpacePutsThem) {
    // The defaults at the HUD space's own size, then other viewports, where a
    // wider line step keeps the scaled-down lines apart.
    struct Case {
        int width, height;
        float step;
    };
    for (const Case c : {Case{640, 480, 15.0f}, Case{320, 240, 40.0f}, Case{800, 300, 40.0f}}) {
        RealOverlay overlay(c.width, c.height);
        ASSERT_NE(overlay.gl, nullptr);
        Settings& settings = overlay.plugin.settings;
        settings.hudStepY = c.step;
        const Image image = overlay.render("overlay_hud_" + std::to_string(c.width) + "x" +
                                           std::to_string(c.height));
        const Rgb8 hud = bytes(settings.hudColor);
        ASSERT_EQ(hud, (Rgb8{64, 64, 64}));
        // The raster positions in pixels: (450, 65) and (450, 65 - step) in HUD space.
        const double scaleX = c.width / 640.0;
        const double scaleY = c.height / 480.0;
        const int x = static_cast<int>(std::floor(450.0 * scaleX));
        const int firstY = static_cast<int>(std::floor(65.0 * scaleY));
        const int secondY = static_cast<int>(std::floor((65.0 - c.step) * scaleY));
        const int em = settings.fontSize;
        // Neither line has a descender: each line's ink sits on its baseline,
        // below the next line up, and starts at the HUD x.
        const Ink all = image.find(hud);
        const Ink first = image.find(hud, 0, firstY - 1, c.width, firstY + em + 1);
        const Ink second = image.find(hud, 0, secondY - 1, c.width, firstY - 1);
        EXPECT_EQ(all.count, first.count + second.count) << c.width << " ink outside both lines";
        for (const Ink& line : {first, second}) {
            EXPECT_GT(line.count, 60) << c.width;
            EXPECT_GE(line.minX, x - 1) << c.width;
            EXPECT_LE(line.minX, x + 3) << c.width;
            EXPECT_LE(line.maxY - line.minY, em) << c.width;
            // Capitals reach about 0.7 em above the baseline.
            EXPECT_GE(line.maxY - line.minY, em / 2) << c.width;
        }
        EXPECT_LE(std::abs(first.minY - firstY), 1) << c.width;
        EXPECT_LE(std::abs(second.minY - secondY), 1) << c.width;
        if (c.width == 640) {
            // Whole lines of 13 and 14 characters, drawn in full.
            EXPECT_GE(first.maxX - first.minX, 3 * em);
            EXPECT_LE(first.maxX - first.minX, 10 * em);
            EXPECT_GE(second.maxX - second.minX, 3 * em);
            EXPECT_LE(second.maxX - second.minX, 10 * em);
        }
    }
}

TEST(OverlayPixels, SecondLineShowsTheToleranceAndFirstLineStays) {
    RealOverlay overlay(640, 480);
    ASSERT_NE(overlay.gl, nullptr);
    const Rgb8 hud = bytes(overlay.plugin.settings.hudColor);
    const Image low = overlay.render("overlay_tolerance_0.10");
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    overlay.plugin.tolerance = 0.6f;
    const Image high = overlay.render("overlay_tolerance_0.60");
    const Ink lowFirst = low.find(hud, 0, 65, 640, 100);
    const Ink highFirst = high.find(hud, 0, 65, 640, 100);
    EXPECT_EQ(lowFirst.count, highFirst.count);
    EXPECT_EQ(lowFirst.maxX, highFirst.maxX);
    // "0.10" and "0.60" have the same advance widths, but not the same ink.
    int differing = 0;
    for (int y = 45; y < 65; ++y)
        for (int x = 440; x < 640; ++x)
            differing += (low.at(x, y) == hud) != (high.at(x, y) == hud);
    EXPECT_GT(differing, 10);
}

TEST(OverlayPixels, SearchLineFoundPointAndBoxInTheirColours) {
    for (bool found : {false, true}) {
        RealOverlay overlay(640, 480);
        ASSERT_NE(overlay.gl, nullptr);
        Settings& settings = overlay.plugin.settings;
        settings.pointSize = 4.0f;
        // Search point at pixel (128, 120), mirror point at (480, 120); the
        // box spans 448..512 by 96..144 around it.
        overlay.setMarks(Vector3(-0.6f, -0.5f, 0.0f), Vector3(0.5f, -0.5f, 0.0f), found);
        overlay.plugin.tolerance = 0.1f;
        const Image image = overlay.render(found ? "overlay_marks_found" : "overlay_marks_search");
        const Rgb8 mark = bytes(found ? settings.foundColor : settings.searchColor);
        const Rgb8 box = bytes(settings.toleranceColor);
        EXPECT_EQ(mark, found ? (Rgb8{0, 255, 0}) : (Rgb8{255, 255, 255}));
        EXPECT_EQ(box, (Rgb8{0, 0, 255}));
        // The line along y = 120 from x = 128 to the box.
        for (int x : {140, 250, 400, 440})
            EXPECT_TRUE(image.inkNear(mark, x, 120, 1)) << found << " line at " << x;
        const Ink line = image.find(mark, 0, 100, 447, 140);
        EXPECT_LE(line.maxY - line.minY, 1);
        EXPECT_LE(std::abs(line.minX - 128), 1);
        // The found point: 4 x 4 pixels on the mirror point.
        const Ink point = image.find(mark, 470, 110, 490, 130);
        EXPECT_GE(point.count, 16) << found;
        EXPECT_EQ(point.maxY - point.minY, 3);
        EXPECT_EQ(point.maxX, 481);
        // The box's four sides, and nothing of it beyond them.
        for (auto [x, y] : {std::pair{448, 110}, {512, 130}, {470, 96}, {500, 144}})
            EXPECT_TRUE(image.inkNear(box, x, y, 1)) << found << " box at " << x << "," << y;
        const Ink wire = image.find(box);
        EXPECT_LE(std::abs(wire.minX - 448), 1);
        EXPECT_LE(std::abs(wire.maxX - 512), 1);
        EXPECT_LE(std::abs(wire.minY - 96), 1);
        EXPECT_LE(std::abs(wire.maxY - 144), 1);
        EXPECT_FALSE(image.inkNear(box, 480, 120, 8)) << "box interior";
    }
}

TEST(OverlayPixels, HostStateIsPutBackAsTheHostExpects) {
    for (bool lighting : {false, true}) {
        RealOverlay overlay(64, 48);
        ASSERT_NE(overlay.gl, nullptr);
        overlay.setMarks(Vector3(0.0f, 0.0f, 0.0f), Vector3(0.5f, 0.0f, 0.0f), false);
        overlay.plugin.settings.stippleLines = true;
        overlay.plugin.settings.depthTest = false;
        glMatrixMode(GL_PROJECTION);
        glOrtho(-2.0, 2.0, -1.0, 1.0, -5.0, 5.0);
        glMatrixMode(GL_MODELVIEW);
        glTranslatef(0.25f, 0.0f, 0.0f);
        if (lighting) glEnable(GL_LIGHTING);
        glDisable(GL_DEPTH_TEST);
        std::array<GLfloat, 16> projection{}, modelView{}, projectionAfter{}, modelViewAfter{};
        glGetFloatv(GL_PROJECTION_MATRIX, projection.data());
        glGetFloatv(GL_MODELVIEW_MATRIX, modelView.data());
        overlay.render("overlay_state_" + std::to_string(lighting));
        glGetFloatv(GL_PROJECTION_MATRIX, projectionAfter.data());
        glGetFloatv(GL_MODELVIEW_MATRIX, modelViewAfter.data());
        EXPECT_EQ(projection, projectionAfter);
        EXPECT_EQ(modelView, modelViewAfter);
        GLint mode = 0;
        glGetIntegerv(GL_MATRIX_MODE, &mode);
        EXPECT_EQ(mode, GL_PROJECTION);
        EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
        EXPECT_EQ(glIsEnabled(GL_LIGHTING) != GL_FALSE, lighting);
        EXPECT_FALSE(glIsEnabled(GL_LINE_STIPPLE));
        GLfloat width = 0.0f;
        glGetFloatv(GL_LINE_WIDTH, &width);
        EXPECT_EQ(width, 1.0f);
        GLint listBase = -1;
        glGetIntegerv(GL_LIST_BASE, &listBase);
        EXPECT_EQ(listBase, 0);
    }
}

}  // namespace
