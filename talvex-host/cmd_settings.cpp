// talvex-host settings: the plug-in's settings report.
#include <cstdio>

#include "cli_args.h"
#include "commands.h"

namespace talvexhost {

namespace {

const char kHelp[] =
    "usage: talvex-host settings [--dir DIR]\n"
    "\n"
    "Prints every setting the plug-in would read from DIR\\Plugins\\Startup Plugins\\Talvex.ini\n"
    "(default DIR: the current folder): its value, where it came from, and why a value in\n"
    "the file was not taken.\n";

}  // namespace

int runSettings(const Invocation& invocation) {
    ParsedArgs args;
    std::string error;
    if (!parseArgs(invocation.args, {"--dir"}, {"--help", "-h"}, args, error)) {
        std::fprintf(stderr, "talvex-host settings: %s\n", error.c_str());
        return kExitUsage;
    }
    if (args.has("--help") || args.has("-h")) {
        std::fputs(kHelp, stdout);
        return kExitOk;
    }
    std::fprintf(stderr, "talvex-host settings: not available yet: the settings report has not landed in this build\n");
    return kExitFailure;
}

}  // namespace talvexhost
