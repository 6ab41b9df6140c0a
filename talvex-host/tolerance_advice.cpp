#include "tolerance_advice.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "number_text.h"

namespace talvexhost {

namespace {

constexpr double kOffPlane = double(0.0001f);

// Distance from each off-plane vertex's mirror image to its nearest candidate
// on the other side in the same object, searched up to `reach`; infinity when
// there is none that near.
std::vector<double> nearestCandidates(const std::vector<ReportVertex>& vertices,
                                      const HostPlane& plane, double reach) {
    const VertexGrid grid(vertices, reach);
    std::vector<double> nearest;
    for (std::size_t m = 0; m < vertices.size(); ++m) {
        if (std::fabs(vertices[m].distance) <= kOffPlane) continue;
        const std::vector<Candidate> found = mirrorCandidates(
            vertices, grid, plane, static_cast<int>(m), reach, ObjectRule::sameObject);
        nearest.push_back(found.empty() ? std::numeric_limits<double>::infinity()
                                        : found.front().distance);
    }
    return nearest;
}

double estimatedSpacing(const std::vector<ReportVertex>& vertices, double diagonal) {
    return vertices.size() > 1 ? diagonal / std::sqrt(double(vertices.size())) : diagonal;
}

}  // namespace

std::string roundedDown(double value) {
    if (!(value > 0.0) || !std::isfinite(value)) return "0";
    const int exponent = static_cast<int>(std::floor(std::log10(value))) - 1;
    const double step = std::pow(10.0, exponent);
    const double rounded = std::floor(value / step + 1e-9) * step;
    char text[64];
    const auto result =
        std::to_chars(text, text + sizeof text, rounded, std::chars_format::general, 2);
    return std::string(text, result.ptr);
}

ToleranceAdvice adviseTolerance(const std::vector<ReportVertex>& vertices, const HostPlane& plane,
                                double edgeLength, double diagonal, double inUse) {
    ToleranceAdvice advice;
    advice.edgeLength = edgeLength > 0.0 ? edgeLength : estimatedSpacing(vertices, diagonal);
    const double spacing = advice.edgeLength;
    if (!(spacing > 0.0)) {
        advice.reason = "the mesh has no extent to measure";
        return advice;
    }
    std::vector<double> nearest = nearestCandidates(vertices, plane, spacing);
    if (nearest.empty()) {
        advice.reason = "no vertex lies off the plane";
        return advice;
    }
    std::sort(nearest.begin(), nearest.end());
    advice.nearest95 =
        nearest[std::min(nearest.size() - 1, std::size_t(double(nearest.size()) * 0.95))];
    advice.farFromPartner = static_cast<int>(
        nearest.end() - std::upper_bound(nearest.begin(), nearest.end(), spacing * 0.5));

    // Half an edge keeps a starter from reaching its partner's neighbours; a
    // few times the asymmetry of 95% of the vertices is enough to find them.
    const double ceiling = spacing * 0.5;
    const double wanted = std::max(advice.nearest95 * 3.0, spacing * 0.25);
    double suggested = 0.0;
    parseDouble(roundedDown(std::min(ceiling, wanted)), suggested);
    advice.suggested = suggested;
    advice.belowPluginRange = !(suggested > kPluginLeastTolerance);

    std::string reason = "the median edge is " + roundedDown(spacing) +
                         " long, so a tolerance under half of it (" + roundedDown(ceiling) +
                         ") cannot reach a partner's neighbours";
    if (std::isfinite(advice.nearest95) && advice.nearest95 * 3.0 <= ceiling) {
        reason += ", and 95% of the mirror images lie within " + roundedDown(advice.nearest95) +
                  " of a candidate, so it still finds their partners";
    } else {
        reason += "; but " + std::to_string(advice.farFromPartner) + " of " +
                  std::to_string(nearest.size()) +
                  " mirror images have no candidate within it: the mesh is asymmetric beyond what "
                  "a tolerance mends";
    }
    if (inUse >= ceiling * 2.0)
        reason += "; the tolerance in use, " + roundedDown(inUse) + ", reaches about " +
                  std::to_string(static_cast<long>(inUse / spacing)) +
                  " edges and may pick wrong partners";
    if (advice.belowPluginRange)
        reason += "; the plug-in takes no tolerance of 0.01 or less: scale the model up by " +
                  std::to_string(static_cast<long>(
                      std::ceil(kPluginLeastTolerance / std::max(suggested, 1e-12) * 1.01))) +
                  " or more to use it";
    advice.reason = reason;
    return advice;
}

}  // namespace talvexhost
