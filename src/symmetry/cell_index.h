// The spatial index of the fast partner searches (live_partner_search.h,
// resym_partner_search.h): the candidates' coordinates copied once into one
// compact array, sorted by column with a counting sort. Columns are a dense
// grid over the two longest axes of a box (column_grid.h); along the third axis a
// column's entries are filtered by coordinate, and long columns are sorted by
// it. The index decides nothing: callers run the exact acceptance tests on
// what it hands out.
//
// Why a search through it misses nothing the scan would accept: the scans
// accept C only when distanceTo(T, C) < tol, T the target. distanceTo is
// sqrt(dx^2 + (dy^2 + dz^2)) with dx the float rounding of the double
// rounding of T.x - C.x; the sum is at least dx^2, exact since a float
// squared fits a double, and sqrt and rounding are monotone, so the distance
// is at least |dx|. Rounding is monotone and tol a float, so |T.x - C.x| >= tol
// would give |dx| >= tol: an accepted C has |T - C| < tol exactly on every
// axis, so C lies in [fl(T - tol), fl(T + tol)] on each, rounded in double.
// Column numbers are monotone in the coordinate (subtraction, scaling,
// truncation and clamping all are), so C's column lies between the columns
// of those bounds whatever box the columns were laid over. visitNear hands
// out every entry there.
#pragma once

#include <cstddef>
#include <cstdint>

#include "symmetry/column_grid.h"

// One indexed point: its coordinates bit for bit, and its key (an ordinal).
struct CellEntry {
    float p[3];
    std::uint32_t key;
};

class CellIndex {
public:
    CellIndex() noexcept = default;
    ~CellIndex();
    CellIndex(const CellIndex&) = delete;
    CellIndex& operator=(const CellIndex&) = delete;

    // Building, in four steps: start() lays the columns over `box` (finite
    // bounds), cells at least `minCell` wide and about `columns` of them;
    // count() every point; finishCounting(); place() the same points again in
    // the same order; finish(). Only finite points may be counted; points
    // outside the box go to its edge columns. start() and finishCounting()
    // return false when memory cannot be had; the index is then unusable.
    bool start(const IndexBox& box, double minCell, std::uint32_t columns) noexcept;
    void count(const float p[3]) noexcept { ++starts_[grid_.columnOf(p) + 1]; }
    bool finishCounting() noexcept;
    void place(std::uint32_t key, const float p[3]) noexcept;
    // count() and place() for a point whose column (columnOf) the caller
    // kept from counting to placing: each then costs no column lookup.
    void countIn(std::uint32_t column) noexcept { ++starts_[column + 1]; }
    void placeIn(std::uint32_t column, std::uint32_t key, const float p[3]) noexcept {
        entries_[starts_[column]++] = CellEntry{{p[0], p[1], p[2]}, key};
    }
    void finish() noexcept;

    // Whether p lies in the box given to start(), bounds included; never for
    // a coordinate that is NaN, nor for an infinite one when the box's
    // bounds are finite. Inline: a fresh live search asks it of every
    // candidate.
    bool inBox(const float p[3]) const noexcept {
        return double(p[0]) >= box_.lo[0] && double(p[0]) <= box_.hi[0] &&
               double(p[1]) >= box_.lo[1] && double(p[1]) <= box_.hi[1] &&
               double(p[2]) >= box_.lo[2] && double(p[2]) <= box_.hi[2];
    }

    // Calls visit(entry) for every entry that may lie within `reach` of t
    // on every axis (a superset; t finite, reach a float value), in no
    // particular order.
    template <class Visit>
    void visitNear(const float t[3], float reach, Visit&& visit) const noexcept;

    // As visitNear, for a search whose reach shrinks as it finds nearer
    // points: the column holding t comes first, then the others within the
    // reach as it stands after it; `reach` is read again for each column.
    // Every entry within the final reach of t on every axis is visited.
    template <class Visit>
    void visitNarrowing(const float t[3], const float& reach, Visit&& visit) const noexcept;

