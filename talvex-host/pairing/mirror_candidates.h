// Which vertices could be a vertex's mirror partner, found by the host's own
// search so the asymmetry report can say more than the plug-in's pair list:
// how many candidates a starter had, how far its mirror image lies from the
// nearest ones, and whether a partner sits in another object. The rule is
// Smart Resym's: the other side of the plane, nearly the same distance from
// it, near the mirror image, all three strict.
#pragma once

#include <cstdint>
#include <vector>

#include "pairing/plane_setup.h"

namespace talvexhost {

// A mesh vertex as the report sees it.
struct ReportVertex {
    int number = 0;  // 1-based OBJ vertex number
    int object = 0;  // the object the plug-in saw it in
    // Its coordinates: floats, as every producer has them (the scene's
    // vertices); doubles would take 12 bytes more a vertex.
    float position[3] = {0, 0, 0};
    // In the gap before the double rather than after it: 32 bytes a vertex
    // where the padding made 40.
    bool bridgesPlane = false;  // centre_line.h: neighbours on both sides, farther out
    double distance = 0.0;      // signed distance from the plane
};
static_assert(sizeof(ReportVertex) <= 32, "a report vertex fits in 32 bytes");

// One vertex near a mirror image.
struct Candidate {
    int vertex = 0;         // index into the report's vertices
    double distance = 0.0;  // from the mirror image, model units
};

// The vertices in a uniform grid of cubes, for queries around a point.
class VertexGrid {
public:
    // Laid for queries of radius `reach`: the cubes' edge is at least twice
    // that, so such a query looks into at most eight cubes (at the reach
    // itself it would be up to 27, most of them empty), and larger on a mesh
    // whose vertices lie farther apart. Any radius answers right.
    VertexGrid(const std::vector<ReportVertex>& vertices, double reach);

    // Indices of the vertices within `radius` (strict) of `point`, with their
    // distances, in vertex order.
    std::vector<Candidate> within(const double point[3], double radius) const;
    // The same into `found` (emptied first), whose storage is reused: a
    // report asks this once for each of a million vertices.
    void within(const double point[3], double radius, std::vector<Candidate>& found) const;

private:
    // One occupied cell: its key and where its vertices are in `order_`.
    struct Slot {
        std::int64_t key;
        std::uint32_t first;
        std::uint32_t count;  // 0: an empty slot
    };
    std::int64_t key(std::int64_t i, std::int64_t j, std::int64_t k) const;
    const Slot* find(std::int64_t key) const;

    const std::vector<ReportVertex>& vertices_;
    // A coordinate in cube edges: multiplied by the inverse, which is as
    // monotone as the division it saves (cubes and queries use the same), or
    // divided when the inverse overflows.
    double inCells(double c) const { return perCell_ <= 1e300 ? c * perCell_ : c / cell_; }

    double cell_;
    double perCell_;
    // The vertices grouped by cell, in vertex order within each, and an
    // open-addressed table of the occupied cells (a power of two, at most
    // half full): 4 bytes a vertex and 32 an occupied cell, where a map of
    // lists took some 80 a vertex, with a heap block per cell.
    std::vector<int> order_;
    std::vector<Slot> slots_;
};

// How a candidate is accepted for the starter `m`, as Smart Resym does it.
enum class ObjectRule { sameObject, otherObject };

// The candidates of starter `m` within `tolerance`, nearest first (equal
// distances in vertex order): on the other side of the plane, their distance
// from it within `tolerance` of the starter's, and in the same object or, with
// ObjectRule::otherObject, in a different one.
std::vector<Candidate> mirrorCandidates(const std::vector<ReportVertex>& vertices,
                                        const VertexGrid& grid, const HostPlane& plane, int m,
                                        double tolerance, ObjectRule rule);
// The same into `accepted` (emptied first), with `scratch` for the grid's
// answer: both keep their storage from call to call.
void mirrorCandidates(const std::vector<ReportVertex>& vertices, const VertexGrid& grid,
                      const HostPlane& plane, int m, double tolerance, ObjectRule rule,
                      std::vector<Candidate>& accepted, std::vector<Candidate>& scratch);

}  // namespace talvexhost
