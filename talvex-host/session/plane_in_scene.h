// The symmetry plane put into the scene the way a modeller would: the
// plug-in's Create, then its Reposition or the host's own placement.
#pragma once

#include <string>
#include <vector>

#include "host/host_records.h"
#include "pairing/plane_setup.h"

namespace talvexhost {

class HostSession;

// Places the plane for `targets`. Leaves nothing selected. False with `error`
// when the plug-in built no plane or the plane came out degenerate.
bool placePlane(HostSession& session, const std::vector<HostObject*>& targets,
                const PlaneSpec& spec, HostPlane& plane, std::string& error);

}  // namespace talvexhost
