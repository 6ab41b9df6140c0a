// check, detect and resym over several files and folders at once. Each file
// gets a talvex-host process of its own, as many at a time as the machine has
// cores: the plug-in keeps global state and works on one thread, so sessions
// cannot share a process. The file's own command line is the one given, less
// the options that only mean something for many files.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "commands/mesh_file_list.h"
#include "session/cli_args.h"

namespace talvexhost {

// A command's most positional arguments when it takes a list of files.
constexpr std::size_t kManyFiles = static_cast<std::size_t>(-1);

// True when the command line names more than one file, a folder, or an
// option only a list of files takes (--recursive, --include, --jsonl).
bool namesManyFiles(const ParsedArgs& args);

// Runs the command `spec` names (check, detect or resym) on every file and
// prints one line per file and a summary (check), or each file's own report
// in file order and a summary (detect, resym); --json writes one document,
// --jsonl one line per file as each finishes. Exit status 1 when any file
// failed: could not be read, a --fail-* condition held, no plane was found.
int runOnManyFiles(const Invocation& invocation, const CommandSpec& spec, const CommandArgs& args);

}  // namespace talvexhost
