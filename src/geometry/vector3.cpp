#include "geometry/vector3.h"

#include <cmath>

#include "geometry/vertex.h"

void Vector3::setFrom(const Vector3& other) noexcept {
    x = other.x;
    y = other.y;
    z = other.z;
}

Vector3 Vector3::add(const Vector3& other) const noexcept {
    return Vector3(static_cast<float>(double(x) + double(other.x)),
                   static_cast<float>(double(y) + double(other.y)),
                   static_cast<float>(double(z) + double(other.z)));
}

Vector3 Vector3::subtract(const Vector3& other) const noexcept {
    return Vector3(static_cast<float>(double(x) - double(other.x)),
                   static_cast<float>(double(y) - double(other.y)),
                   static_cast<float>(double(z) - double(other.z)));
}

void Vector3::addInPlace(const Vector3& other) noexcept {
    setFrom(add(other));
}

void Vector3::subtractInPlace(const Vector3& other) noexcept {
    setFrom(subtract(other));
}

void Vector3::scale(float factor) noexcept {
    const double f = factor;
    x = static_cast<float>(f * double(x));
    y = static_cast<float>(f * double(y));
    z = static_cast<float>(f * double(z));
}

double Vector3::dot(const Vector3& other) const noexcept {
    return (double(other.z) * double(z) + double(other.y) * double(y)) +
           double(other.x) * double(x);
}

Vector3 Vector3::cross(const Vector3& other) const noexcept {
    const double ax = x, ay = y, az = z;
    const double bx = other.x, by = other.y, bz = other.z;
    // Built as a Vertex and handed back as a plain vector, as the host's own
    // cross product does; only x, y, z survive.
    const Vertex product(static_cast<float>(ay * bz - az * by),
                         static_cast<float>(az * bx - ax * bz),
                         static_cast<float>(ax * by - ay * bx));
    return Vector3(product.x, product.y, product.z);
}

double Vector3::distanceTo(const Vector3& other) const noexcept {
    const double dx = static_cast<float>(double(x) - double(other.x));
    const double dy = static_cast<float>(double(y) - double(other.y));
    const double dz = static_cast<float>(double(z) - double(other.z));
    return std::sqrt(dx * dx + (dy * dy + dz * dz));
}

double Vector3::length() const noexcept {
    const double dx = x, dy = y, dz = z;
    return std::sqrt(dx * dx + (dy * dy + dz * dz));
}
