// talvex-host run: runs a session script.
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "commands/command_table.h"
#include "script/script_runner.h"
#include "session/cli_args.h"

namespace talvexhost {

namespace {

const char kHelp[] =
    "usage: talvex-host run SCRIPT [--out DIR] [--size WxH] [--plugin PATH]\n"
    "\n"
    "Runs a host session script: one statement per line (load, object, select, edit, mark,\n"
    "move, command, execute, drag, event, host-command, selection-changed, hold, mode,\n"
    "manipulator, primitive, draw, render, release, save, undo, ini, echo, expect ...).\n"
    "The README's \"Session scripts\" section describes every statement. Files are found\n"
    "relative to the script; $OUT/NAME is NAME in the --out folder. Vertices are OBJECT:N,\n"
    "counting from 1. The session runs in a fresh working folder, whose plug-in settings\n"
    "file the ini statement writes. An error the plug-in shows fails the script unless\n"
    "expect error follows the statement that caused it.\n"
    "Exit status 0 when every statement ran and every expectation held.\n"
    "\n"
    "  --out DIR       the folder $OUT names (default: the current folder)\n"
    "  --size WxH      viewport size in pixels (default 640x480)\n"
    "  --plugin PATH   the plug-in library (default: the one beside talvex-host)\n";

const CommandSpec kSpec = {"run", kHelp, {"--out", "--size"}, {}, 1, 1, "one script"};

}  // namespace

static int runScript(const Invocation& invocation) {
    CommandArgs args;
    if (auto done = readCommandLine(invocation, kSpec, args)) return *done;
    ScriptOptions options;
    options.pluginPath = args.plugin;
    if (args.has("--size")) {
        int w = 0;
        int h = 0;
        char tail = 0;
        if (std::sscanf(args.value("--size").c_str(), "%dx%d%c", &w, &h, &tail) != 2 || w < 1 ||
            h < 1 || w > 8192 || h > 8192) {
            return usageError(kSpec, "--size must be WIDTHxHEIGHT, e.g. 640x480");
        }
        options.width = w;
        options.height = h;
    }
    options.outputFolder = outputFolder(args).string();
    std::error_code ec;
    const std::string script =
        std::filesystem::absolute(args.positional[0], ec).lexically_normal().string();
    std::string error;
    if (!runScriptFile(script, options, std::cout, error)) {
        std::cout.flush();
        return commandFailure(kSpec, error);
    }
    return kExitOk;
}

extern const Subcommand kScriptCommand = {kSpec, "run a host session script", runScript};

}  // namespace talvexhost
