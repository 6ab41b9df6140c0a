// The plug-in's look-and-feel values and working tolerances, and their load
// from the settings file. The overlay's first bind loads them; the commands
// read the tolerances and the oversize margin.
#pragma once

#include <cstdint>

#include "config/profile_reader.h"

struct Rgb {
    float red;
    float green;
    float blue;
};

struct Settings {
    float hudPosX;   // in the 640 x 480 HUD space, origin bottom left
    float hudPosY;
    float hudStepY;  // from the first HUD line down to the second
    std::int32_t fontSize;  // pixels
    char fontFace[kProfileTextSize];
    float lineWidth;           // search line; 0 hides it
    float toleranceLineWidth;  // tolerance box; 0 hides it
    float pointSize;           // found point; 0 hides it
    bool depthTest;            // false: the overlay draws without depth test
    bool stippleLines;
    std::int8_t stipplePattern;  // 0..255 stored signed; the overlay sign-extends it
    Rgb hudColor;
    Rgb searchColor;
    Rgb foundColor;
    Rgb toleranceColor;
    float oversizePercentage;  // margin of a created plane around the selection
};

// The two working tolerances and the raise/lower step, as one load leaves them.
struct ToleranceSettings {
    float toleranceA;
    float toleranceB;
    float modifier;
};

// The relative path of the settings file, as the host's working directory sees it.
constexpr const char kSettingsPath[] = "Plugins\\Startup Plugins\\Talvex.ini";
constexpr const char kSettingsSection[] = "CONFIG";

// One of the keys of section CONFIG, in the order the load reads them.
struct SettingKey {
    const char* name;
    const char* range;  // the values taken, for people: "1 <= v <= 640"
};
constexpr int kSettingKeyCount = 27;
extern const SettingKey kSettingKeys[kSettingKeyCount];

// Told how the load decided each key; the settings report listens.
class SettingsObserver {
public:
    // `index` into kSettingKeys; `found` is the reader's flag; `taken` says the
    // file's value passed its test and is in use (for DEPTH_TEST and
    // STIPPLE_LINES: the file's value changed the setting from its default).
    virtual void keyLoaded(int index, std::int32_t found, bool taken) noexcept = 0;

protected:
    ~SettingsObserver() = default;
};

// Every field at its documented default, as a missing file gives them.
Settings defaultSettings() noexcept;
ToleranceSettings defaultTolerances() noexcept;

// Resets `profile`, points it at kSettingsPath, loads its table and reads every
// key of section CONFIG into `settings` and `tolerances`; a missing, empty or
// out-of-range value gives that key's default. Never reports, never writes;
// `observer`, when given, hears of every key in order.
void loadSettings(ProfileReader& profile, Settings& settings, ToleranceSettings& tolerances,
                  SettingsObserver* observer = nullptr) noexcept;
