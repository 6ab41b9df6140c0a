// Partner searches through a spatial index that answer exactly as the plain
// scans of pair_scan.h: live matching's fresh search (mirror_match.cpp) and
// Smart Resym's pair search (smart_resym.cpp) call these in place of the scans.
// Each object is built at the start of one search; when its memory cannot be
// had it answers every call with the scan itself, so a caller never needs a
// second code path. Nothing here writes a vertex or a list.
//
// Why the answers are the scan's:
// - Reach. A candidate C is accepted only when T.distanceTo(C) < tol, T the
//   target. distanceTo is sqrt(dx^2 + (dy^2 + dz^2)) with dx the float
//   rounding of the double rounding of T.x - C.x. The sum is at least dx^2,
//   which is exact (a float squared fits a double), and sqrt and rounding are
//   monotone, so the distance is at least |dx|. Rounding is monotone and tol is
//   a float, so |T.x - C.x| >= tol would give |dx| >= tol. Hence an accepted
//   C has |T - C| < tol exactly on every axis, and SpatialGrid::boxAround
//   holds its cell. The same holds for any float bound in place of tol.
// - Non-finite values. If a coordinate of T or C is infinite or NaN, dx is
//   infinite or NaN, so is the distance, and "< tol" fails for every tol. Such
//   candidates are not indexed and such targets find nothing, as in the scan.
//   A tolerance that is not greater than 0 (or NaN) fails |dM - dC| < tol.
// - Itself. A source never accepts itself: its side times its own side is +1.
// - Positions. Candidates are indexed where they stand when the search
//   starts. Live matching moves only partners, and a partner stands in the
//   pair list from the moment it moves; a taken vertex is never accepted
//   again, so its stale index entry can only be rejected. Smart Resym moves
//   nothing until its search is over.
// - Order. Every candidate the scan could accept is visited and decided with
//   the scan's own tests; ties are broken as the scan's loop breaks them (see
//   the two classes).
#pragma once

#include <cstdint>

#include "host/host_records.h"
#include "symmetry/candidate_table.h"
#include "symmetry/pair_scan.h"
#include "symmetry/plane_frame.h"
#include "symmetry/pointer_list.h"
#include "symmetry/spatial_grid.h"
#include "symmetry/vertex_set.h"

// projectOntoPlane for a point held as bare floats: the same operations in the
// same order, rounded where projectOntoPlane rounds, so its side, distance and foot
// are bit for bit projectOntoPlane's (the differential suite holds them to it).
// Building a Vector3 per candidate and calling through its out-of-line
// members cost more than the rest of a search.
class FlatFrame {
public:
    explicit FlatFrame(const PlaneFrame& frame) noexcept;
    // n . (p - pivot), unrounded: the side is +1 exactly when this is > 0.
    double signedScaled(float x, float y, float z) const noexcept;
    // The unsigned plane distance of p, given its signedScaled; with `image`,
    // also p's mirror image foot + (foot - p), as probeVertex makes it.
    double distance(float x, float y, float z, double signedScaled,
                    float* image = nullptr) const noexcept;

private:
    double normal_[3];
    double pivot_[3];
    double normalSq_;
};

// Live matching's fresh search over the objects under edit. The caller keeps
// the scan's loop (sources in order, objects in list order) and asks this
// object in place of findFirstPartner and of the pair list's linear lookup.
// The first acceptable candidate in scan order is the acceptable candidate of
// least ordinal; each grid bucket is ordered by ordinal, so a bucket is left
// at its first acceptable entry or at an ordinal past the best found so far.
class LivePartnerSearch {
public:
    // Indexes the candidates of `underEdit` (plane object excluded) when
    // `useIndex` is set and memory allows; otherwise every call scans. The
    // sources are moved->items[0 .. sourceCount - 1]. When they are few next
    // to the candidates, only candidates in cells within reach of a source's
    // image are indexed: a source is probed at its turn where it stood at the
    // start (it moves only as a partner, and then stands in a pair and is
    // never searched for), so its image and cells are known in advance.
    LivePartnerSearch(const PlaneFrame& frame, const ObjectList& underEdit, const HostObject* plane,
                      float tolerance, const VertexList& moved, int sourceCount,
                      bool useIndex) noexcept;

