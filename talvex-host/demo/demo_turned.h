// The demo's last part: the built-in model turned off every axis and moved,
// as scans and imported assets come. Detection finds its symmetry plane,
// the host places the plug-in's plane there, and Smart Resym works across
// it. Called by `talvex-host demo` after its main job.
#pragma once

#include <iosfwd>
#include <string>

namespace talvexhost {

class HostSession;

// Adds the turned model to `session`, prints each step to `out` and writes
// the result to `path`. False with `error` when a step fails.
bool runTurnedDemo(HostSession& session, const std::string& path, std::ostream& out,
                   std::string& error);

}  // namespace talvexhost
