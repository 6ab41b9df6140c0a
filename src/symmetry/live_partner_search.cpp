#include "symmetry/live_partner_search.h"

#include <algorithm>
#include <limits>

namespace {

constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();
constexpr double kFloatMax = std::numeric_limits<float>::max();

// Calls visit(image) for each finite image of the sources, as bare floats.
template <class Visit>
void visitImages(const PlaneFrame& frame, const VertexList& moved, int sourceCount, Visit&& visit) {
    for (int h = 0; h < sourceCount; ++h) {
        double exactDistance = 0.0;
        const FlatProbe flat(probeVertex(frame, *moved.items[h], exactDistance));
        if (isFiniteTarget(flat.target)) visit(flat.target);
    }
}

// The box of every point within `tolerance` of a finite image of the sources
// on each axis, bounds rounded in double (see cell_index.h), clipped to the
// float range so that its extent stays finite. False when no image is finite.
bool reachOfImages(const PlaneFrame& frame, const VertexList& moved, int sourceCount,
                   float tolerance, IndexBox& box) {
    bool any = false;
    visitImages(frame, moved, sourceCount, [&](const float target[3]) {
        const double t[3] = {target[0], target[1], target[2]};
        for (int axis = 0; axis < 3; ++axis) {
            const double lo = std::max(-kFloatMax, t[axis] - double(tolerance));
            const double hi = std::min(kFloatMax, t[axis] + double(tolerance));
            if (!any || lo < box.lo[axis]) box.lo[axis] = lo;
            if (!any || hi > box.hi[axis]) box.hi[axis] = hi;
        }
        any = true;
    });
    return any;
}

}  // namespace

LivePartnerSearch::LivePartnerSearch(const PlaneFrame& frame, const ObjectList& underEdit,
                                     const HostObject* plane, float tolerance,
                                     const VertexList& moved, int sourceCount,
                                     bool useIndex) noexcept
    : frame_(frame), flat_(frame), tolerance_(tolerance) {
    if (!useIndex) return;
    if (!table_.build(underEdit, plane) || !taken_.reserve(2 * std::size_t(sourceCount))) return;
    // With no positive tolerance nothing is ever accepted: no index is needed.
    IndexBox box;
    if (tolerance > 0.0f && reachOfImages(frame, moved, sourceCount, tolerance, box)) {
        // Sources spread over a mesh have images spread over the box, with
        // most of the box out of every one's reach: a mask of fine columns
        // (a bit per candidate at most) keeps out what lies there, so only
        // the candidates near some image are indexed.
        ColumnMask near;
        if (!near.start(box, double(tolerance), table_.total() + 1)) return;
        visitImages(frame, moved, sourceCount,
                    [&](const float target[3]) { near.mark(target, tolerance); });
        // The candidates in reach number about as many as the sources.
        const std::uint32_t columns = std::min(std::uint32_t(sourceCount), table_.total() / 2 + 1);
        if (!index_.start(box, double(tolerance), columns) ||
            !table_.fillIndexInReach(index_, near))
            return;
    }
    indexed_ = true;
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

std::uint32_t LivePartnerSearch::leastAcceptable(const MirrorProbe& source) const noexcept {
    const FlatProbe probe(source);
    if (!(tolerance_ > 0.0f) || !isFiniteTarget(probe.target)) return kNone;
    std::uint32_t best = kNone;
    index_.visitNear(probe.target, tolerance_, [&](const CellEntry& e) {
        if (e.key >= best) return;
        if (!(reachOf(probe.target, e.p) < double(tolerance_))) return;
        if (!flat_.faces(e.p, probe, tolerance_)) return;
        if (taken_.contains(table_.vertexOf(e.key))) return;
        best = e.key;
    });
    return best;
}
