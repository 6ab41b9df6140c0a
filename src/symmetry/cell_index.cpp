#include "symmetry/cell_index.h"

#include <algorithm>
#include <cmath>
#include <new>

CellIndex::~CellIndex() {
    delete[] starts_;
    delete[] entries_;
}

bool CellIndex::start(const IndexBox& box, double minCell, std::uint32_t columns) noexcept {
    box_ = box;
    grid_.lay(box, minCell, columns);
    starts_ = new (std::nothrow) std::uint32_t[std::size_t(grid_.columnCount()) + 1];
    if (starts_ == nullptr) return false;
    std::fill(starts_, starts_ + grid_.columnCount() + 1, 0u);
    return true;
}

bool CellIndex::finishCounting() noexcept {
    const std::uint32_t columns = grid_.columnCount();
    for (std::uint32_t c = 0; c < columns; ++c) starts_[c + 1] += starts_[c];
    entryCount_ = starts_[columns];
    entries_ = new (std::nothrow) CellEntry[entryCount_ > 0 ? entryCount_ : 1];
    return entries_ != nullptr;
}

void CellIndex::place(std::uint32_t key, const float p[3]) noexcept {
    // Each start advances to the column's end; finish() shifts them back.
    CellEntry& e = entries_[starts_[grid_.columnOf(p)]++];
    e.p[0] = p[0];
    e.p[1] = p[1];
    e.p[2] = p[2];
    e.key = key;
}

void CellIndex::finish() noexcept {
    const std::uint32_t columns = grid_.columnCount();
    for (std::uint32_t c = columns; c > 0; --c) starts_[c] = starts_[c - 1];
    starts_[0] = 0;
    const int u = grid_.axis(0), v = grid_.axis(1), w = grid_.axis(2);
    for (std::uint32_t c = 0; c < columns; ++c) {
        if (!isLong(starts_[c + 1] - starts_[c])) continue;
        std::sort(entries_ + starts_[c], entries_ + starts_[c + 1],
                  [=](const CellEntry& a, const CellEntry& b) {
                      if (a.p[w] != b.p[w]) return a.p[w] < b.p[w];
                      if (a.p[u] != b.p[u]) return a.p[u] < b.p[u];
                      if (a.p[v] != b.p[v]) return a.p[v] < b.p[v];
                      return a.key < b.key;
                  });
    }
}

const CellEntry* CellIndex::firstAtOrAbove(const CellEntry* begin, const CellEntry* end, int axis,
                                           double w) noexcept {
    return std::partition_point(begin, end,
                                [=](const CellEntry& e) { return double(e.p[axis]) < w; });
}

std::size_t CellIndex::bytes() const noexcept {
    return sizeof(std::uint32_t) * (std::size_t(grid_.columnCount()) + 1) +
           sizeof(CellEntry) * std::size_t(entryCount_);
}
