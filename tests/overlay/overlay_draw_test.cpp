// The overlay's GL calls, in order and with their arguments, recorded in place
// of real GL: the HUD-only and the search-marks frames, the stipple bits, the
// hidden marks, the 24 box vertices and what is put back afterwards.
#include "overlay/overlay_draw.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "hostsim/sim_scene.h"
#include "overlay/font_lists.h"
#include "overlay/gl_recorder.h"
#include "symmetry/selection_count.h"

namespace {

using overlaytest::color;
using overlaytest::number;
using overlaytest::vertex;
using Calls = std::vector<std::string>;

struct DrawOverlay : ::testing::Test {
    overlaytest::GlRecorder gl;
    hostsim::Scene scene;
    Settings settings = defaultSettings();
    Vector3 search{-1.0f, 2.0f, 3.0f};
    Vector3 mirror{1.0f, 2.0f, 3.0f};
    char text[1044] = {};

    DrawOverlay() {
        // Two selected vertices in mode 2, none in the other modes.
        static Vertex first(0.0f, 0.0f, 0.0f);
        static Vertex second(1.0f, 0.0f, 0.0f);
        scene.selectVertices({&first, &second});
    }

    overlay::OverlayFrame frame(bool marks, float tolerance = 0.5f) {
        overlay::OverlayFrame f{};
        f.settings = &settings;
        f.tolerance = tolerance;
        f.searchPoint = marks ? &search : nullptr;
        f.mirrorPoint = marks ? &mirror : nullptr;
        f.pairsFound = false;
        f.fontListBase = 1000;
        f.textBuffer = text;
        f.textBufferSize = sizeof text;
        return f;
    }

    // One draw as the plug-in makes it: the GL state saved, the host asked for
    // the selection, then the frame drawn and the state put back.
    void draw(overlay::OverlayFrame f) {
        f.lightingWasOn = overlay::beginOverlay(settings);
        f.selectedCount = selectionCount(scene.record, gl.services);
        overlay::drawOverlay(f);
    }

    Calls hud(const std::string& toleranceLine) const {
        const Rgb& c = settings.hudColor;
        return {"matrixMode 0x1701",
                "pushMatrix",
                "loadIdentity",
                "ortho 0 640 0 480 -1 1",
                "matrixMode 0x1700",
                "pushMatrix",
                "loadIdentity",
                color(c.red, c.green, c.blue),
                "rasterPos2f 450 65",
                "pushAttrib 0x20000",
                "listBase 968",
                "callLists 13 0x1401 Talvex Active",
                "popAttrib",
                "rasterPos2f 450 50",
                "pushAttrib 0x20000",
                "listBase 968",
                "callLists 14 0x1401 " + toleranceLine,
                "popAttrib"};
    }

