#include "session/plugin_tolerance.h"

#include <cstring>
#include <memory>

#include "config/profile_reader.h"
#include "config/settings.h"

namespace talvexhost {

double pluginStartTolerance(bool settingsWereRead) {
    if (!settingsWereRead) return double(defaultTolerances().toleranceA);
    // The reader's table is large; keep it off the stack.
    auto profile = std::make_unique<ProfileReader>();
    Settings settings{};
    ToleranceSettings tolerances{};
    loadSettings(*profile, settings, tolerances);
    return double(tolerances.toleranceA);
}

SettingsFileTolerance settingsFileTolerance() {
    auto profile = std::make_unique<ProfileReader>();
    Settings settings{};
    ToleranceSettings tolerances{};
    SettingOutcome outcomes[kSettingKeyCount];
    loadSettings(*profile, settings, tolerances, outcomes);
    SettingsFileTolerance file;
    for (int k = 0; k < kSettingKeyCount; ++k) {
        if (std::strcmp(kSettingKeys[k].name, "TOLERANCE_A") != 0) continue;
        char text[256];
        file.found = readSettingText("TOLERANCE_A", text, sizeof text) && text[0] != '\0';
        file.text = text;
        file.taken = file.found && outcomes[k].taken;
        file.value = double(tolerances.toleranceA);
    }
    return file;
}

}  // namespace talvexhost
