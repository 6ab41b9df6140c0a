// `--plane auto`: the symmetry plane of the meshes to work on, found by
// detection (detect/symmetry_detect.h) and turned into the plane the batch
// subcommands place. Called by prepareBatch before the plane is placed.
#pragma once

#include <string>
#include <vector>

#include "host/host_records.h"
#include "pairing/plane_setup.h"

namespace talvexhost {

// Detects the best symmetry plane of the vertices of `targets`, taken
// together, and makes `spec` that plane (still marked automatic, with its
// score). A plane within rounding of an axis plane becomes that axis plane,
// and its place 0 when it is within rounding of 0, so an exactly symmetric
// mesh stays exact; so does one a little farther (under about 0.06 degrees
// and 0.1% of the diagonal) when the axis plane mirrors the mesh at least as
// well, measured as the median distance from the vertices' mirror images to
// their nearest vertex. False with `error` when no plane is convincing.
bool resolveAutoPlane(const std::vector<HostObject*>& targets, PlaneSpec& spec, std::string& error);

}  // namespace talvexhost
