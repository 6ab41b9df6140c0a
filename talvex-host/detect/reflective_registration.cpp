#include "detect/reflective_registration.h"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <limits>

namespace talvexhost {

namespace {

// Gauss-Newton directions whose curvature is below this share of the
// largest are not fixed by the shape: the step leaves them alone.
constexpr double kUnfixedShare = 1e-6;

// Mirrors every query through `plane` and matches the image to its nearest
// vertex within `radius` (distance infinity when none). Returns the distance
// up to which matches are kept: max(3 x median, `floorDistance`), at most
// `radius`.
double matchImages(const PointIndex& index, const std::vector<Point3>& queries, const Plane& plane,
                   double radius, double floorDistance, int leafBudget,
                   std::vector<Point3>& matches, std::vector<double>& distances) {
    const double infinity = std::numeric_limits<double>::infinity();
    matches.resize(queries.size());
    distances.resize(queries.size());
    for (std::size_t i = 0; i < queries.size(); ++i) {
        double distanceSq = 0.0;
        const bool found = index.nearest(plane.mirror(queries[i]), radius * radius, matches[i],
                                         distanceSq, -1.0, leafBudget);
        distances[i] = found ? std::sqrt(distanceSq) : infinity;
    }
    std::vector<double> ordered = distances;
    const std::size_t middle = ordered.size() / 2;
    std::nth_element(ordered.begin(), ordered.begin() + middle, ordered.end());
    return std::min(std::max(3.0 * ordered[middle], floorDistance), radius);
}

Eigen::Vector3d vec(const Point3& p) {
    return {p.x, p.y, p.z};
}

}  // namespace

Plane refineByReflection(const PointIndex& index, const std::vector<Point3>& queries, Plane plane,
                         double floorDistance, double startRadius, int maxIterations,
                         int leafBudget) {
    std::vector<Point3> matches;
    std::vector<double> distances;
    std::vector<PointPair> pairs;
    double radius = std::max(startRadius, floorDistance);
    for (int iteration = 0; iteration < maxIterations && !queries.empty(); ++iteration) {
        const double keep = matchImages(index, queries, plane, radius, floorDistance, leafBudget,
                                        matches, distances);
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

Plane refineAcrossSurface(const PointIndex& index, const std::vector<Point3>& queries,
                          const std::vector<Point3>& normals, Plane plane, const Point3& centre,
                          double floorDistance, double startRadius, double settled,
                          int maxIterations, int leafBudget) {
    if (queries.empty() || normals.size() != queries.size()) return plane;
    const Eigen::Vector3d c = vec(centre);
    // The queries' RMS distance from the centre: turning the normal by an
    // angle a moves a typical image by about 2 a reach, so a turn counts in
    // these units beside the offset.
    double reachSq = 0.0;
    for (const Point3& q : queries) reachSq += (vec(q) - c).squaredNorm();
    const double reach = std::sqrt(reachSq / static_cast<double>(queries.size()));
    if (!(reach > 0.0)) return plane;

    std::vector<Point3> matches;
    std::vector<double> distances;
    double radius = std::max(startRadius, floorDistance);
    for (int iteration = 0; iteration < maxIterations; ++iteration) {
        const double keep = matchImages(index, queries, plane, radius, floorDistance, leafBudget,
                                        matches, distances);
        const Eigen::Vector3d n(plane.normal[0], plane.normal[1], plane.normal[2]);
        // Two directions the normal can turn in.
        const Eigen::Vector3d u = n.unitOrthogonal();
        const Eigen::Vector3d v = n.cross(u);
        const double offset = plane.offset - n.dot(c);  // measured from the centre
        Eigen::Matrix3d curvature = Eigen::Matrix3d::Zero();
        Eigen::Vector3d gradient = Eigen::Vector3d::Zero();
        int used = 0;
        for (std::size_t i = 0; i < queries.size(); ++i) {
            const Eigen::Vector3d along = vec(normals[i]);
            if (!(distances[i] <= keep) || along.squaredNorm() == 0.0) continue;
            const Eigen::Vector3d q = vec(queries[i]) - c;
            const double height = n.dot(q) - offset;
            const Eigen::Vector3d image = q - 2.0 * height * n;
            const Eigen::Vector3d across = along - 2.0 * n.dot(along) * n;
            const double miss = across.dot(image - (vec(matches[i]) - c));
            // How the miss changes with a turn towards u or v (per unit of
            // reach) and with the offset.
            const Eigen::Vector3d slope(-2.0 * across.dot(u.dot(q) * n + height * u) / reach,
                                        -2.0 * across.dot(v.dot(q) * n + height * v) / reach,
                                        2.0 * across.dot(n));
            curvature += slope * slope.transpose();
            gradient += slope * miss;
            ++used;
        }
        if (used < 3) break;
        // Iterative, as in point_normals.cpp: the same bits in both builds.
        Eigen::SelfAdjointEigenSolver<Eigen::Matrix3d> solver(curvature);
        const Eigen::Vector3d values = solver.eigenvalues();
        const Eigen::Matrix3d axes = solver.eigenvectors();
        Eigen::Vector3d step = Eigen::Vector3d::Zero();
        for (int k = 0; k < 3; ++k)
            if (values[k] > kUnfixedShare * values[2])
                step -= axes.col(k) * (axes.col(k).dot(gradient) / values[k]);
        if (!step.allFinite()) break;
        // A step larger than the matches reach is not to be trusted.
        const double length = step.norm();
        if (length > keep) step *= keep / length;
        const Eigen::Vector3d turned =
            (n + (step[0] / reach) * u + (step[1] / reach) * v).normalized();
        for (int k = 0; k < 3; ++k) plane.normal[k] = turned[k];
        plane.offset = offset + step[2] + turned.dot(c);
        if (step.norm() < settled) break;
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
