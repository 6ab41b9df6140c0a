// The settings as the host sees them: the shipped plug-in, loaded through its
// exports, reads its settings file at the first draw with a GL context, and
// the tolerance commands then report the file's tolerances and step.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "hostsim/gl_context.h"
#include "support/plugin_fixture.h"
#include "support/scratch_folder.h"

namespace {

struct SettingsThroughThePlugin : ::testing::Test {
    PluginFixture plugin;  // loaded from the build folder, before the folder changes
    std::unique_ptr<hostsim::OffscreenGl> gl;

    // Makes a GL context and draws once in `folder`, where the plug-in reads
    // its settings, then runs `command` and gives its message.
    void bindIn() {
        std::string error;
        gl = hostsim::OffscreenGl::create(64, 64, error);
        ASSERT_NE(gl, nullptr) << error;
        EXPECT_TRUE(plugin.host.draw(0));
    }
    std::string run(const char* command) {
        EXPECT_TRUE(plugin.host.executeByName(command)) << command;
        return plugin.host.messages.empty() ? "" : plugin.host.messages.back();
    }
};

TEST_F(SettingsThroughThePlugin, TheFilesTolerancesAndStepReachTheCommands) {
    ScratchFolder folder("settings_plugin_values");
    ScratchFolder::write(
        ScratchFolder::kSettingsFile,
        "[CONFIG]\r\nTOLERANCE_A=0.3\r\nTOLERANCE_B=0.45\r\nTOLERANCE_MODIFIER=0.05\r\n");
    bindIn();
    EXPECT_EQ(run("Talvex Raise Tolerance"), "Raise Tolerance - New Tolerance : 0.35");
    EXPECT_EQ(run("Talvex Switch Tolerance"), "Swap Tolerance - Current Tollerance 0.45");
    EXPECT_EQ(run("Talvex Lower Tolerance"), "Lower Tolerance - New Tolerance : 0.40");
}

TEST_F(SettingsThroughThePlugin, OutOfRangeTolerancesGiveTheDefaults) {
    ScratchFolder folder("settings_plugin_defaults");
    ScratchFolder::write(
        ScratchFolder::kSettingsFile,
        "[CONFIG]\r\nTOLERANCE_A=0.005\r\nTOLERANCE_B=1025\r\nTOLERANCE_MODIFIER=0,5\r\n");
    bindIn();
    EXPECT_EQ(run("Talvex Raise Tolerance"), "Raise Tolerance - New Tolerance : 0.20");
    EXPECT_EQ(run("Talvex Switch Tolerance"), "Swap Tolerance - Current Tollerance 0.60");
}

TEST_F(SettingsThroughThePlugin, AReloadReadsTheEditedFileAndMakesAtheCurrentTolerance) {
    ScratchFolder folder("settings_plugin_reload");
    ScratchFolder::write(ScratchFolder::kSettingsFile, "[CONFIG]\r\nTOLERANCE_A=0.01\r\n");
    bindIn();
    // 0.01 is taken (read as a double it exceeds the float 0.01), and is the floor.
    EXPECT_EQ(run("Talvex Lower Tolerance"), "Lower Tolerance - New Tolerance : 0.01");
    EXPECT_EQ(run("Talvex Switch Tolerance"), "Swap Tolerance - Current Tollerance 0.60");

    const std::string edited = "[CONFIG]\r\nTOLERANCE_A=0.7\r\nTOLERANCE_MODIFIER=0.2\r\n";
    ScratchFolder::write(ScratchFolder::kSettingsFile, edited);
    EXPECT_EQ(run("Talvex Reload INI"), "Talvex INI file reloaded");
    EXPECT_TRUE(plugin.host.draw(0));
    // Back on tolerance A, from the edited file, whatever was current before.
    EXPECT_EQ(run("Talvex Raise Tolerance"), "Raise Tolerance - New Tolerance : 0.90");
    EXPECT_EQ(ScratchFolder::read(ScratchFolder::kSettingsFile), edited);
}

}  // namespace
