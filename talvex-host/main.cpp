// talvex-host: the reference host of the Talvex plug-in and its command line.
// Dispatches to one subcommand; each has its own --help.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>
#include <new>
#include <string>
#include <system_error>
#include <vector>

#include "commands/command_table.h"
#include "host/plugin_tables.h"
#include "hostsim/library.h"
#include "io/host_files.h"
#include "session/host_session.h"

namespace {

// The usage, its list of commands and who takes --plugin made from the table.
std::string usage() {
    using namespace talvexhost;
    std::string text =
        "usage: talvex-host <command> [options]\n"
        "\n"
        "The reference host of the Talvex symmetry plug-in: it loads Talvex through its\n"
        "binary interface, keeps a scene, draws the viewport and runs the plug-in's commands.\n"
        "\n"
        "commands:\n";
    std::size_t width = 0;
    for (const Subcommand* command : subcommands())
        width = std::max(width, std::strlen(command->options.name));
    std::vector<std::string> plugin;
    for (const Subcommand* command : subcommands()) {
        const std::string name = command->options.name;
        text += "  " + name + std::string(width + 2 - name.size(), ' ') + command->summary + "\n";
        if (command->options.loadsPlugin) plugin.push_back(name);
    }
    text += "\nEvery command takes --help";
    for (std::size_t i = 0; i < plugin.size(); ++i)
        text += (i == 0 ? "; " : i + 1 == plugin.size() ? " and " : ", ") + plugin[i];
    if (!plugin.empty())
        text += plugin.size() == 1 ? " also takes --plugin PATH" : " also take --plugin PATH";
    text +=
        ".\ntalvex-host --version [--plugin PATH] prints the host's and the plug-in's versions.\n";
    return text;
}

// Edits (insert, delete, replace, swap two neighbours) between two short words.
std::size_t editDistance(const std::string& a, const std::string& b) {
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t replace = d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1);
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, replace});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return d[a.size()][b.size()];
}

// The command a mistyped one most likely meant, or "" when none is close.
std::string closestCommand(const std::string& typed) {
    std::string best;
    std::size_t bestDistance = 3;
    for (const talvexhost::Subcommand* command : talvexhost::subcommands()) {
        const std::size_t distance = editDistance(typed, command->options.name);
        if (distance < bestDistance) {
            best = command->options.name;
            bestDistance = distance;
        }
    }
    return best;
}

// --version: the host's version, and the interface version the plug-in it
// would load answers (loading it runs none of its commands).
int printVersion(int argc, char** argv) {
    using namespace talvexhost;
    std::string plugin = defaultPluginPath(argv[0]);
    if (argc == 4 && std::strcmp(argv[2], "--plugin") == 0) {
        plugin = argv[3];
    } else if (argc != 2) {
        std::fputs("usage: talvex-host --version [--plugin PATH]\n", stderr);
        return kExitUsage;
    }
    std::printf("talvex-host %s\n", TALVEX_VERSION);
    std::string error;
    void* library = hostsim::openLibrary(plugin, error);
    auto version = library == nullptr ? nullptr
                                      : reinterpret_cast<GetPluginVersionExport>(
                                            hostsim::findSymbol(library, "getPluginVersion"));
    if (version == nullptr) {
        std::printf("plug-in %s: cannot be loaded (%s)\n", plugin.c_str(),
                    library == nullptr ? error.c_str() : "it exports no getPluginVersion");
        return kExitFailure;
    }
    std::printf("plug-in %s: interface version %d\n", plugin.c_str(), int(version()));
    return kExitOk;
}

// Runs one subcommand. Whatever it throws ends it with exit status 1 and the
// reason: the files it was pointed at are untouched, since every output goes
// through a lock file that is removed as the exception unwinds.
int dispatch(int argc, char** argv) {
    using namespace talvexhost;
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0 ||
        std::strcmp(argv[1], "help") == 0) {
        std::fputs(usage().c_str(), argc < 2 ? stderr : stdout);
        return argc < 2 ? kExitUsage : kExitOk;
    }
    if (std::strcmp(argv[1], "--version") == 0) return printVersion(argc, argv);
    Invocation invocation;
    invocation.argv0 = argv[0];
    for (int i = 2; i < argc; ++i) invocation.args.push_back(argv[i]);
    const std::string command = argv[1];
    if (const Subcommand* subcommand = findSubcommand(command)) return subcommand->run(invocation);
    const std::string guess = closestCommand(command);
    if (!guess.empty()) {
        std::fprintf(stderr, "talvex-host: unknown command \"%s\"; did you mean %s?\n",
                     command.c_str(), guess.c_str());
        return kExitUsage;
    }
    std::fprintf(stderr, "talvex-host: unknown command \"%s\"\n\n%s", command.c_str(),
                 usage().c_str());
    return kExitUsage;
}

// A report that did not reach standard output (a full disk, a file-size
// limit) is a failure, not a success.
int checkedOutput(int status) {
    std::cout.flush();
    if (std::cout.good() && std::fflush(stdout) == 0 && !std::ferror(stdout)) return status;
    std::fputs("talvex-host: cannot write standard output\n", stderr);
    return talvexhost::kExitFailure;
}

const char kOutOfMemory[] =
    "talvex-host: out of memory: the work needs more than this machine or process can give; "
    "no file was left half-written\n";

}  // namespace

int main(int argc, char** argv) {
    talvexhost::returnLargeBlocksToSystem();
    talvexhost::useBinaryStandardStreams();
    try {
        return checkedOutput(dispatch(argc, argv));
    } catch (const std::bad_alloc&) {
        std::fputs(kOutOfMemory, stderr);
    } catch (const std::system_error& e) {
        // A thread the system cannot start (EAGAIN) is memory running short
        // too: its stack is the first thing it needs.
        const bool memory = e.code() == std::errc::resource_unavailable_try_again ||
                            e.code() == std::errc::not_enough_memory;
        if (memory)
            std::fputs(kOutOfMemory, stderr);
        else
            std::fprintf(stderr, "talvex-host: failed: %s; no file was left half-written\n",
                         e.what());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "talvex-host: failed: %s; no file was left half-written\n", e.what());
    } catch (...) {
        std::fputs("talvex-host: failed with an unknown error; no file was left half-written\n",
                   stderr);
    }
    return talvexhost::kExitFailure;
}
