#include "config/settings.h"

#include <cstring>

#include "platform/platform.h"

namespace {

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
void storeFloat(Settings& s, ToleranceSettings&, double v) {
    s.*field = static_cast<float>(v);
}
template <float Settings::*field>
double floatInUse(const Settings& s, const ToleranceSettings&) {
    return double(s.*field);
}
template <float ToleranceSettings::*field>
void storeTolerance(Settings&, ToleranceSettings& t, double v) {
    t.*field = static_cast<float>(v);
}
template <float ToleranceSettings::*field>
double toleranceInUse(const Settings&, const ToleranceSettings& t) {
    return double(t.*field);
}
template <Rgb Settings::*colour, float Rgb::*part>
void storeColour(Settings& s, ToleranceSettings&, double v) {
    (s.*colour).*part = static_cast<float>(v * kColourScale);
}
template <Rgb Settings::*colour, float Rgb::*part>
double colourInUse(const Settings& s, const ToleranceSettings&) {
    return double((s.*colour).*part);
}
template <bool Settings::*field>
void storeSwitch(Settings& s, ToleranceSettings&, double v) {
    s.*field = v != 0.0;
}
template <bool Settings::*field>
double switchInUse(const Settings& s, const ToleranceSettings&) {
    return s.*field ? 1.0 : 0.0;
}
void storeFontSize(Settings& s, ToleranceSettings&, double v) {
    s.fontSize = static_cast<std::int32_t>(v);
}
double fontSizeInUse(const Settings& s, const ToleranceSettings&) {
    return double(s.fontSize);
}
// 0..255 kept in a signed byte, as the overlay's stipple call expects.
void storePattern(Settings& s, ToleranceSettings&, double v) {
    const int pattern = static_cast<int>(v);
    s.stipplePattern = static_cast<std::int8_t>(pattern > 127 ? pattern - 256 : pattern);
}
double patternInUse(const Settings& s, const ToleranceSettings&) {
    return double(s.stipplePattern & 0xFF);
}
void storeFace(Settings& s, const char* text) {
    std::memset(s.fontFace, 0, sizeof s.fontFace);
    std::strncpy(s.fontFace, text, sizeof s.fontFace - 1);
}

}  // namespace

const SettingKey kSettingKeys[kSettingKeyCount] = {
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

namespace {

bool inRange(const SettingRange& range, double value) {
    const bool aboveLower = range.lowerIncluded ? value >= range.lower : value > range.lower;
    return aboveLower && value <= range.upper;
}

// Reads one key as its kind says and stores the file's value or the default.
SettingOutcome loadKey(ProfileReader& profile, const SettingKey& key, Settings& settings,
                       ToleranceSettings& tolerances) {
    std::int32_t found = 0;
    bool taken = false;
    switch (key.kind) {
        case SettingKind::text: {
            char field[kProfileTextSize] = {};
            std::int32_t size = sizeof field;
            profile.readString(kSettingsSection, key.name, field, &size, &found);
            taken = found == 1 && size != 0 && field[0] != '\0';
            key.storeText(settings, taken ? field : key.fallbackText);
            return SettingOutcome{found, taken};
        }
        case SettingKind::decimal: {
            float rounded = 0.0f;
            const double value = profile.readFloat(kSettingsSection, key.name, &rounded, &found);
            taken = found == 1 && inRange(key.range, value);
            key.store(settings, tolerances, taken ? value : key.fallback);
            return SettingOutcome{found, taken};
        }
        default: {
            std::int32_t value = 0;
            profile.readInteger(kSettingsSection, key.name, &value, &found);
            if (key.kind == SettingKind::switchOff || key.kind == SettingKind::switchOn) {
                // A switch the file can only move away from its default.
                taken = found == 1 && (key.kind == SettingKind::switchOff ? value == 0 : value > 0);
                const bool fallbackOn = key.fallback != 0.0;
                key.store(settings, tolerances, (taken ? !fallbackOn : fallbackOn) ? 1.0 : 0.0);
            } else {
                taken = found == 1 && inRange(key.range, double(value));
                key.store(settings, tolerances, taken ? double(value) : key.fallback);
            }
            return SettingOutcome{found, taken};
        }
    }
}

void storeDefaults(Settings& settings, ToleranceSettings& tolerances) {
    for (const SettingKey& key : kSettingKeys) {
        if (key.kind == SettingKind::text)
            key.storeText(settings, key.fallbackText);
        else
            key.store(settings, tolerances, key.fallback);
    }
}

}  // namespace

Settings defaultSettings() noexcept {
    Settings settings{};
    ToleranceSettings tolerances{};
    storeDefaults(settings, tolerances);
    return settings;
}

ToleranceSettings defaultTolerances() noexcept {
    Settings settings{};
    ToleranceSettings tolerances{};
    storeDefaults(settings, tolerances);
    return tolerances;
}

void loadSettings(ProfileReader& profile, Settings& settings, ToleranceSettings& tolerances,
                  SettingOutcome* outcomes) noexcept {
    profile.reset();
    profile.setPath(kSettingsPath);
    profile.loadTable("SECTION", "ROWDATA");
    for (int i = 0; i < kSettingKeyCount; ++i) {
        const SettingOutcome outcome = loadKey(profile, kSettingKeys[i], settings, tolerances);
        if (outcomes != nullptr) outcomes[i] = outcome;
    }
}

bool readSettingText(const char* name, char* buffer, std::uint32_t size) noexcept {
    // Answered by the profile API for a key that is not in the file, where an
    // empty value answers "": no settings value is ever this text.
    static const char kAbsent[] = "\x01\x02";
    if (buffer == nullptr || size == 0) return false;
    platform::readProfileString(kSettingsSection, name, kAbsent, buffer, size, kSettingsPath);
    if (std::strcmp(buffer, kAbsent) != 0) return true;
    buffer[0] = '\0';
    return false;
}
