// The working tolerance the plug-in starts with, for reports that must
// reason with it: read from the settings file in the current folder by the
// same reader and rules the plug-in uses at its first draw.
#pragma once

#include <string>

namespace talvexhost {

// TOLERANCE_A as the plug-in takes it from "Plugins\Startup Plugins\Talvex.ini"
// in the current folder; its default when the file, key or value is missing
// or out of range, or when `settingsWereRead` is false (no first draw).
double pluginStartTolerance(bool settingsWereRead);

// What that settings file says about TOLERANCE_A, so the host can tell a
// value the plug-in takes from one it ignores for its default.
struct SettingsFileTolerance {
    bool found = false;  // the key is in the file
    bool taken = false;  // inside the plug-in's range, so the plug-in works with it
    std::string text;    // the key's text as written
    double value = 0.0;  // the float the plug-in keeps, widened, when taken
};
SettingsFileTolerance settingsFileTolerance();

}  // namespace talvexhost
