// Smart Resym's pair search through the spatial index (cell_index.h), called
// by smart_resym.cpp in place of findNearestPartner and of the resym list's
// linear lookup. It answers every call exactly as the scan would, ties
// included. When its memory cannot be had, it answers with the scan itself,
// so the caller never needs a second code path. Nothing here writes a vertex
// or a list.
//
// The scan keeps its best distance as a float and takes a candidate only when
// it is strictly nearer than that float, so its choice is: among the
// candidates whose rounded distance is the least, m, the last one (in vertex
// order) lying strictly below m, or the first of them when none does. That
// choice does not depend on the order of visits, so the index may hand out
// candidates in any order, and the search narrows to what can still tie m.
// A starter's choice depends only on positions, which do not change during
// the search (nothing moves until it is over), so every starter's partner is
// found up front, starters taken in the index's order: neighbouring starters
// have neighbouring images, which keeps the columns they read in cache. The
// caller's loop then only reads them, in its own order, except for the
// searches deferred as most likely moot (see findAllPartners).
// Membership in the resym list is a mark per candidate: taking a vertex marks
// every candidate that is the same vertex (an object listed again, or a
// vertex shared between objects); a candidate with no other at its exact
// position is marked alone.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/host_records.h"
#include "symmetry/candidate_table.h"
#include "symmetry/cell_index.h"
#include "symmetry/flat_frame.h"
#include "symmetry/pair_scan.h"
#include "symmetry/plane_frame.h"
#include "symmetry/pointer_list.h"

class ResymPartnerSearch {
public:
    // Starters whose plane distance (projectOnto's, unrounded) is not above
    // `starterGate` are not searched for: they get no partner.
    ResymPartnerSearch(const PlaneFrame& frame, const ObjectList& objects, const HostObject* plane,
                       float tolerance, float starterGate, bool useIndex) noexcept;
    ~ResymPartnerSearch();
    ResymPartnerSearch(const ResymPartnerSearch&) = delete;
    ResymPartnerSearch& operator=(const ResymPartnerSearch&) = delete;

    bool indexed() const noexcept { return indexed_; }
    std::size_t bytes() const noexcept;

    // True when the object listed at `position` was listed before: scanning
    // it again finds only starters or partners already in the list, since
    // nothing moves during the search and the list only grows.
    bool skips(int position) const noexcept;
    // Null when `starter`, vertex `index` of `object` listed at `position`,
    // is within the gate; else what findNearestPartner(frame, object,
    // probeVertex(frame, starter), tolerance) returns, except that a starter
    // already in the list may get null. Indexed, the answer was mostly found
    // up front.
    HostVertex* nearestPartner(int position, std::int32_t index, const HostObject& object,
                               const HostVertex& starter) noexcept;
    // resym.contains(starter) || resym.contains(partner), for the starter and
    // partner of the last nearestPartner call.
    bool eitherHeld(const PointerList& resym, const HostVertex* starter,
                    const HostVertex* partner) const noexcept;
    // The pair of the last nearestPartner call was appended.
    void taken(const HostVertex* starter, const HostVertex* partner) noexcept;
    // The resym list could not take a pair: from now on every call scans.
    void abandon() noexcept { indexed_ = false; }

    // Pairs every starter at once, as the caller's loop of nearestPartner,
    // eitherHeld, appendPair and taken would, objects in list order and
    // vertices in order, into the empty `resym`: the same pairs in the same
    // order, and the capacity those appends would have grown it to, in one
    // allocation. False when not indexed, or when that storage cannot be
    // had; the caller's loop then runs as if this had not been called.
    bool pairAll(PointerList& resym) noexcept;

private:
    bool allocate() noexcept;
    void findTwins() noexcept;
    void findAllPartners() noexcept;
    // Whether to take the columns from the last: see its definition.
    bool lowerFirstBackwards() noexcept;
    // The probe of a starter at p, as probeVertex makes it; false when the
    // starter is within the gate or its image is not finite (no partner).
    bool probeFrom(const float p[3], FlatProbe& probe) const noexcept;
    // The partner ordinal of a starter at p in the object of `rank`, or
    // kNone (within the gate, image not finite, or no candidate).
    std::uint32_t searchFrom(const float p[3], int rank) const noexcept;
    std::uint32_t nearestOrdinal(std::uint32_t lo, std::uint32_t hi,
                                 const FlatProbe& probe) const noexcept;
    void markVertex(const HostVertex* vertex, std::uint32_t ordinal) noexcept;
    // The partner of starter `k` (rank `rank`, in `object`) under the marks
    // as they stand, or kNone; marks the pair it takes.
    std::uint32_t decide(std::uint32_t k, int rank, const HostObject& object) noexcept;
    static bool bit(const std::uint32_t* bits, std::uint32_t i) noexcept {
        return (bits[i >> 5] >> (i & 31)) & 1u;
    }
    static void setBit(std::uint32_t* bits, std::uint32_t i) noexcept {
        bits[i >> 5] |= 1u << (i & 31);
    }

    const PlaneFrame& frame_;
    FlatFrame flat_;
    float tolerance_;
    float starterGate_;
    CandidateTable table_;
    CellIndex index_;
    std::uint32_t* marks_ = nullptr;     // in the resym list, per ordinal
    std::uint32_t* twins_ = nullptr;     // may share its vertex with another ordinal
    std::uint32_t* partners_ = nullptr;  // each starter's choice, per ordinal
    bool indexed_ = false;
    std::uint32_t starterOrdinal_ = 0;
    std::uint32_t partnerOrdinal_ = 0;
};
