#include "symmetry_detect.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "plane_candidates.h"
#include "reflective_registration.h"
#include "sampling.h"

namespace talvexhost {

namespace {

constexpr std::size_t kCoarseVertices = 5000;
constexpr std::size_t kCoarseQueries = 600;
// Coarse matches need only be near: an image far off the surface would
// otherwise search a large part of the tree.
constexpr int kCoarseLeafBudget = 24;
constexpr std::size_t kVotingVertices = 1500;
constexpr std::size_t kFineQueries = 5000;
constexpr std::size_t kScoreQueries = 20000;
constexpr std::size_t kSpacingProbes = 1000;
constexpr int kVotedCandidates = 8;
constexpr int kCoarseIterations = 20;
constexpr int kFineIterations = 12;
// A candidate may start this far off (as a share of the diagonal, about 15
// degrees at the rim) and still be pulled in.
constexpr double kCoarseReach = 0.25;
// Only candidates whose coarse score reaches this share of the convincing
// score are refined against every vertex.
constexpr double kWorthRefining = 0.5;
// Two planes are the same when their normals are within about 2 degrees and
// their offsets within 1 % of the bounding box's diagonal.
constexpr double kSameCos = 0.9994;
constexpr double kSameOffset = 0.01;

bool samePlane(const Plane& a, const Plane& b, double diagonal) {
    const double c =
        a.normal[0] * b.normal[0] + a.normal[1] * b.normal[1] + a.normal[2] * b.normal[2];
    const double offset = c < 0.0 ? -b.offset : b.offset;
    return std::fabs(c) > kSameCos && std::fabs(a.offset - offset) < kSameOffset * diagonal;
}

Plane canonical(Plane plane) {
    int largest = 0;
    for (int k = 1; k < 3; ++k)
        if (std::fabs(plane.normal[k]) > std::fabs(plane.normal[largest])) largest = k;
    if (plane.normal[largest] < 0.0) {
        for (double& c : plane.normal) c = -c;
        plane.offset = -plane.offset;
    }
    return plane;
}

DetectedPlane describe(const Plane& raw, const PlaneScore& score, const Point3& centre) {
    DetectedPlane detected;
    detected.plane = canonical(raw);
    const double t = detected.plane.signedDistance(centre);
    detected.point = {centre.x - t * detected.plane.normal[0],
                      centre.y - t * detected.plane.normal[1],
                      centre.z - t * detected.plane.normal[2]};
    detected.score = score.score;
    detected.rmsDeviation = score.rms;
    detected.onPlaneShare = score.onPlane;
    return detected;
}

// `sameSq`: closer than this counts as the same place (the index keeps
// floats, so a probe given in double finds itself a rounding away).
double medianSpacing(const PointIndex& index, const std::vector<Point3>& probes, double sameSq) {
    std::vector<double> distances;
    const double infinity = std::numeric_limits<double>::infinity();
    for (const Point3& p : probes) {
        Point3 found;
        double distanceSq = 0.0;
        // The nearest other place: skips the probe itself and its duplicates.
        if (index.nearest(p, infinity, found, distanceSq, sameSq))
            distances.push_back(std::sqrt(distanceSq));
    }
    if (distances.empty()) return 0.0;
    std::nth_element(distances.begin(), distances.begin() + distances.size() / 2, distances.end());
    return distances[distances.size() / 2];
}

// Keeps the first of planes that are the same, in the given order.
template <typename Item, typename PlaneOf>
std::vector<Item> distinct(const std::vector<Item>& items, PlaneOf planeOf, double diagonal) {
    std::vector<Item> kept;
    for (const Item& item : items) {
        bool fresh = true;
        for (const Item& other : kept)
            fresh = fresh && !samePlane(planeOf(item), planeOf(other), diagonal);
        if (fresh) kept.push_back(item);
    }
    return kept;
}

}  // namespace

bool isConvincing(const DetectedPlane& plane) {
    return plane.score >= kConvincingScore && plane.onPlaneShare <= 0.5;
}

DetectResult detectSymmetry(const std::vector<Point3>& points, const DetectOptions& options) {
    DetectResult result;
    if (points.size() < 4) return result;
    double lo[3] = {points[0].x, points[0].y, points[0].z};
    double hi[3] = {lo[0], lo[1], lo[2]};
    for (const Point3& p : points) {
        const double c[3] = {p.x, p.y, p.z};
        for (int k = 0; k < 3; ++k) {
            if (!std::isfinite(c[k])) return result;
            lo[k] = std::min(lo[k], c[k]);
            hi[k] = std::max(hi[k], c[k]);
        }
    }
    const double diagonal =
        std::sqrt((hi[0] - lo[0]) * (hi[0] - lo[0]) + (hi[1] - lo[1]) * (hi[1] - lo[1]) +
                  (hi[2] - lo[2]) * (hi[2] - lo[2]));
    if (!(diagonal > 0.0) || !std::isfinite(diagonal)) return result;

    SeededRandom random(options.seed);
    const PointIndex full(points);
    const double same = 1e-6 * diagonal;
    result.spacing = medianSpacing(full, samplePoints(points, kSpacingProbes, random), same * same);
    if (!(result.spacing > 0.0)) return result;
    result.tolerance = kToleranceOfSpacing * result.spacing;
    const Point3 centre = centroidOf(points);
    const std::vector<Point3> scoreQueries = samplePoints(points, kScoreQueries, random);
    result.scored = scoreQueries.size();

    // Coarse: a subsample stands for the mesh, with its own wider spacing.
    const std::vector<Point3> coarsePoints = samplePoints(points, kCoarseVertices, random);
    const bool subsampled = coarsePoints.size() < points.size();
    const PointIndex coarseIndex(subsampled ? coarsePoints : std::vector<Point3>{});
    const PointIndex& coarse = subsampled ? coarseIndex : full;
    const double density =
        static_cast<double>(points.size()) / static_cast<double>(coarsePoints.size());
    const double coarseSpacing = result.spacing * std::sqrt(density);
    const std::vector<Point3> coarseQueries = samplePoints(coarsePoints, kCoarseQueries, random);

    const std::vector<Point3> fineQueries = samplePoints(points, kFineQueries, random);
    std::vector<Plane> candidates = principalPlanes(points, centre);
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        const DetectedPlane baseline = describe(
            candidates[i], scorePlane(full, fineQueries, candidates[i], result.tolerance), centre);
        if (i == 0 || baseline.score > result.principalBaseline.score)
            result.principalBaseline = baseline;
    }
    const std::vector<Point3> voters = samplePoints(coarsePoints, kVotingVertices, random);
    const double votingSpacing = result.spacing * std::sqrt(static_cast<double>(points.size()) /
                                                            static_cast<double>(voters.size()));
    for (const Plane& plane :
         votedPlanes(voters, centre, votingSpacing, 2.0 * votingSpacing, kVotedCandidates))
        candidates.push_back(plane);