    static Calls restore() {
        return {"enable 0xB71", "popMatrix", "matrixMode 0x1701", "popMatrix"};
    }
};

Calls join(std::initializer_list<Calls> parts) {
    Calls all;
    for (const Calls& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

Calls between(const Calls& calls, const std::string& first, const std::string& last) {
    auto from = std::find(calls.begin(), calls.end(), first);
    auto to = std::find(from, calls.end(), last);
    return to == calls.end() ? Calls{} : Calls(from, to + 1);
}

const Calls kPrologue = {"isEnabled 0xB50", "disable 0xB50", "getSelectionMode", "getSelectionMode",
                         "getSelectionMode"};

TEST_F(DrawOverlay, WithoutMarksDrawsOnlyTheHud) {
    draw(frame(false, 0.1f));
    EXPECT_EQ(gl.calls, join({kPrologue, hud("Tolerance 0.10"), restore()}));
}

TEST_F(DrawOverlay, SearchMarksComeBeforeTheHudInTheirOrder) {
    const Rgb& s = settings.searchColor;
    const Rgb& t = settings.toleranceColor;
    // Each sign stands for mirror +/- 0.5 in x, y, z.
    const Calls box = {
        vertex(1.5f, 2.5f, 3.5f), vertex(0.5f, 2.5f, 3.5f), vertex(1.5f, 2.5f, 3.5f),
        vertex(1.5f, 1.5f, 3.5f), vertex(1.5f, 2.5f, 3.5f), vertex(1.5f, 2.5f, 2.5f),
        vertex(1.5f, 1.5f, 2.5f), vertex(0.5f, 1.5f, 2.5f), vertex(0.5f, 2.5f, 2.5f),
        vertex(0.5f, 1.5f, 2.5f), vertex(0.5f, 1.5f, 3.5f), vertex(0.5f, 1.5f, 2.5f),
        vertex(1.5f, 1.5f, 2.5f), vertex(1.5f, 1.5f, 3.5f), vertex(0.5f, 2.5f, 2.5f),
        vertex(1.5f, 2.5f, 2.5f), vertex(0.5f, 1.5f, 3.5f), vertex(0.5f, 2.5f, 3.5f),
        vertex(1.5f, 1.5f, 3.5f), vertex(0.5f, 1.5f, 3.5f), vertex(1.5f, 2.5f, 2.5f),
        vertex(1.5f, 1.5f, 2.5f), vertex(0.5f, 2.5f, 3.5f), vertex(0.5f, 2.5f, 2.5f)};
    const Calls marks = join(
        {{color(s.red, s.green, s.blue), "lineWidth 1", "disable 0xB24", "lineStipple 1 0xFF80",
          "begin 0x1", vertex(-1.0f, 2.0f, 3.0f), vertex(1.0f, 2.0f, 3.0f), "end", "pointSize 2",
          "begin 0x0", vertex(1.0f, 2.0f, 3.0f), "end", "disable 0xB24",
          color(t.red, t.green, t.blue), "lineWidth 1", "begin 0x1"},
         box,
         {"end", "lineWidth 1"}});
    draw(frame(true, 0.5f));
    EXPECT_EQ(gl.calls, join({kPrologue, marks, hud("Tolerance 0.50"), restore()}));
}

TEST_F(DrawOverlay, BoxCornersAreSinglePrecisionSumsAroundTheMirrorPoint) {
    mirror = Vector3(0.1f, -1e7f, 3.3f);
    const float t = 0.1f;
    draw(frame(true, t));
    const Rgb& c = settings.toleranceColor;
    const auto boxColour =
        std::find(gl.calls.begin(), gl.calls.end(), color(c.red, c.green, c.blue));
    const Calls wire = between(Calls(boxColour, gl.calls.end()), "begin 0x1", "end");
    ASSERT_EQ(wire.size(), 26u);
    EXPECT_EQ(wire[1], vertex(mirror.x + t, mirror.y + t, mirror.z + t));
    EXPECT_EQ(wire[8], vertex(mirror.x - t, mirror.y - t, mirror.z - t));
    EXPECT_EQ(wire[11], vertex(mirror.x - t, mirror.y - t, mirror.z + t));
}

TEST_F(DrawOverlay, StippleIsTheSignExtendedPatternAndFollowsStippleLines) {
    struct Case {
        int stored;
        bool stipple;
        const char* pattern;
        const char* state;
    };
    const Case cases[] = {{0, false, "lineStipple 1 0x0", "disable 0xB24"},
                          {127, true, "lineStipple 1 0x7F", "enable 0xB24"},
                          {128, true, "lineStipple 1 0xFF80", "enable 0xB24"},
                          {255, false, "lineStipple 1 0xFFFF", "disable 0xB24"}};
    for (const Case& c : cases) {
        gl.calls.clear();
        settings.stipplePattern = static_cast<std::int8_t>(static_cast<std::uint8_t>(c.stored));
        settings.stippleLines = c.stipple;
        draw(frame(true));
        const Calls line = between(gl.calls, "lineWidth 1", "end");
        ASSERT_GE(line.size(), 3u) << c.stored;
        EXPECT_EQ(line[1], c.state) << c.stored;
        EXPECT_EQ(line[2], c.pattern) << c.stored;
        // Whatever the setting, the stipple is off once the line is drawn.
        EXPECT_EQ(std::count(gl.calls.begin(), gl.calls.end(), "disable 0xB24"), c.stipple ? 1 : 2);
    }
}

TEST_F(DrawOverlay, AWidthOrSizeAtTheThresholdHidesItsMark) {
    const float threshold = 0.0001f;
    const float justAbove = std::nextafter(threshold, 1.0f);
    struct Case {
        float lineWidth, pointSize, boxWidth;
        bool line, point, box;
    };
    const Case cases[] = {
        {0.0f, 2.0f, 1.0f, false, true, true},      {threshold, 2.0f, 1.0f, false, true, true},
        {justAbove, 2.0f, 1.0f, true, true, true},  {1.0f, 0.0f, 1.0f, true, false, true},
        {1.0f, threshold, 1.0f, true, false, true}, {1.0f, 2.0f, 0.0f, true, true, false},
        {1.0f, 2.0f, threshold, true, true, false}, {0.0f, 0.0f, 0.0f, false, false, false}};
    for (const Case& c : cases) {
        gl.calls.clear();
        settings.lineWidth = c.lineWidth;
        settings.pointSize = c.pointSize;
        settings.toleranceLineWidth = c.boxWidth;
        draw(frame(true));
        const auto has = [&](const std::string& call) {
            return std::find(gl.calls.begin(), gl.calls.end(), call) != gl.calls.end();
        };
        const Rgb& t = settings.toleranceColor;
        EXPECT_EQ(has("lineStipple 1 0xFF80"), c.line) << c.lineWidth;
        EXPECT_EQ(has("begin 0x0"), c.point) << c.pointSize;
        EXPECT_EQ(has(color(t.red, t.green, t.blue)), c.box) << c.boxWidth;
        EXPECT_EQ(std::count(gl.calls.begin(), gl.calls.end(), "begin 0x1"),
                  int(c.line) + int(c.box));
        // The stipple is switched off and the width reset to 1 on every path.
        const auto off = std::find(gl.calls.begin(), gl.calls.end(), "disable 0xB24");
        EXPECT_NE(off, gl.calls.end());
        const auto hudStart = std::find(gl.calls.begin(), gl.calls.end(), "matrixMode 0x1701");
        ASSERT_NE(hudStart, gl.calls.begin());
        EXPECT_EQ(*(hudStart - 1), "lineWidth 1");
    }
}

TEST_F(DrawOverlay, FoundPairsColourLineAndPointButNeverTheBox) {
    settings.toleranceColor = {0.0f, 0.0f, 1.0f};
    for (bool found : {false, true}) {
        gl.calls.clear();
        overlay::OverlayFrame f = frame(true);
        f.pairsFound = found;
        draw(f);
        const Rgb& expected = found ? settings.foundColor : settings.searchColor;
        EXPECT_EQ(gl.calls[5], color(expected.red, expected.green, expected.blue)) << found;
        EXPECT_EQ(std::count(gl.calls.begin(), gl.calls.end(), color(0.0f, 0.0f, 1.0f)), 1)
            << found;
    }
}

TEST_F(DrawOverlay, SelectionModeDecidesWhetherMarksAreDrawn) {
    static Vertex vertex0(0.0f, 0.0f, 0.0f);
    struct Case {
        int mode;
        int vertices, modeOne, modeZero;
        bool marks;
    };
    const Case cases[] = {{2, 1, 0, 0, true},  {2, 0, 5, 5, false},  {1, 0, 1, 0, true},
                          {1, 5, 0, 5, false}, {0, 0, 0, 1, true},   {0, 5, 5, 0, false},
                          {3, 5, 5, 5, false}, {-1, 5, 5, 5, false}, {1, 0, -2, 0, false}};
    for (const Case& c : cases) {
        gl.calls.clear();
        gl.selectionMode = c.mode;
        if (c.vertices > 0)
            scene.selectVertices(
                std::vector<HostVertex*>(static_cast<size_t>(c.vertices), &vertex0));
        else
            scene.selectVertices({});
        scene.modeOneSelection.count = c.modeOne;
        scene.modeZeroSelection.count = c.modeZero;
        draw(frame(true));
        EXPECT_EQ(std::count(gl.calls.begin(), gl.calls.end(), "getSelectionMode"), 3) << c.mode;
        const bool drawn =
            std::find(gl.calls.begin(), gl.calls.end(), "begin 0x1") != gl.calls.end();
        EXPECT_EQ(drawn, c.marks) << "mode " << c.mode;
        // Without marks neither the width nor the stipple is touched.
        if (!c.marks) {
            EXPECT_EQ(gl.calls, join({kPrologue, hud("Tolerance 0.50"), restore()}));
        }
    }
}

TEST_F(DrawOverlay, SelectionCountAsksTheModeOncePerBranch) {
    // Two selected vertices (mode 2), four in mode 1, seven in mode 0. The
    // first answer is tested against 2, the second against 1, the third against 0.
    scene.modeOneSelection.count = 4;
    scene.modeZeroSelection.count = 7;
    struct Case {
        std::vector<int> answers;
        std::int64_t count;
    };
    const Case cases[] = {{{2, 2, 2}, 2}, {{1, 1, 1}, 4}, {{0, 0, 0}, 7}, {{2, 1, 0}, 13},
                          {{0, 2, 1}, 0}, {{2, 0, 0}, 9}, {{5, 5, 5}, 0}};
    for (const Case& c : cases) {
        gl.selectionAnswers = c.answers;
        EXPECT_EQ(selectionCount(scene.record, gl.services), c.count)
            << c.answers[0] << c.answers[1] << c.answers[2];
        EXPECT_TRUE(gl.selectionAnswers.empty());
    }
}

TEST_F(DrawOverlay, PutsBackLightingOnlyWhenItWasOnAndAlwaysEnablesDepthTest) {
    for (bool lighting : {false, true}) {
        for (bool depthTest : {false, true}) {
            gl.calls.clear();
            gl.lightingEnabled = lighting;
            settings.depthTest = depthTest;
            draw(frame(false));
            Calls expected = {"isEnabled 0xB50", "disable 0xB50"};
            if (!depthTest) expected.push_back("disable 0xB71");
            expected = join({expected,
                             {"getSelectionMode", "getSelectionMode", "getSelectionMode"},
                             hud("Tolerance 0.50"),
                             restore()});
            if (lighting) expected.push_back("enable 0xB50");
            EXPECT_EQ(gl.calls, expected) << lighting << depthTest;
        }
    }
}

TEST_F(DrawOverlay, HudFollowsItsSettings) {
    settings.hudPosX = 12.0f;
    settings.hudPosY = 400.0f;
    settings.hudStepY = 30.0f;
    settings.hudColor = {1.0f, 0.5f, 0.25f};
    draw(frame(false, 0.6f));
    EXPECT_NE(std::find(gl.calls.begin(), gl.calls.end(), "rasterPos2f 12 400"), gl.calls.end());
    EXPECT_NE(std::find(gl.calls.begin(), gl.calls.end(), "rasterPos2f 12 370"), gl.calls.end());
    EXPECT_NE(std::find(gl.calls.begin(), gl.calls.end(), "callLists 14 0x1401 Tolerance 0.60"),
              gl.calls.end());
    EXPECT_EQ(std::string(text), "Tolerance 0.60");  // formatted in the plug-in's buffer
    const auto colour = std::find(gl.calls.begin(), gl.calls.end(), color(1.0f, 0.5f, 0.25f));
    ASSERT_NE(colour, gl.calls.end());
    EXPECT_EQ(*(colour + 1), "rasterPos2f 12 400");
}

TEST(DrawText, CallsOneListPerByteThroughTheOffsetBase) {
    overlaytest::GlRecorder gl;
    overlay::drawText(1000, nullptr);
    overlay::drawText(0, "lost font");
    EXPECT_TRUE(gl.calls.empty());
    overlay::drawText(40, "A b");
    EXPECT_EQ(gl.calls,
              (Calls{"pushAttrib 0x20000", "listBase 8", "callLists 3 0x1401 A b", "popAttrib"}));
}

TEST(FontLists, ReplaceDeletesTheOldListsFirstAndDeleteIgnoresZero) {
    overlaytest::GlRecorder gl;
    EXPECT_EQ(overlay::replaceFontLists(0), 1000u);
    EXPECT_EQ(overlay::replaceFontLists(1000), 1096u);
    overlay::deleteFontLists(0);
    overlay::deleteFontLists(1096);
    EXPECT_EQ(gl.calls,
              (Calls{"genLists 96", "deleteLists 1000 96", "genLists 96", "deleteLists 1096 96"}));
}

TEST(StippleBits, SignExtendTheStoredByte) {
    for (auto [stored, bits] : {std::pair{0, 0x0000},
                                {1, 0x0001},
                                {127, 0x007F},
                                {128, 0xFF80},
                                {200, 0xFFC8},
                                {255, 0xFFFF}})
        EXPECT_EQ(overlay::stippleBits(static_cast<std::int8_t>(static_cast<std::uint8_t>(stored))),
                  bits)
            << stored;
}

}  // namespace
