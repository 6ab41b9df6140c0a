#include "reflective_registration.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace talvexhost {

Plane refineByReflection(const PointIndex& index, const std::vector<Point3>& queries, Plane plane,
                         double floorDistance, double startRadius, int maxIterations,
                         int leafBudget) {
    const double infinity = std::numeric_limits<double>::infinity();
    std::vector<Point3> matches(queries.size());
    std::vector<double> distances(queries.size());
    std::vector<double> ordered;
    std::vector<PointPair> pairs;
    double radius = std::max(startRadius, floorDistance);
    for (int iteration = 0; iteration < maxIterations && !queries.empty(); ++iteration) {
        for (std::size_t i = 0; i < queries.size(); ++i) {
            double distanceSq = 0.0;
            const bool found = index.nearest(plane.mirror(queries[i]), radius * radius, matches[i],
                                             distanceSq, -1.0, leafBudget);
            distances[i] = found ? std::sqrt(distanceSq) : infinity;
        }
        ordered = distances;
        const std::size_t middle = ordered.size() / 2;
        std::nth_element(ordered.begin(), ordered.begin() + middle, ordered.end());
        const double keep = std::min(std::max(3.0 * ordered[middle], floorDistance), radius);
        pairs.clear();
        for (std::size_t i = 0; i < queries.size(); ++i)
            if (distances[i] <= keep) pairs.push_back({queries[i], matches[i]});
        const Plane next = fitReflection(pairs, plane);
        const bool unchanged = next.offset == plane.offset && next.normal[0] == plane.normal[0] &&
                               next.normal[1] == plane.normal[1] &&
                               next.normal[2] == plane.normal[2];
        plane = next;
        // The same matches give the same plane: nothing more to gain.
        if (unchanged) break;
        radius = std::max(2.0 * keep, 2.0 * floorDistance);
    }
    return plane;
}

PlaneScore scorePlane(const PointIndex& index, const std::vector<Point3>& queries,
                      const Plane& plane, double tolerance) {
    PlaneScore result;
    if (queries.empty()) return result;
    std::size_t matched = 0;
    std::size_t onPlane = 0;
    double sumSq = 0.0;
    const double toleranceSq = tolerance * tolerance;
    for (const Point3& q : queries) {
        Point3 found;
        double distanceSq = 0.0;
        if (index.nearest(plane.mirror(q), toleranceSq, found, distanceSq)) {
            ++matched;
            sumSq += distanceSq;
        }
        if (std::fabs(plane.signedDistance(q)) < tolerance) ++onPlane;
    }
    const double count = static_cast<double>(queries.size());
    result.score = static_cast<double>(matched) / count;
    result.rms = matched > 0 ? std::sqrt(sumSq / static_cast<double>(matched)) : 0.0;
    result.onPlane = static_cast<double>(onPlane) / count;
    return result;
}

}  // namespace talvexhost
