#include "session/plugin_tolerance.h"

#include <cmath>
#include <memory>

#include "config/profile_reader.h"
#include "config/setting_keys.h"
#include "config/settings.h"
#include "io/number_text.h"
#include "session/plugin_scale.h"

namespace talvexhost {

SettingsFileTolerance settingsFileTolerance() {
    constexpr int kKey = settingKeyIndex("TOLERANCE_A");
    static_assert(kKey >= 0, "TOLERANCE_A is a settings key");
    // The reader's table is large; keep it off the stack.
    auto profile = std::make_unique<ProfileReader>();
    Settings settings{};
    ToleranceSettings tolerances{};
    SettingOutcome outcomes[kSettingKeyCount];
    loadSettings(*profile, settings, tolerances, outcomes);
    SettingsFileTolerance file;
    char text[256];
    file.found = readSettingText(kSettingKeys[kKey].name, text, sizeof text) && text[0] != '\0';
    file.text = text;
    file.taken = file.found && outcomes[kKey].taken;
    file.value = kSettingKeys[kKey].inUse(settings, tolerances);
    return file;
}

bool parseToleranceText(const std::string& text, double& number, bool& percent) {
    percent = !text.empty() && text.back() == '%';
    number = 0.0;
    return parseDouble(percent ? text.substr(0, text.size() - 1) : text, number) &&
           float(number) > 0.0f && std::isfinite(float(number));
}

std::string badToleranceMessage(const std::string& text) {
    return "--tolerance " + text +
           ": expected a positive number in model units, such as 0.02, or a percentage of the "
           "box diagonal, such as 0.5%";
}

namespace {

bool resolveTyped(const ToleranceInputs& inputs, ToleranceChoice& choice, std::string& error) {
    double number = 0.0;
    bool percent = false;
    if (!parseToleranceText(inputs.typed, number, percent)) {
        error = badToleranceMessage(inputs.typed);
        return false;
    }
    if (!percent) {
        choice = {static_cast<float>(number), ToleranceOrigin::option, "--tolerance", ""};
        return true;
    }
    const double diagonal = inputs.boxDiagonal();
    const double value = number / 100.0 * diagonal;
    if (!(static_cast<float>(value) > 0.0f)) {
        error = "--tolerance " + inputs.typed + " is 0 for this mesh (box diagonal " +
                formatFixed(diagonal, 6) + ")";
        return false;
    }
    choice = {static_cast<float>(value), ToleranceOrigin::boxPercentage,
              inputs.typed + " of the box diagonal " + formatFixed(diagonal, 6), ""};
    return true;
}

}  // namespace

bool resolveTolerance(const ToleranceInputs& inputs, ToleranceChoice& choice, std::string& error) {
    if (!inputs.typed.empty()) return resolveTyped(inputs, choice, error);
    const SettingsFileTolerance file = inputs.settingsFile();
    if (file.taken) {
        choice = {static_cast<float>(file.value), ToleranceOrigin::settingsFile, "Talvex.ini", ""};
        return true;
    }
    choice = ToleranceChoice{};
    if (file.found)
        choice.note = "Talvex.ini: TOLERANCE_A=" + file.text + " is outside the plug-in's range (" +
                      pluginToleranceRangeText() + "): ignored, default taken";
    std::string why;
    const double measured = inputs.measure(why);
    if (static_cast<float>(measured) > 0.0f) {
        choice.value = static_cast<float>(measured);
        choice.origin = ToleranceOrigin::measured;
        choice.from = "measured from the mesh";
        return true;
    }
    choice.value = defaultTolerances().toleranceA;
    choice.origin = ToleranceOrigin::fallback;
    choice.from = "the plug-in's default: nothing to measure, " + why;
    return true;
}

}  // namespace talvexhost
