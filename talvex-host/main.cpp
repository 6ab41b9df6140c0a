// talvex-host: the reference host of the Talvex plug-in and its command line.
// Dispatches to one subcommand; each has its own --help.
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "commands.h"
#include "host_files.h"

namespace {

const char kUsage[] =
    "usage: talvex-host <command> [options]\n"
    "\n"
    "The reference host of the Talvex symmetry plug-in: it loads Talvex through its\n"
    "binary interface, keeps a scene, draws the viewport and runs the plug-in's commands.\n"
    "\n"
    "commands:\n"
    "  demo      run Create, Reposition, Switch, a live drag and Smart Resym on a built-in model\n"
    "  resym     make an OBJ mesh symmetric with Smart Resym\n"
    "  check     report the asymmetric vertices of an OBJ mesh without changing it\n"
    "  detect    find the symmetry planes of an OBJ mesh at any orientation\n"
    "  run       run a host session script\n"
    "  settings  print the plug-in's settings as it would read them\n"
    "  objects   list the objects of an OBJ mesh\n"
    "\n"
    "Every command takes --help; demo, resym, check and run also take --plugin PATH.\n";

// Runs one subcommand. Whatever it throws ends it with exit status 1 and the
// reason: the files it was pointed at are untouched, since every output goes
// through a lock file that is removed as the exception unwinds.
int dispatch(int argc, char** argv) {
    using namespace talvexhost;
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0 ||
        std::strcmp(argv[1], "help") == 0) {
        std::fputs(kUsage, argc < 2 ? stderr : stdout);
        return argc < 2 ? kExitUsage : kExitOk;
    }
    Invocation invocation;
    invocation.argv0 = argv[0];
    for (int i = 2; i < argc; ++i) invocation.args.push_back(argv[i]);
    const std::string command = argv[1];
    if (command == "demo") return runDemo(invocation);
    if (command == "resym") return runResym(invocation);
    if (command == "check") return runCheck(invocation);
    if (command == "detect") return runDetect(invocation);
    if (command == "run") return runScript(invocation);
    if (command == "settings") return runSettings(invocation);
    if (command == "objects") return runObjects(invocation);
    std::fprintf(stderr, "talvex-host: unknown command \"%s\"\n\n%s", command.c_str(), kUsage);
    return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    talvexhost::returnLargeBlocksToSystem();
    try {
        return dispatch(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fputs(
            "talvex-host: out of memory: the work needs more than this machine or process can "
            "give; "
            "no file was left half-written\n",
            stderr);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "talvex-host: failed: %s; no file was left half-written\n", e.what());
    } catch (...) {
        std::fputs("talvex-host: failed with an unknown error; no file was left half-written\n",
                   stderr);
    }
    return talvexhost::kExitFailure;
}
