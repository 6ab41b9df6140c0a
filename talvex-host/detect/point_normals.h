// Surface normals of a point set estimated from each point's nearest
// neighbours, for the reflective registration that slides along the surface
// (reflective_registration.h). Symmetry detection has no faces to take them
// from.
#pragma once

#include <vector>

#include "detect/point_index.h"

namespace talvexhost {

// For each of `points`, the unit direction in which its `neighbours`
// nearest vertices of `index` (itself included) spread least: the normal of
// the surface they sample, in double, sign arbitrary. {0, 0, 0} where they
// span no surface (too few of them, all on one line or one place).
std::vector<Point3> pointNormals(const PointIndex& index, const std::vector<Point3>& points,
                                 int neighbours);

}  // namespace talvexhost