    bool indexed() const noexcept { return indexed_; }
    std::size_t bytes() const noexcept { return table_.bytes() + grid_.bytes() + taken_.bytes(); }

    // Call before the objects loop of each source.
    void startSource() noexcept { answered_ = false; }
    // Whether `vertex` stands in `pairs` (the pair list this search fills).
    bool holds(const PointerList& pairs, const HostVertex* vertex) const noexcept;
    // What findFirstPartner(frame, object, probe, tolerance, pairs) returns
    // for `object`, listed at `position` of the objects under edit, given that
    // no object listed before it yielded a partner for this source.
    HostVertex* firstPartner(int position, const HostObject& object, const MirrorProbe& probe,
                             const PointerList& pairs) noexcept;
    // The pair (source, partner) was appended to the pair list.
    void taken(const HostVertex* source, const HostVertex* partner) noexcept;
    // The pair list could not take a pair: from now on every call scans.
    void abandon() noexcept { indexed_ = false; }

private:
    std::uint32_t leastAcceptable(const MirrorProbe& probe) const noexcept;

    bool focusOn(const VertexList& moved, int sourceCount, const CellScale& scale,
                 CellSet& focus) const noexcept;

    const PlaneFrame& frame_;
    FlatFrame flat_;
    float tolerance_;
    CandidateTable table_;
    SpatialGrid grid_;
    VertexSet taken_;
    bool indexed_ = false;
    bool focused_ = false;
    bool answered_ = false;
    std::uint32_t answer_ = 0;
};

// Smart Resym's search inside each object of the chosen list. The scan keeps
// its best distance as a float and takes a candidate only when it is strictly
// nearer than that float, so its choice is: among the candidates whose
// rounded distance is the least, m, the last one (in vertex order) lying
// strictly below m, or the first of them when none does. That choice does
// not depend on the order of visits, so the grid is searched ring by ring
// outward and the search box shrinks to what can still tie with m.
// A starter's choice depends only on positions, which do not change during
// the search, so every starter's partner is found up front, in grid order:
// neighbouring starters search neighbouring cells, which keeps the grid in
// cache. The caller's loop then only reads them, in its own order.
// Membership in the resym list is a mark per candidate: taking a vertex marks
// every candidate that is the same vertex (an object listed again, or a
// vertex shared between objects); a candidate known to have no twin at its
// position is marked alone.
class ResymPartnerSearch {
public:
    // Starters whose plane distance (projectOntoPlane's, unrounded) is not above
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
    // probeVertex(frame, starter), tolerance) returns. Indexed, the answer
    // was found up front and `starter` is not read.
    HostVertex* nearestPartner(int position, std::int32_t index, const HostObject& object,
                               const HostVertex& starter) noexcept;
    // resym.contains(starter) || resym.contains(partner), for the starter and
    // partner of the last nearestPartner call.
    bool eitherHeld(const PointerList& resym, const HostVertex* starter,
                    const HostVertex* partner) const noexcept;
    // The pair of the last nearestPartner call was appended.
    void taken(const HostVertex* starter, const HostVertex* partner) noexcept;
    void abandon() noexcept { indexed_ = false; }

private:
    std::uint32_t nearestOrdinal(std::uint32_t lo, std::uint32_t hi,
                                 const MirrorProbe& probe) const noexcept;
    void findAllPartners() noexcept;
    static bool bit(const std::uint32_t* bits, std::uint32_t i) noexcept {
        return (bits[i >> 5] >> (i & 31)) & 1u;
    }
    static void setBit(std::uint32_t* bits, std::uint32_t i) noexcept {
        bits[i >> 5] |= 1u << (i & 31);
    }
    void markVertex(const HostVertex* vertex, std::uint32_t ordinal) noexcept;

    const PlaneFrame& frame_;
    FlatFrame flat_;
    float tolerance_;
    float starterGate_;
    CandidateTable table_;
    SpatialGrid grid_;
    std::uint32_t* marks_ = nullptr;     // in the resym list, per ordinal
    std::uint32_t* twins_ = nullptr;     // may share its vertex with another ordinal
    std::uint32_t* partners_ = nullptr;  // each starter's choice, per ordinal
    bool indexed_ = false;
    std::uint32_t starterOrdinal_ = 0;
    std::uint32_t partnerOrdinal_ = 0;
};
