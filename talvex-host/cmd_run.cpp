// talvex-host run: runs a session script.
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "cli_args.h"
#include "commands.h"
#include "host_session.h"
#include "script_runner.h"

namespace talvexhost {

namespace {

const char kHelp[] =
    "usage: talvex-host run SCRIPT [--out DIR] [--size WxH] [--plugin PATH]\n"
    "\n"
    "Runs a host session script: one statement per line (load, object, select, edit, mark,\n"
    "move, command, execute, drag, event, host-command, selection-changed, hold, mode,\n"
    "manipulator, primitive, draw, render, release, save, undo, ini, echo, expect ...).\n"
    "The README's \"Session scripts\" section describes every statement. Input files are\n"
    "found relative to the script; save and render write relative to --out. The session\n"
    "runs in a fresh working folder, whose plug-in settings file the ini statement writes.\n"
    "Exit status 0 when every statement ran and every expectation held.\n"
    "\n"
    "  --out DIR       where save and render write (default: the current folder)\n"
    "  --size WxH      viewport size in pixels (default 640x480)\n"
    "  --plugin PATH   the plug-in library (default: the one beside talvex-host)\n";

}  // namespace

int runScript(const Invocation& invocation) {
    ParsedArgs args;
    std::string error;
    if (!parseArgs(invocation.args, {"--out", "--size", "--plugin"}, {"--help", "-h"}, args, error)) {
        std::fprintf(stderr, "talvex-host run: %s\n", error.c_str());
        return kExitUsage;
    }
    if (args.has("--help") || args.has("-h")) {
        std::fputs(kHelp, stdout);
        return kExitOk;
    }
    if (args.positional.size() != 1) {
        std::fprintf(stderr, "talvex-host run: expected one script (see --help)\n");
        return kExitUsage;
    }
    namespace fs = std::filesystem;
    std::error_code ec;
    ScriptOptions options;
    options.outputFolder = fs::absolute(args.value("--out", "."), ec).lexically_normal().string();
    options.pluginPath =
        args.has("--plugin") ? fs::absolute(args.value("--plugin"), ec).string() : defaultPluginPath(invocation.argv0);
    if (args.has("--size")) {
        int w = 0;
        int h = 0;
        char tail = 0;
        if (std::sscanf(args.value("--size").c_str(), "%dx%d%c", &w, &h, &tail) != 2 || w < 1 || h < 1 || w > 8192 ||
            h > 8192) {
            std::fprintf(stderr, "talvex-host run: --size must be WIDTHxHEIGHT, e.g. 640x480\n");
            return kExitUsage;
        }
        options.width = w;
        options.height = h;
    }
    fs::create_directories(options.outputFolder, ec);
    const std::string script = fs::absolute(args.positional[0], ec).lexically_normal().string();
    if (!runScriptFile(script, options, std::cout, error)) {
        std::cout.flush();
        std::fprintf(stderr, "talvex-host run: %s\n", error.c_str());
        return kExitFailure;
    }
    return kExitOk;
}

}  // namespace talvexhost
