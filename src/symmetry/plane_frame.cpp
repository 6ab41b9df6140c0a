#include "symmetry/plane_frame.h"

PlaneFrame frameFromPoints(const Vector3& p0, const Vector3& p1, const Vector3& p2,
                           const Vector3& pivot) noexcept {
    Vector3 edge1;
    edge1.setFrom(p1);
    edge1.subtractInPlace(p0);
    Vector3 edge2;
    edge2.setFrom(p2);
    edge2.subtractInPlace(p0);
    PlaneFrame frame;
    frame.normal = edge1.cross(edge2);
    frame.pivot.setFrom(pivot);
    return frame;
}

bool frameOfObject(const HostObject& plane, PlaneFrame& frame) noexcept {
    if (plane.vertexCount < 3 || plane.vertices == nullptr) return false;
    frame =
        frameFromPoints(*plane.vertices[0], *plane.vertices[1], *plane.vertices[2], plane.position);
    return true;
}

PlaneProjection projectOntoPlane(const PlaneFrame& frame, const Vector3& point) noexcept {
    const Vector3& n = frame.normal;
    const Vector3 d = point.subtract(frame.pivot);
    const double signedScaled = n.dot(d);  // n . (point - pivot), unrounded
    const float a = static_cast<float>(-signedScaled);
    const float t = static_cast<float>(double(a) / n.dot(n));
    Vector3 step;
    step.setFrom(n);
    step.scale(t);
    PlaneProjection result;
    result.foot.setFrom(point.add(step));
    result.side = signedScaled > 0.0 ? 1 : -1;
    result.distance = point.distanceTo(result.foot);
    return result;
}

Vector3 mirrorAcross(const PlaneFrame& frame, const Vector3& point) noexcept {
    return mirrorThroughFoot(projectOntoPlane(frame, point).foot, point);
}

Vector3 mirrorThroughFoot(const Vector3& foot, const Vector3& point) noexcept {
    return foot.add(foot.subtract(point));
}

bool storeIfFinite(Vector3& target, const Vector3& position) noexcept {
    if (!isFinitePoint(position)) return false;
    target.setFrom(position);
    return true;
}
