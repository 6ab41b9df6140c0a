// The symmetry plane as geometry: its frame (an unnormalised normal and a
// pivot) taken from the plane object, a point's foot, side and distance, and
// the mirror image. Pure geometry over values: live matching, Smart Resym and
// the host handlers mirror through these, with the frame the plug-in stores.
#pragma once

#include "geometry/vector3.h"
#include "host/host_records.h"

// A point's relation to the symmetry plane, as a projection reports it.
struct PlaneProjection {
    double distance;  // unsigned, double precision
    int side;         // +1 strictly in front of the plane, else -1 (on it, or NaN)
    Vector3 foot;     // orthogonal projection, float components
};

// normal = (p1 - p0) x (p2 - p0), never normalised; pivot = the object's position.
struct PlaneFrame {
    Vector3 normal;
    Vector3 pivot;
};

// The frame spanned by three points and a pivot. Float in, float out: each
// edge is rounded to float, each normal component is computed in double and
// rounded once. Collinear points give a zero normal.
PlaneFrame frameFromPoints(const Vector3& p0, const Vector3& p1, const Vector3& p2,
                           const Vector3& pivot) noexcept;

// The frame of a plane object from its vertices 0 to 2 and its position.
// False, and `frame` untouched, when the object has fewer than three vertices.
bool frameOfObject(const HostObject& plane, PlaneFrame& frame) noexcept;

// Foot, side and distance of `point`. d = point - pivot and the foot are float
// vectors; a = -(n . d) and t = a / (n . n) are rounded to float; the side
// comes from the unrounded n . d; the distance is point.distanceTo(foot) in
// double. A zero or non-finite normal gives a NaN foot and distance, side -1.
PlaneProjection projectOntoPlane(const PlaneFrame& frame, const Vector3& point) noexcept;

// f + (f - p), f the foot of p, every component rounded to float at each step.
Vector3 mirrorAcross(const PlaneFrame& frame, const Vector3& point) noexcept;

// The same rule for a point whose foot is already known: foot + (foot - point),
// rounded to float at each step.
Vector3 mirrorThroughFoot(const Vector3& foot, const Vector3& point) noexcept;

// Writes `position` into the host vertex unless a component is not finite;
// true when written. A NaN or infinity must never reach the user's mesh.
bool storeIfFinite(Vector3& target, const Vector3& position) noexcept;
