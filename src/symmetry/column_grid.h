// The layout of the spatial index's columns (cell_index.h) and a mask over
// such columns: a dense grid over the two longest axes of a box, so finding
// a column is two multiplications and an offset, with no hashing. Column
// numbers are monotone in each coordinate (subtraction, scaling, truncation
// and clamping all are), which is what the reach argument of cell_index.h
// rests on; points outside the box fall into its edge columns.
#pragma once

#include <cstddef>
#include <cstdint>

// An axis-aligned box in double; lo > hi on an axis means empty.
struct IndexBox {
    double lo[3];
    double hi[3];
};

class ColumnGrid {
public:
    // Lays about `columns` columns over `box` (finite bounds), cells no
    // narrower than `minCell`: a reach of minCell / 2 then spans at most two
    // columns per axis.
    void lay(const IndexBox& box, double minCell, std::uint32_t columns) noexcept;

    std::uint32_t columnCount() const noexcept { return columns_; }
    // The axes the columns run across (role 0 and 1), then the third.
    int axis(int role) const noexcept { return axis_[role]; }
    // The cell along role 0 or 1 holding coordinate c, clamped to the grid.
    int cellOf(int role, double c) const noexcept {
        const double q = (c - origin_[role]) * scale_;
        if (!(q > 0.0)) return 0;
        if (q >= last_[role]) return cells_[role] - 1;
        return static_cast<int>(q);
    }
    std::uint32_t column(int u, int v) const noexcept {
        return std::uint32_t(u) + std::uint32_t(cells_[0]) * std::uint32_t(v);
    }
    // The column that holds the finite point p.
    std::uint32_t columnOf(const float p[3]) const noexcept {
        return column(cellOf(0, p[axis_[0]]), cellOf(1, p[axis_[1]]));
    }

private:
    int axis_[3] = {0, 1, 2};
    double origin_[2] = {0, 0};
    double scale_ = 0;  // 1 / cell size
    int cells_[2] = {1, 1};
    double last_[2] = {0, 0};  // cells_ - 1, for the clamp
    std::uint32_t columns_ = 0;
};

// One bit per column of a grid: set for every column that may hold a point
// within some reach of a marked target. A point whose column is clear lies
// out of reach of every target on one of the grid's axes.
class ColumnMask {
public:
    ColumnMask() noexcept = default;
    ~ColumnMask();
    ColumnMask(const ColumnMask&) = delete;
    ColumnMask& operator=(const ColumnMask&) = delete;

    // Lays the grid as ColumnGrid::lay does, every column clear; false when
    // memory cannot be had (the mask is then unusable).
    bool start(const IndexBox& box, double minCell, std::uint32_t columns) noexcept;
    // Sets every column holding points within `reach` of the finite t on
    // both column axes, bounds rounded in double as the index's queries are.
    void mark(const float t[3], float reach) noexcept;
    // Whether the column of the finite point p is set.
    bool holds(const float p[3]) const noexcept {
        const std::uint32_t c = grid_.columnOf(p);
        return (bits_[c >> 5] >> (c & 31)) & 1u;
    }
    std::size_t bytes() const noexcept;

private:
    ColumnGrid grid_;
    std::uint32_t* bits_ = nullptr;
};
