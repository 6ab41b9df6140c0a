// Live matching's fresh search through the spatial index (cell_index.h),
// called by mirror_match.cpp in place of findFirstPartner and of the pair
// list's linear lookup. It answers every call exactly as the scan would. When
// its memory cannot be had, it answers with the scan itself, so the caller
// never needs a second code path. Nothing here writes a vertex or a list.
//
// Why the answers are the scan's, beyond the reach argument of cell_index.h:
// - Non-finite values. If a coordinate of a target or a candidate is
//   infinite or NaN, so is the distance, and "< tol" fails for every tol.
//   Such candidates are not indexed and such targets find nothing. A
//   tolerance that is not greater than 0 (or NaN) fails |dM - dC| < tol.
// - Itself. A source never accepts itself: its side times its own side is +1.
// - Positions. Candidates are indexed where they stand when the search
//   starts, and only those in reach of some source's image. A source is
//   probed at its turn where it stood at the start: it moves only as a
//   partner, and then stands in a pair and is never searched for. Live
//   matching moves only partners, and a partner stands in the pair list from
//   the moment it moves; a taken vertex is never accepted again, so its
//   stale index entry can only be rejected.
// - Order. The first acceptable candidate in scan order (objects in list
//   order, then vertex order) is the acceptable candidate of least ordinal.
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
#include "symmetry/vertex_set.h"

// The caller keeps the scan's loop (sources in order, objects in list order)
// and asks this object for each source and object.
class LivePartnerSearch {
public:
    // Indexes the candidates of `underEdit` (plane object excluded) that lie
    // within reach of the images of the sources moved->items[0 ..
    // sourceCount - 1], when `useIndex` is set and memory allows; otherwise
    // every call scans.
    LivePartnerSearch(const PlaneFrame& frame, const ObjectList& underEdit, const HostObject* plane,
                      float tolerance, const VertexList& moved, int sourceCount,
                      bool useIndex) noexcept;

    bool indexed() const noexcept { return indexed_; }
    std::size_t bytes() const noexcept { return table_.bytes() + index_.bytes() + taken_.bytes(); }

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

    const PlaneFrame& frame_;
    FlatFrame flat_;
    float tolerance_;
    CandidateTable table_;
    CellIndex index_;
    VertexSet taken_;
    bool indexed_ = false;
    bool answered_ = false;
    std::uint32_t answer_ = 0;
};
