// The asymmetry report of `check`, computed from plain values: the pairs
// Smart Resym registered and the vertices' positions before it moved
// anything. It ranks the pairs by their deviation from exact mirror
// positions, sorts the unpaired vertices by where they lie against the plane,
// finds the starters that had more than one candidate and suggests a
// tolerance. The command's text, JSON, CSV and picture are made from it.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "pairing/mirror_candidates.h"
#include "pairing/tolerance_advice.h"

namespace talvexhost {

struct ReportInput {
    std::vector<ReportVertex> vertices;
    std::vector<std::pair<int, int>>
        pairs;  // (starter, partner) indices into vertices, in the plug-in's order
    HostPlane plane{};
    double tolerance = 0.1;  // the plug-in's working tolerance
    double minDeviation = double(0.0001f);
    double edgeLength = 0.0;      // median edge length, 0 when the mesh has no edges
    double diagonal = 0.0;        // of the vertices' bounding box
    bool severalObjects = false;  // the plug-in paired within more than one object
};

struct PairDeviation {
    int starter = 0;
    int partner = 0;
    double deviation = 0.0;  // |partner - mirror image of starter|, model units
};

// A starter that had two or more acceptable candidates: its pair may be wrong.
// The report lists them by how close the runner-up came, closest first.
struct AmbiguousStarter {
    int starter = 0;
    int partner = 0;  // the one Smart Resym took
    int candidateCount = 0;
    std::vector<Candidate> nearest;  // the nearest few, nearest first
};

struct AsymmetryReport {
    int vertices = 0;
    int pairs = 0;
    double maxDeviation = 0.0;
    double meanDeviation = 0.0;
    double rmsDeviation = 0.0;
    double score = 1.0;
    std::vector<PairDeviation> deviating;  // deviation above minDeviation, largest first
    // Unpaired vertices: within 0.0001 of the plane, within the tolerance of
    // it (centre-line candidates), and the rest; in vertex order.
    std::vector<int> onPlane;
    std::vector<int> nearPlane;
    std::vector<int> offPlane;
    std::vector<AmbiguousStarter> ambiguous;
    // Unpaired vertices with an acceptable candidate in another object.
    int partnersInOtherObjects = 0;
    ToleranceAdvice advice;
};

// How many of a starter's candidates an AmbiguousStarter keeps.
constexpr int kCandidatesKept = 4;

AsymmetryReport analyseAsymmetry(const ReportInput& input);

// How many of `vertices` (indices into input.vertices) have an acceptable
// mirror candidate in another object than their own.
int partnersInOtherObjects(const ReportInput& input, const std::vector<int>& vertices);

// The line `check` and `resym` print when `count` unpaired vertices have a
// partner in another of `objects` objects.
std::string splitObjectsNote(int count, int objects);

// The score's definition, as --help and the README state it.
extern const char kScoreDefinition[];

}  // namespace talvexhost
