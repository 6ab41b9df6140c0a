// A tolerance suggested from the mesh itself. A good tolerance reaches every
// vertex's true partner (whose distance from the mirror image is the mesh's
// asymmetry) but not the partner's neighbours (about one edge away). Both are
// measured for every vertex off the plane (every n-th of them, some 50,000,
// on larger meshes): the distance from its mirror image to the nearest
// candidate and to the runner-up, against the mesh's median edge length.
#pragma once

#include <string>
#include <vector>

#include "pairing/mirror_candidates.h"

namespace talvexhost {

struct ToleranceAdvice {
    double edgeLength = 0.0;        // the spacing used: median edge length (or an estimate)
    double nearest95 = 0.0;         // 95% of mirror images have a candidate this near
    double runnerUp1 = 0.0;         // 99% of mirror images have no second candidate nearer
    int farFromPartner = 0;         // mirror images with no candidate within half an edge
    double suggested = 0.0;         // 0 when nothing could be measured
    bool belowPluginRange = false;  // the plug-in takes no tolerance this small
    std::string reason;             // for people
};

// The plug-in accepts a working tolerance only above this value.
constexpr double kPluginLeastTolerance = double(0.01f);

// `edgeLength` is the mesh's median edge length, 0 when it has no edges (a
// spacing is then estimated from the box and the vertex count). `inUse` is the
// tolerance the plug-in worked with, for the comparison in the reason.
// `grid`, when given, is a grid of `vertices` to search (any reach answers
// right); else one is built.
ToleranceAdvice adviseTolerance(const std::vector<ReportVertex>& vertices, const HostPlane& plane,
                                double edgeLength, double diagonal, double inUse,
                                const VertexGrid* grid = nullptr);

// `value` rounded down to two significant digits, as text ("0.012", "2.2e-16").
std::string roundedDown(double value);

}  // namespace talvexhost