    struct Refined {
        Plane plane;
        double score;
    };
    std::vector<Refined> coarseResults;
    for (const Plane& candidate : candidates) {
        const Plane plane =
            refineByReflection(coarse, coarseQueries, candidate, coarseSpacing,
                               kCoarseReach * diagonal, kCoarseIterations, kCoarseLeafBudget);
        coarseResults.push_back(
            {plane, scorePlane(coarse, coarseQueries, plane, 0.5 * coarseSpacing).score});
    }
    std::stable_sort(coarseResults.begin(), coarseResults.end(),
                     [](const Refined& a, const Refined& b) { return a.score > b.score; });
    coarseResults = distinct(
        coarseResults, [](const Refined& r) { return r.plane; }, diagonal);

    // Fine: the best few against every vertex.
    const std::size_t fineCount = static_cast<std::size_t>(std::max(3, options.top + 2));
    std::vector<DetectedPlane> found;
    for (std::size_t i = 0; i < coarseResults.size() && i < fineCount; ++i) {
        Plane plane = coarseResults[i].plane;
        if (coarseResults[i].score >= kWorthRefining * kConvincingScore)
            plane = refineByReflection(full, fineQueries, plane, result.tolerance,
                                       4.0 * coarseSpacing, kFineIterations);
        found.push_back(
            describe(plane, scorePlane(full, scoreQueries, plane, result.tolerance), centre));
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const DetectedPlane& a, const DetectedPlane& b) {
                         const bool ca = isConvincing(a);
                         const bool cb = isConvincing(b);
                         return ca != cb ? ca : a.score > b.score;
                     });
    found = distinct(
        found, [](const DetectedPlane& d) { return d.plane; }, diagonal);
    if (found.empty()) return result;
    result.hasBest = true;
    result.best = found.front();
    for (const DetectedPlane& plane : found)
        if (isConvincing(plane) && static_cast<int>(result.planes.size()) < options.top)
            result.planes.push_back(plane);
    return result;
}

}  // namespace talvexhost
