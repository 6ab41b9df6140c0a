#include "symmetry/resym_partner_search.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

namespace {

// What partners_ holds besides an ordinal: no partner; not searched (a
// candidate at a non-finite position, which finds none); searched only when
// the caller's loop asks (see findAllPartners).
constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();
constexpr std::uint32_t kPending = kNone - 1;
constexpr std::uint32_t kDeferred = kNone - 2;

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

bool samePoint(const CellEntry& a, const CellEntry& b) {
    return a.p[0] == b.p[0] && a.p[1] == b.p[1] && a.p[2] == b.p[2];
}

}  // namespace

ResymPartnerSearch::ResymPartnerSearch(const PlaneFrame& frame, const ObjectList& objects,
                                       const HostObject* plane, float tolerance, float starterGate,
                                       bool useIndex) noexcept
    : frame_(frame), flat_(frame), tolerance_(tolerance), starterGate_(starterGate) {
    if (!useIndex || !table_.build(objects, plane) || !allocate()) return;
    // With no positive tolerance nothing is ever accepted: no partners.
    if (tolerance > 0.0f && table_.total() > 0) {
        // About four candidates per three columns (fewer visited per search
        // than at two a column, for one byte more of column starts per
        // candidate), and cells no narrower than half the tolerance: a
        // target's reach then spans at most five columns per axis, and once
        // a near candidate is found, one or two.
        // partners_ keeps each candidate's column from counting to placing
        // meanwhile: no column is looked up twice.
        if (!index_.start(table_.sampleBox(), double(tolerance) / 2, table_.total() / 4 * 3) ||
            !table_.fillIndex(index_, partners_))
            return;
        std::fill(partners_, partners_ + table_.total() + 1, kPending);
        findTwins();
        findAllPartners();
    }
    indexed_ = true;
}

ResymPartnerSearch::~ResymPartnerSearch() {
    delete[] marks_;
    delete[] twins_;
    delete[] partners_;
}

bool ResymPartnerSearch::allocate() noexcept {
    const std::size_t words = table_.total() / 32 + 1;
    marks_ = new (std::nothrow) std::uint32_t[words];
    twins_ = new (std::nothrow) std::uint32_t[words];
    partners_ = new (std::nothrow) std::uint32_t[std::size_t(table_.total()) + 1];
    if (marks_ == nullptr || twins_ == nullptr || partners_ == nullptr) return false;
    std::fill(marks_, marks_ + words, 0u);
    std::fill(twins_, twins_ + words, 0u);
    std::fill(partners_, partners_ + table_.total() + 1, kPending);
    return true;
}

std::size_t ResymPartnerSearch::bytes() const noexcept {
    return table_.bytes() + index_.bytes() + 2 * sizeof(std::uint32_t) * (table_.total() / 32 + 1) +
           sizeof(std::uint32_t) * (std::size_t(table_.total()) + 1);
}

void ResymPartnerSearch::findTwins() noexcept {
    // Candidates at one exact position share a column; long columns are
    // sorted so that they lie side by side.
    for (std::uint32_t c = 0; c < index_.columnCount(); ++c) {
        const std::uint32_t begin = index_.columnStart(c), end = index_.columnStart(c + 1);
        const bool sorted = CellIndex::isLong(end - begin);
        for (std::uint32_t i = begin; i < end; ++i) {
            const CellEntry& e = index_.entryAt(i);
            for (std::uint32_t j = i + 1; j < end && (!sorted || j == i + 1); ++j) {
                const CellEntry& f = index_.entryAt(j);
                if (!samePoint(e, f)) continue;
                setBit(twins_, e.key);
                setBit(twins_, f.key);
            }
        }
    }
}

bool ResymPartnerSearch::probeFrom(const float p[3], FlatProbe& probe) const noexcept {
    // The probe exactly as probeVertex makes it from the vertex.
    const double signedScaled = flat_.signedScaled(p);
    float image[3];
    const double distance = flat_.distance(p, signedScaled, image);
    if (!(distance > double(starterGate_))) return false;
    probe.target[0] = image[0];
    probe.target[1] = image[1];
    probe.target[2] = image[2];
    probe.distance = static_cast<float>(distance);
    probe.side = signedScaled > 0.0 ? 1 : -1;
    return isFiniteTarget(probe.target);
}

std::uint32_t ResymPartnerSearch::searchFrom(const float p[3], int rank) const noexcept {
    FlatProbe probe;
    if (!probeFrom(p, probe)) return kNone;
    return nearestOrdinal(table_.first(rank), table_.first(rank + 1), probe);
}

