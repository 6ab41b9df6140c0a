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
    double extent[3];
    for (int axis = 0; axis < 3; ++axis) extent[axis] = std::max(0.0, box.hi[axis] - box.lo[axis]);
    // Columns across the two longest axes: the third then holds the fewest
    // points of a column.
    std::sort(axis_, axis_ + 3, [&](int a, int b) { return extent[a] > extent[b]; });
    const double eu = extent[axis_[0]], ev = extent[axis_[1]];
    const double wanted = columns > 0 ? double(columns) : 1.0;
    // As many columns as wanted over the box, but no cell narrower than
    // minCell: a reach of minCell / 2 then spans at most two columns per axis.
    double cell = eu * ev > 0.0 ? std::sqrt(eu * ev / wanted) : eu / wanted;
    if (!(cell >= minCell)) cell = minCell;
    if (!(cell > 0.0)) cell = 1.0;
    const double limit = wanted + wanted / 4 + 64;
    double nu = 1, nv = 1;
    for (;;) {
        nu = std::floor(eu / cell) + 1;
        nv = std::floor(ev / cell) + 1;
        if (nu * nv <= limit) break;
        cell *= 1.25;
    }
    scale_ = 1.0 / cell;
    cells_[0] = static_cast<int>(nu);
    cells_[1] = static_cast<int>(nv);
    for (int role = 0; role < 2; ++role) {
        origin_[role] = box.lo[axis_[role]];
        last_[role] = double(cells_[role] - 1);
    }
    columns_ = static_cast<std::uint32_t>(nu * nv);
    starts_ = new (std::nothrow) std::uint32_t[std::size_t(columns_) + 1];
    if (starts_ == nullptr) return false;
    std::fill(starts_, starts_ + columns_ + 1, 0u);
    return true;
}

bool CellIndex::finishCounting() noexcept {
    for (std::uint32_t c = 0; c < columns_; ++c) starts_[c + 1] += starts_[c];
    entryCount_ = starts_[columns_];
    entries_ = new (std::nothrow) CellEntry[entryCount_ > 0 ? entryCount_ : 1];
    return entries_ != nullptr;
}

void CellIndex::place(std::uint32_t key, const float p[3]) noexcept {
    // Each start advances to the column's end; finish() shifts them back.
    CellEntry& e = entries_[starts_[columnOf(p)]++];
    e.p[0] = p[0];
    e.p[1] = p[1];
    e.p[2] = p[2];
    e.key = key;
}

void CellIndex::finish() noexcept {
    for (std::uint32_t c = columns_; c > 0; --c) starts_[c] = starts_[c - 1];
    starts_[0] = 0;
    const int u = axis_[0], v = axis_[1], w = axis_[2];
    for (std::uint32_t c = 0; c < columns_; ++c) {
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
    return sizeof(std::uint32_t) * (std::size_t(columns_) + 1) +
           sizeof(CellEntry) * std::size_t(entryCount_);
}
