// The settings load from a real settings file below the current directory:
// every key's range test at its edges, the tolerance order, and bad files
// that must give the defaults without harm.
#include "config/settings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <string>

#include "config/setting_keys.h"
#include "support/scratch_folder.h"

namespace {

struct Loaded {
    Settings settings;
    ToleranceSettings tolerances;
};

// Loads as the plug-in does, from the current directory, with fields poisoned
// first so that a field the load forgets shows.
Loaded loadHere() {
    auto profile = std::make_unique<ProfileReader>();
    Loaded loaded;
    std::memset(&loaded, 0x7F, sizeof loaded);
    loadSettings(*profile, loaded.settings, loaded.tolerances);
    return loaded;
}

Loaded loadFromText(const std::string& name, const std::string& ini) {
    ScratchFolder folder(name);
    ScratchFolder::write(ScratchFolder::kSettingsFile, ini);
    return loadHere();
}

float colour(int component) {
    return static_cast<float>(double(component) * double(0.0039215689f));
}

void expectSame(const Loaded& actual, const Loaded& expected) {
    const Settings& a = actual.settings;
    const Settings& e = expected.settings;
    EXPECT_EQ(a.hudPosX, e.hudPosX);
    EXPECT_EQ(a.hudPosY, e.hudPosY);
    EXPECT_EQ(a.hudStepY, e.hudStepY);
    EXPECT_EQ(a.fontSize, e.fontSize);
    EXPECT_STREQ(a.fontFace, e.fontFace);
    EXPECT_EQ(a.lineWidth, e.lineWidth);
    EXPECT_EQ(a.toleranceLineWidth, e.toleranceLineWidth);
    EXPECT_EQ(a.pointSize, e.pointSize);
    EXPECT_EQ(a.depthTest, e.depthTest);
    EXPECT_EQ(a.stippleLines, e.stippleLines);
    EXPECT_EQ(a.stipplePattern, e.stipplePattern);
    for (const auto& [x, y] :
         {std::pair{a.hudColor, e.hudColor}, std::pair{a.searchColor, e.searchColor},
          std::pair{a.foundColor, e.foundColor}, std::pair{a.toleranceColor, e.toleranceColor}}) {
        EXPECT_EQ(x.red, y.red);
        EXPECT_EQ(x.green, y.green);
        EXPECT_EQ(x.blue, y.blue);
    }
    EXPECT_EQ(a.oversizePercentage, e.oversizePercentage);
    EXPECT_EQ(actual.tolerances.toleranceA, expected.tolerances.toleranceA);
    EXPECT_EQ(actual.tolerances.toleranceB, expected.tolerances.toleranceB);
    EXPECT_EQ(actual.tolerances.modifier, expected.tolerances.modifier);
}

Loaded defaults() {
    return Loaded{defaultSettings(), defaultTolerances()};
}

TEST(Settings, DefaultsAreTheDocumentedValues) {
    const Loaded d = defaults();
    // The float 1/255 the colours scale by, by its bits.
    const float scale = 0.0039215689f;
    std::uint32_t bits = 0;
    std::memcpy(&bits, &scale, sizeof bits);
    EXPECT_EQ(bits, 0x3B808081u);
    EXPECT_EQ(d.settings.hudColor.red, 0.2509804f);
    EXPECT_EQ(d.settings.searchColor.blue, 1.0f);
    EXPECT_EQ(d.settings.stipplePattern, -128);
    EXPECT_EQ(d.tolerances.toleranceA, 0.1f);
    EXPECT_EQ(d.tolerances.toleranceB, 0.6f);
}

struct KeyCase {
    const char* lines;                    // inside [CONFIG]
    std::function<void(Loaded&)> change;  // applied to the defaults: what the file changes
};

TEST(Settings, EachKeyIsTakenOnlyInsideItsRange) {
    const KeyCase cases[] = {
        {"HUD_POS_X=0", nullptr},
        {"HUD_POS_X=1", [](Loaded& l) { l.settings.hudPosX = 1.0f; }},
        {"HUD_POS_X=640", [](Loaded& l) { l.settings.hudPosX = 640.0f; }},
        {"HUD_POS_X=641", nullptr},
        {"HUD_POS_X=451px", [](Loaded& l) { l.settings.hudPosX = 451.0f; }},
        {"hud_pos_x=-3", nullptr},
        {"HUD_POS_Y=480", [](Loaded& l) { l.settings.hudPosY = 480.0f; }},
        {"HUD_POS_Y=481", nullptr},
        {"HUD_STEP_Y=1", [](Loaded& l) { l.settings.hudStepY = 1.0f; }},
        {"HUD_STEP_Y=0", nullptr},
        {"FONT_SIZE=64", [](Loaded& l) { l.settings.fontSize = 64; }},
        {"FONT_SIZE=65", nullptr},
        {"FONT_SIZE=0", nullptr},
        {"COLOR_RED=256", nullptr},
        {"COLOR_RED=-1", nullptr},
        {"COLOR_RED=255", [](Loaded& l) { l.settings.hudColor.red = 1.0f; }},
        {"COLOR_RED=abc", [](Loaded& l) { l.settings.hudColor.red = 0.0f; }},
        {"COLOR_GREEN=128\nCOLOR_BLUE=1",
         [](Loaded& l) {
             l.settings.hudColor.green = colour(128);
             l.settings.hudColor.blue = colour(1);
         }},
        {"FONT_FACE=", nullptr},
        {"FONT_FACE=Courier New",
         [](Loaded& l) { std::strcpy(l.settings.fontFace, "Courier New"); }},
        {"FONT_FACE=  \"Lucida Console\"  ",
         [](Loaded& l) { std::strcpy(l.settings.fontFace, "Lucida Console"); }},
        {"POINT_SIZE=0", [](Loaded& l) { l.settings.pointSize = 0.0f; }},
        {"POINT_SIZE=16", [](Loaded& l) { l.settings.pointSize = 16.0f; }},
        {"LINE_WIDTH=0", [](Loaded& l) { l.settings.lineWidth = 0.0f; }},
        {"LINE_WIDTH=16.5", nullptr},
        {"LINE_WIDTH=-0.5", nullptr},
        {"TOLERANCE_LINE_WIDTH=2.7", [](Loaded& l) { l.settings.toleranceLineWidth = 2.7f; }},
        {"DEPTH_TEST=0", [](Loaded& l) { l.settings.depthTest = false; }},
        {"DEPTH_TEST=no", [](Loaded& l) { l.settings.depthTest = false; }},
        {"DEPTH_TEST=1", nullptr},
        {"DEPTH_TEST=", nullptr},
        {"STIPPLE_LINES=1", [](Loaded& l) { l.settings.stippleLines = true; }},
        {"STIPPLE_LINES=yes", nullptr},
        {"STIPPLE_LINES=-1", nullptr},
        {"STIPPLE_LINES_PATTERN=300", nullptr},
        {"STIPPLE_LINES_PATTERN=255", [](Loaded& l) { l.settings.stipplePattern = -1; }},
        {"STIPPLE_LINES_PATTERN=127", [](Loaded& l) { l.settings.stipplePattern = 127; }},
        {"STIPPLE_LINES_PATTERN=0", [](Loaded& l) { l.settings.stipplePattern = 0; }},
        {"COLOR_VIZ_SEARCH_RED=0\nCOLOR_VIZ_FOUND_GREEN=64\nCOLOR_VIZ_TOLERANCE_BLUE=300",
         [](Loaded& l) {
             l.settings.searchColor.red = 0.0f;
             l.settings.foundColor.green = colour(64);
         }},
        {"TOLERANCE_A=0.01", [](Loaded& l) { l.tolerances.toleranceA = 0.01f; }},
        // Just above the float 0.01 as a double: taken, and stored as that float.
        {"TOLERANCE_A=0.0099999998", [](Loaded& l) { l.tolerances.toleranceA = 0.01f; }},
        // Exactly the float 0.01: the strict test refuses it.
        {"TOLERANCE_A=0.00999999977648258209228515625", nullptr},
        {"TOLERANCE_A=0.005", nullptr},
        {"TOLERANCE_A=1024", [](Loaded& l) { l.tolerances.toleranceA = 1024.0f; }},
        {"TOLERANCE_A=1025", nullptr},
        {"TOLERANCE_A=0,3", nullptr},
        {"TOLERANCE_A=0.3", [](Loaded& l) { l.tolerances.toleranceA = 0.3f; }},
        {"TOLERANCE_B=2\nTOLERANCE_A=1e999", [](Loaded& l) { l.tolerances.toleranceB = 2.0f; }},
        {"TOLERANCE_MODIFIER=0.5", [](Loaded& l) { l.tolerances.modifier = 0.5f; }},
        {"TOLERANCE_MODIFIER=0", nullptr},
        {"TALVEX_OVERSIZE_PERCENTAGE=0", [](Loaded& l) { l.settings.oversizePercentage = 0.0f; }},
        {"TALVEX_OVERSIZE_PERCENTAGE=100",
         [](Loaded& l) { l.settings.oversizePercentage = 100.0f; }},
        {"TALVEX_OVERSIZE_PERCENTAGE=-1", nullptr},
    };
    for (const KeyCase& c : cases) {
        SCOPED_TRACE(c.lines);
        Loaded expected = defaults();
        if (c.change) c.change(expected);
        expectSame(loadFromText("settings_key", std::string("[CONFIG]\r\n") + c.lines + "\r\n"),
                   expected);
    }
}

TEST(Settings, TheShippedSampleGivesExactlyTheDefaults) {
    const std::string sample = ScratchFolder::read("sample_Talvex.ini");
    ASSERT_GT(sample.size(), 1000u) << "the fixture copies packaging/Talvex.ini here";
    expectSame(loadFromText("settings_sample", sample), defaults());
    // Every key of the table is written out in the sample, inside its range:
    // the defaults above are the file's, not the fallbacks.
    ScratchFolder folder("settings_sample_keys");
    ScratchFolder::write(ScratchFolder::kSettingsFile, sample);
    auto profile = std::make_unique<ProfileReader>();
    Loaded loaded;
    SettingOutcome outcomes[kSettingKeyCount] = {};
    loadSettings(*profile, loaded.settings, loaded.tolerances, outcomes);
    for (int i = 0; i < kSettingKeyCount; ++i) {
        const SettingKey& key = kSettingKeys[i];
        EXPECT_EQ(outcomes[i].found, 1) << key.name;
        const bool isSwitch =
            key.kind == SettingKind::switchOff || key.kind == SettingKind::switchOn;
        // A switch at its default is found but moves nothing.
        EXPECT_EQ(outcomes[i].taken, !isSwitch) << key.name;
    }
}

std::string randomBytes(std::size_t count, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(count, '\0');
    for (char& c : bytes) c = static_cast<char>(generator() & 0xFF);
    return bytes;
}

// Bad files give the defaults, and the load leaves the folder as it was.
TEST(Settings, BadFilesGiveTheDefaultsAndAreNeverWritten) {
    const struct {
        const char* name;
        std::function<void()> make;
    } cases[] = {
        {"no file", [] {}},
        {"a directory in its place",
         [] { std::filesystem::create_directories(ScratchFolder::kSettingsFile); }},
        {"garbage bytes",
         [] { ScratchFolder::write(ScratchFolder::kSettingsFile, randomBytes(65536, 1)); }},
        {"10 MB of garbage",
         [] { ScratchFolder::write(ScratchFolder::kSettingsFile, randomBytes(10u << 20, 2)); }},
        {"CONFIG keys outside any section",
         [] {
             ScratchFolder::write(ScratchFolder::kSettingsFile,
                                  "HUD_POS_X=99\r\n[OTHER]\r\nFONT_SIZE=20\r\n");
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder folder("settings_bad");
        c.make();
        const bool exists = std::filesystem::exists(ScratchFolder::kSettingsFile);
        const bool isFile = std::filesystem::is_regular_file(ScratchFolder::kSettingsFile);
        const std::string before = isFile ? ScratchFolder::read(ScratchFolder::kSettingsFile) : "";
        const auto time = exists ? std::filesystem::last_write_time(ScratchFolder::kSettingsFile)
                                 : std::filesystem::file_time_type{};
        expectSame(loadHere(), defaults());
        EXPECT_EQ(std::filesystem::exists(ScratchFolder::kSettingsFile), exists);
        if (exists) {
            EXPECT_EQ(std::filesystem::last_write_time(ScratchFolder::kSettingsFile), time);
            if (isFile) {
                EXPECT_EQ(ScratchFolder::read(ScratchFolder::kSettingsFile), before);
            }
        }
    }
}

TEST(Settings, AFileThatCannotBeOpenedGivesTheDefaults) {
    // make_fixtures.cmake made this settings file a symlink to itself.
    std::filesystem::current_path("unreadable_settings");
    const Loaded loaded = loadHere();
    std::filesystem::current_path("..");
    expectSame(loaded, defaults());
}

TEST(Settings, ValuesAfterTenMegabytesAreRead) {
    std::string big = "[FILLER]\r\n";
    while (big.size() < (10u << 20)) big += "KEY=" + std::string(200, 'f') + "\r\n";
    big += "[CONFIG]\r\nHUD_POS_X=123\r\nTOLERANCE_A=0.25\r\n";
    Loaded expected = defaults();
    expected.settings.hudPosX = 123.0f;
    expected.tolerances.toleranceA = 0.25f;
    expectSame(loadFromText("settings_big", big), expected);
}

}  // namespace
