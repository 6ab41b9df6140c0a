// The demo's part for `resym --master`: the built-in model, whose +x half
// carries small offsets, made symmetric from its clean -x half. The host
// marks the master half "do not move" and Smart Resym puts every partner on
// the exact mirror image of its master vertex. Called by `talvex-host demo`.
#pragma once

#include <iosfwd>
#include <string>

namespace talvexhost {

class HostSession;

// Adds the model to `session`, prints each step to `out` and writes the
// result to `path`. False with `error` when a step fails.
bool runMasterDemo(HostSession& session, const std::string& path, std::ostream& out,
                   std::string& error);

}  // namespace talvexhost