bool ResymPartnerSearch::lowerFirstBackwards() noexcept {
    // Deferring works when, of two starters that choose each other, the one
    // the caller's loop meets first (the lower ordinal) is searched first.
    // Which way through the columns that happens depends on how the mesh
    // numbers its halves, so a sample of pairs decides; their searches are
    // kept.
    constexpr std::uint32_t kSample = 256;
    const std::uint32_t count = index_.entryCount();
    const std::uint32_t stride = count / kSample > 0 ? count / kSample : 1;
    int votes = 0;
    for (std::uint32_t j = 0; j < count; j += stride) {
        const CellEntry& e = index_.entryAt(j);
        const int rank = table_.rankOf(e.key);
        const std::uint32_t partner = searchFrom(e.p, rank);
        partners_[e.key] = partner;
        if (partner >= kDeferred) continue;
        float image[3];
        flat_.mirror(e.p, image);
        const std::uint32_t here = index_.columnOf(e.p), there = index_.columnOf(image);
        if (here != there) votes += (e.key < partner) == (here < there) ? 1 : -1;
    }
    return votes < 0;
}

void ResymPartnerSearch::findAllPartners() noexcept {
    const bool backwards = lowerFirstBackwards();
    const std::uint32_t count = index_.entryCount();
    int rank = 0;
    // The probes of a few starters are made together before their searches:
    // each is a long chain of roundings that depends only on its starter, and
    // made side by side they overlap, where each between two searches would
    // wait for the one before. A starter deferred meanwhile wastes its probe.
    constexpr std::uint32_t kBatch = 16;
    FlatProbe probes[kBatch];
    bool probed[kBatch];
    for (std::uint32_t k0 = 0; k0 < count; k0 += kBatch) {
        const std::uint32_t n = std::min(kBatch, count - k0);
        for (std::uint32_t j = 0; j < n; ++j) {
            const std::uint32_t k = k0 + j;
            const CellEntry& e = index_.entryAt(backwards ? count - 1 - k : k);
            probed[j] = partners_[e.key] == kPending && probeFrom(e.p, probes[j]);
        }
        for (std::uint32_t j = 0; j < n; ++j) {
            const std::uint32_t k = k0 + j;
            const CellEntry& e = index_.entryAt(backwards ? count - 1 - k : k);
            if (partners_[e.key] != kPending) continue;
            if (e.key < table_.first(rank) || e.key >= table_.first(rank + 1))
                rank = table_.rankOf(e.key);
            const std::uint32_t partner =
                probed[j] ? nearestOrdinal(table_.first(rank), table_.first(rank + 1), probes[j])
                          : kNone;
            partners_[e.key] = partner;
            // The caller's loop meets starters in ordinal order. When it reaches
            // this starter, it takes this partner unless either is already
            // paired; a partner met later is then paired, and its own search
            // would change nothing. Mostly it is, so that search waits until the
            // loop finds the partner unpaired: half the searches of a
            // symmetric mesh are never made.
            if (partner < kDeferred && partner > e.key && partners_[partner] == kPending)
                partners_[partner] = kDeferred;
        }
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
    const int rank = table_.rankAt(position);
    starterOrdinal_ = table_.first(rank) + static_cast<std::uint32_t>(index);
    partnerOrdinal_ = partners_[starterOrdinal_];
    if (partnerOrdinal_ == kDeferred) {
        // A paired starter takes no pair, whatever its partner would be.
        if (bit(marks_, starterOrdinal_)) return nullptr;
        const float p[3] = {starter.x, starter.y, starter.z};
        partnerOrdinal_ = searchFrom(p, rank);
    }
    if (partnerOrdinal_ >= kDeferred) partnerOrdinal_ = kNone;
    // A partner belongs to its starter's object.
    return partnerOrdinal_ == kNone ? nullptr
                                    : object.vertices[partnerOrdinal_ - table_.first(rank)];
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

std::uint32_t ResymPartnerSearch::decide(std::uint32_t k, int rank,
                                         const HostObject& object) noexcept {
    // nearestPartner, eitherHeld and taken, in ordinals.
    if (bit(marks_, k)) return kNone;
    const std::uint32_t first = table_.first(rank);
    std::uint32_t partner = partners_[k];
    if (partner == kDeferred) {
        const HostVertex& v = *object.vertices[k - first];
        const float p[3] = {v.x, v.y, v.z};
        partner = searchFrom(p, rank);
    }
    if (partner >= kDeferred || bit(marks_, partner)) return kNone;
    markVertex(object.vertices[k - first], k);
    markVertex(object.vertices[partner - first], partner);
    return partner;
}

bool ResymPartnerSearch::pairAll(PointerList& resym) noexcept {
    if (!indexed_ || resym.items != nullptr) return false;
    // First every starter's choice, kept in partners_ (each is read only at
    // its own turn), which gives the count; then the list in one block.
    std::uint32_t pairs = 0;
    for (int rank = 0; rank < table_.rankCount(); ++rank) {
        const HostObject& object = *table_.objectOf(rank);
        for (std::uint32_t k = table_.first(rank); k < table_.first(rank + 1); ++k) {
            partners_[k] = decide(k, rank, object);
            pairs += partners_[k] != kNone ? 1 : 0;
        }
    }
    if (pairs == 0) return true;
    // appendPair doubles the storage (from 2) while fewer than three slots
    // are free: it ends at the least power of two above the count.
    const std::uint64_t count = 2 * std::uint64_t(pairs);
    std::uint64_t capacity = 4;
    while (capacity <= count) capacity *= 2;
    void** items = capacity <= std::uint64_t(INT32_MAX)
                       ? new (std::nothrow) void*[static_cast<std::size_t>(capacity)]
                       : nullptr;
    if (items == nullptr) {
        // The caller's loop takes every starter again from unmarked; it
        // reads each choice made here, which are its own.
        std::fill(marks_, marks_ + table_.total() / 32 + 1, 0u);
        return false;
    }
    std::size_t at = 0;
    for (int rank = 0; rank < table_.rankCount(); ++rank) {
        const HostObject& object = *table_.objectOf(rank);
        const std::uint32_t first = table_.first(rank);
        for (std::uint32_t k = first; k < table_.first(rank + 1); ++k) {
            if (partners_[k] == kNone) continue;
            items[at++] = object.vertices[k - first];
            items[at++] = object.vertices[partners_[k] - first];
        }
    }
    resym.items = items;
    resym.count = static_cast<std::int32_t>(count);
    resym.capacity = static_cast<std::int32_t>(capacity);
    return true;
}

void ResymPartnerSearch::markVertex(const HostVertex* vertex, std::uint32_t ordinal) noexcept {
    setBit(marks_, ordinal);
    if (!bit(twins_, ordinal)) return;
    // Every candidate that is this vertex sits at its position. Taken
    // vertices are finite: a starter with a non-finite coordinate has a
    // non-finite image and finds no partner.
    const float p[3] = {vertex->x, vertex->y, vertex->z};
    index_.visitNear(p, 0.0f, [&](const CellEntry& e) {
        if (e.p[0] == p[0] && e.p[1] == p[1] && e.p[2] == p[2] && table_.vertexOf(e.key) == vertex)
            setBit(marks_, e.key);
    });
}

std::uint32_t ResymPartnerSearch::nearestOrdinal(std::uint32_t lo, std::uint32_t hi,
                                                 const FlatProbe& probe) const noexcept {
    const float* target = probe.target;

    // The scan's choice, kept order-free: `least` is the least rounded
    // distance seen, `firstOfLeast` the earliest candidate rounding to it and
    // `lastBelow` the latest one whose unrounded distance is below it.
    bool found = false;
    float least = tolerance_;
    std::uint32_t firstOfLeast = kNone;
    std::uint32_t lastBelow = kNone;
    // Candidates that can still change the choice lie nearer than `bound`:
    // the scan's test is distance < tolerance, and a distance that rounds to
    // `least` is below the next float up. The index reads it again for
    // each column it visits.
    float bound = tolerance_;

    index_.visitNarrowing(target, bound, [&](const CellEntry& e) {
        if (e.key < lo || e.key >= hi) return;
        // The distance is at least the rounded x difference: a cheap early no.
        if (!absBelow(static_cast<float>(double(target[0]) - double(e.p[0])), double(bound)))
            return;
        const double distance = reachOf(target, e.p);
        if (!(distance < double(bound))) return;
        if (!flat_.faces(e.p, probe, tolerance_)) return;
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
            return;
        }
        bound = least < tolerance_ ? nextFloatUp(least) : tolerance_;
    });
    if (!found) return kNone;
    return lastBelow != kNone ? lastBelow : firstOfLeast;
}
