// The working tolerance the plug-in starts with, for reports that must
// reason with it: read from the settings file in the current folder by the
// same reader and rules the plug-in uses at its first draw.
#pragma once

namespace talvexhost {

// TOLERANCE_A as the plug-in takes it from "Plugins\Startup Plugins\Talvex.ini"
// in the current folder; its default when the file, key or value is missing
// or out of range, or when `settingsWereRead` is false (no first draw).
double pluginStartTolerance(bool settingsWereRead);

}  // namespace talvexhost
