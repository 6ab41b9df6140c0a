#include "config/settings.h"

#include <cstring>

namespace {

// Colour components are stored as the integer times the float 1/255.
float colourComponent(int value) { return static_cast<float>(double(value) * double(0.0039215689f)); }

Rgb colour(int red, int green, int blue) { return Rgb{colourComponent(red), colourComponent(green), colourComponent(blue)}; }

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

ToleranceSettings defaultTolerances() noexcept { return ToleranceSettings{0.1f, 0.6f, 0.1f}; }

void loadSettings(ProfileReader& profile, Settings& settings, ToleranceSettings& tolerances) noexcept {
    profile.reset();
    profile.setPath(kSettingsPath);
    profile.loadTable("SECTION", "ROWDATA");
    settings = defaultSettings();
    tolerances = defaultTolerances();
}
