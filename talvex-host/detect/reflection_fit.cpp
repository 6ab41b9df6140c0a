#include "detect/reflection_fit.h"

#include <Eigen/Dense>

namespace talvexhost {

Plane fitReflection(const std::vector<PointPair>& pairs, const Plane& guide) {
    if (pairs.size() < 3) return guide;
    const double count = static_cast<double>(pairs.size());
    Eigen::Vector3d meanFrom = Eigen::Vector3d::Zero();
    Eigen::Vector3d meanTo = Eigen::Vector3d::Zero();
    for (const PointPair& pair : pairs) {
        meanFrom += Eigen::Vector3d(pair.from.x, pair.from.y, pair.from.z);
        meanTo += Eigen::Vector3d(pair.to.x, pair.to.y, pair.to.z);
    }
    meanFrom /= count;
    meanTo /= count;
    Eigen::Matrix3d cross = Eigen::Matrix3d::Zero();
    for (const PointPair& pair : pairs) {
        const Eigen::Vector3d from =
            Eigen::Vector3d(pair.from.x, pair.from.y, pair.from.z) - meanFrom;
        const Eigen::Vector3d to = Eigen::Vector3d(pair.to.x, pair.to.y, pair.to.z) - meanTo;
        cross += from * to.transpose();
    }
    const Eigen::Vector3d shift = meanFrom - meanTo;
    const Eigen::Matrix3d objective =
        2.0 * (cross + cross.transpose()) - count * shift * shift.transpose();
    Eigen::SelfAdjointEigenSolver<Eigen::Matrix3d> solver(objective);
    if (solver.info() != Eigen::Success) return guide;
    Eigen::Vector3d normal = solver.eigenvectors().col(0);  // eigenvalues ascend
    if (!normal.allFinite() || normal.norm() == 0.0) return guide;
    normal.normalize();
    const Eigen::Vector3d guideNormal(guide.normal[0], guide.normal[1], guide.normal[2]);
    if (normal.dot(guideNormal) < 0.0) normal = -normal;
    Plane plane;
    for (int k = 0; k < 3; ++k) plane.normal[k] = normal[k];
    plane.offset = normal.dot(0.5 * (meanFrom + meanTo));
    return plane;
}

}  // namespace talvexhost
