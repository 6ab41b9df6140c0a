// talvex-host settings: the plug-in's settings report, for the settings file
// it would read when the host runs in a given folder.
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "cli_args.h"
#include "commands.h"
#include "settings_report.h"

namespace talvexhost {

namespace {

const char kHelp[] =
    "usage: talvex-host settings [--dir DIR]\n"
    "\n"
    "Prints every setting the plug-in would read from Plugins\\Startup Plugins\\Talvex.ini\n"
    "when the host runs in DIR (default: the current folder): the text found in the file,\n"
    "the value in use, and why a default was used instead.\n";

}  // namespace

int runSettings(const Invocation& invocation) {
    ParsedArgs args;
    std::string error;
    if (!parseArgs(invocation.args, {"--dir"}, {"--help", "-h"}, args, error) || !args.positional.empty()) {
        std::fprintf(stderr, "talvex-host settings: %s\n", error.empty() ? "unexpected argument" : error.c_str());
        return kExitUsage;
    }
    if (args.has("--help") || args.has("-h")) {
        std::fputs(kHelp, stdout);
        return kExitOk;
    }
    const std::string directory = args.value("--dir", ".");
    std::error_code ec;
    if (!std::filesystem::is_directory(directory, ec)) {
        std::fprintf(stderr, "talvex-host settings: %s is not a folder\n", directory.c_str());
        return kExitFailure;
    }
    writeSettingsReport(std::cout, directory);
    return kExitOk;
}

}  // namespace talvexhost
