// The settings report for users whose settings file "does nothing": loads the
// settings from a given working directory exactly as the plug-in does and
// tells, for every key, the text found, the value in use and why a default
// was used. The reference host's "settings" command prints it; both builds
// print the same text for the same file.
#pragma once

#include <ostream>
#include <string>

// Writes the report for the settings file the plug-in would read if the host
// ran in `directory` (relative to the current directory, or absolute). The
// current directory is changed while the settings load and restored after.
// A directory that cannot be entered gives a one-line report saying so.
// Never throws; lines end with '\n'.
void writeSettingsReport(std::ostream& out, const std::string& directory) noexcept;
std::string settingsReport(const std::string& directory) noexcept;
