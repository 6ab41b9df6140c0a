// The subcommands of talvex-host. Each command's file defines its row: its
// options (name, help, what it takes), its line in talvex-host's usage and
// what runs it; command_table.cpp lists the rows. A command takes the
// arguments after its name and returns the process exit status: 0 success,
// 1 failure, 2 bad usage.
#pragma once

#include <string>
#include <vector>

#include "session/cli_args.h"

namespace talvexhost {

struct Subcommand {
    const CommandSpec& options;
    const char* summary;  // after its name in the usage: "make a mesh symmetric ..."
    int (*run)(const Invocation& invocation);
};

// Every subcommand, in the order the usage lists them.
const std::vector<const Subcommand*>& subcommands();

// The subcommand called `name`, or null.
const Subcommand* findSubcommand(const std::string& name);

}  // namespace talvexhost
