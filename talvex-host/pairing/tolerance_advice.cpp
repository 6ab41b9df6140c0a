#include "pairing/tolerance_advice.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "io/number_text.h"

namespace talvexhost {

namespace {

constexpr double kOffPlane = double(0.0001f);
constexpr std::size_t kMostMeasured = 50000;

// For each off-plane vertex, the distances from its mirror image to its
// nearest and second-nearest candidate on the other side in the same object,
// searched up to `reach`; infinity when there is none that near.
void candidateDistances(const std::vector<ReportVertex>& vertices, const VertexGrid& grid,
                        const HostPlane& plane, double reach, std::vector<double>& nearest,
                        std::vector<double>& runnerUp) {
    const double none = std::numeric_limits<double>::infinity();
    // Percentiles need no more than a spread sample: every n-th vertex off
    // the plane, so the measure takes the same time on any mesh (and the
    // same vertices in check and resym).
    std::size_t offPlane = 0;
    for (const ReportVertex& v : vertices) offPlane += std::fabs(v.distance) > kOffPlane ? 1 : 0;
    const std::size_t stride = std::max<std::size_t>(1, offPlane / kMostMeasured);
    std::size_t seen = 0;
    std::vector<Candidate> found;
    std::vector<Candidate> scratch;
    for (std::size_t m = 0; m < vertices.size(); ++m) {
        if (std::fabs(vertices[m].distance) <= kOffPlane) continue;
        if (seen++ % stride != 0) continue;
        mirrorCandidates(vertices, grid, plane, static_cast<int>(m), reach, ObjectRule::sameObject,
                         found, scratch);
        nearest.push_back(found.empty() ? none : found[0].distance);
        runnerUp.push_back(found.size() < 2 ? none : found[1].distance);
    }
}

// Sorts `values` and returns the one below which `fraction` of them lie.
double percentile(std::vector<double>& values, double fraction) {
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, std::size_t(double(values.size()) * fraction))];
}

double estimatedSpacing(const std::vector<ReportVertex>& vertices, double diagonal) {
    return vertices.size() > 1 ? diagonal / std::sqrt(double(vertices.size())) : diagonal;
}

std::string explain(const ToleranceAdvice& advice, double ceiling, std::size_t measured,
                    double inUse) {
    std::string reason =
        "the median edge is " + roundedDown(advice.edgeLength) + " long and 99% of the mirror " +
        "images have no second candidate within " + roundedDown(advice.runnerUp1) +
        ", so a tolerance under " + roundedDown(ceiling) + " seldom reaches a partner's neighbours";
    if (std::isfinite(advice.nearest95) && advice.nearest95 * 3.0 <= ceiling)
        reason += "; 95% of the mirror images lie within " + roundedDown(advice.nearest95) +
                  " of a candidate, so it still finds their partners";
    else
        reason += "; but " + std::to_string(advice.farFromPartner) + " of " +
                  std::to_string(measured) +
                  " mirror images have no candidate within half an edge: the mesh is asymmetric "
                  "beyond what a " +
                  "tolerance mends";
    if (inUse >= advice.suggested * 2.0)
        reason += "; the tolerance in use, " + roundedDown(inUse) + ", is " +
                  std::to_string(static_cast<long>(inUse / advice.suggested)) +
                  " times that and may pick wrong partners";
    if (advice.belowPluginRange)
        reason +=
            "; the plug-in takes no tolerance below 0.01, so resym and check hand it the model "
            "scaled by a power of two, which is exact";
    return reason;
}

}  // namespace

std::string roundedDown(double value) {
    if (!(value > 0.0) || !std::isfinite(value)) return "0";
    const int exponent = static_cast<int>(std::floor(std::log10(value))) - 1;
    const double step = std::pow(10.0, exponent);
    // A float widened to double may lie a few parts in 1e8 below the decimal
    // it was read from (0.02f is 0.0199999996): that still rounds to 0.02.
    const double rounded = std::floor(value / step + 1e-5) * step;
    char text[64];
    const auto result =
        std::to_chars(text, text + sizeof text, rounded, std::chars_format::general, 2);
    return std::string(text, result.ptr);
}

ToleranceAdvice adviseTolerance(const std::vector<ReportVertex>& vertices, const HostPlane& plane,
                                double edgeLength, double diagonal, double inUse,
                                const VertexGrid* grid) {
    ToleranceAdvice advice;
    advice.edgeLength = edgeLength > 0.0 ? edgeLength : estimatedSpacing(vertices, diagonal);
    const double spacing = advice.edgeLength;
    if (!(spacing > 0.0)) {
        advice.reason = "the mesh has no extent to measure";
        return advice;
    }
    std::vector<double> nearest;
    std::vector<double> runnerUp;
    if (grid != nullptr) {
        candidateDistances(vertices, *grid, plane, spacing, nearest, runnerUp);
    } else {
        const VertexGrid own(vertices, spacing);
        candidateDistances(vertices, own, plane, spacing, nearest, runnerUp);
    }
    if (nearest.empty()) {
        advice.reason = "no vertex lies off the plane";
        return advice;
    }
    advice.nearest95 = percentile(nearest, 0.95);
    advice.runnerUp1 = percentile(runnerUp, 0.01);
    advice.farFromPartner = static_cast<int>(
        nearest.end() - std::upper_bound(nearest.begin(), nearest.end(), spacing * 0.5));

    // Under half an edge, and under the runner-up of 99% of the mirror
    // images, a starter seldom reaches its partner's neighbours; a few times
    // the asymmetry of 95% of the vertices is enough to find the partners.
    const double ceiling = std::min(spacing * 0.5, advice.runnerUp1);
    const double wanted = std::max(advice.nearest95 * 3.0, ceiling * 0.5);
    parseDouble(roundedDown(std::min(ceiling, wanted)), advice.suggested);
    if (!(advice.suggested > 0.0)) {
        advice.reason =
            "the mirror images' runners-up lie on their partners: the mesh has coincident vertices";
        advice.suggested = 0.0;
        return advice;
    }
    advice.belowPluginRange = !(advice.suggested > kPluginLeastTolerance);
    advice.reason = explain(advice, ceiling, nearest.size(), inUse);
    return advice;
}

}  // namespace talvexhost
