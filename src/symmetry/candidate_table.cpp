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

IndexBox CandidateTable::sampleBox() const noexcept {
    IndexBox box{{0, 0, 0}, {0, 0, 0}};
    bool any = false;
    const std::uint32_t stride = std::max<std::uint32_t>(1, total() / kSampledCandidates);
    for (int r = 0; r < ranks_; ++r) {
        const HostObject& object = *list_->items[firstPosition_[r]];
        // The first ordinal of the object that is a multiple of the stride.
        const std::uint32_t skip = (stride - first_[r] % stride) % stride;
        for (std::uint32_t i = skip; i < first_[r + 1] - first_[r]; i += stride) {
            const HostVertex& v = *object.vertices[i];
            if (!isFinitePoint(v)) continue;
            const double p[3] = {v.x, v.y, v.z};
            for (int axis = 0; axis < 3; ++axis) {
                if (!any || p[axis] < box.lo[axis]) box.lo[axis] = p[axis];
                if (!any || p[axis] > box.hi[axis]) box.hi[axis] = p[axis];
            }
            any = true;
        }
    }
    return box;
}

bool CandidateTable::fillIndex(CellIndex& index, std::uint32_t* columns) const noexcept {
    // Two passes over the host's vertices (count, then place) rather than a
    // copy sorted afterwards: a copy would hold every point twice at once.
    for (int r = 0; r < ranks_; ++r) {
        const HostObject& object = *list_->items[firstPosition_[r]];
        for (std::uint32_t i = 0; i < first_[r + 1] - first_[r]; ++i) {
            prefetchVertex(object, std::int64_t(i) + kVertexPrefetchDistance);
            const HostVertex& v = *object.vertices[i];
            const float p[3] = {v.x, v.y, v.z};
            if (!isFinitePoint(v)) continue;
            if (columns == nullptr) {
                index.count(p);
                continue;
            }
            columns[first_[r] + i] = index.columnOf(p);
            index.countIn(columns[first_[r] + i]);
        }
    }
    if (!index.finishCounting()) return false;
    for (int r = 0; r < ranks_; ++r) {
        const HostObject& object = *list_->items[firstPosition_[r]];
        for (std::uint32_t i = 0; i < first_[r + 1] - first_[r]; ++i) {
            prefetchVertex(object, std::int64_t(i) + kVertexPrefetchDistance);
            const HostVertex& v = *object.vertices[i];
            const float p[3] = {v.x, v.y, v.z};
            if (!isFinitePoint(v)) continue;
            if (columns != nullptr)
                index.placeIn(columns[first_[r] + i], first_[r] + i, p);
            else
                index.place(first_[r] + i, p);
        }
    }
    index.finish();
    return true;
}

bool CandidateTable::fillIndexInReach(CellIndex& index, const ColumnMask& mask) const noexcept {
    // One pass over every candidate counts those in reach and notes their
    // ordinals; only those, usually few, are read again to be placed.
    std::uint32_t* kept = nullptr;
    std::size_t count = 0;
    std::size_t capacity = 0;
    bool ok = true;
    for (int r = 0; r < ranks_ && ok; ++r) {
        const HostObject& object = *list_->items[firstPosition_[r]];
        for (std::uint32_t i = 0; i < first_[r + 1] - first_[r]; ++i) {
            prefetchVertex(object, std::int64_t(i) + kVertexPrefetchDistance);
            const HostVertex& v = *object.vertices[i];
            const float p[3] = {v.x, v.y, v.z};
            // The box is finite: it leaves out every position that is not.
            if (!index.inBox(p) || !mask.holds(p)) continue;
            if (count == capacity) {
                // Growth by half keeps this list and the entries within
                // 24 bytes per candidate even when every one is in the box.
                capacity = capacity == 0 ? 1024 : capacity + capacity / 2;
                std::uint32_t* grown = new (std::nothrow) std::uint32_t[capacity];
                ok = grown != nullptr;
                if (!ok) break;
                std::copy(kept, kept + count, grown);
                delete[] kept;
                kept = grown;
            }
            kept[count++] = first_[r] + i;
            index.count(p);
        }
    }
    ok = ok && index.finishCounting();
    int r = 0;
    for (std::size_t k = 0; ok && k < count; ++k) {
        while (kept[k] >= first_[r + 1]) ++r;
        const HostVertex& v = *list_->items[firstPosition_[r]]->vertices[kept[k] - first_[r]];
        const float p[3] = {v.x, v.y, v.z};
        index.place(kept[k], p);
    }
    delete[] kept;
    if (ok) index.finish();
    return ok;
}

std::size_t CandidateTable::bytes() const noexcept {
    const std::size_t count = list_ != nullptr && list_->count > 0 ? std::size_t(list_->count) : 0;
    return (count + 1) * (2 * sizeof(int) + sizeof(std::uint32_t));
}
