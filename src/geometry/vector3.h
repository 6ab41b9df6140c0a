// Three-component float vector: plane normal and pivot, search and mirror points
// and every intermediate of the plane mathematics. Host vertices derive from it,
// so it is also how the plug-in reads and writes host coordinates.
//
// Precision: components are stored as float; every operation widens them to
// double, computes in double and rounds to float only where it stores a
// component. Scalar results (dot, distanceTo, length) stay double.
#pragma once

#include <cmath>

#include "geometry/geom_base.h"

class Vector3 : public GeomBase {
public:
    // Leaves x, y, z unset: every user assigns them before reading.
    Vector3() noexcept {}
    Vector3(float initialX, float initialY, float initialZ) noexcept
        : x(initialX), y(initialY), z(initialZ) {}
    Vector3(const Vector3&) = default;
    Vector3& operator=(const Vector3&) = default;

    int kind() const noexcept override { return 1; }

    // Copies other's x, y, z bit for bit; flags and any vertex members stay.
    void setFrom(const Vector3& other) noexcept;

    Vector3 add(const Vector3& other) const noexcept;       // this + other
    Vector3 subtract(const Vector3& other) const noexcept;  // this - other
    void addInPlace(const Vector3& other) noexcept;
    void subtractInPlace(const Vector3& other) noexcept;
    void scale(float factor) noexcept;

    // (other.z*z + other.y*y) + other.x*x, in double, in that order.
    double dot(const Vector3& other) const noexcept;
    // this x other, each component computed in double and rounded once.
    Vector3 cross(const Vector3& other) const noexcept;
    // Each coordinate difference is rounded to float before it is squared.
    double distanceTo(const Vector3& other) const noexcept;
    double length() const noexcept;

    float x;
    float y;
    float z;
};

// True when x, y and z are all finite: the only positions ever written into a
// host vertex or object.
inline bool isFinitePoint(const Vector3& point) noexcept {
    return std::isfinite(point.x) && std::isfinite(point.y) && std::isfinite(point.z);
}

// Component `axis` of `v`: 0 x, 1 y, anything else z.
inline float coordinate(const Vector3& v, int axis) noexcept {
    return axis == 0 ? v.x : axis == 1 ? v.y : v.z;
}
