// The host's session script language: one statement per line that loads
// meshes, selects, runs plug-in commands, drags vertices, sends the host's
// notifications, draws, saves and checks what happened. The end-to-end tests
// are written in it; `talvex-host run` runs a script. The language is
// described in the README ("Session scripts").
#pragma once

#include <iosfwd>
#include <string>

namespace talvexhost {

struct ScriptOptions {
    std::string pluginPath;
    std::string outputFolder;  // absolute; where save and render write
    int width = 640;
    int height = 480;
};

// Runs the script at `path` (absolute). Prints the plug-in's messages to
// `out`. Returns true when every statement ran and every expectation held;
// otherwise false with "SCRIPT:LINE: reason" in `error`.
bool runScriptFile(const std::string& path, const ScriptOptions& options, std::ostream& out,
                   std::string& error);

}  // namespace talvexhost
