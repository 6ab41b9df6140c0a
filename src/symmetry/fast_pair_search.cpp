#include "symmetry/fast_pair_search.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

namespace {

constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();
constexpr std::uint32_t kUnknown = kNone - 1;  // not in the index: scan for it
// A fresh live search indexes only the cells near its sources' images when
// the sources number fewer than the candidates divided by kFocusRatio; a
// target's reach box must then span at most kFocusCells cells, or its source
// scans.
constexpr double kFocusRatio = 16.0;
constexpr double kFocusCells = 64.0;
// Cells as wide as the tolerance: the reach box of a target spans at most
// three cells per axis.
constexpr double kCellsPerTolerance = 1.0;

// Exactly Vector3::distanceTo(target, entry): each coordinate difference
// rounded to float, the squares summed in the same order in double.
double reach(const Vector3& t, const GridEntry& e) {
    const double dx = static_cast<float>(double(t.x) - double(e.x));
    const double dy = static_cast<float>(double(t.y) - double(e.y));
    const double dz = static_cast<float>(double(t.z) - double(e.z));
    return std::sqrt(dx * dx + (dy * dy + dz * dz));
}

// std::nextafter(v, +infinity) for a finite v >= +0, without a library call:
// the next float up has the next bit pattern (from +0, the least subnormal).
float nextFloatUp(float v) {
    assert(v >= 0.0f && v < std::numeric_limits<float>::infinity() && !std::signbit(v));
    std::uint32_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    ++bits;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

// The same side and plane-distance tests the scans apply (facesProbe on
// projectOntoPlane), on the indexed copy of the candidate's coordinates (bit for
// bit the vertex's own). The side alone rejects most candidates, so the
// distance is computed only after it.
bool faces(const FlatFrame& flat, const GridEntry& e, const MirrorProbe& probe, float tolerance) {
    const double signedScaled = flat.signedScaled(e.x, e.y, e.z);
    const int side = signedScaled > 0.0 ? 1 : -1;
    if (!(probe.side * side < 0)) return false;
    const double distance = flat.distance(e.x, e.y, e.z, signedScaled);
    return std::fabs(double(probe.distance) - distance) < double(tolerance);
}

// Calls visit(entry) for every entry of every bucket, each bucket once.
template <class Visit>
void visitAllBuckets(const SpatialGrid& grid, Visit&& visit) {
    for (std::uint32_t b = 0; b < grid.bucketCount(); ++b) {
        const GridEntry* end = nullptr;
        for (const GridEntry* e = grid.bucketAt(b, end); e != end; ++e) {
            if (!visit(*e)) break;
        }
    }
}

}  // namespace

FlatFrame::FlatFrame(const PlaneFrame& frame) noexcept
    : normal_{frame.normal.x, frame.normal.y, frame.normal.z},
      pivot_{frame.pivot.x, frame.pivot.y, frame.pivot.z},
      normalSq_(frame.normal.dot(frame.normal)) {}

double FlatFrame::signedScaled(float x, float y, float z) const noexcept {
    // point.subtract(pivot), then normal.dot(that difference).
    const double dx = static_cast<float>(double(x) - pivot_[0]);
    const double dy = static_cast<float>(double(y) - pivot_[1]);
    const double dz = static_cast<float>(double(z) - pivot_[2]);
    return (dz * normal_[2] + dy * normal_[1]) + dx * normal_[0];
}

double FlatFrame::distance(float x, float y, float z, double signedScaled,
                           float* image) const noexcept {
    const float a = static_cast<float>(-signedScaled);
    const float t = static_cast<float>(double(a) / normalSq_);
    const double point[3] = {x, y, z};
    double squares[3];
    for (int axis = 0; axis < 3; ++axis) {
        // step = normal scaled by t; foot = point + step; point.distanceTo(foot).
        const float step = static_cast<float>(double(t) * normal_[axis]);
        const float foot = static_cast<float>(point[axis] + double(step));
        const double difference = static_cast<float>(point[axis] - double(foot));
        squares[axis] = difference * difference;
        if (image != nullptr) {
            const float outward = static_cast<float>(double(foot) - point[axis]);
            image[axis] = static_cast<float>(double(foot) + double(outward));
        }
    }
    return std::sqrt(squares[0] + (squares[1] + squares[2]));
}

LivePartnerSearch::LivePartnerSearch(const PlaneFrame& frame, const ObjectList& underEdit,
                                     const HostObject* plane, float tolerance,
                                     const VertexList& moved, int sourceCount,
                                     bool useIndex) noexcept
    : frame_(frame), flat_(frame), tolerance_(tolerance) {
    if (!useIndex) return;
    if (!table_.build(underEdit, plane) || !taken_.reserve(2 * std::size_t(sourceCount))) return;
    // With no positive tolerance nothing is ever accepted; no grid is needed.
    if (tolerance > 0.0f) {
        const CellScale scale(double(tolerance) * kCellsPerTolerance);
        CellSet focus;
        focused_ = double(sourceCount) * kFocusRatio < double(table_.total());
        if (focused_ && !focusOn(moved, sourceCount, scale, focus)) return;
        if (!table_.fillGrid(grid_, scale, focused_ ? &focus : nullptr, true)) return;
    }
    indexed_ = true;
}

bool LivePartnerSearch::focusOn(const VertexList& moved, int sourceCount, const CellScale& scale,
                                CellSet& focus) const noexcept {
    for (int h = 0; h < sourceCount; ++h) {
        double exactDistance = 0.0;
        const MirrorProbe probe = probeVertex(frame_, *moved.items[h], exactDistance);
        if (!isFinitePoint(probe.target)) continue;
        const float target[3] = {probe.target.x, probe.target.y, probe.target.z};
        const CellBox box = scale.boxAround(target, tolerance_);
        if (SpatialGrid::cellsIn(box) > kFocusCells) continue;  // that source will scan
        for (std::int64_t z = box.lo[2]; z <= box.hi[2]; ++z) {
            for (std::int64_t y = box.lo[1]; y <= box.hi[1]; ++y) {
                for (std::int64_t x = box.lo[0]; x <= box.hi[0]; ++x) {
                    if (!focus.insert(x, y, z)) return false;
                }
            }
        }
    }
    return true;
}

bool LivePartnerSearch::holds(const PointerList& pairs, const HostVertex* vertex) const noexcept {
    return indexed_ ? taken_.contains(vertex) : pairs.contains(vertex);
}

HostVertex* LivePartnerSearch::firstPartner(int position, const HostObject& object,
                                            const MirrorProbe& probe,
                                            const PointerList& pairs) noexcept {
    if (!indexed_) return findFirstPartner(frame_, object, probe, tolerance_, pairs);
    if (!answered_) {
        answer_ = leastAcceptable(probe);
        answered_ = true;
    }
    if (answer_ == kUnknown) return findFirstPartner(frame_, object, probe, tolerance_, pairs);
    // The least acceptable ordinal belongs to the first object, in list
    // order, with an acceptable candidate: that is where the scan stops.
    if (answer_ == kNone || table_.positionOf(table_.rankOf(answer_)) != position) return nullptr;
    return table_.vertexOf(answer_);
}

void LivePartnerSearch::taken(const HostVertex* source, const HostVertex* partner) noexcept {
    if (!indexed_) return;
    taken_.insert(source);
    taken_.insert(partner);
}

std::uint32_t LivePartnerSearch::leastAcceptable(const MirrorProbe& probe) const noexcept {
    const Vector3& t = probe.target;
    if (!(tolerance_ > 0.0f) || !isFinitePoint(t)) return kNone;
    const float target[3] = {t.x, t.y, t.z};
    std::uint32_t best = kNone;
    // Buckets hold ascending ordinals: stop at the first acceptable entry, or
    // as soon as no entry can come before the best found so far.
    auto visit = [&](const GridEntry& e) {
        if (e.key >= best) return false;
        if (!(reach(t, e) < double(tolerance_))) return true;
        if (!faces(flat_, e, probe, tolerance_)) return true;
        if (taken_.contains(table_.vertexOf(e.key))) return true;
        best = e.key;
        return false;
    };
    if (focused_ &&
        SpatialGrid::cellsIn(grid_.scale().boxAround(target, tolerance_)) > kFocusCells) {
        return kUnknown;  // its cells were not indexed
    }
    const CellBox box = grid_.boxAround(target, tolerance_);
    if (SpatialGrid::cellsIn(box) > double(grid_.bucketCount())) {
        // A tolerance that spans most of the grid: every bucket once.
        visitAllBuckets(grid_, visit);
        return best;
    }
    for (std::int64_t z = box.lo[2]; z <= box.hi[2]; ++z) {
        for (std::int64_t y = box.lo[1]; y <= box.hi[1]; ++y) {
            for (std::int64_t x = box.lo[0]; x <= box.hi[0]; ++x) {
                const GridEntry* end = nullptr;
                for (const GridEntry* e = grid_.bucket(x, y, z, end); e != end; ++e) {
                    if (!visit(*e)) break;
                }
            }
        }
    }
    return best;
}

ResymPartnerSearch::ResymPartnerSearch(const PlaneFrame& frame, const ObjectList& objects,
                                       const HostObject* plane, float tolerance, float starterGate,
                                       bool useIndex) noexcept
    : frame_(frame), flat_(frame), tolerance_(tolerance), starterGate_(starterGate) {
    if (!useIndex || !table_.build(objects, plane)) return;
    const std::size_t words = table_.total() / 32 + 1;
    marks_ = new (std::nothrow) std::uint32_t[words];
    twins_ = new (std::nothrow) std::uint32_t[words];
    partners_ = new (std::nothrow) std::uint32_t[std::size_t(table_.total()) + 1];
    if (marks_ == nullptr || twins_ == nullptr || partners_ == nullptr) return;
    for (std::size_t w = 0; w < words; ++w) marks_[w] = twins_[w] = 0;
    for (std::uint32_t g = 0; g < table_.total(); ++g) partners_[g] = kNone;
    // With no positive tolerance nothing is ever accepted: no partners.
    if (tolerance > 0.0f) {
        if (!table_.fillGrid(grid_, CellScale(double(tolerance) * kCellsPerTolerance), nullptr,
                             true))
            return;
        findAllPartners();
    }
    indexed_ = true;
}

ResymPartnerSearch::~ResymPartnerSearch() {
    delete[] marks_;
    delete[] twins_;
    delete[] partners_;
}

std::size_t ResymPartnerSearch::bytes() const noexcept {
    return table_.bytes() + grid_.bytes() + 2 * sizeof(std::uint32_t) * (table_.total() / 32 + 1) +
           sizeof(std::uint32_t) * (std::size_t(table_.total()) + 1);
}

void ResymPartnerSearch::findAllPartners() noexcept {
    // Buckets larger than this are not searched for twins; their entries
    // count as possible twins, which only costs a scan when one is marked.
    constexpr std::ptrdiff_t kTwinSearchLimit = 256;
    for (std::uint32_t b = 0; b < grid_.bucketCount(); ++b) {
        const GridEntry* end = nullptr;
        const GridEntry* begin = grid_.bucketAt(b, end);
        const bool small = end - begin <= kTwinSearchLimit;
        for (const GridEntry* e = begin; e != end; ++e) {
            if (!small) setBit(twins_, e->key);
            for (const GridEntry* f = e + 1; small && f != end; ++f) {
                if (e->x == f->x && e->y == f->y && e->z == f->z) {
                    setBit(twins_, e->key);
                    setBit(twins_, f->key);
                }
            }
        }
    }
    // Starters are taken in grid order, but their images fall in cells
    // hashed anywhere: each search would wait on memory. Probes are made
    // kAhead entries early and the image's bucket requested then, its
    // entries half way.
    constexpr std::uint32_t kAhead = 16;  // a power of two
    MirrorProbe probes[kAhead];
    const std::uint32_t count = grid_.entryCount();
    // A starter within the gate keeps kNone; its probe is searched only when
    // it may yield a partner.
    bool searched[kAhead];
    auto prepare = [&](std::uint32_t j) {
        const GridEntry& e = grid_.entryAt(j);
        // The probe exactly as probeVertex makes it from the vertex.
        const double signedScaled = flat_.signedScaled(e.x, e.y, e.z);
        float image[3];
        MirrorProbe& probe = probes[j & (kAhead - 1)];
        probe.source = nullptr;
        const double distance = flat_.distance(e.x, e.y, e.z, signedScaled, image);
        probe.distance = static_cast<float>(distance);
        probe.side = signedScaled > 0.0 ? 1 : -1;
        probe.target = Vector3(image[0], image[1], image[2]);
        searched[j & (kAhead - 1)] =
            distance > double(starterGate_) && isFinitePoint(probe.target);
        if (searched[j & (kAhead - 1)]) grid_.prefetchBucketOf(image, false);
    };
    for (std::uint32_t j = 0; j < kAhead && j < count; ++j) prepare(j);
    int rank = 0;
    for (std::uint32_t j = 0; j < count; ++j) {
        const MirrorProbe probe = probes[j & (kAhead - 1)];
        const bool search = searched[j & (kAhead - 1)];
        if (j + kAhead / 2 < count && searched[(j + kAhead / 2) & (kAhead - 1)]) {
            const Vector3& half = probes[(j + kAhead / 2) & (kAhead - 1)].target;
            const float image[3] = {half.x, half.y, half.z};
            grid_.prefetchBucketOf(image, true);
        }
        if (j + kAhead < count) prepare(j + kAhead);
        if (!search) continue;
        const std::uint32_t key = grid_.entryAt(j).key;
        if (key < table_.first(rank) || key >= table_.first(rank + 1)) rank = table_.rankOf(key);
        partners_[key] = nearestOrdinal(table_.first(rank), table_.first(rank + 1), probe);
    }
}

bool ResymPartnerSearch::skips(int position) const noexcept {
    return indexed_ && table_.rankAt(position) < 0;
}

HostVertex* ResymPartnerSearch::nearestPartner(int position, std::int32_t index,
                                               const HostObject& object,
                                               const HostVertex& starter) noexcept {
    if (!indexed_) {
        double exactDistance = 0.0;
        const MirrorProbe probe = probeVertex(frame_, starter, exactDistance);
        if (!(exactDistance > double(starterGate_))) return nullptr;
        return findNearestPartner(frame_, object, probe, tolerance_);
    }
    starterOrdinal_ = table_.first(table_.rankAt(position)) + static_cast<std::uint32_t>(index);
    partnerOrdinal_ = partners_[starterOrdinal_];
    return partnerOrdinal_ == kNone ? nullptr : table_.vertexOf(partnerOrdinal_);
}

bool ResymPartnerSearch::eitherHeld(const PointerList& resym, const HostVertex* starter,
                                    const HostVertex* partner) const noexcept {
    if (!indexed_) return resym.contains(starter) || resym.contains(partner);
    return bit(marks_, starterOrdinal_) || bit(marks_, partnerOrdinal_);
}

void ResymPartnerSearch::taken(const HostVertex* starter, const HostVertex* partner) noexcept {
    if (!indexed_) return;
    markVertex(starter, starterOrdinal_);
    markVertex(partner, partnerOrdinal_);
}

void ResymPartnerSearch::markVertex(const HostVertex* vertex, std::uint32_t ordinal) noexcept {
    setBit(marks_, ordinal);
    if (!bit(twins_, ordinal)) return;
    // Every candidate that is this vertex sits at its position, so in one
    // bucket. Taken vertices are finite: a starter with a non-finite
    // coordinate has a non-finite image and finds no partner.
    const GridEntry* end = nullptr;
    const GridEntry* e = grid_.bucket(grid_.cellOf(vertex->x), grid_.cellOf(vertex->y),
                                      grid_.cellOf(vertex->z), end);
    for (; e != end; ++e) {
        if (e->x != vertex->x || e->y != vertex->y || e->z != vertex->z) continue;
        if (table_.vertexOf(e->key) == vertex) setBit(marks_, e->key);
    }
}

std::uint32_t ResymPartnerSearch::nearestOrdinal(std::uint32_t lo, std::uint32_t hi,
                                                 const MirrorProbe& probe) const noexcept {
    const Vector3& t = probe.target;
    if (!(tolerance_ > 0.0f) || !isFinitePoint(t)) return kNone;
    const float target[3] = {t.x, t.y, t.z};

    // The scan's choice, kept order-free: `least` is the least rounded
    // distance seen, `firstOfLeast` the earliest candidate rounding to it and
    // `lastBelow` the latest one whose unrounded distance is below it.
    bool found = false;
    float least = tolerance_;
    std::uint32_t firstOfLeast = kNone;
    std::uint32_t lastBelow = kNone;
    // Candidates that can still change the choice lie nearer than `bound`:
    // the scan's test is distance < tolerance, and a distance that rounds to
    // `least` is below the next float up.
    float bound = tolerance_;
    CellBox box = grid_.boxAround(target, bound);

    auto visit = [&](const GridEntry& e) {
        if (e.key < lo || e.key >= hi) return true;
        // The distance is at least the rounded x difference: a cheap early no.
        if (!(std::fabs(double(static_cast<float>(double(t.x) - double(e.x)))) < double(bound)))
            return true;
        const double distance = reach(t, e);
        if (!(distance < double(bound))) return true;
        if (!faces(flat_, e, probe, tolerance_)) return true;
        const float rounded = static_cast<float>(distance);
        if (!found || rounded < least) {
            found = true;
            least = rounded;
            firstOfLeast = e.key;
            lastBelow = distance < double(rounded) ? e.key : kNone;
        } else if (rounded == least) {
            if (e.key < firstOfLeast) firstOfLeast = e.key;
            if (distance < double(least) && (lastBelow == kNone || e.key > lastBelow))
                lastBelow = e.key;
        } else {
            return true;
        }
        bound = least < tolerance_ ? nextFloatUp(least) : tolerance_;
        box = grid_.boxAround(target, bound);
        return true;
    };

    if (SpatialGrid::cellsIn(box) > double(grid_.bucketCount())) {
        visitAllBuckets(grid_, visit);
    } else {
        // Rings of cells around the target's cell, nearest first, each clipped
        // to the box, which shrinks as nearer candidates turn up.
        const std::int64_t c[3] = {grid_.cellOf(t.x), grid_.cellOf(t.y), grid_.cellOf(t.z)};
        auto visitCell = [&](std::int64_t x, std::int64_t y, std::int64_t z) {
            const GridEntry* end = nullptr;
            for (const GridEntry* e = grid_.bucket(x, y, z, end); e != end; ++e) visit(*e);
        };
        for (std::int64_t k = 0;; ++k) {
            bool outside = true;
            for (int axis = 0; axis < 3; ++axis) {
                if (c[axis] - k >= box.lo[axis] || c[axis] + k <= box.hi[axis]) outside = false;
            }
            if (outside || SpatialGrid::cellsIn(box) == 0.0) break;
            for (std::int64_t z = std::max(c[2] - k, box.lo[2]); z <= std::min(c[2] + k, box.hi[2]);
                 ++z) {
                for (std::int64_t y = std::max(c[1] - k, box.lo[1]);
                     y <= std::min(c[1] + k, box.hi[1]); ++y) {
                    const bool rim =
                        z == c[2] - k || z == c[2] + k || y == c[1] - k || y == c[1] + k;
                    if (rim) {
                        for (std::int64_t x = std::max(c[0] - k, box.lo[0]);
                             x <= std::min(c[0] + k, box.hi[0]); ++x) {
                            visitCell(x, y, z);
                        }
                    } else {
                        if (c[0] - k >= box.lo[0] && c[0] - k <= box.hi[0])
                            visitCell(c[0] - k, y, z);
                        if (k > 0 && c[0] + k >= box.lo[0] && c[0] + k <= box.hi[0])
                            visitCell(c[0] + k, y, z);
                    }
                }
            }
        }
    }
    if (!found) return kNone;
    return lastBelow != kNone ? lastBelow : firstOfLeast;
}
