#include "session/auto_plane.h"

#include <algorithm>
#include <cmath>

#include "detect/symmetry_detect.h"
#include "io/number_text.h"
#include "pairing/mirror_candidates.h"

namespace talvexhost {

namespace {

// Below these a detected plane is an axis plane, or at 0, up to the rounding
// of the vertices it was measured on (float coordinates: about 1e-7).
constexpr double kAxisSine = 1e-6;
constexpr double kZeroOfDiagonal = 1e-6;

// A plane tilted less than this (about 0.06 degrees), or this near 0 in
// parts of the diagonal, is compared with the axis plane (and the plane at
// 0) on the mesh itself: a few vertices nudged off the centre line pull the
// detected plane by a few millionths, and the plane the mesh was built on
// mirrors the rest better.
constexpr double kNearAxisSine = 1e-3;
constexpr double kNearZeroOfDiagonal = 1e-3;
// The mirror error is measured on at most this many vertices.
constexpr std::size_t kMostMeasured = 20000;

// The median distance from the mirror images of (a sample of) the points to
// their nearest point, up to `reach`.
double medianMirrorError(const std::vector<ReportVertex>& points, const VertexGrid& grid,
                         const double normal[3], double offset, double reach) {
    const std::size_t step = std::max<std::size_t>(1, points.size() / kMostMeasured);
    std::vector<double> errors;
    for (std::size_t i = 0; i < points.size(); i += step) {
        const double p[3] = {points[i].position[0], points[i].position[1], points[i].position[2]};
        const double along = normal[0] * p[0] + normal[1] * p[1] + normal[2] * p[2] - offset;
        const double image[3] = {p[0] - 2.0 * along * normal[0], p[1] - 2.0 * along * normal[1],
                                 p[2] - 2.0 * along * normal[2]};
        double nearest = reach;
        for (const Candidate& c : grid.within(image, reach))
            nearest = std::min(nearest, c.distance);
        errors.push_back(nearest);
    }
    std::nth_element(errors.begin(), errors.begin() + errors.size() / 2, errors.end());
    return errors[errors.size() / 2];
}

// The axis plane the found plane is near, at its place or at 0, when it
// mirrors the mesh at least as well; false when none does.
bool nearbyAxisPlane(const std::vector<FloatPoint>& points, const DetectResult& result,
                     const DetectedPlane& found, int axis, double off, double diagonal,
                     float& value) {
    if (!(off < kNearAxisSine) || !(result.spacing > 0.0)) return false;
    std::vector<ReportVertex> vertices(points.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
        vertices[i].position[0] = points[i].x;
        vertices[i].position[1] = points[i].y;
        vertices[i].position[2] = points[i].z;
    }
    const double reach = result.spacing;
    const VertexGrid grid(vertices, reach);
    const double* n = found.plane.normal;
    const double error = medianMirrorError(vertices, grid, n, found.plane.offset, reach);
    const double at = found.plane.offset / n[axis];
    double axisNormal[3] = {0.0, 0.0, 0.0};
    axisNormal[axis] = 1.0;
    const float places[2] = {0.0f, static_cast<float>(at)};
    for (float place : places) {
        if (place == 0.0f && !(std::fabs(at) < kNearZeroOfDiagonal * diagonal)) continue;
        if (medianMirrorError(vertices, grid, axisNormal, place, reach) <= error) {
            value = place;
            return true;
        }
    }
    return false;
}

}  // namespace

bool resolveAutoPlane(const std::vector<HostObject*>& targets, PlaneSpec& spec,
                      std::string& error) {
    // The scene's floats as they are: detection reads them as the same
    // doubles, without a copy of every vertex in doubles.
    std::vector<FloatPoint> points;
    std::size_t count = 0;
    for (const HostObject* object : targets) count += static_cast<std::size_t>(object->vertexCount);
    points.reserve(count);
    for (const HostObject* object : targets)
        for (int i = 0; i < object->vertexCount; ++i)
            points.push_back(
                {object->vertices[i]->x, object->vertices[i]->y, object->vertices[i]->z});
    const DetectResult result = detectSymmetry(points, DetectOptions{});
    if (result.planes.empty()) {
        error = "--plane auto: no convincing symmetry plane";
        if (result.hasBest)
            error += " (the best mirrors " + formatFixed(100.0 * result.best.score, 1) +
                     " % of the vertices, " + formatFixed(100.0 * kConvincingScore, 0) +
                     " % are needed); give the plane with --plane";
        else
            error += " (too few distinct vertices); give the plane with --plane";
        return false;
    }
    const DetectedPlane& found = result.planes.front();
    PlaneSpec resolved;
    resolved.automatic = true;
    resolved.score = found.score;
    const double* n = found.plane.normal;
    int axis = 0;
    for (int k = 1; k < 3; ++k)
        if (std::fabs(n[k]) > std::fabs(n[axis])) axis = k;
    const double off =
        std::sqrt(n[(axis + 1) % 3] * n[(axis + 1) % 3] + n[(axis + 2) % 3] * n[(axis + 2) % 3]);
    double lo[3] = {points[0].x, points[0].y, points[0].z};
    double hi[3] = {lo[0], lo[1], lo[2]};
    for (const FloatPoint& p : points) {
        const double c[3] = {p.x, p.y, p.z};
        for (int k = 0; k < 3; ++k) lo[k] = std::min(lo[k], c[k]), hi[k] = std::max(hi[k], c[k]);
    }
    const double diagonal =
        std::sqrt((hi[0] - lo[0]) * (hi[0] - lo[0]) + (hi[1] - lo[1]) * (hi[1] - lo[1]) +
                  (hi[2] - lo[2]) * (hi[2] - lo[2]));
    float nearby = 0.0f;
    if (off < kAxisSine) {
        resolved.axis = axis;
        resolved.atValue = true;
        const double value = found.plane.offset / n[axis];
        resolved.value =
            std::fabs(value) < kZeroOfDiagonal * diagonal ? 0.0f : static_cast<float>(value);
    } else if (nearbyAxisPlane(points, result, found, axis, off, diagonal, nearby)) {
        resolved.axis = axis;
        resolved.atValue = true;
        resolved.value = nearby;
    } else if (!setGeneralPlane(resolved, n, found.plane.offset)) {
        error = "--plane auto: the plane found is not finite";
        return false;
    }
    spec = resolved;
    return true;
}

}  // namespace talvexhost
