// The plane that best maps one set of points onto another by reflection, in
// closed form. Symmetry detection calls it once per refinement step with the
// vertices and the vertices their mirror images landed nearest to.
#pragma once

#include <vector>

#include "detect/point_index.h"

namespace talvexhost {

// A plane n . p = offset with a unit normal: detection's own, apart from the
// host's HostPlane (pairing/plane_setup.h) because detection sits below the
// rooms that know host records and works on its Point3 only, and because the
// fit produces a unit normal and an offset, the form its scoring uses.
struct Plane {
    double normal[3];
    double offset;

    double signedDistance(const Point3& p) const {
        return normal[0] * p.x + normal[1] * p.y + normal[2] * p.z - offset;
    }
    Point3 mirror(const Point3& p) const {
        const double t = 2.0 * signedDistance(p);
        return {p.x - t * normal[0], p.y - t * normal[1], p.z - t * normal[2]};
    }
};

struct PointPair {
    Point3 from;
    Point3 to;
};

// The plane whose reflection R minimises the sum of |R(from) - to|^2 over
// the pairs. With the pairs' means subtracted, that sum is a constant plus
// 4 n^T S n - k (n . (mean(from) - mean(to)))^2, S the symmetric part of the
// pairs' cross-covariance and k their count: n is the eigenvector of the
// least eigenvalue of 4 S - k d d^T, and the plane passes through the middle
// of the two means. `guide` orients the normal (n . guide.normal >= 0) and is
// returned unchanged when there are fewer than three pairs.
Plane fitReflection(const std::vector<PointPair>& pairs, const Plane& guide);

}  // namespace talvexhost
