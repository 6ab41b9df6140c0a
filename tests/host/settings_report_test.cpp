// The settings report, word for word for one troubled file (the same text
// is expected from both builds), and the file states a user can be in.
#include "report/settings_report.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "config/setting_keys.h"
#include "support/scratch_folder.h"

namespace {

int countOf(const std::string& text, const std::string& part) {
    int count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

void makeFolder(const std::string& name, const std::string* settings) {
    ScratchFolder folder(name);
    if (settings != nullptr) ScratchFolder::write(ScratchFolder::kSettingsFile, *settings);
}

TEST(SettingsReport, ExplainsEveryKeyOfATroubledFile) {
    const std::string ini =
        "[CONFIG]\r\nHUD_POS_X=451px\r\nHUD_POSX=3\r\nCOLOR_RED=abc\r\n"
        "TOLERANCE_A=0,3\r\nTOLERANCE_B=0.25\r\nFONT_FACE=\r\nFONT_SIZE=\"20\"\r\n"
        "DEPTH_TEST=1\r\nSTIPPLE_LINES=yes\r\nLINE_WIDTH=16.5\r\nPOINT_SIZE=0\r\n"
        "COLOR_VIZ_FOUND_RED=\x7F\r\nSTIPPLE_LINES_PATTERN\r\nSTIPPLE_LINES_PATTERN=9\r\n"
        "point_size=3\r\n[config]\r\nHUD_POS_Y=5\r\n";
    makeFolder("report_troubled", &ini);
    const std::string expected =
        R"(Settings file: Plugins\Startup Plugins\Talvex.ini in report_troubled
File: found, 289 bytes.

  # key                         in file          in use           why
  1 HUD_POS_X                   "451px"          451              taken: "451px" reads as 451
  2 HUD_POS_Y                   none             65               default: no such key in [CONFIG]
  3 HUD_STEP_Y                  none             15               default: no such key in [CONFIG]
  4 FONT_SIZE                   "20"             20               taken
  5 COLOR_RED                   "abc"            0 (0)            taken: "abc" reads as 0
  6 COLOR_GREEN                 none             64 (0.2509804)   default: no such key in [CONFIG]
  7 COLOR_BLUE                  none             64 (0.2509804)   default: no such key in [CONFIG]
  8 FONT_FACE                   ""               "Arial"          default: the value is empty
  9 POINT_SIZE                  "0"              0                taken
 10 LINE_WIDTH                  "16.5"           1                default: 16.5 is outside 0 <= v <= 16
 11 TOLERANCE_LINE_WIDTH        none             1                default: no such key in [CONFIG]
 12 DEPTH_TEST                  "1"              on               taken: 1 is not 0, so the depth test stays on
 13 STIPPLE_LINES_PATTERN       none             128              default: no such key in [CONFIG]
 14 STIPPLE_LINES               "yes"            off              taken: "yes" reads as 0, which is not above 0, so dashed lines stay off
 15 COLOR_VIZ_SEARCH_RED        none             255 (1)          default: no such key in [CONFIG]
 16 COLOR_VIZ_SEARCH_GREEN      none             255 (1)          default: no such key in [CONFIG]
 17 COLOR_VIZ_SEARCH_BLUE       none             255 (1)          default: no such key in [CONFIG]
 18 COLOR_VIZ_FOUND_RED         "\x7F"           0 (0)            taken: "\x7F" reads as 0
 19 COLOR_VIZ_FOUND_GREEN       none             255 (1)          default: no such key in [CONFIG]
 20 COLOR_VIZ_FOUND_BLUE        none             0 (0)            default: no such key in [CONFIG]
 21 COLOR_VIZ_TOLERANCE_RED     none             0 (0)            default: no such key in [CONFIG]
 22 COLOR_VIZ_TOLERANCE_GREEN   none             0 (0)            default: no such key in [CONFIG]
 23 COLOR_VIZ_TOLERANCE_BLUE    none             255 (1)          default: no such key in [CONFIG]
 24 TOLERANCE_B                 "0.25"           0.25             taken
 25 TOLERANCE_A                 "0,3"            0.1              default: "0,3" reads as 0, which is outside 0.01 <= v <= 1024
 26 TOLERANCE_MODIFIER          none             0.1              default: no such key in [CONFIG]
 27 TALVEX_OVERSIZE_PERCENTAGE  none             10               default: no such key in [CONFIG]

8 of 27 keys taken from the file.
note: line 3: "HUD_POSX" is not a settings key.
note: line 14 names STIPPLE_LINES_PATTERN without '=', which hides any later value for it.
note: line 15 repeats STIPPLE_LINES_PATTERN; line 14 is the one read.
note: line 16 repeats POINT_SIZE; line 12 is the one read.
note: line 17 starts a second [CONFIG] section; only the first is read.
)";
    const auto before = std::filesystem::current_path();
    EXPECT_EQ(settingsReport("report_troubled"), expected);
    EXPECT_EQ(std::filesystem::current_path(), before);
}

TEST(SettingsReport, TheSampleFileIsTakenWhole) {
    const std::string sample = ScratchFolder::read("sample_Talvex.ini");
    makeFolder("report_sample", &sample);
    const std::string report = settingsReport("report_sample");
    EXPECT_EQ(countOf(report, "default"), 0) << report;
    const std::string all = std::to_string(kSettingKeyCount);
    EXPECT_NE(report.find(all + " of " + all + " keys taken from the file.\n"), std::string::npos)
        << report;
    EXPECT_EQ(report.find("note:"), std::string::npos) << report;
}

TEST(SettingsReport, SaysWhyNoFileWasRead) {
    makeFolder("report_none", nullptr);
    const std::string none = settingsReport("report_none");
    EXPECT_NE(none.find("File: not found; every key takes its default.\n"), std::string::npos)
        << none;
    EXPECT_EQ(countOf(none, "default: no file\n"), kSettingKeyCount) << none;

    {
        ScratchFolder folder("report_directory");
        std::filesystem::create_directories(ScratchFolder::kSettingsFile);
    }
    const std::string directory = settingsReport("report_directory");
    EXPECT_NE(directory.find("File: that path is a directory;"), std::string::npos) << directory;
    EXPECT_EQ(countOf(directory, "default: no file\n"), kSettingKeyCount) << directory;

    // A symlink to itself, made by make_fixtures.cmake: it cannot be opened,
    // and Wine does not even see it, so only the outcome is the same.
    const std::string unreadable = settingsReport("unreadable_settings");
    EXPECT_NE(unreadable.find("every key takes its default.\n"), std::string::npos) << unreadable;
    EXPECT_EQ(countOf(unreadable, "default: no file\n"), kSettingKeyCount) << unreadable;

    const auto before = std::filesystem::current_path();
    EXPECT_EQ(settingsReport("no_such_folder"),
              "Settings file: Plugins\\Startup Plugins\\Talvex.ini in no_such_folder\n"
              "The directory cannot be entered.\n");
    EXPECT_EQ(std::filesystem::current_path(), before);
}

TEST(SettingsReport, WarnsOfAUtf8ByteOrderMark) {
    const std::string ini = "\xEF\xBB\xBF[CONFIG]\r\nHUD_POS_X=100\r\n";
    makeFolder("report_bom", &ini);
    const std::string report = settingsReport("report_bom");
    EXPECT_NE(report.find("note: the file starts with a UTF-8 byte-order mark"), std::string::npos)
        << report;
}

}  // namespace
