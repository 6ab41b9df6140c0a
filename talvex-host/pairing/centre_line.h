// The centre line: vertices that lie on the symmetry plane in the model but
// a little off it in the file, so Smart Resym finds no partner for them (the
// only vertex near their mirror image is themselves). `resym` puts them onto
// the plane, and `check` lists them, by the same rule, so `check` predicts
// `resym`.
#pragma once

#include <vector>

#include "host/host_records.h"
#include "io/mesh_document.h"
#include "pairing/plane_setup.h"

namespace talvexhost {

// "Near the plane" for an unpaired vertex: nearer than the tolerance (a
// partner across the plane within it would have been found), or nearer than
// half the mesh's median edge (`edgeLength`, 0 for a mesh without edges)
// while it `bridges` the plane (below): a vertex of the centre line nudged by
// less than half the spacing of the mesh still sits between the rows of
// vertices on either side. A vertex within 0.0001 is on the plane already
// and not near it.
bool nearCentreLine(double distance, double tolerance, double edgeLength, bool bridges) noexcept;

// For each vertex of the document: whether it has edge neighbours on both
// sides of the plane, each farther from the plane than itself, as a vertex
// of the centre line has (the rows beside it). Positions as the document
// holds them now; `axis` names the sides as HostPlane::signedDistance does.
std::vector<bool> bridgesPlane(const MeshDocument& document, const HostPlane& plane, int axis);

// Both of the above from one reading of the faces and lines (the document
// reads them again from its text each time): the median over `used` edges,
// and the bridges when `plane` is given (else empty).
struct EdgeFacts {
    double medianEdge = 0.0;
    std::vector<bool> bridges;
};
EdgeFacts edgeFacts(const MeshDocument& document, const std::vector<bool>& used,
                    const HostPlane* plane, int axis);

// The median above with the positions given for (at least) the `used`
// vertices, rather than the document's: reading them from its text again
// takes longer than the faces.
double medianEdgeLength(const MeshDocument& document, const std::vector<MeshPosition>& positions,
                        const std::vector<bool>& used);

// Median length of the edges of the faces and lines whose two ends are both
// `used` (indexed by document vertex; empty: every vertex); 0 when there are
// none.
double medianEdgeLength(const MeshDocument& document, const std::vector<bool>& used);

// `p` moved onto `plane` along its normal, rounded to float. For a plane
// perpendicular to `axis` only that coordinate changes, to the plane's.
Vector3 footOnPlane(const HostPlane& plane, int axis, bool axisPlane, const Vector3& p) noexcept;

}  // namespace talvexhost
