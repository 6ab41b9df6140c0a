// The subcommands of talvex-host. Each takes the arguments after its name and
// returns the process exit status: 0 success, 1 failure, 2 bad usage.
#pragma once

#include "session/cli_args.h"

namespace talvexhost {

int runDemo(const Invocation& invocation);
int runResym(const Invocation& invocation);
int runCheck(const Invocation& invocation);
int runDetect(const Invocation& invocation);
int runScript(const Invocation& invocation);
int runSettings(const Invocation& invocation);
int runObjects(const Invocation& invocation);

}  // namespace talvexhost
