// Refining a symmetry plane by reflective registration, and measuring how
// well a plane mirrors a mesh onto itself. Both match each mirrored vertex to
// the nearest vertex of a PointIndex. Called by symmetry detection.
#pragma once

#include <vector>

#include "detect/point_index.h"
#include "detect/reflection_fit.h"

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

// Reflective registration that measures each mirrored vertex's miss only
// across the surface: the distance from its matched vertex along the
// surface normal there (the mirror image of `normals[i]`, the normal at
// `queries[i]`, see point_normals.h). Where the vertices form a lattice (a
// regular grid), nearest-vertex matching locks the plane onto a shifted or
// slightly turned one that still maps the lattice onto itself; across the
// surface the lattice does not show, only the shape does, so this pulls a
// plane in from several spacings off. Gauss-Newton steps in the normal's
// two turning directions and the offset, about `centre`; a direction the
// shape does not fix (a flat sheet turning in itself) is left as it is, and
// no step moves a typical image further than the matches reach. Matches as
// refineByReflection (nearest vertex within the search radius, kept within
// max(3 x median distance, `floorDistance`)); stops after a step that moves
// a typical image (one at the queries' RMS distance from `centre`) by less
// than `settled`, or after `maxIterations`. Queries with a zero normal take
// no part; fewer than three matched ones end the refinement. `leafBudget`
// as for refineByReflection. Double arithmetic throughout; the normal
// stays a unit vector.
Plane refineAcrossSurface(const PointIndex& index, const std::vector<Point3>& queries,
                          const std::vector<Point3>& normals, Plane plane, const Point3& centre,
                          double floorDistance, double startRadius, double settled,
                          int maxIterations, int leafBudget = 0);

struct PlaneScore {
    double score = 0.0;    // share of queries whose image has a vertex within the tolerance
    double rms = 0.0;      // RMS distance of those images to their vertex
    double onPlane = 0.0;  // share of queries within the tolerance of the plane
};

PlaneScore scorePlane(const PointIndex& index, const std::vector<Point3>& queries,
                      const Plane& plane, double tolerance);

}  // namespace talvexhost
