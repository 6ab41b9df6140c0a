#include "report/asymmetry_report.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <memory>

#include "io/ordered_work.h"
#include "pairing/centre_line.h"

namespace talvexhost {

namespace {

// The plug-in's own threshold for "off the plane": the float 0.0001.
constexpr double kOnPlane = double(0.0001f);

double pairDeviation(const ReportInput& input, int starter, int partner) {
    const float* a = input.vertices[starter].position;
    const float* b = input.vertices[partner].position;
    double image[3];
    input.plane.mirror(Vector3(a[0], a[1], a[2]), image);
    const double dx = double(b[0]) - image[0];
    const double dy = double(b[1]) - image[1];
    const double dz = double(b[2]) - image[2];
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// 1 for an exact pair, falling to 0 at a deviation of the tolerance.
double closeness(double deviation, double tolerance) {
    return tolerance > 0.0 ? std::clamp(1.0 - deviation / tolerance, 0.0, 1.0) : 0.0;
}

// Largest deviation first, equal ones by rising starter, each starter once.
// A long list is first laid into buckets by its deviations' bits (those of a
// double that is neither negative nor NaN order as the values do), in place,
// the largest first, and each bucket sorted alone: a bucket holds a few
// pairs, where one sort of the whole list compared each pair some twenty
// times. The order is total, so the list comes out as one sort makes it.
void sortLargestFirst(std::vector<PairDeviation>& list) {
    const auto before = [](const PairDeviation& a, const PairDeviation& b) {
        return a.deviation > b.deviation || (!(b.deviation > a.deviation) && a.starter < b.starter);
    };
    constexpr std::size_t kBuckets = std::size_t(1) << 16;
    const auto bitsOf = [](double value) {
        std::uint64_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        return bits;
    };
    // Positive infinity is the greatest such pattern: above it lie the NaNs,
    // and the negative numbers have the top bit set.
    constexpr std::uint64_t kInfinity = 0x7FF0000000000000u;
    std::uint64_t low = ~std::uint64_t(0);
    std::uint64_t high = 0;
    for (const PairDeviation& pair : list) {
        const std::uint64_t bits = bitsOf(pair.deviation);
        low = std::min(low, bits);
        high = std::max(high, bits);
    }
    if (list.size() < kBuckets || high > kInfinity) {
        std::sort(list.begin(), list.end(), before);
        return;
    }
    int shift = 0;
    while (((high - low) >> shift) >= kBuckets) ++shift;
    const auto bucketOf = [&](const PairDeviation& pair) {
        return static_cast<std::size_t>((high - bitsOf(pair.deviation)) >> shift);
    };
    std::vector<std::size_t> start(kBuckets + 1, 0);
    for (const PairDeviation& pair : list) ++start[bucketOf(pair) + 1];
    for (std::size_t b = 0; b < kBuckets; ++b) start[b + 1] += start[b];
    // Each bucket fills from its start; a pair found in another's place is
    // swapped into the next free place of its own.
    std::vector<std::size_t> next(start.begin(), start.end() - 1);
    for (std::size_t b = 0; b < kBuckets; ++b) {
        while (next[b] < start[b + 1]) {
            const std::size_t own = bucketOf(list[next[b]]);
            if (own == b)
                ++next[b];
            else
                std::swap(list[next[b]], list[next[own]++]);
        }
    }
    for (std::size_t b = 0; b < kBuckets; ++b)
        std::sort(list.begin() + std::ptrdiff_t(start[b]),
                  list.begin() + std::ptrdiff_t(start[b + 1]), before);
}

void measurePairs(const ReportInput& input, AsymmetryReport& report,
                  std::vector<double>& vertexScore) {
    double sum = 0.0;
    double sumSq = 0.0;
    // Room for every pair at once: grown a step at a time, the list of a
    // noisy mesh, where every pair deviates, passes through a copy half again
    // its size. Room never written is never taken.
    report.deviating.reserve(input.pairs.size());
    for (const auto& [starter, partner] : input.pairs) {
        const double deviation = pairDeviation(input, starter, partner);
        sum += deviation;
        sumSq += deviation * deviation;
        report.maxDeviation = std::max(report.maxDeviation, deviation);
        vertexScore[starter] = vertexScore[partner] = closeness(deviation, input.tolerance);
        if (deviation > input.minDeviation)
            report.deviating.push_back({starter, partner, deviation});
    }
    report.pairs = static_cast<int>(input.pairs.size());
    if (report.pairs > 0) {
        report.meanDeviation = sum / report.pairs;
        report.rmsDeviation = std::sqrt(sumSq / report.pairs);
    }
    // Largest first, equal deviations in the plug-in's order. That order
    // has its starters rising (it pairs them in vertex order), so a sort
    // with the starter as the tie-break gives the same list without a merge
    // sort's buffer; any other order keeps the stable sort.
    const auto larger = [](const PairDeviation& a, const PairDeviation& b) {
        return a.deviation > b.deviation;
    };
    bool rising = true;
    for (std::size_t k = 1; k < report.deviating.size() && rising; ++k)
        rising = report.deviating[k - 1].starter < report.deviating[k].starter;
    if (rising) {
        sortLargestFirst(report.deviating);
    } else {
        std::stable_sort(report.deviating.begin(), report.deviating.end(), larger);
    }
}

void sortUnpaired(const ReportInput& input, const std::vector<bool>& paired,
                  AsymmetryReport& report, std::vector<double>& vertexScore) {
    for (std::size_t v = 0; v < input.vertices.size(); ++v) {
        if (paired[v]) continue;
        const double distance = std::fabs(input.vertices[v].distance);
        if (distance <= kOnPlane) {
            report.onPlane.push_back(static_cast<int>(v));
            vertexScore[v] = 1.0;
        } else if (nearCentreLine(distance, input.tolerance, input.edgeLength,
                                  input.vertices[v].bridgesPlane)) {
            // Its own mirror image lies twice its distance away.
            report.nearPlane.push_back(static_cast<int>(v));
            vertexScore[v] = closeness(2.0 * distance, input.tolerance);
        } else {
            report.offPlane.push_back(static_cast<int>(v));
        }
    }
}

double margin(const AmbiguousStarter& a) {
    return a.nearest[1].distance - a.nearest[0].distance;
}

// The ambiguous starters among the pairs [begin, end), in pair order.
std::vector<AmbiguousStarter> ambiguousAmong(const ReportInput& input, const VertexGrid& grid,
                                             std::size_t begin, std::size_t end) {
    std::vector<AmbiguousStarter> ambiguous;
    std::vector<Candidate> found;
    std::vector<Candidate> scratch;
    for (std::size_t k = begin; k < end; ++k) {
        const auto& [starter, partner] = input.pairs[k];
        mirrorCandidates(input.vertices, grid, input.plane, starter, input.tolerance,
                         ObjectRule::sameObject, found, scratch);
        if (found.size() < 2) continue;
        AmbiguousStarter entry{starter, partner, static_cast<int>(found.size()), {}};
        entry.nearest.assign(found.begin(),
                             found.begin() + std::min<std::size_t>(found.size(), kCandidatesKept));
        ambiguous.push_back(std::move(entry));
    }
    return ambiguous;
}

// Fewer pairs than this are searched on one core: a thread would cost more
// than it saves.
constexpr std::size_t kPairsWorthAThread = 20000;

// The tolerance advice and the ambiguous starters, from one grid. The
// advice and the first pairs are searched on another core, the other pairs
// here; joined in pair order, the list is the one a single pass makes.
void adviseAndFindAmbiguity(const ReportInput& input, const VertexGrid& grid,
                            AsymmetryReport& report) {
    const std::size_t count = input.pairs.size();
    // The advice searches a sample of about as many vertices as a sixth of
    // a million pairs, each farther.
    const std::size_t beside = count >= kPairsWorthAThread ? count / 6 : 0;
    struct Beside {
        ToleranceAdvice advice;
        std::vector<AmbiguousStarter> ambiguous;
    };
    auto first = runBeside([&] {
        return Beside{adviseTolerance(input.vertices, input.plane, input.edgeLength, input.diagonal,
                                      input.tolerance, &grid),
                      ambiguousAmong(input, grid, 0, beside)};
    });
    std::vector<AmbiguousStarter> rest = ambiguousAmong(input, grid, beside, count);
    Beside done = first.get();
    report.advice = std::move(done.advice);
    report.ambiguous = std::move(done.ambiguous);
    report.ambiguous.insert(report.ambiguous.end(), std::make_move_iterator(rest.begin()),
                            std::make_move_iterator(rest.end()));
    // The closest calls first: a runner-up barely farther than the winner.
    std::stable_sort(
        report.ambiguous.begin(), report.ambiguous.end(),
        [](const AmbiguousStarter& a, const AmbiguousStarter& b) { return margin(a) < margin(b); });
}

}  // namespace

int partnersInOtherObjects(const ReportInput& input, const std::vector<int>& vertices) {
    const VertexGrid grid(input.vertices, input.tolerance);
    int count = 0;
    for (int v : vertices)
        if (!mirrorCandidates(input.vertices, grid, input.plane, v, input.tolerance,
                              ObjectRule::otherObject)
                 .empty())
            ++count;
    return count;
}

std::string splitObjectsNote(int count, int objects) {
    return "note: " + std::to_string(count) +
           " unpaired vertices have a mirror partner within the tolerance in " +
           "another object: Smart Resym pairs vertices only within one object, and this mesh has " +
           std::to_string(objects) + "; --as-one-object treats the file as one object";
}

const char kScoreDefinition[] =
    "the mean over all vertices of: 1 for a vertex on the plane; 1 - deviation/tolerance for a\n"
    "vertex in a pair; 1 - 2 x distance/tolerance for an unpaired vertex near the plane; 0 for\n"
    "any other unpaired vertex (1: exactly symmetric, 0: nothing paired)";

AsymmetryReport analyseAsymmetry(const ReportInput& input) {
    AsymmetryReport report;
    report.vertices = static_cast<int>(input.vertices.size());
    std::vector<double> vertexScore(input.vertices.size(), 0.0);
    std::vector<bool> paired(input.vertices.size(), false);
    for (const auto& [starter, partner] : input.pairs) paired[starter] = paired[partner] = true;

    // One grid serves the ambiguity and the advice (which searches as far
    // as an edge), rather than one each. It reads the vertices alone, so it
    // is laid on another core while the pairs are measured.
    auto laid = runBeside([&input] {
        return std::make_unique<const VertexGrid>(input.vertices,
                                                  std::max(input.tolerance, input.edgeLength));
    });
    measurePairs(input, report, vertexScore);
    sortUnpaired(input, paired, report, vertexScore);
    const std::unique_ptr<const VertexGrid> laidGrid = laid.get();
    const VertexGrid& grid = *laidGrid;
    adviseAndFindAmbiguity(input, grid, report);
    if (input.severalObjects) {
        std::vector<int> unpaired = report.nearPlane;
        unpaired.insert(unpaired.end(), report.offPlane.begin(), report.offPlane.end());
        report.partnersInOtherObjects = partnersInOtherObjects(input, unpaired);
    }

    double total = 0.0;
    for (double s : vertexScore) total += s;
    report.score = input.vertices.empty() ? 1.0 : total / double(input.vertices.size());
    return report;
}

}  // namespace talvexhost
