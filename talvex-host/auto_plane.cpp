#include "auto_plane.h"

#include <algorithm>
#include <cmath>

#include "detect/symmetry_detect.h"
#include "number_text.h"

namespace talvexhost {

namespace {

// Below these a detected plane is an axis plane, or at 0, up to the rounding
// of the vertices it was measured on (float coordinates: about 1e-7).
constexpr double kAxisSine = 1e-6;
constexpr double kZeroOfDiagonal = 1e-6;

}  // namespace

bool resolveAutoPlane(const std::vector<HostObject*>& targets, PlaneSpec& spec,
                      std::string& error) {
    std::vector<Point3> points;
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
    for (const Point3& p : points) {
        const double c[3] = {p.x, p.y, p.z};
        for (int k = 0; k < 3; ++k) lo[k] = std::min(lo[k], c[k]), hi[k] = std::max(hi[k], c[k]);
    }
    const double diagonal =
        std::sqrt((hi[0] - lo[0]) * (hi[0] - lo[0]) + (hi[1] - lo[1]) * (hi[1] - lo[1]) +
                  (hi[2] - lo[2]) * (hi[2] - lo[2]));
    if (off < kAxisSine) {
        resolved.axis = axis;
        resolved.atValue = true;
        const double value = found.plane.offset / n[axis];
        resolved.value =
            std::fabs(value) < kZeroOfDiagonal * diagonal ? 0.0f : static_cast<float>(value);
    } else if (!setGeneralPlane(resolved, n, found.plane.offset)) {
        error = "--plane auto: the plane found is not finite";
        return false;
    }
    spec = resolved;
    return true;
}

}  // namespace talvexhost
