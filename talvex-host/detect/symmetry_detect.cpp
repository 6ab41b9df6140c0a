#include "detect/symmetry_detect.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "detect/plane_candidates.h"
#include "detect/point_normals.h"
#include "detect/reflective_registration.h"
#include "detect/sampling.h"

namespace talvexhost {

namespace {

constexpr std::size_t kCoarseVertices = 5000;
constexpr std::size_t kCoarseQueries = 600;
// Coarse matches need only be near: an image far off the surface would
// otherwise search a large part of the tree.
constexpr int kCoarseLeafBudget = 24;
constexpr std::size_t kVotingVertices = 1500;
constexpr std::size_t kFineQueries = 5000;
// The fine stage's two starts are compared on this many of its queries.
constexpr std::size_t kTrialQueries = 1000;
constexpr std::size_t kScoreQueries = 20000;
constexpr std::size_t kSpacingProbes = 1000;
constexpr int kVotedCandidates = 8;
constexpr int kCoarseIterations = 20;
constexpr int kFineIterations = 12;
constexpr int kSurfaceIterations = 10;
// Refinement across the surface stops once a step moves a typical image by
// less than this share of the spacing: refinement by nearest vertex takes
// over from there.
constexpr double kSettled = 0.01;
// A normal is estimated from this many nearest vertices.
constexpr int kNormalNeighbours = 10;
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

// The diagonal of the points' bounding box; false for a non-finite
// coordinate or a box without extent.
template <typename Point>
bool boxDiagonal(const std::vector<Point>& points, double& diagonal) {
    double lo[3] = {points[0].x, points[0].y, points[0].z};
    double hi[3] = {lo[0], lo[1], lo[2]};
    for (const Point& p : points) {
        const double c[3] = {p.x, p.y, p.z};
        for (int k = 0; k < 3; ++k) {
            if (!std::isfinite(c[k])) return false;
            lo[k] = std::min(lo[k], c[k]);
            hi[k] = std::max(hi[k], c[k]);
        }
    }
    diagonal = std::sqrt((hi[0] - lo[0]) * (hi[0] - lo[0]) + (hi[1] - lo[1]) * (hi[1] - lo[1]) +
                         (hi[2] - lo[2]) * (hi[2] - lo[2]));
    return diagonal > 0.0 && std::isfinite(diagonal);
}

// The samples the stages work on. Drawn in this order from the one seeded
// generator, so a run gives the same planes every time.
struct Samples {
    std::vector<Point3> scoreQueries;
    std::vector<Point3> coarsePoints;  // stand in for the mesh in the coarse stage
    std::vector<Point3> coarseQueries;
    std::vector<Point3> fineQueries;
    std::vector<Point3> trial;  // a part of the fine queries: the fine starts are compared on it
    std::vector<Point3> voters;
};

template <typename Point>
Samples drawSamples(const std::vector<Point>& points, SeededRandom& random) {
    Samples samples;
    samples.scoreQueries = samplePoints(points, kScoreQueries, random);
    samples.coarsePoints = samplePoints(points, kCoarseVertices, random);
    samples.coarseQueries = samplePoints(samples.coarsePoints, kCoarseQueries, random);
    samples.fineQueries = samplePoints(points, kFineQueries, random);
    samples.voters = samplePoints(samples.coarsePoints, kVotingVertices, random);
    const std::size_t stride = std::max<std::size_t>(1, samples.fineQueries.size() / kTrialQueries);
    for (std::size_t i = 0; i < samples.fineQueries.size(); i += stride)
        samples.trial.push_back(samples.fineQueries[i]);
    return samples;
}

// The spacing of `sample`, a subsample of `points`: wider than the mesh's.
double spacingOf(const std::vector<Point3>& sample, std::size_t points, double spacing) {
    return spacing * std::sqrt(static_cast<double>(points) / static_cast<double>(sample.size()));
}

// What the stages share.
struct Search {
    const PointIndex& full;    // every vertex
    const PointIndex& coarse;  // the coarse stage's subsample, or every vertex
    const Samples& samples;
    Point3 centre;
    double diagonal;
    double spacing;                            // of the whole mesh
    double tolerance;                          // the score's match distance
    double coarseSpacing;                      // of the coarse stage's subsample
    const std::vector<Point3>& trialNormals;   // of the trial queries
    const std::vector<Point3>& coarseNormals;  // of the coarse queries
};

// The principal planes, then the voted ones. Keeps the best principal plane,
// unrefined, as the result's baseline.
template <typename Point>
std::vector<Plane> candidatePlanes(const std::vector<Point>& points, const Search& search,
                                   DetectedPlane& baseline) {
    std::vector<Plane> candidates = principalPlanes(points, search.centre);
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        const PlaneScore score =
            scorePlane(search.full, search.samples.fineQueries, candidates[i], search.tolerance);
        const DetectedPlane principal = describe(candidates[i], score, search.centre);
        if (i == 0 || principal.score > baseline.score) baseline = principal;
    }
    const std::vector<Point3>& voters = search.samples.voters;
    const double votingSpacing = spacingOf(voters, points.size(), search.spacing);
    for (const Plane& plane :
         votedPlanes(voters, search.centre, votingSpacing, 2.0 * votingSpacing, kVotedCandidates))
        candidates.push_back(plane);
    return candidates;
}

struct Refined {
    Plane plane;
    double score;
};

// Coarse: every candidate refined against the subsample, with its own wider
// spacing, first across the surface (a candidate a few degrees off a
// nearly flat shape slides along it only slowly by nearest-vertex matching),
// then by nearest vertex; distinct planes, best first.
std::vector<Refined> refineCoarsely(const std::vector<Plane>& candidates, const Search& search) {
    const std::vector<Point3>& queries = search.samples.coarseQueries;
    const double reach = kCoarseReach * search.diagonal;
    std::vector<Refined> refined;
    for (const Plane& candidate : candidates) {
        Plane plane = refineAcrossSurface(search.coarse, queries, search.coarseNormals, candidate,
                                          search.centre, search.coarseSpacing, reach,
                                          kSettled * search.coarseSpacing, kSurfaceIterations,
                                          kCoarseLeafBudget);
        plane = refineByReflection(search.coarse, queries, plane, search.coarseSpacing, reach,
                                   kCoarseIterations, kCoarseLeafBudget);
        refined.push_back(
            {plane, scorePlane(search.coarse, queries, plane, 0.5 * search.coarseSpacing).score});
    }
    std::stable_sort(refined.begin(), refined.end(),
                     [](const Refined& a, const Refined& b) { return a.score > b.score; });
    return distinct(
        refined, [](const Refined& r) { return r.plane; }, search.diagonal);
}

// A coarse plane refined against every vertex. Matching each image to its
// nearest vertex pulls a plane in only from within about a quarter of the
// spacing where the vertices form a lattice (a regular grid, a subdivided
// mesh): further off, the images sit nearer to a neighbour of their partner
// and the plane settles on a lattice-shifted or slightly turned one that
// still mirrors most vertices onto vertices. The coarse plane is only as
// exact as its subsample is dense, several spacings off on a million
// vertices. So it is first refined across the surface, which the lattice
// does not lock, then by nearest vertex on a part of the queries. Should
// that not convince, two more starts are tried the same way: the coarse
// plane itself, and its normal through the vertex centroid (which a
// symmetric vertex set has on its plane). The best-scoring start is
// finished on all the queries, unless it is as far from convincing as a
// coarse plane not worth refining.
Plane refineAgainstAll(const Plane& coarse, const Search& search) {
    const std::vector<Point3>& trial = search.samples.trial;
    const double reach = 4.0 * search.coarseSpacing;
    Plane best =
        refineAcrossSurface(search.full, trial, search.trialNormals, coarse, search.centre,
                            search.tolerance, reach, kSettled * search.spacing, kSurfaceIterations);
    best = refineByReflection(search.full, trial, best, search.tolerance, reach, kFineIterations);
    double bestScore = scorePlane(search.full, trial, best, search.tolerance).score;
    if (bestScore < kConvincingScore) {
        Plane anchored = coarse;
        anchored.offset = coarse.normal[0] * search.centre.x + coarse.normal[1] * search.centre.y +
                          coarse.normal[2] * search.centre.z;
        for (const Plane& start : {coarse, anchored}) {
            const Plane plane = refineByReflection(search.full, trial, start, search.tolerance,
                                                   reach, kFineIterations);
            const double score = scorePlane(search.full, trial, plane, search.tolerance).score;
            if (score > bestScore) {
                best = plane;
                bestScore = score;
            }
        }
    }
    if (bestScore < kWorthRefining * kConvincingScore) return best;
    return refineByReflection(search.full, search.samples.fineQueries, best, search.tolerance,
                              reach, kFineIterations);
}

// Fine: the best few against every vertex; distinct planes, convincing ones
// first, each group best first. Of two planes with the same score the one
// whose images land closer wins: on a regular grid a plane shifted by half
// a spacing mirrors each vertex onto a neighbour of its partner, as often
// as the mirror plane does where the shape is nearly flat, but the
// neighbour stands off by the shape's change over a spacing on top of the
// noise.
std::vector<DetectedPlane> refineFinely(const std::vector<Refined>& coarseResults,
                                        std::size_t count, const Search& search) {
    std::vector<DetectedPlane> found;
    for (std::size_t i = 0; i < coarseResults.size() && i < count; ++i) {
        Plane plane = coarseResults[i].plane;
        if (coarseResults[i].score >= kWorthRefining * kConvincingScore)
            plane = refineAgainstAll(plane, search);
        const PlaneScore score =
            scorePlane(search.full, search.samples.scoreQueries, plane, search.tolerance);
        found.push_back(describe(plane, score, search.centre));
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const DetectedPlane& a, const DetectedPlane& b) {
                         const bool ca = isConvincing(a);
                         const bool cb = isConvincing(b);
                         if (ca != cb) return ca;
                         if (a.score != b.score) return a.score > b.score;
                         return a.rmsDeviation < b.rmsDeviation;
                     });
    return distinct(
        found, [](const DetectedPlane& d) { return d.plane; }, search.diagonal);
}

