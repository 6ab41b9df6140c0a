#include "plugin_tolerance.h"

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

}  // namespace talvexhost
