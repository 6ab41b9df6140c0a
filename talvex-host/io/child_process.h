// Running another program, as the host does to check many files at once: the
// plug-in keeps global state, so each file gets a process of its own. No
// shell comes between: the arguments reach the program as given.
#pragma once

#include <string>
#include <vector>

namespace talvexhost {

// Runs `program` with `args` and waits for it to end. Its standard output and
// standard error go to the files `outPath` and `errPath` (created or
// truncated); its standard input is empty. Returns its exit status, or -1
// with `error` when it could not be started or did not end by itself (a
// signal, a crash).
int runChildProcess(const std::string& program, const std::vector<std::string>& args,
                    const std::string& outPath, const std::string& errPath, std::string& error);

}  // namespace talvexhost
