// Placing the symmetry plane for the batch subcommands, through the
// plug-in's own commands only: "Talvex Create Talvex" has the host build the
// plane, then "Talvex Reposition" runs once, twice or three times to make it
// perpendicular to X, Y or Z. The plane goes through the centroid of the
// meshes' vertices, or through a given coordinate, which the host supplies as
// the centroid of a temporary two-vertex guide spanning the meshes.
#pragma once

#include <string>
#include <vector>

#include "host/host_records.h"

namespace talvexhost {

class HostSession;

struct PlaneSpec {
    int axis = 0;  // 0 X, 1 Y, 2 Z: the axis the plane is perpendicular to
    bool atValue = false;
    float value = 0.0f;  // the plane's coordinate on that axis, when atValue
};

// Parses "x", "y", "z", "x=VALUE", "y=VALUE", "z=VALUE" (case-insensitive).
bool parsePlaneSpec(const std::string& text, PlaneSpec& spec, std::string& error);
std::string describePlane(const PlaneSpec& spec);

// The plane as the host sees it: frame of the plane object, in double.
struct HostPlane {
    double normal[3];
    double pivot[3];
    // Signed distance along the positive axis direction of `axis` (so a
    // vertex with a larger coordinate than the plane's is positive).
    double signedDistance(const Vector3& p, int axis) const noexcept;
    // The mirror image of p through the plane.
    void mirror(const Vector3& p, double out[3]) const noexcept;
};
// Frame of `planeObject` (vertices 0 to 2 and its position); false when it
// has fewer than three vertices or a zero normal.
bool planeFrame(const HostObject* planeObject, HostPlane& plane) noexcept;

// Places the plane for `targets`. Leaves nothing selected. False with `error`
// when the plug-in built no plane or the plane came out degenerate.
bool placePlane(HostSession& session, const std::vector<HostObject*>& targets, const PlaneSpec& spec,
                HostPlane& plane, std::string& error);

}  // namespace talvexhost
