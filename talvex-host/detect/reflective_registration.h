// Refining a symmetry plane by reflective registration, and measuring how
// well a plane mirrors a mesh onto itself. Both match each mirrored vertex to
// the nearest vertex of a PointIndex. Called by symmetry detection.
#pragma once

#include <vector>

#include "point_index.h"
#include "reflection_fit.h"

namespace talvexhost {

// Mirrors `queries` through the plane, matches each image to its nearest
// indexed vertex within the search radius, keeps the matches within
// max(3 x median distance, `floorDistance`) and re-fits the plane to them,
// until the plane stops moving or after `maxIterations`. The search radius
// starts at `startRadius` and then follows the kept distance: an image far
// from every vertex matches nothing instead of costing a long search.
// `leafBudget` as for PointIndex::nearest (0: exact matches). Returns the
// last plane.
Plane refineByReflection(const PointIndex& index, const std::vector<Point3>& queries, Plane plane,
                         double floorDistance, double startRadius, int maxIterations,
                         int leafBudget = 0);

struct PlaneScore {
    double score = 0.0;    // share of queries whose image has a vertex within the tolerance
    double rms = 0.0;      // RMS distance of those images to their vertex
    double onPlane = 0.0;  // share of queries within the tolerance of the plane
};

PlaneScore scorePlane(const PointIndex& index, const std::vector<Point3>& queries,
                      const Plane& plane, double tolerance);

}  // namespace talvexhost
