// Starting planes for symmetry detection (see symmetry_detect.h for why
// these): the three principal planes about the centroid, and the directions
// most voted for by pairs of vertices equally far from the centroid.
#pragma once

#include <vector>

#include "detect/point_index.h"
#include "detect/reflection_fit.h"
#include "detect/sampling.h"

namespace talvexhost {

Point3 centroidOf(const std::vector<Point3>& points);
Point3 centroidOf(const std::vector<FloatPoint>& points);

// The planes through `centre` perpendicular to the principal axes of
// `points`, largest variance first. Empty for fewer than two points.
std::vector<Plane> principalPlanes(const std::vector<Point3>& points, const Point3& centre);
std::vector<Plane> principalPlanes(const std::vector<FloatPoint>& points, const Point3& centre);

// Up to `count` planes through `centre` whose normals the pairs of `points`
// at distances from `centre` within `band` of each other vote for most; pairs
// closer together than `minSeparation` do not vote (their direction is noise).
std::vector<Plane> votedPlanes(const std::vector<Point3>& points, const Point3& centre, double band,
                               double minSeparation, int count);

}  // namespace talvexhost
