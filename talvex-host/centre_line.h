// The centre line: vertices that lie on the symmetry plane in the model but
// a little off it in the file, so Smart Resym finds no partner for them (the
// only vertex near their mirror image is themselves). `resym` puts them onto
// the plane, and `check` lists them, by the same rule, so `check` predicts
// `resym`.
#pragma once

#include <vector>

#include "host/host_records.h"
#include "obj_document.h"
#include "plane_setup.h"

namespace talvexhost {

// "Near the plane" for an unpaired vertex: nearer than the tolerance (a
// partner across the plane within it would have been found), or nearer than
// half its shortest edge (moving it less than that cannot make an edge cross
// its neighbour). `shortestEdge` is 0 for a vertex without edges. A vertex
// within 0.0001 is on the plane already and not near it.
bool nearCentreLine(double distance, double tolerance, double shortestEdge) noexcept;

// The length of the shortest edge of a face or line at each vertex of the
// document, as floats; 0 for a vertex that no face or line uses.
std::vector<float> shortestEdges(const ObjDocument& document);

// `p` moved onto `plane` along its normal, rounded to float. For a plane
// perpendicular to `axis` only that coordinate changes, to the plane's.
Vector3 footOnPlane(const HostPlane& plane, int axis, bool axisPlane, const Vector3& p) noexcept;

}  // namespace talvexhost
