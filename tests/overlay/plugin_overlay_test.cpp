// The plug-in's draw and release hooks around the overlay: when they bind,
// load the settings, make and free the font lists and draw, with real GL
// contexts current (or none) and the overlay's GL calls recorded.
#include <gtest/gtest.h>

#include <algorithm>

#include "hostsim/gl_context.h"
#include "hostsim/sim_scene.h"
#include "overlay/gl_recorder.h"
#include "platform/platform.h"
#include "symmetry/symmetry_plugin.h"

namespace {

using Calls = std::vector<std::string>;

struct PluginOverlay : ::testing::Test {
    overlaytest::GlRecorder gl;
    hostsim::Scene scene;
    HostObject* plane = scene.addObject("plane", {{0.0f, 0.0f, 0.0f}});
    SymmetryPlugin plugin{&scene.record, &gl.services};
    std::unique_ptr<hostsim::OffscreenGl> context;

    void makeContext() {
        std::string error;
        context = hostsim::OffscreenGl::create(64, 64, error);
        ASSERT_NE(context, nullptr) << error;
    }
    bool drew() const {
        return std::find(gl.calls.begin(), gl.calls.end(), "callLists 13 0x1401 Talvex Active") !=
               gl.calls.end();
    }
};

TEST_F(PluginOverlay, NonZeroFlagDoesNothing) {
    makeContext();
    plugin.active = true;
    plugin.planeObject = plane;
    EXPECT_TRUE(plugin.draw(1));
    EXPECT_TRUE(gl.calls.empty());
    EXPECT_EQ(plugin.deviceContext, nullptr);
}

TEST_F(PluginOverlay, WithoutACurrentContextEveryDrawRetries) {
    plugin.tolerance = 0.3f;
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_TRUE(plugin.draw(0));
        EXPECT_TRUE(gl.calls.empty());
        EXPECT_EQ(plugin.deviceContext, nullptr);
        EXPECT_EQ(plugin.tolerance, 0.3f);  // no settings loaded
    }
    makeContext();
    EXPECT_TRUE(plugin.draw(0));
    EXPECT_EQ(gl.calls, Calls{"genLists 96"});
    EXPECT_EQ(plugin.deviceContext, platform::currentDrawingContext());
}

TEST_F(PluginOverlay, FirstDrawLoadsSettingsAndFontWhileThePlaneIsOff) {
    makeContext();
    plugin.tolerance = 0.3f;
    plugin.toleranceIndex = 1;
    EXPECT_TRUE(plugin.draw(0));
    EXPECT_EQ(gl.calls, Calls{"genLists 96"});
    EXPECT_EQ(plugin.fontListBase, 1000u);
    // No settings file beside the tests: the load gives the defaults.
    EXPECT_EQ(plugin.tolerance, 0.1f);
    EXPECT_EQ(plugin.toleranceIndex, 0);
    EXPECT_EQ(plugin.tolerances[1], 0.6f);
    // Bound: later draws neither load nor build again.
    gl.calls.clear();
    plugin.tolerance = 0.3f;
    EXPECT_TRUE(plugin.draw(0));
    EXPECT_TRUE(gl.calls.empty());
    EXPECT_EQ(plugin.tolerance, 0.3f);
}

TEST_F(PluginOverlay, ActiveWithoutAPlaneSwitchesOffAndDrawsNothing) {
    makeContext();
    plugin.draw(0);
    gl.calls.clear();
    plugin.active = true;
    EXPECT_TRUE(plugin.draw(0));
    EXPECT_FALSE(plugin.active);
    EXPECT_TRUE(gl.calls.empty());
}

TEST_F(PluginOverlay, ClearedDeviceContextRebindsWithNewLists) {
    makeContext();
    plugin.draw(0);
    plugin.deviceContext = nullptr;  // what "Talvex Reload INI" does
    gl.calls.clear();
    plugin.active = true;
    plugin.planeObject = plane;
    EXPECT_TRUE(plugin.draw(0));
    ASSERT_GE(gl.calls.size(), 3u);
    EXPECT_EQ(gl.calls[0], "deleteLists 1000 96");
    EXPECT_EQ(gl.calls[1], "genLists 96");
    EXPECT_EQ(gl.calls[2], "isEnabled 0xB50");
    EXPECT_EQ(std::count(gl.calls.begin(), gl.calls.end(), "listBase 1064"), 2);
}

TEST_F(PluginOverlay, ReleaseFreesTheFontAndTheNextDrawMakesItAgain) {
    makeContext();
    plugin.draw(0);
    plugin.active = true;
    plugin.planeObject = plane;
    plugin.tolerance = 0.3f;  // raised since the bind; a font rebuild keeps it
    gl.calls.clear();
    plugin.release(1);
    EXPECT_TRUE(gl.calls.empty());
    plugin.release(0);
    plugin.release(0);
    EXPECT_EQ(gl.calls, Calls{"deleteLists 1000 96"});
    EXPECT_EQ(plugin.fontListBase, 0u);
    gl.calls.clear();
    EXPECT_TRUE(plugin.draw(0));
    ASSERT_GE(gl.calls.size(), 2u);
    EXPECT_EQ(gl.calls[0], "genLists 96");
    EXPECT_EQ(std::count(gl.calls.begin(), gl.calls.end(), "listBase 1064"), 2);
    EXPECT_EQ(std::count(gl.calls.begin(), gl.calls.end(), "listBase 968"), 0);
    EXPECT_TRUE(std::find(gl.calls.begin(), gl.calls.end(), "callLists 14 0x1401 Tolerance 0.30") !=
                gl.calls.end());
    EXPECT_EQ(plugin.fontListBase, 1096u);
}

TEST_F(PluginOverlay, SearchMarksNeedAllThreeReferences) {
    makeContext();
    plugin.draw(0);
    plugin.active = true;
    plugin.planeObject = plane;
    static Vertex selected(0.0f, 0.0f, 0.0f);
    scene.selectVertices({&selected});
    plugin.searchPoint = Vector3(1.0f, 0.0f, 0.0f);
    plugin.mirrorPoint = Vector3(-1.0f, 0.0f, 0.0f);
    for (int missing = 0; missing < 4; ++missing) {
        plugin.matchTarget = missing == 0 ? nullptr : &plugin.partnerTarget;
        plugin.searchPointRef = missing == 1 ? nullptr : &plugin.searchPoint;
        plugin.mirrorPointRef = missing == 2 ? nullptr : &plugin.mirrorPoint;
        gl.calls.clear();
        EXPECT_TRUE(plugin.draw(0));
        EXPECT_TRUE(drew());
        const bool line = std::find(gl.calls.begin(), gl.calls.end(),
                                    overlaytest::vertex(1.0f, 0.0f, 0.0f)) != gl.calls.end();
        EXPECT_EQ(line, missing == 3) << missing;
    }
}

}  // namespace
