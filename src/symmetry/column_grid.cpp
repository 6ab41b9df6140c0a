#include "symmetry/column_grid.h"

#include <algorithm>
#include <cmath>
#include <new>

void ColumnGrid::lay(const IndexBox& box, double minCell, std::uint32_t columns) noexcept {
    double extent[3];
    for (int axis = 0; axis < 3; ++axis) extent[axis] = std::max(0.0, box.hi[axis] - box.lo[axis]);
    // Columns across the two longest axes: the third then holds the fewest
    // points of a column.
    std::sort(axis_, axis_ + 3, [&](int a, int b) { return extent[a] > extent[b]; });
    const double eu = extent[axis_[0]], ev = extent[axis_[1]];
    const double wanted = columns > 0 ? double(columns) : 1.0;
    // As many columns as wanted over the box, but no cell narrower than minCell.
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
}

ColumnMask::~ColumnMask() {
    delete[] bits_;
}

bool ColumnMask::start(const IndexBox& box, double minCell, std::uint32_t columns) noexcept {
    grid_.lay(box, minCell, columns);
    const std::size_t words = grid_.columnCount() / 32 + 1;
    bits_ = new (std::nothrow) std::uint32_t[words];
    if (bits_ == nullptr) return false;
    std::fill(bits_, bits_ + words, 0u);
    return true;
}

void ColumnMask::mark(const float t[3], float reach) noexcept {
    const double r = reach;
    const double tu = t[grid_.axis(0)], tv = t[grid_.axis(1)];
    const int u0 = grid_.cellOf(0, tu - r), u1 = grid_.cellOf(0, tu + r);
    const int v0 = grid_.cellOf(1, tv - r), v1 = grid_.cellOf(1, tv + r);
    for (int v = v0; v <= v1; ++v) {
        for (int u = u0; u <= u1; ++u) {
            const std::uint32_t c = grid_.column(u, v);
            bits_[c >> 5] |= 1u << (c & 31);
        }
    }
}

std::size_t ColumnMask::bytes() const noexcept {
    return sizeof(std::uint32_t) * (grid_.columnCount() / 32 + 1);
}
