#include "symmetry/plane_frame.h"

#include <cmath>

#include "symmetry/symmetry_plugin.h"

namespace {

// A plane that moved by no more than this in every coordinate of its pivot and
// normal keeps the held pairs. Float, model units; equal does not count.
constexpr float kPlaneMoved = 0.01f;

// NaN compares false, so a difference that is not a number counts as no movement.
bool movedApart(float now, float before) {
    return std::fabs(double(now) - double(before)) > double(kPlaneMoved);
}

}  // namespace

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

PlaneProjection projectOnto(const PlaneFrame& frame, const Vector3& point) noexcept {
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
    const Vector3 foot = projectOnto(frame, point).foot;
    return foot.add(foot.subtract(point));
}

bool isFinitePoint(const Vector3& point) noexcept {
    return std::isfinite(point.x) && std::isfinite(point.y) && std::isfinite(point.z);
}

bool storeIfFinite(Vector3& target, const Vector3& position) noexcept {
    if (!isFinitePoint(position)) return false;
    target.setFrom(position);
    return true;
}

void SymmetryPlugin::updatePlaneFrame() noexcept {
    if (planeObject == nullptr) return;
    // A plane object that lost its vertices keeps the last frame: reading
    // past its vertex count would read the host's memory at random.
    PlaneFrame frame;
    if (!frameOfObject(*planeObject, frame)) return;
    planeNormal.setFrom(frame.normal);
    planePivot.setFrom(frame.pivot);
    const bool moved =
        movedApart(planePivot.x, previousPivot.x) || movedApart(planePivot.y, previousPivot.y) ||
        movedApart(planePivot.z, previousPivot.z) || movedApart(planeNormal.x, previousNormal.x) ||
        movedApart(planeNormal.y, previousNormal.y) || movedApart(planeNormal.z, previousNormal.z);
    if (moved) {
        searchPointRef = nullptr;
        mirrorPointRef = nullptr;
        pairs.empty();
        pairObjects.empty();
    }
    previousPivot.setFrom(planePivot);
    previousNormal.setFrom(planeNormal);
}

PlaneFrame SymmetryPlugin::storedFrame() const noexcept {
    PlaneFrame frame;
    frame.normal.setFrom(planeNormal);
    frame.pivot.setFrom(planePivot);
    return frame;
}

double SymmetryPlugin::projectOntoPlane(const Vector3& point, int& side,
                                        Vector3& foot) const noexcept {
    if (planeObject == nullptr) return 2.0 * double(tolerance);
    const PlaneProjection projection = projectOnto(storedFrame(), point);
    side = projection.side;
    foot.setFrom(projection.foot);
    return projection.distance;
}

Vector3 SymmetryPlugin::mirrorImage(const Vector3& point) const noexcept {
    // Without a plane the foot stays where the point is, so the point is its
    // own image; no caller mirrors without a plane.
    int side = -1;
    Vector3 foot;
    foot.setFrom(point);
    projectOntoPlane(point, side, foot);
    return foot.add(foot.subtract(point));
}
