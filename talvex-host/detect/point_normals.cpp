#include "detect/point_normals.h"

#include <Eigen/Dense>
#include <cmath>

namespace talvexhost {

namespace {

// Neighbours whose middle variance is below this share of the largest lie on
// a line (or at one place): they give no normal.
constexpr double kLineRatio = 1e-6;

}  // namespace

std::vector<Point3> pointNormals(const PointIndex& index, const std::vector<Point3>& points,
                                 int neighbours) {
    std::vector<Point3> normals;
    normals.reserve(points.size());
    for (const Point3& p : points) {
        const std::vector<Point3> near = index.nearestFew(p, neighbours);
        Point3 normal{0.0, 0.0, 0.0};
        if (near.size() >= 3) {
            Eigen::Vector3d mean = Eigen::Vector3d::Zero();
            for (const Point3& q : near) mean += Eigen::Vector3d(q.x, q.y, q.z);
            mean /= static_cast<double>(near.size());
            Eigen::Matrix3d spread = Eigen::Matrix3d::Zero();
            for (const Point3& q : near) {
                const Eigen::Vector3d d = Eigen::Vector3d(q.x, q.y, q.z) - mean;
                spread += d * d.transpose();
            }
            // The iterative solver, not the closed form: that one calls acos and
            // cos, whose last bits differ between C libraries, and both builds
            // must find the same planes.
            Eigen::SelfAdjointEigenSolver<Eigen::Matrix3d> solver(spread);
            const Eigen::Vector3d values = solver.eigenvalues();  // ascending
            const Eigen::Vector3d axis = solver.eigenvectors().col(0);
            if (values[1] > kLineRatio * values[2] && axis.allFinite() && axis.norm() > 0.0) {
                const Eigen::Vector3d unit = axis.normalized();
                normal = {unit[0], unit[1], unit[2]};
            }
        }
        normals.push_back(normal);
    }
    return normals;
}

}  // namespace talvexhost
