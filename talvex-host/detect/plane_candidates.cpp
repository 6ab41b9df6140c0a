#include "detect/plane_candidates.h"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>

namespace talvexhost {

namespace {

// Directions are binned on the three positive faces of a cube (a direction
// and its opposite are the same plane normal): the face of the dominant
// component, then the other two components divided by it, on a grid.
constexpr int kGrid = 32;
constexpr std::size_t kMaxVotes = 4000000;
constexpr double kDistinctCos = 0.99;  // about 8 degrees between chosen peaks

struct Bin {
    double votes = 0.0;
    double sum[3] = {0.0, 0.0, 0.0};
};

int binOf(double v[3]) {
    int face = 0;
    for (int k = 1; k < 3; ++k)
        if (std::fabs(v[k]) > std::fabs(v[face])) face = k;
    if (v[face] < 0.0)
        for (int k = 0; k < 3; ++k) v[k] = -v[k];
    const double u = v[(face + 1) % 3] / v[face];
    const double w = v[(face + 2) % 3] / v[face];
    const int iu = std::min(kGrid - 1, static_cast<int>((u + 1.0) * 0.5 * kGrid));
    const int iw = std::min(kGrid - 1, static_cast<int>((w + 1.0) * 0.5 * kGrid));
    return (face * kGrid + iu) * kGrid + iw;
}

Plane planeThrough(const double normal[3], const Point3& centre) {
    Plane plane{{normal[0], normal[1], normal[2]}, 0.0};
    plane.offset = normal[0] * centre.x + normal[1] * centre.y + normal[2] * centre.z;
    return plane;
}

template <typename Point>
Point3 centroidIn(const std::vector<Point>& points) {
    double sum[3] = {0.0, 0.0, 0.0};
    for (const Point& p : points) {
        sum[0] += p.x;
        sum[1] += p.y;
        sum[2] += p.z;
    }
    const double n = points.empty() ? 1.0 : static_cast<double>(points.size());
    return {sum[0] / n, sum[1] / n, sum[2] / n};
}

template <typename Point>
std::vector<Plane> principalPlanesOf(const std::vector<Point>& points, const Point3& centre) {
    if (points.size() < 2) return {};
    // The six distinct sums, each added in point order as a full matrix sum
    // would: the same bits at half the work.
    double xx = 0.0, xy = 0.0, xz = 0.0, yy = 0.0, yz = 0.0, zz = 0.0;
    for (const Point& p : points) {
        const double dx = p.x - centre.x;
        const double dy = p.y - centre.y;
        const double dz = p.z - centre.z;
        xx += dx * dx;
        xy += dx * dy;
        xz += dx * dz;
        yy += dy * dy;
        yz += dy * dz;
        zz += dz * dz;
    }
    Eigen::Matrix3d covariance;
    covariance << xx, xy, xz, xy, yy, yz, xz, yz, zz;
    Eigen::SelfAdjointEigenSolver<Eigen::Matrix3d> solver(covariance);
    if (solver.info() != Eigen::Success) return {};
    std::vector<Plane> planes;
    for (int column = 2; column >= 0; --column) {
        const Eigen::Vector3d axis = solver.eigenvectors().col(column).normalized();
        const double normal[3] = {axis[0], axis[1], axis[2]};
        planes.push_back(planeThrough(normal, centre));
    }
    return planes;
}

}  // namespace

Point3 centroidOf(const std::vector<Point3>& points) {
    return centroidIn(points);
}

Point3 centroidOf(const std::vector<FloatPoint>& points) {
    return centroidIn(points);
}

std::vector<Plane> principalPlanes(const std::vector<Point3>& points, const Point3& centre) {
    return principalPlanesOf(points, centre);
}

std::vector<Plane> principalPlanes(const std::vector<FloatPoint>& points, const Point3& centre) {
    return principalPlanesOf(points, centre);
}

std::vector<Plane> votedPlanes(const std::vector<Point3>& points, const Point3& centre, double band,
                               double minSeparation, int count) {
    struct Ranked {
        double radius;
        Point3 p;
    };
    std::vector<Ranked> ranked;
    ranked.reserve(points.size());
    for (const Point3& p : points)
        ranked.push_back(
            {std::sqrt((p.x - centre.x) * (p.x - centre.x) + (p.y - centre.y) * (p.y - centre.y) +
                       (p.z - centre.z) * (p.z - centre.z)),
             p});
    std::sort(ranked.begin(), ranked.end(),
              [](const Ranked& a, const Ranked& b) { return a.radius < b.radius; });

    std::vector<Bin> bins(3 * kGrid * kGrid);
    std::size_t votes = 0;
    const double minSeparationSq = minSeparation * minSeparation;
    for (std::size_t i = 0; i < ranked.size() && votes < kMaxVotes; ++i) {
        for (std::size_t j = i + 1; j < ranked.size() && ranked[j].radius - ranked[i].radius < band;
             ++j) {
            double v[3] = {ranked[i].p.x - ranked[j].p.x, ranked[i].p.y - ranked[j].p.y,
                           ranked[i].p.z - ranked[j].p.z};
            const double lengthSq = v[0] * v[0] + v[1] * v[1] + v[2] * v[2];
            if (lengthSq < minSeparationSq) continue;
            const double length = std::sqrt(lengthSq);
            for (double& c : v) c /= length;
            Bin& bin = bins[binOf(v)];
            bin.votes += 1.0;
            for (int k = 0; k < 3; ++k) bin.sum[k] += v[k];
            ++votes;
        }
    }

    // Peaks of the votes summed over each bin's 3x3 neighbourhood on its face.
    struct Peak {
        double votes;
        double direction[3];
    };
    std::vector<Peak> peaks;
    for (int face = 0; face < 3; ++face) {
        for (int iu = 0; iu < kGrid; ++iu) {
            for (int iw = 0; iw < kGrid; ++iw) {
                Peak peak{0.0, {0.0, 0.0, 0.0}};
                for (int du = -1; du <= 1; ++du) {
                    for (int dw = -1; dw <= 1; ++dw) {
                        const int u = iu + du;
                        const int w = iw + dw;
                        if (u < 0 || w < 0 || u >= kGrid || w >= kGrid) continue;
                        const Bin& bin = bins[(face * kGrid + u) * kGrid + w];
                        peak.votes += bin.votes;
                        for (int k = 0; k < 3; ++k) peak.direction[k] += bin.sum[k];
                    }
                }
                const double length = std::sqrt(peak.direction[0] * peak.direction[0] +
                                                peak.direction[1] * peak.direction[1] +
                                                peak.direction[2] * peak.direction[2]);
                if (peak.votes == 0.0 || !(length > 0.0)) continue;
                for (double& c : peak.direction) c /= length;
                peaks.push_back(peak);
            }
        }
    }
    std::stable_sort(peaks.begin(), peaks.end(),
                     [](const Peak& a, const Peak& b) { return a.votes > b.votes; });
    std::vector<Plane> planes;
    for (const Peak& peak : peaks) {
        if (static_cast<int>(planes.size()) >= count) break;
        bool distinct = true;
        for (const Plane& chosen : planes) {
            const double c = chosen.normal[0] * peak.direction[0] +
                             chosen.normal[1] * peak.direction[1] +
                             chosen.normal[2] * peak.direction[2];
            distinct = distinct && std::fabs(c) < kDistinctCos;
        }
        if (distinct) planes.push_back(planeThrough(peak.direction, centre));
    }
    return planes;
}

}  // namespace talvexhost
