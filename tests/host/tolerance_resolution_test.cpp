// The batch commands' tolerance, resolved once: --tolerance before the
// current folder's Talvex.ini, before the mesh's measure, before the
// plug-in's default; each asked for only when the ones before it are absent.
#include <gtest/gtest.h>

#include <string>

#include "config/settings.h"
#include "session/plugin_scale.h"
#include "session/plugin_tolerance.h"

namespace talvexhost {
namespace {

struct Asked {
    int diagonal = 0;
    int file = 0;
    int measure = 0;
};

ToleranceInputs inputs(const std::string& typed, double diagonal, SettingsFileTolerance file,
                       double measured, Asked& asked) {
    ToleranceInputs in;
    in.typed = typed;
    in.boxDiagonal = [&asked, diagonal] { return ++asked.diagonal, diagonal; };
    in.settingsFile = [&asked, file] { return ++asked.file, file; };
    in.measure = [&asked, measured](std::string& why) {
        ++asked.measure;
        why = "no pairs";
        return measured;
    };
    return in;
}

SettingsFileTolerance fileSaying(const std::string& text, bool taken, double value) {
    SettingsFileTolerance file;
    file.found = true;
    file.taken = taken;
    file.text = text;
    file.value = value;
    return file;
}

TEST(ToleranceResolution, EachSourceInItsTurn) {
    const SettingsFileTolerance none;
    const SettingsFileTolerance taken = fileSaying("0.25", true, double(0.25f));
    const SettingsFileTolerance ignored = fileSaying("5000", false, 0.1);
    struct Case {
        std::string typed;
        SettingsFileTolerance file;
        double measured;
        float value;
        ToleranceOrigin origin;
        std::string from;
        std::string note;
        Asked asked;  // how often each input was asked for
    };
    const Case cases[] = {
        {"0.02", taken, 0.5, 0.02f, ToleranceOrigin::option, "--tolerance", "", {0, 0, 0}},
        {"2000", none, 0.5, 2000.0f, ToleranceOrigin::option, "--tolerance", "", {0, 0, 0}},
        {"0.5%",
         taken,
         0.5,
         float(0.5 / 100.0 * 4.0),
         ToleranceOrigin::boxPercentage,
         "0.5% of the box diagonal 4.000000",
         "",
         {1, 0, 0}},
        {"", taken, 0.5, 0.25f, ToleranceOrigin::settingsFile, "Talvex.ini", "", {0, 1, 0}},
        {"",
         none,
         0.0037,
         0.0037f,
         ToleranceOrigin::measured,
         "measured from the mesh",
         "",
         {0, 1, 1}},
        {"",
         ignored,
         0.0037,
         0.0037f,
         ToleranceOrigin::measured,
         "measured from the mesh",
         "Talvex.ini: TOLERANCE_A=5000 is outside the plug-in's range (0.01 to 1024): ignored, "
         "default taken",
         {0, 1, 1}},
        {"",
         none,
         0.0,
         defaultTolerances().toleranceA,
         ToleranceOrigin::fallback,
         "the plug-in's default: nothing to measure, no pairs",
         "",
         {0, 1, 1}},
    };
    for (const Case& c : cases) {
        Asked asked;
        ToleranceChoice choice;
        std::string error;
        ASSERT_TRUE(
            resolveTolerance(inputs(c.typed, 4.0, c.file, c.measured, asked), choice, error))
            << c.typed << ": " << error;
        EXPECT_EQ(choice.value, c.value) << c.from;
        EXPECT_EQ(choice.origin, c.origin) << c.from;
        EXPECT_EQ(choice.from, c.from);
        EXPECT_EQ(choice.note, c.note);
        EXPECT_EQ(asked.diagonal, c.asked.diagonal) << c.from;
        EXPECT_EQ(asked.file, c.asked.file) << c.from;
        EXPECT_EQ(asked.measure, c.asked.measure) << c.from;
    }
}

TEST(ToleranceResolution, RefusesWhatIsNoTolerance) {
    for (const std::string typed : {"0", "-1", "abc", "1e-50", "1e39", "%", "0%", "nan", "inf"}) {
        Asked asked;
        ToleranceChoice choice;
        std::string error;
        EXPECT_FALSE(resolveTolerance(inputs(typed, 4.0, {}, 0.5, asked), choice, error)) << typed;
        EXPECT_NE(error.find("--tolerance " + typed), std::string::npos) << error;
    }
    // A percentage of a mesh without extent is 0.
    Asked asked;
    ToleranceChoice choice;
    std::string error;
    EXPECT_FALSE(resolveTolerance(inputs("1%", 0.0, {}, 0.5, asked), choice, error));
    EXPECT_EQ(error, "--tolerance 1% is 0 for this mesh (box diagonal 0.000000)");
}

TEST(ToleranceResolution, ThePluginsRangeIsTheSettingsTables) {
    EXPECT_EQ(kPluginLeastToleranceFloat, 0.01f);
    EXPECT_EQ(kPluginMostTolerance, 1024.0f);
    EXPECT_EQ(pluginToleranceRangeText(), "0.01 to 1024");
    EXPECT_TRUE(pluginTakes(0.01f));
    EXPECT_FALSE(pluginTakes(std::nextafter(0.01f, 0.0f)));
    EXPECT_TRUE(pluginTakes(1024.0f));
    EXPECT_FALSE(pluginTakes(std::nextafter(1024.0f, 2048.0f)));
}

}  // namespace
}  // namespace talvexhost
