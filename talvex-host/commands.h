// The subcommands of talvex-host. Each takes the arguments after its name and
// returns the process exit status: 0 success, 1 failure, 2 bad usage.
#pragma once

#include <string>
#include <vector>

namespace talvexhost {

struct Invocation {
    std::string argv0;              // how the host was started; finds the plug-in where the
                                    // system cannot name the program's own file
    std::vector<std::string> args;  // after the subcommand's name
};

int runDemo(const Invocation& invocation);
int runResym(const Invocation& invocation);
int runCheck(const Invocation& invocation);
int runDetect(const Invocation& invocation);
int runScript(const Invocation& invocation);
int runSettings(const Invocation& invocation);
int runObjects(const Invocation& invocation);

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

}  // namespace talvexhost
