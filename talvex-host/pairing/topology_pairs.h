// Pairing vertices through the mesh's connectivity rather than their
// positions: a posed character, whose raised arm no longer mirrors the other,
// or a mesh whose tolerance is loose enough to pick the wrong partners. The
// walk starts from pairs that are certain and crosses the mesh face by face,
// the two sides in opposite orientations. The host's own work, used by
// `check --pairing` and `resym --pairing`; the plug-in pairs by position.
#pragma once

#include <string>
#include <vector>

#include "pairing/mirror_candidates.h"
#include "pairing/plane_setup.h"

namespace talvexhost {

// The faces by vertex index: face f has the corners
// corners[faceStart[f], faceStart[f + 1]).
struct TopologyFaces {
    std::vector<int> faceStart{0};
    std::vector<int> corners;
};

struct TopologyOptions {
    // Positional seeds: a vertex within `seedBand` of the plane whose mirror
    // image has exactly one vertex of the other side within `tolerance`,
    // which in turn has only it (mutual and unambiguous). A vertex within
    // 0.0001 of the plane, or within `tolerance` with no other vertex near
    // its image, is its own partner.
    double tolerance = 0.0;
    double seedBand = 0.0;
};

struct TopologyPairing {
    // Per vertex: its partner, itself for a vertex on the plane, -1 for none.
    std::vector<int> partner;
    int seedPairs = 0;
    int seedsOnPlane = 0;
    // Face pairs the walk reached whose corners disagreed with pairs made
    // before (not taken): a mesh whose halves differ in connectivity there.
    int conflicts = 0;
    // Connected pieces that no seed reached and that could not be matched
    // whole, by their vertex counts, largest first.
    std::vector<int> unreachedPieces;
    // Pieces without a seed matched whole with their mirror piece: every
    // vertex with one mutual partner within the tolerance in that piece.
    int piecesMatchedWhole = 0;
};

// Pairs the vertices of `faces` about `plane` (`vertices` give positions and
// signed distances, as the report has them). Empty input gives no pairs.
TopologyPairing pairByTopology(const std::vector<ReportVertex>& vertices,
                               const TopologyFaces& faces, const HostPlane& plane,
                               const TopologyOptions& options);

// Of `pairs` (per vertex its partner, -1 for none), those that are mutual
// and unambiguous within `tolerance`, as the seeds are; the rest -1.
std::vector<int> certainPairs(const std::vector<ReportVertex>& vertices, const HostPlane& plane,
                              double tolerance, const std::vector<int>& pairs);

// Fills in `positional` (per vertex, -1 where unpaired or ambiguous) with the
// topological partners where it has none and the partner is free: `auto`.
std::vector<int> fillWithTopology(const std::vector<int>& positional,
                                  const std::vector<int>& topological);

}  // namespace talvexhost
