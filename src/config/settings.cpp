#include "config/settings.h"

#include <cstring>

const SettingKey kSettingKeys[kSettingKeyCount] = {
    {"HUD_POS_X", "1 <= v <= 640"},
    {"HUD_POS_Y", "1 <= v <= 480"},
    {"HUD_STEP_Y", "1 <= v <= 480"},
    {"FONT_SIZE", "1 <= v <= 64"},
    {"COLOR_RED", "0 <= v <= 255"},
    {"COLOR_GREEN", "0 <= v <= 255"},
    {"COLOR_BLUE", "0 <= v <= 255"},
    {"FONT_FACE", "any text"},
    {"POINT_SIZE", "0 <= v <= 16"},
    {"LINE_WIDTH", "0 <= v <= 16"},
    {"TOLERANCE_LINE_WIDTH", "0 <= v <= 16"},
    {"DEPTH_TEST", "0 turns it off"},
    {"STIPPLE_LINES_PATTERN", "0 <= v <= 255"},
    {"STIPPLE_LINES", "above 0 turns it on"},
    {"COLOR_VIZ_SEARCH_RED", "0 <= v <= 255"},
    {"COLOR_VIZ_SEARCH_GREEN", "0 <= v <= 255"},
    {"COLOR_VIZ_SEARCH_BLUE", "0 <= v <= 255"},
    {"COLOR_VIZ_FOUND_RED", "0 <= v <= 255"},
    {"COLOR_VIZ_FOUND_GREEN", "0 <= v <= 255"},
    {"COLOR_VIZ_FOUND_BLUE", "0 <= v <= 255"},
    {"COLOR_VIZ_TOLERANCE_RED", "0 <= v <= 255"},
    {"COLOR_VIZ_TOLERANCE_GREEN", "0 <= v <= 255"},
    {"COLOR_VIZ_TOLERANCE_BLUE", "0 <= v <= 255"},
    {"TOLERANCE_B", "0.01 < v <= 1024"},
    {"TOLERANCE_A", "0.01 < v <= 1024"},
    {"TOLERANCE_MODIFIER", "0.01 < v <= 1024"},
    {"TALVEX_OVERSIZE_PERCENTAGE", "0 <= v <= 100"},
};

namespace {

// The single-precision thresholds the range tests compare against, widened:
// an integer HUD value must exceed 0.1f, a tolerance 0.01f (0.0099999998),
// which a file value of exactly 0.01 read as a double does.
constexpr double kHudLowerBound = double(0.1f);
constexpr double kToleranceLowerBound = double(0.01f);
// Colour components are stored as the integer times the float 1/255.
constexpr double kColourScale = double(0.0039215689f);

float colourComponent(int value) {
    return static_cast<float>(double(value) * kColourScale);
}

Rgb colour(int red, int green, int blue) {
    return Rgb{colourComponent(red), colourComponent(green), colourComponent(blue)};
}

// Reads the keys of section CONFIG one after another, in table order.
class KeyReader {
public:
    KeyReader(ProfileReader& profile, SettingsObserver* observer)
        : profile_(profile), observer_(observer) {}

    // The integer when the key is found and `inRange` holds, else `fallback`.
    template <typename Test>
    std::int32_t integer(std::int32_t fallback, Test inRange) {
        std::int32_t value = 0;
        std::int32_t found = 0;
        profile_.readInteger(kSettingsSection, nextKey(), &value, &found);
        return decide(found, found == 1 && inRange(value), value, fallback);
    }

    // The double result of readFloat when found and in range, else `fallback`;
    // the caller rounds it to float on store.
    template <typename Test>
    double floating(double fallback, Test inRange) {
        float rounded = 0.0f;
        std::int32_t found = 0;
        const double value = profile_.readFloat(kSettingsSection, nextKey(), &rounded, &found);
        return decide(found, found == 1 && inRange(value), value, fallback);
    }

    // The face name, or "Arial" when nothing usable was read.
    void text(char (&field)[kProfileTextSize]) {
        std::memset(field, 0, sizeof field);
        std::int32_t size = sizeof field;
        std::int32_t found = 0;
        profile_.readString(kSettingsSection, nextKey(), field, &size, &found);
        const bool taken = found == 1 && size != 0 && field[0] != '\0';
        if (!taken) std::strcpy(field, "Arial");
        report(found, taken);
    }

