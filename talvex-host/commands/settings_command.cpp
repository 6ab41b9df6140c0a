// talvex-host settings: the plug-in's settings report, for the settings file
// it would read when the host runs in a given folder.
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "commands/command_table.h"
#include "report/settings_report.h"
#include "session/cli_args.h"

namespace talvexhost {

namespace {

const char kHelp[] =
    "usage: talvex-host settings [--dir DIR]\n"
    "\n"
    "Prints every setting the plug-in would read from Plugins\\Startup Plugins\\Talvex.ini\n"
    "when the host runs in DIR (default: the current folder): the text found in the file,\n"
    "the value in use, and why a default was used instead.\n";

// The report reads the settings file as the plug-in would, without loading
// the plug-in: no --plugin.
const CommandSpec kSpec = {"settings", kHelp, {"--dir"}, {}, 0, 0, "", false};

}  // namespace

static int runSettings(const Invocation& invocation) {
    CommandArgs args;
    if (auto done = readCommandLine(invocation, kSpec, args)) return *done;
    const std::string directory = args.value("--dir", ".");
    std::error_code ec;
    if (!std::filesystem::is_directory(directory, ec)) {
        return commandFailure(kSpec, directory + " is not a folder");
    }
    std::string error;
    if (!settingsFileReadable(directory, error)) return commandFailure(kSpec, error);
    writeSettingsReport(std::cout, directory);
    return kExitOk;
}

extern const Subcommand kSettingsCommand = {
    kSpec, "print the plug-in's settings as it would read them", runSettings};

}  // namespace talvexhost
