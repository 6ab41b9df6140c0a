// Finds the reflective symmetry planes of a set of vertices at any
// orientation and position. Used by `talvex-host detect`, by `--plane auto`
// and by the detection benchmark.
//
// How, and why this way:
// 1. Candidates. The principal axes of the vertices about their centroid
//    give three planes: a symmetric shape's symmetry plane is one of them
//    whenever its variances differ. (The vertex centroid, not an
//    area-weighted one: detection then needs no faces, and the registration
//    below moves the plane off whatever bias uneven sampling gives it.) Where two variances are
//    nearly equal the axes are arbitrary, so candidates also come from votes: pairs of sampled
//    vertices at nearly the same distance from the centroid (a reflection
//    through a plane through the centroid keeps that distance) each vote for
//    the direction that would swap them; true mirror pairs agree, chance
//    pairs scatter, and the strongest directions become candidates. Either
//    source alone finds the plane of every benchmark mesh.
// 2. Refinement by reflective registration. Each candidate mirrors a sample
//    of vertices and matches every image to its nearest vertex (k-d tree).
//    First the miss is measured only across the surface, along the normal
//    the neighbours of the mirrored vertex give, and the plane is moved by
//    Gauss-Newton steps (reflective_registration.h): that pulls a plane in
//    along a nearly flat shape from several spacings and degrees off, where
//    matching vertex to vertex slides slowly or, on a lattice, locks onto a
//    plane that maps the lattice onto itself. Then the matches within three
//    times the median distance, or within the score's tolerance if that is
//    larger (so a raised arm or a prop in one hand does not pull the
//    plane), re-fit the plane in closed form (reflection_fit.h), until it
//    stops moving. Near the answer every image finds its true partner, so
//    an exactly symmetric mesh gives its plane to rounding.
// 3. Coarse to fine. Candidates are refined first against a subsample of at
//    most 5 000 vertices (where a match need only be near, so an image far
//    off the surface stops searching early), then the best three (K + 2 for
//    --top K) against all of them with a larger query sample, so a million
//    vertices cost one tree build and a few hundred thousand queries. On a
//    regular grid matching vertex to vertex pulls a plane in only from
//    within about a quarter of the spacing, and a subsample of a million
//    vertices leaves the plane several spacings off; so the fine stage
//    starts across the surface too. Only where that does not convince does
//    it also start from the coarse plane, and from its normal through the
//    vertex centroid, and keep the better score.
// 4. Score. The share of (up to 20 000 sampled) vertices whose mirror image
//    has a vertex within a quarter of the typical spacing (the median
//    distance from a vertex to its nearest neighbour, about an edge length).
//    A plane is convincing when that share reaches kConvincingScore and no
//    more than half the vertices lie on it (a flat mesh mirrors onto itself
//    through its own plane, which says nothing). Of planes with the same
//    score, the smaller RMS deviation ranks first.
// Sampling is seeded, so a run gives the same planes every time and in both
// builds. Vertices are taken as points: faces are not needed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "detect/point_index.h"
#include "detect/reflection_fit.h"

namespace talvexhost {

// A plane counts as a symmetry plane when at least this share of the
// vertices has a mirror partner: a tenth of the vertices moved on one side
// still leaves about 80 %, a shape without symmetry stays far below.
constexpr double kConvincingScore = 0.6;
// The score's match distance, as a share of the typical vertex spacing.
constexpr double kToleranceOfSpacing = 0.25;

struct DetectOptions {
    int top = 1;  // at most this many distinct planes
    std::uint64_t seed = 0x5eed;
};

struct DetectedPlane {
    Plane plane;                // unit normal, its largest component positive
    Point3 point;               // the centroid's foot on the plane
    double score = 0.0;         // 0 to 1, see above
    double rmsDeviation = 0.0;  // of the matched images from their vertices, model units
    double onPlaneShare = 0.0;  // vertices within the tolerance of the plane
};

struct DetectResult {
    std::vector<DetectedPlane> planes;  // convincing planes, best first
    bool hasBest = false;
    DetectedPlane best;               // the best plane found, convincing or not
    DetectedPlane principalBaseline;  // the best principal-axis plane, unrefined
    double spacing = 0.0;             // typical distance between neighbouring vertices
    double tolerance = 0.0;           // the score's match distance
    std::size_t scored = 0;           // vertices the score was measured on
};

// Empty result (hasBest false) for fewer than four distinct points or
// non-finite coordinates.
DetectResult detectSymmetry(const std::vector<Point3>& points, const DetectOptions& options);
// The same on the host's float vertices, as they are: the same result as for
// those vertices as Point3.
DetectResult detectSymmetry(const std::vector<FloatPoint>& points, const DetectOptions& options);

// True when `plane` counts as a symmetry plane by the rules above.
bool isConvincing(const DetectedPlane& plane);

}  // namespace talvexhost