    // A flag that the file can only move away from its default: the integer
    // is read and `changes` says whether it flips the flag.
    template <typename Test>
    bool flag(bool fallback, Test changes) {
        std::int32_t value = 0;
        std::int32_t found = 0;
        profile_.readInteger(kSettingsSection, nextKey(), &value, &found);
        const bool taken = found == 1 && changes(value);
        report(found, taken);
        return taken ? !fallback : fallback;
    }

private:
    const char* nextKey() { return kSettingKeys[index_].name; }

    template <typename T>
    T decide(std::int32_t found, bool taken, T value, T fallback) {
        report(found, taken);
        return taken ? value : fallback;
    }

    void report(std::int32_t found, bool taken) {
        if (observer_ != nullptr) observer_->keyLoaded(index_, found, taken);
        ++index_;
    }

    ProfileReader& profile_;
    SettingsObserver* observer_;
    int index_ = 0;
};

bool hudRange(std::int32_t v, std::int32_t upper) {
    return double(v) > kHudLowerBound && v <= upper;
}
bool byteRange(std::int32_t v) {
    return v >= 0 && v <= 255;
}
bool toleranceRange(double v) {
    return v > kToleranceLowerBound && v <= 1024.0;
}

Rgb readColour(KeyReader& keys, int red, int green, int blue) {
    const std::int32_t r = keys.integer(red, byteRange);
    const std::int32_t g = keys.integer(green, byteRange);
    const std::int32_t b = keys.integer(blue, byteRange);
    return colour(r, g, b);
}

}  // namespace

Settings defaultSettings() noexcept {
    Settings s{};
    s.hudPosX = 450.0f;
    s.hudPosY = 65.0f;
    s.hudStepY = 15.0f;
    s.fontSize = 18;
    std::strcpy(s.fontFace, "Arial");
    s.lineWidth = 1.0f;
    s.toleranceLineWidth = 1.0f;
    s.pointSize = 2.0f;
    s.depthTest = true;
    s.stippleLines = false;
    s.stipplePattern = static_cast<std::int8_t>(128 - 256);
    s.hudColor = colour(64, 64, 64);
    s.searchColor = colour(255, 255, 255);
    s.foundColor = colour(0, 255, 0);
    s.toleranceColor = colour(0, 0, 255);
    s.oversizePercentage = 10.0f;
    return s;
}

ToleranceSettings defaultTolerances() noexcept {
    return ToleranceSettings{0.1f, 0.6f, 0.1f};
}

void loadSettings(ProfileReader& profile, Settings& settings, ToleranceSettings& tolerances,
                  SettingsObserver* observer) noexcept {
    profile.reset();
    profile.setPath(kSettingsPath);
    profile.loadTable("SECTION", "ROWDATA");

    KeyReader keys(profile, observer);
    settings.hudPosX =
        static_cast<float>(keys.integer(450, [](std::int32_t v) { return hudRange(v, 640); }));
    settings.hudPosY =
        static_cast<float>(keys.integer(65, [](std::int32_t v) { return hudRange(v, 480); }));
    settings.hudStepY =
        static_cast<float>(keys.integer(15, [](std::int32_t v) { return hudRange(v, 480); }));
    settings.fontSize = keys.integer(18, [](std::int32_t v) { return hudRange(v, 64); });
    settings.hudColor = readColour(keys, 64, 64, 64);
    keys.text(settings.fontFace);
    const auto width = [](double v) { return v >= 0.0 && v <= 16.0; };
    settings.pointSize = static_cast<float>(keys.floating(2.0, width));
    settings.lineWidth = static_cast<float>(keys.floating(1.0, width));
    settings.toleranceLineWidth = static_cast<float>(keys.floating(1.0, width));
    settings.depthTest = keys.flag(true, [](std::int32_t v) { return v == 0; });
    const std::int32_t pattern = keys.integer(128, byteRange);
    // 0..255 kept in a signed byte, as the overlay's stipple call expects.
    settings.stipplePattern = static_cast<std::int8_t>(pattern > 127 ? pattern - 256 : pattern);
    settings.stippleLines = keys.flag(false, [](std::int32_t v) { return v > 0; });
    settings.searchColor = readColour(keys, 255, 255, 255);
    settings.foundColor = readColour(keys, 0, 255, 0);
    settings.toleranceColor = readColour(keys, 0, 0, 255);
    // B before A: the plug-in makes A current after every load.
    tolerances.toleranceB = static_cast<float>(keys.floating(0.6, toleranceRange));
    tolerances.toleranceA = static_cast<float>(keys.floating(0.1, toleranceRange));
    tolerances.modifier = static_cast<float>(keys.floating(0.1, toleranceRange));
    settings.oversizePercentage =
        static_cast<float>(keys.floating(10.0, [](double v) { return v >= 0.0 && v <= 100.0; }));
}
