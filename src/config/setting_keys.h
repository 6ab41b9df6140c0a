// The settings file's keys, one row each, in the order the load reads them:
// name, kind, range, default and destination. The load, the defaults, the
// host's settings report and its tolerance all go by this one table, and the
// key count is its length.
#pragma once

#include <cstring>
#include <iterator>

#include "config/settings.h"

// The helpers and the table sit in a namespace of their own so that the
// helpers' short names stay out of every file that includes this one.
namespace setting_keys {

// The single-precision thresholds the range tests compare against, widened:
// an integer HUD value must exceed 0.1f, a tolerance 0.01f (0.0099999998),
// which a file value of exactly 0.01 read as a double does.
constexpr double kHudLowerBound = double(0.1f);
constexpr double kToleranceLowerBound = double(0.01f);
// Colour components are stored as the integer times the float 1/255.
constexpr double kColourScale = double(0.0039215689f);

constexpr SettingRange hud(double upper) {
    return SettingRange{kHudLowerBound, false, upper};
}
constexpr SettingRange kByte{0.0, true, 255.0};
constexpr SettingRange kWidth{0.0, true, 16.0};
constexpr SettingRange kTolerance{kToleranceLowerBound, false, 1024.0};
constexpr SettingRange kPercentage{0.0, true, 100.0};
constexpr SettingRange kAnyInteger{-2147483648.0, true, 2147483647.0};

// Destinations: each stores a number into one field and reads it back.
template <float Settings::*field>
inline void storeFloat(Settings& s, ToleranceSettings&, double v) {
    s.*field = static_cast<float>(v);
}
template <float Settings::*field>
inline double floatInUse(const Settings& s, const ToleranceSettings&) {
    return double(s.*field);
}
template <float ToleranceSettings::*field>
inline void storeTolerance(Settings&, ToleranceSettings& t, double v) {
    t.*field = static_cast<float>(v);
}
template <float ToleranceSettings::*field>
inline double toleranceInUse(const Settings&, const ToleranceSettings& t) {
    return double(t.*field);
}
template <Rgb Settings::*colour, float Rgb::*part>
inline void storeColour(Settings& s, ToleranceSettings&, double v) {
    (s.*colour).*part = static_cast<float>(v * kColourScale);
}
template <Rgb Settings::*colour, float Rgb::*part>
inline double colourInUse(const Settings& s, const ToleranceSettings&) {
    return double((s.*colour).*part);
}
template <bool Settings::*field>
inline void storeSwitch(Settings& s, ToleranceSettings&, double v) {
    s.*field = v != 0.0;
}
template <bool Settings::*field>
inline double switchInUse(const Settings& s, const ToleranceSettings&) {
    return s.*field ? 1.0 : 0.0;
}
inline void storeFontSize(Settings& s, ToleranceSettings&, double v) {
    s.fontSize = static_cast<std::int32_t>(v);
}
inline double fontSizeInUse(const Settings& s, const ToleranceSettings&) {
    return double(s.fontSize);
}
// 0..255 kept in a signed byte, as the overlay's stipple call expects.
inline void storePattern(Settings& s, ToleranceSettings&, double v) {
    const int pattern = static_cast<int>(v);
    s.stipplePattern = static_cast<std::int8_t>(pattern > 127 ? pattern - 256 : pattern);
}
inline double patternInUse(const Settings& s, const ToleranceSettings&) {
    return double(s.stipplePattern & 0xFF);
}
inline void storeFace(Settings& s, const char* text) {
    std::memset(s.fontFace, 0, sizeof s.fontFace);
    std::strncpy(s.fontFace, text, sizeof s.fontFace - 1);
}

inline constexpr SettingKey kSettingKeys[] = {
    {"HUD_POS_X", SettingKind::integer, hud(640.0), "1 <= v <= 640", 450.0, nullptr,
     storeFloat<&Settings::hudPosX>, nullptr, floatInUse<&Settings::hudPosX>},
    {"HUD_POS_Y", SettingKind::integer, hud(480.0), "1 <= v <= 480", 65.0, nullptr,
     storeFloat<&Settings::hudPosY>, nullptr, floatInUse<&Settings::hudPosY>},
    {"HUD_STEP_Y", SettingKind::integer, hud(480.0), "1 <= v <= 480", 15.0, nullptr,
     storeFloat<&Settings::hudStepY>, nullptr, floatInUse<&Settings::hudStepY>},
    {"FONT_SIZE", SettingKind::integer, hud(64.0), "1 <= v <= 64", 18.0, nullptr, storeFontSize,
     nullptr, fontSizeInUse},
    {"COLOR_RED", SettingKind::colour, kByte, "0 <= v <= 255", 64.0, nullptr,
     storeColour<&Settings::hudColor, &Rgb::red>, nullptr,
     colourInUse<&Settings::hudColor, &Rgb::red>},
    {"COLOR_GREEN", SettingKind::colour, kByte, "0 <= v <= 255", 64.0, nullptr,
     storeColour<&Settings::hudColor, &Rgb::green>, nullptr,
     colourInUse<&Settings::hudColor, &Rgb::green>},
    {"COLOR_BLUE", SettingKind::colour, kByte, "0 <= v <= 255", 64.0, nullptr,
     storeColour<&Settings::hudColor, &Rgb::blue>, nullptr,
     colourInUse<&Settings::hudColor, &Rgb::blue>},
    {"FONT_FACE", SettingKind::text, {}, "any text", 0.0, "Arial", nullptr, storeFace, nullptr},
    {"POINT_SIZE", SettingKind::decimal, kWidth, "0 <= v <= 16", 2.0, nullptr,
     storeFloat<&Settings::pointSize>, nullptr, floatInUse<&Settings::pointSize>},
    {"LINE_WIDTH", SettingKind::decimal, kWidth, "0 <= v <= 16", 1.0, nullptr,
     storeFloat<&Settings::lineWidth>, nullptr, floatInUse<&Settings::lineWidth>},
    {"TOLERANCE_LINE_WIDTH", SettingKind::decimal, kWidth, "0 <= v <= 16", 1.0, nullptr,
     storeFloat<&Settings::toleranceLineWidth>, nullptr, floatInUse<&Settings::toleranceLineWidth>},
    {"DEPTH_TEST", SettingKind::switchOff, kAnyInteger, "0 turns it off", 1.0, nullptr,
     storeSwitch<&Settings::depthTest>, nullptr, switchInUse<&Settings::depthTest>},
    {"STIPPLE_LINES_PATTERN", SettingKind::integer, kByte, "0 <= v <= 255", 128.0, nullptr,
     storePattern, nullptr, patternInUse},
    {"STIPPLE_LINES", SettingKind::switchOn, kAnyInteger, "above 0 turns it on", 0.0, nullptr,
     storeSwitch<&Settings::stippleLines>, nullptr, switchInUse<&Settings::stippleLines>},
    {"COLOR_VIZ_SEARCH_RED", SettingKind::colour, kByte, "0 <= v <= 255", 255.0, nullptr,
     storeColour<&Settings::searchColor, &Rgb::red>, nullptr,
     colourInUse<&Settings::searchColor, &Rgb::red>},
    {"COLOR_VIZ_SEARCH_GREEN", SettingKind::colour, kByte, "0 <= v <= 255", 255.0, nullptr,
     storeColour<&Settings::searchColor, &Rgb::green>, nullptr,
     colourInUse<&Settings::searchColor, &Rgb::green>},
    {"COLOR_VIZ_SEARCH_BLUE", SettingKind::colour, kByte, "0 <= v <= 255", 255.0, nullptr,
     storeColour<&Settings::searchColor, &Rgb::blue>, nullptr,
     colourInUse<&Settings::searchColor, &Rgb::blue>},
    {"COLOR_VIZ_FOUND_RED", SettingKind::colour, kByte, "0 <= v <= 255", 0.0, nullptr,
     storeColour<&Settings::foundColor, &Rgb::red>, nullptr,
     colourInUse<&Settings::foundColor, &Rgb::red>},
    {"COLOR_VIZ_FOUND_GREEN", SettingKind::colour, kByte, "0 <= v <= 255", 255.0, nullptr,
     storeColour<&Settings::foundColor, &Rgb::green>, nullptr,
     colourInUse<&Settings::foundColor, &Rgb::green>},
    {"COLOR_VIZ_FOUND_BLUE", SettingKind::colour, kByte, "0 <= v <= 255", 0.0, nullptr,
     storeColour<&Settings::foundColor, &Rgb::blue>, nullptr,
     colourInUse<&Settings::foundColor, &Rgb::blue>},
    {"COLOR_VIZ_TOLERANCE_RED", SettingKind::colour, kByte, "0 <= v <= 255", 0.0, nullptr,
     storeColour<&Settings::toleranceColor, &Rgb::red>, nullptr,
     colourInUse<&Settings::toleranceColor, &Rgb::red>},
    {"COLOR_VIZ_TOLERANCE_GREEN", SettingKind::colour, kByte, "0 <= v <= 255", 0.0, nullptr,
     storeColour<&Settings::toleranceColor, &Rgb::green>, nullptr,
     colourInUse<&Settings::toleranceColor, &Rgb::green>},
    {"COLOR_VIZ_TOLERANCE_BLUE", SettingKind::colour, kByte, "0 <= v <= 255", 255.0, nullptr,
     storeColour<&Settings::toleranceColor, &Rgb::blue>, nullptr,
     colourInUse<&Settings::toleranceColor, &Rgb::blue>},
    // B before A: the plug-in makes A current after every load.
    {"TOLERANCE_B", SettingKind::decimal, kTolerance, "0.01 <= v <= 1024", 0.6, nullptr,
     storeTolerance<&ToleranceSettings::toleranceB>, nullptr,
     toleranceInUse<&ToleranceSettings::toleranceB>},
    {"TOLERANCE_A", SettingKind::decimal, kTolerance, "0.01 <= v <= 1024", 0.1, nullptr,
     storeTolerance<&ToleranceSettings::toleranceA>, nullptr,
     toleranceInUse<&ToleranceSettings::toleranceA>},
    {"TOLERANCE_MODIFIER", SettingKind::decimal, kTolerance, "0.01 <= v <= 1024", 0.1, nullptr,
     storeTolerance<&ToleranceSettings::modifier>, nullptr,
     toleranceInUse<&ToleranceSettings::modifier>},
    {"TALVEX_OVERSIZE_PERCENTAGE", SettingKind::decimal, kPercentage, "0 <= v <= 100", 10.0,
     nullptr, storeFloat<&Settings::oversizePercentage>, nullptr,
     floatInUse<&Settings::oversizePercentage>},
};

}  // namespace setting_keys

using setting_keys::kSettingKeys;
constexpr int kSettingKeyCount = static_cast<int>(std::size(kSettingKeys));

// The row of key `name` in kSettingKeys, or -1 for a name not in the table;
// usable in constant expressions, so a misspelled name fails to compile
// where a row is indexed with it.
constexpr int settingKeyIndex(const char* name) noexcept {
    for (int k = 0; k < kSettingKeyCount; ++k) {
        const char* a = kSettingKeys[k].name;
        const char* b = name;
        while (*a != '\0' && *a == *b) ++a, ++b;
        if (*a == *b) return k;
    }
    return -1;
}