// The best plane, convincing or not, and up to `top` convincing ones.
void keepPlanes(const std::vector<DetectedPlane>& found, int top, DetectResult& result) {
    if (found.empty()) return;
    result.hasBest = true;
    result.best = found.front();
    for (const DetectedPlane& plane : found)
        if (isConvincing(plane) && static_cast<int>(result.planes.size()) < top)
            result.planes.push_back(plane);
}

template <typename Point>
DetectResult detectIn(const std::vector<Point>& points, const DetectOptions& options) {
    DetectResult result;
    double diagonal = 0.0;
    if (points.size() < 4 || !boxDiagonal(points, diagonal)) return result;

    SeededRandom random(options.seed);
    const PointIndex full(points);
    const double same = 1e-6 * diagonal;
    result.spacing = medianSpacing(full, samplePoints(points, kSpacingProbes, random), same * same);
    if (!(result.spacing > 0.0)) return result;
    result.tolerance = kToleranceOfSpacing * result.spacing;
    const Point3 centre = centroidOf(points);
    const Samples samples = drawSamples(points, random);
    result.scored = samples.scoreQueries.size();
    const bool subsampled = samples.coarsePoints.size() < points.size();
    const PointIndex coarseIndex(subsampled ? samples.coarsePoints : std::vector<Point3>{});
    const PointIndex& coarse = subsampled ? coarseIndex : full;
    const double coarseSpacing = spacingOf(samples.coarsePoints, points.size(), result.spacing);
    const std::vector<Point3> trialNormals = pointNormals(full, samples.trial, kNormalNeighbours);
    const std::vector<Point3> coarseNormals =
        pointNormals(coarse, samples.coarseQueries, kNormalNeighbours);
    const Search search{full,         coarse,         samples,          centre,
                        diagonal,     result.spacing, result.tolerance, coarseSpacing,
                        trialNormals, coarseNormals};

    const std::vector<Plane> candidates = candidatePlanes(points, search, result.principalBaseline);
    const std::vector<Refined> coarseResults = refineCoarsely(candidates, search);
    const std::size_t fineCount = static_cast<std::size_t>(std::max(3, options.top + 2));
    const std::vector<DetectedPlane> found = refineFinely(coarseResults, fineCount, search);
    keepPlanes(found, options.top, result);
    return result;
}

}  // namespace

bool isConvincing(const DetectedPlane& plane) {
    return plane.score >= kConvincingScore && plane.onPlaneShare <= 0.5;
}

DetectResult detectSymmetry(const std::vector<Point3>& points, const DetectOptions& options) {
    return detectIn(points, options);
}

DetectResult detectSymmetry(const std::vector<FloatPoint>& points, const DetectOptions& options) {
    return detectIn(points, options);
}

}  // namespace talvexhost