    std::uint32_t entryCount() const noexcept { return entryCount_; }
    const CellEntry& entryAt(std::uint32_t i) const noexcept { return entries_[i]; }
    // The columns, for visiting every column once: entries
    // [columnStart(c), columnStart(c + 1)); long columns are sorted by
    // (third axis, first, second, key), so equal points lie side by side.
    std::uint32_t columnCount() const noexcept { return grid_.columnCount(); }
    std::uint32_t columnStart(std::uint32_t c) const noexcept { return starts_[c]; }
    static bool isLong(std::uint32_t length) noexcept { return length > kShortColumn; }
    // The column that holds the finite point p (entries lie in column order).
    std::uint32_t columnOf(const float p[3]) const noexcept { return grid_.columnOf(p); }

    std::size_t bytes() const noexcept;

private:
    // Columns up to this length are scanned whole and left unsorted.
    static constexpr std::uint32_t kShortColumn = 8;

    int cellOf(int role, double c) const noexcept { return grid_.cellOf(role, c); }
    template <class Visit>
    void visitColumn(int u, int v, double tw, double reach, Visit& visit) const noexcept;
    static const CellEntry* firstAtOrAbove(const CellEntry* begin, const CellEntry* end, int axis,
                                           double w) noexcept;

    ColumnGrid grid_;
    IndexBox box_{{0, 0, 0}, {-1, -1, -1}};
    std::uint32_t* starts_ = nullptr;  // a column count + 1 offsets into entries_
    CellEntry* entries_ = nullptr;
    std::uint32_t entryCount_ = 0;
};

template <class Visit>
void CellIndex::visitColumn(int u, int v, double tw, double reach, Visit& visit) const noexcept {
    const std::uint32_t column = grid_.column(u, v);
    const CellEntry* e = entries_ + starts_[column];
    const CellEntry* end = entries_ + starts_[column + 1];
    const int w = grid_.axis(2);
    const double wLo = tw - reach, wHi = tw + reach;
    if (isLong(std::uint32_t(end - e))) {
        for (e = firstAtOrAbove(e, end, w, wLo); e != end && double(e->p[w]) <= wHi; ++e) visit(*e);
        return;
    }
    for (; e != end; ++e) {
        const double c = e->p[w];
        if (c >= wLo && c <= wHi) visit(*e);
    }
}

template <class Visit>
void CellIndex::visitNear(const float t[3], float reach, Visit&& visit) const noexcept {
    if (entryCount_ == 0) return;
    const double r = reach;
    const double tu = t[grid_.axis(0)], tv = t[grid_.axis(1)], tw = t[grid_.axis(2)];
    const int u0 = cellOf(0, tu - r), u1 = cellOf(0, tu + r);
    const int v0 = cellOf(1, tv - r), v1 = cellOf(1, tv + r);
    for (int v = v0; v <= v1; ++v) {
        for (int u = u0; u <= u1; ++u) visitColumn(u, v, tw, r, visit);
    }
}

template <class Visit>
void CellIndex::visitNarrowing(const float t[3], const float& reach, Visit&& visit) const noexcept {
    if (entryCount_ == 0) return;
    const double tu = t[grid_.axis(0)], tv = t[grid_.axis(1)], tw = t[grid_.axis(2)];
    const int cu = cellOf(0, tu), cv = cellOf(1, tv);
    visitColumn(cu, cv, tw, reach, visit);
    const double r = reach;
    const int u0 = cellOf(0, tu - r), u1 = cellOf(0, tu + r);
    const int v0 = cellOf(1, tv - r), v1 = cellOf(1, tv + r);
    for (int v = v0; v <= v1; ++v) {
        for (int u = u0; u <= u1; ++u) {
            if (u != cu || v != cv) visitColumn(u, v, tw, reach, visit);
        }
    }
}
