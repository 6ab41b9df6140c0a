#include "symmetry/candidate_table.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <new>

#include "symmetry/vertex_prefetch.h"

namespace {

struct Listing {
    const HostObject* object;
    int position;
};

}  // namespace

CandidateTable::~CandidateTable() {
    delete[] rankAt_;
    delete[] firstPosition_;
    delete[] first_;
}

bool CandidateTable::build(const ObjectList& list, const HostObject* plane) noexcept {
    list_ = &list;
    const int count = list.count > 0 ? list.count : 0;
    rankAt_ = new (std::nothrow) int[std::size_t(count) + 1];
    firstPosition_ = new (std::nothrow) int[std::size_t(count) + 1];
    first_ = new (std::nothrow) std::uint32_t[std::size_t(count) + 1];
    Listing* listings = new (std::nothrow) Listing[std::size_t(count) + 1];
    if (rankAt_ == nullptr || firstPosition_ == nullptr || first_ == nullptr ||
        listings == nullptr) {
        delete[] listings;
        return false;
    }
    // Repeated listings are found by sorting (object, position) pairs, so a
    // long list costs n log n rather than n^2.
    for (int p = 0; p < count; ++p) listings[p] = Listing{list.items[p], p};
    std::sort(listings, listings + count, [](const Listing& a, const Listing& b) {
        return a.object != b.object ? std::less<const HostObject*>()(a.object, b.object)
                                    : a.position < b.position;
    });
    for (int p = 0; p < count; ++p) rankAt_[p] = 0;
    for (int i = 0; i < count; ++i) {
        const bool repeat = i > 0 && listings[i].object == listings[i - 1].object;
        if (repeat || listings[i].object == plane) rankAt_[listings[i].position] = -1;
    }
    delete[] listings;

    std::uint64_t sum = 0;
    ranks_ = 0;
    for (int p = 0; p < count; ++p) {
        if (rankAt_[p] < 0) continue;
        rankAt_[p] = ranks_;
        firstPosition_[ranks_] = p;
        first_[ranks_] = static_cast<std::uint32_t>(sum);
        const std::int32_t vertices = list.items[p]->vertexCount;
        sum += vertices > 0 ? std::uint64_t(vertices) : 0;
        ++ranks_;
        if (sum >= (std::uint64_t(1) << 31)) return false;
    }
    first_[ranks_] = static_cast<std::uint32_t>(sum);
    return true;
}

int CandidateTable::rankOf(std::uint32_t ordinal) const noexcept {
    // The last rank whose first ordinal is not beyond `ordinal`; empty objects
    // share their first ordinal with the next rank and are never the answer.
    const std::uint32_t* found = std::upper_bound(first_, first_ + ranks_, ordinal);
    return static_cast<int>(found - first_) - 1;
}

HostVertex* CandidateTable::vertexOf(std::uint32_t ordinal) const noexcept {
    const int rank = rankOf(ordinal);
    return list_->items[firstPosition_[rank]]->vertices[ordinal - first_[rank]];
}

bool CandidateTable::fillGrid(SpatialGrid& grid, const CellScale& scale, const CellSet* focus,
                              bool fewerBuckets) const noexcept {
    if (focus != nullptr) return fillFocused(grid, scale, *focus);
    if (!grid.start(scale, fewerBuckets ? total() / 2 : total())) return false;
    for (int r = 0; r < ranks_; ++r) {
        const HostObject& object = *list_->items[firstPosition_[r]];
        for (std::uint32_t i = 0; i < first_[r + 1] - first_[r]; ++i) {
            prefetchVertex(object, std::int64_t(i) + kVertexPrefetchDistance);
            const HostVertex& v = *object.vertices[i];
            if (isFinitePoint(v)) grid.count(v.x, v.y, v.z);
        }
    }
    if (!grid.finishCounting()) return false;
    for (int r = ranks_ - 1; r >= 0; --r) {
        const HostObject& object = *list_->items[firstPosition_[r]];
        for (std::uint32_t i = first_[r + 1] - first_[r]; i-- > 0;) {
            prefetchVertex(object, std::int64_t(i) - kVertexPrefetchDistance);
            const HostVertex& v = *object.vertices[i];
            if (isFinitePoint(v)) grid.place(first_[r] + i, v.x, v.y, v.z);
        }
    }
    return true;
}

bool CandidateTable::fillFocused(SpatialGrid& grid, const CellScale& scale,
                                 const CellSet& focus) const noexcept {
    // One pass over all candidates keeps those in focus, in ascending
    // ordinal; they are then placed from that list, backwards.
    const CellBox& bounds = focus.bounds();
    GridEntry* kept = nullptr;
    std::size_t keptCount = 0;
    std::size_t keptCapacity = 0;
    auto keep = [&](std::uint32_t ordinal, const HostVertex& v) {
        if (keptCount == keptCapacity) {
            const std::size_t capacity = keptCapacity == 0 ? 1024 : 2 * keptCapacity;
            GridEntry* fresh = new (std::nothrow) GridEntry[capacity];
            if (fresh == nullptr) return false;
            for (std::size_t k = 0; k < keptCount; ++k) fresh[k] = kept[k];
            delete[] kept;
            kept = fresh;
            keptCapacity = capacity;
        }
        kept[keptCount++] = GridEntry{v.x, v.y, v.z, ordinal};
        return true;
    };
    bool ok = true;
    for (int r = 0; r < ranks_ && ok; ++r) {
        const HostObject& object = *list_->items[firstPosition_[r]];
        for (std::uint32_t i = 0; i < first_[r + 1] - first_[r]; ++i) {
            prefetchVertex(object, std::int64_t(i) + kVertexPrefetchDistance);
            const HostVertex& v = *object.vertices[i];
            if (!isFinitePoint(v)) continue;
            const std::int64_t cx = scale.cellOf(v.x);
            if (cx < bounds.lo[0] || cx > bounds.hi[0]) continue;
            const std::int64_t cy = scale.cellOf(v.y);
            if (cy < bounds.lo[1] || cy > bounds.hi[1]) continue;
            const std::int64_t cz = scale.cellOf(v.z);
            if (cz < bounds.lo[2] || cz > bounds.hi[2] || !focus.contains(cx, cy, cz)) continue;
            if (!keep(first_[r] + i, v)) {
                ok = false;
                break;
            }
        }
    }
    ok = ok && grid.start(scale, static_cast<std::uint32_t>(keptCount));
    if (ok) {
        for (std::size_t k = 0; k < keptCount; ++k) grid.count(kept[k].x, kept[k].y, kept[k].z);
        ok = grid.finishCounting();
    }
    if (ok) {
        for (std::size_t k = keptCount; k-- > 0;)
            grid.place(kept[k].key, kept[k].x, kept[k].y, kept[k].z);
    }
    delete[] kept;
    return ok;
}

std::size_t CandidateTable::bytes() const noexcept {
    const std::size_t count = list_ != nullptr && list_->count > 0 ? std::size_t(list_->count) : 0;
    return (count + 1) * (2 * sizeof(int) + sizeof(std::uint32_t));
}
