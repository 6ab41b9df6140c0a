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
    float hudPosX;  // in the 640 x 480 HUD space, origin bottom left
    float hudPosY;
    float hudStepY;         // from the first HUD line down to the second
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

// How a key's text is read and judged.
enum class SettingKind {
    integer,    // leading integer, taken inside its range
    colour,     // an integer 0..255, stored times the float 1/255
    decimal,    // leading decimal number, taken inside its range, stored as float
    text,       // taken when not empty; the face name
    switchOff,  // an integer; 0 turns the setting off, anything else leaves it on
    switchOn,   // an integer; above 0 turns the setting on, anything else leaves it off
};

// lower < v <= upper, or lower <= v <= upper when lowerIncluded; the number
// as read, in double.
struct SettingRange {
    double lower;
    bool lowerIncluded;
    double upper;
};

// One key of section CONFIG. The table lists them in the order the load reads
// them; the load, the defaults and the host's settings report all go by it.
struct SettingKey {
    const char* name;
    SettingKind kind;
    SettingRange range;     // numbers only; switches ignore it
    const char* rangeText;  // the values taken, for people: "1 <= v <= 640"
    // The default: the number before storing (switches: 1 on, 0 off), or the
    // text for the text kind.
    double fallback;
    const char* fallbackText;
    // Where the value goes: numbers (switches: 1 or 0) through `store`, text
    // through `storeText`; `inUse` reads the stored number back (colours: the
    // stored component, switches 1 or 0).
    void (*store)(Settings&, ToleranceSettings&, double value);
    void (*storeText)(Settings&, const char* text);
    double (*inUse)(const Settings&, const ToleranceSettings&);
};
// The table itself, kSettingKeys, and its length kSettingKeyCount are in
// config/setting_keys.h.

// How the load decided one key: `found` is the reader's flag; `taken` says the
// file's value passed its test and is in use (for a switch: the file's value
// moved it from its default).
struct SettingOutcome {
    std::int32_t found;
    bool taken;
};

// Every field at its documented default, as a missing file gives them.
Settings defaultSettings() noexcept;
ToleranceSettings defaultTolerances() noexcept;

// Resets `profile`, points it at kSettingsPath, loads its table and reads every
// key of section CONFIG into `settings` and `tolerances`; a missing, empty or
// out-of-range value gives that key's default. Never reports, never writes.
// `outcomes`, when given, receives kSettingKeyCount entries in table order.
void loadSettings(ProfileReader& profile, Settings& settings, ToleranceSettings& tolerances,
                  SettingOutcome* outcomes = nullptr) noexcept;

// The text of key `name` in section CONFIG of the settings file, as the
// profile API gives it (at most size - 1 characters, always terminated);
// false, and `buffer` empty, when the file or the key is missing.
bool readSettingText(const char* name, char* buffer, std::uint32_t size) noexcept;
