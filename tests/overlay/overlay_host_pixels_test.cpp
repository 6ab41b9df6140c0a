// The shipped plug-in drawing its overlay for a host: a plane created and
// switched on through its commands, a drag reported through verticesMoved,
// then draw(0) into a real GL context. The pixels must show both HUD lines in
// hudColor where the HUD space puts them, and the search line, found point
// and tolerance box of that drag in their colours.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>

#include "hostsim/gl_context.h"
#include "overlay/host_frame.h"
#include "overlay/pixel_probe.h"
#include "overlay/png_artefact.h"
#include "support/symmetry_scene.h"

namespace {

using overlaytest::Image;
using overlaytest::Ink;
using overlaytest::Rgb8;

constexpr int kWidth = 640;
constexpr int kHeight = 480;

struct OverlayThroughTheHost : ::testing::Test, symtest::SymmetryScene {
    std::unique_ptr<hostsim::OffscreenGl> gl;

    void SetUp() override {
        std::string error;
        gl = hostsim::OffscreenGl::create(kWidth, kHeight, error);
        ASSERT_NE(gl, nullptr) << error;
        host.draw(0);  // the first draw binds: default settings, font lists
        glGetError();  // see overlay_pixels_test: Wine's space glyph flags GL_OUT_OF_MEMORY
        createUnitPlane();
        switchOn();
    }

    // The host's frame, then the overlay on top of it.
    Image drawFrame(const std::string& name) {
        overlaytest::beginHostFrame(0.0f, 0.0f, 0.0f);
        EXPECT_TRUE(host.draw(0));
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        std::vector<unsigned char> pixels = gl->readPixels();
        EXPECT_FALSE(overlaytest::saveArtefact(name, pixels, kWidth, kHeight).empty());
        return Image(std::move(pixels), kWidth, kHeight);
    }
};

// Both HUD lines in dark grey (64, 64, 64): "Talvex Active" on the baseline at
// pixel y 65, "Tolerance 0.10" at y 50, both from x 450.
void expectHud(const Image& image) {
    const Rgb8 hud{64, 64, 64};
    const Ink all = image.find(hud);
    const Ink first = image.find(hud, 0, 64, kWidth, 65 + 19);
    const Ink second = image.find(hud, 0, 49, kWidth, 64);
    EXPECT_EQ(all.count, first.count + second.count);
    for (const Ink& line : {first, second}) {
        EXPECT_GT(line.count, 60);
        EXPECT_GE(line.minX, 449);
        EXPECT_LE(line.minX, 453);
        EXPECT_GE(line.maxX - line.minX, 54);
    }
    EXPECT_LE(std::abs(first.minY - 65), 1);
    EXPECT_LE(std::abs(second.minY - 50), 1);
}

TEST_F(OverlayThroughTheHost, ShowsHudAndTheMarksOfADrag) {
    for (bool partner : {true, false}) {
        host.scene.underEdit.assign({});
        host.scene.selected.assign({});
        // A at (0.5, -0.5) is dragged; its image is (-0.5, -0.5), where B
        // waits within the tolerance 0.1 when there is a partner. The search
        // point S at (0.6, -0.5) mirrors to (-0.6, -0.5): the line runs from
        // pixel (512, 120) to (128, 120), the box spans 96..160 by 96..144.
        HostObject* mesh =
            addEdited("mesh", {{0.5f, -0.5f, 0.0f},
                               {partner ? -0.5f : -0.9f, partner ? -0.45f : 0.9f, 0.0f},
                               {0.6f, -0.5f, 0.0f}});
        host.scene.selectVertices({v(mesh, 0)});
        drag({v(mesh, 0)}, v(mesh, 2));
        const Image image = drawFrame(partner ? "host_overlay_found" : "host_overlay_search");
        expectHud(image);

        const Rgb8 mark = partner ? Rgb8{0, 255, 0} : Rgb8{255, 255, 255};
        const Rgb8 box{0, 0, 255};
        for (int x : {200, 320, 450, 500})
            EXPECT_TRUE(image.inkNear(mark, x, 120, 1)) << partner << " line " << x;
        const Ink line = image.find(mark, 170, 100, kWidth, 140);
        EXPECT_LE(std::abs(line.maxX - 512), 1) << partner;
        EXPECT_LE(line.maxY - line.minY, 1) << partner;
        // The found point, 2 x 2 pixels at the mirror point (128, 120).
        EXPECT_TRUE(image.inkNear(mark, 128, 120, 1)) << partner;
        EXPECT_FALSE(image.inkNear(mark, 128, 120 + 4, 1)) << partner;
        const Ink wire = image.find(box);
        EXPECT_LE(std::abs(wire.minX - 96), 1) << partner;
        EXPECT_LE(std::abs(wire.maxX - 160), 1) << partner;
        EXPECT_LE(std::abs(wire.minY - 96), 1) << partner;
        EXPECT_LE(std::abs(wire.maxY - 144), 1) << partner;
        EXPECT_GT(wire.count, 4 * 40) << partner;
    }
}

TEST_F(OverlayThroughTheHost, WithoutADragOnlyTheHudIsDrawn) {
    const Image image = drawFrame("host_overlay_hud");
    expectHud(image);
    EXPECT_EQ(image.find({255, 255, 255}).count, 0);
    EXPECT_EQ(image.find({0, 0, 255}).count, 0);
}

TEST_F(OverlayThroughTheHost, SwitchedOffDrawsNothing) {
    switchOn();  // the switch toggles: now off
    const Image image = drawFrame("host_overlay_off");
    EXPECT_EQ(image.find({0, 0, 0}).count, kWidth * kHeight);
}

}  // namespace
