#include "pairing/plane_placement.h"

#include <algorithm>
#include <cmath>

namespace talvexhost {

namespace {

double dot(const double a[3], const double b[3]) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

void cross(const double a[3], const double b[3], double out[3]) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

bool normalise(double v[3]) {
    const double length = std::sqrt(dot(v, v));
    if (!(length > 0.0) || !std::isfinite(length)) return false;
    for (int k = 0; k < 3; ++k) v[k] /= length;
    return true;
}

// The smallest power of two not below `value` (value > 0, finite).
double powerOfTwoAtLeast(double value) {
    int exponent = 0;
    const double mantissa =
        std::frexp(value, &exponent);  // value = mantissa * 2^exponent, mantissa in [0.5, 1)
    return std::ldexp(1.0, mantissa == 0.5 ? exponent - 1 : exponent);
}

}  // namespace

int exactAxisOf(const double normal[3]) noexcept {
    for (int axis = 0; axis < 3; ++axis) {
        if (normal[axis] != 0.0 && normal[(axis + 1) % 3] == 0.0 && normal[(axis + 2) % 3] == 0.0)
            return axis;
    }
    return -1;
}

bool placePlaneObject(HostObject* planeObject, const HostPlane& pose,
                      const SpanBox& span) noexcept {
    if (planeObject == nullptr || planeObject->vertexCount < 4) return false;
    double n[3] = {pose.normal[0], pose.normal[1], pose.normal[2]};
    if (!normalise(n)) return false;
    const int axis = exactAxisOf(n);
    if (axis >= 0) {
        // Reposition's orientation for each axis, so reports name sides alike.
        n[0] = n[1] = n[2] = 0.0;
        n[axis] = axis == 1 ? 1.0 : -1.0;
    }
    // In-plane directions a and b with (2s b) x (2s a) along n, which is the
    // frame the plug-in takes from corners 0, 1, 2 laid out as Reposition
    // lays them: b is the coordinate axis least along n, made perpendicular.
    double b[3] = {0.0, 0.0, 1.0};
    if (std::fabs(n[2]) >= std::fabs(n[0]) && std::fabs(n[2]) >= std::fabs(n[1]))
        b[1] = 1.0, b[2] = 0.0;
    const double along = dot(b, n);
    for (int k = 0; k < 3; ++k) b[k] -= along * n[k];
    if (!normalise(b)) return false;
    double a[3];
    cross(n, b, a);

    // Centre: the box centre's foot on the plane; half size: a power of two
    // covering the box's shadow on the plane with a tenth to spare.
    double middle[3];
    double halfExtent = 0.0;
    for (int k = 0; k < 3; ++k) middle[k] = 0.5 * (span.lo[k] + span.hi[k]);
    for (int corner = 0; corner < 8; ++corner) {
        const double p[3] = {corner & 1 ? span.hi[0] : span.lo[0],
                             corner & 2 ? span.hi[1] : span.lo[1],
                             corner & 4 ? span.hi[2] : span.lo[2]};
        const double d[3] = {p[0] - middle[0], p[1] - middle[1], p[2] - middle[2]};
        halfExtent = std::max({halfExtent, std::fabs(dot(d, a)), std::fabs(dot(d, b))});
    }
    if (!std::isfinite(halfExtent)) return false;
    const double s = powerOfTwoAtLeast(halfExtent > 0.0 ? 1.1 * halfExtent : 1.0);
    const double offset = dot(n, middle) - dot(n, pose.pivot);
    double centre[3];
    for (int k = 0; k < 3; ++k) centre[k] = middle[k] - offset * n[k];
    if (axis >= 0) {
        // On a grid of s/16 the corners centre +- s are exact floats, and the
        // axis coordinate is the wanted one, untouched.
        const double grid = s / 16.0;
        for (int k = 0; k < 3; ++k) centre[k] = std::round(centre[k] / grid) * grid;
        centre[axis] = static_cast<float>(pose.pivot[axis]);
    }
    for (int k = 0; k < 3; ++k)
        if (!std::isfinite(centre[k])) return false;

    const double signs[4][2] = {{-1.0, -1.0}, {-1.0, 1.0}, {1.0, -1.0}, {1.0, 1.0}};
    for (int c = 0; c < 4; ++c) {
        HostVertex& corner = *planeObject->vertices[c];
        double p[3];
        for (int k = 0; k < 3; ++k)
            p[k] = centre[k] + signs[c][0] * s * a[k] + signs[c][1] * s * b[k];
        if (axis >= 0) p[axis] = centre[axis];
        corner.x = static_cast<float>(p[0]);
        corner.y = static_cast<float>(p[1]);
        corner.z = static_cast<float>(p[2]);
    }
    planeObject->position.x = static_cast<float>(centre[0]);
    planeObject->position.y = static_cast<float>(centre[1]);
    planeObject->position.z = static_cast<float>(centre[2]);
    return true;
}

}  // namespace talvexhost
