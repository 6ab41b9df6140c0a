// A hashed uniform grid over float points, each tagged with a 32-bit key: the
// spatial index of the fast partner searches. Cells are hashed into buckets;
// each bucket's entries are stored contiguously and in ascending key order, so
// a search can stop early in key order. The grid decides nothing: callers run
// the exact acceptance tests on what it hands out.
#pragma once

#include <cstddef>
#include <cstdint>

struct GridEntry {
    float x;
    float y;
    float z;
    std::uint32_t key;
};

// Cell coordinates are clamped to +/-kCellLimit (2^30), far from overflow.
constexpr double kCellLimit = 1073741824.0;

// A cell's coordinates mixed into 64 bits: the hash behind the grid's buckets
// and filter and behind CellSet.
inline std::uint64_t mixCell(std::int64_t x, std::int64_t y, std::int64_t z) noexcept {
    return std::uint64_t(std::uint32_t(x)) * 0x9E3779B97F4A7C15ull ^
           std::uint64_t(std::uint32_t(y)) * 0xC2B2AE3D27D4EB4Full ^
           std::uint64_t(std::uint32_t(z)) * 0x165667B19E3779F9ull;
}

// Inclusive cell coordinates per axis.
struct CellBox {
    std::int64_t lo[3];
    std::int64_t hi[3];
};

// Cell coordinates of a uniform grid: floor(c / cellSize) as computed,
// clamped to +/-2^30. Monotone in c (rounding, floor and clamp all are), so a
// point with lo <= c <= hi lies in a cell from cellOf(lo) to cellOf(hi); that
// is all the pruning of the searches relies on. c may be +/-infinity.
class CellScale {
public:
    // Sizes above 1e30 are taken as 1e30, so the scale is never 0.
    explicit CellScale(double cellSize) noexcept;
    std::int64_t cellOf(double c) const noexcept;
    // The cells holding every point p with |p - t| < reach on each axis (t
    // finite, reach a float value): p lies in [fl(t - reach), fl(t + reach)]
    // since rounding to nearest is monotone and p is representable.
    CellBox boxAround(const float t[3], float reach) const noexcept;

private:
    double scale_;  // 1 / cell size
};

// Inline: the searches ask for cells and buckets once per cell they visit.
inline std::int64_t CellScale::cellOf(double c) const noexcept {
    const double cell = c * scale_;
    if (!(cell > -kCellLimit)) return -std::int64_t(kCellLimit);
    if (cell >= kCellLimit) return std::int64_t(kCellLimit);
    // floor without a library call: truncation is exact within the limits.
    const std::int64_t truncated = static_cast<std::int64_t>(cell);
    return double(truncated) > cell ? truncated - 1 : truncated;
}

// A set of cells (open addressing), grown as cells are added: the cells that
// a fresh live search can look into, so that only candidates in them need
// indexing.
class CellSet {
public:
    CellSet() noexcept = default;
    ~CellSet();
    CellSet(const CellSet&) = delete;
    CellSet& operator=(const CellSet&) = delete;

    // False when memory cannot be had; the set then keeps what it held.
    bool insert(std::int64_t x, std::int64_t y, std::int64_t z) noexcept;
    bool contains(std::int64_t x, std::int64_t y, std::int64_t z) const noexcept;
    // The smallest box around every cell inserted (empty when none was).
    const CellBox& bounds() const noexcept { return bounds_; }
    std::size_t size() const noexcept { return size_; }
    std::size_t bytes() const noexcept {
        return sizeof(std::int32_t) * 3 * (std::size_t(mask_) + 1);
    }

private:
    bool grow() noexcept;
    std::int32_t* slots_ = nullptr;  // x, y, z per slot; x == kEmpty marks a free slot
    std::uint32_t mask_ = 0;
    std::size_t size_ = 0;
    CellBox bounds_{{0, 0, 0}, {-1, -1, -1}};
};

class SpatialGrid {
public:
    SpatialGrid() noexcept = default;
    ~SpatialGrid();
    SpatialGrid(const SpatialGrid&) = delete;
    SpatialGrid& operator=(const SpatialGrid&) = delete;

    // Building, in three steps: start() with the cell size and the number of
    // points that may come, count() every point, finishCounting(), then
    // place() the same points again in DESCENDING key order. Only finite
    // points may be counted and placed. start() and finishCounting() return
    // false when memory cannot be had; the grid is then unusable.
    bool start(const CellScale& scale, std::uint32_t maxPoints) noexcept;
    void count(float x, float y, float z) noexcept;
    bool finishCounting() noexcept;
    void place(std::uint32_t key, float x, float y, float z) noexcept;

    std::int64_t cellOf(double c) const noexcept { return scale_.cellOf(c); }
    const CellScale& scale() const noexcept { return scale_; }
    // CellScale::boxAround clipped to the cells that hold points; empty
    // (lo > hi somewhere) when no point can be in reach.
    CellBox boxAround(const float t[3], float reach) const noexcept;
    // Number of cells in a box (0 when empty), saturating.
    static double cellsIn(const CellBox& box) noexcept;

    // The entries of the bucket that holds cell (cx, cy, cz): a superset of
    // the cell's points (other cells may share the bucket), ascending key.
    const GridEntry* bucket(std::int64_t cx, std::int64_t cy, std::int64_t cz,
                            const GridEntry*& end) const noexcept;
    // Bucket by number, for visiting every entry once.
    const GridEntry* bucketAt(std::uint32_t b, const GridEntry*& end) const noexcept;
    std::uint32_t bucketCount() const noexcept { return bucketMask_ + 1; }
    // Every entry, bucket after bucket: entryAt(0 .. entryCount() - 1).
    std::uint32_t entryCount() const noexcept { return entryCount_; }
    const GridEntry& entryAt(std::uint32_t i) const noexcept { return entries_[i]; }
    // A cache hint for a search around the finite point p coming soon: its
    // cell's filter word and bucket start, or with `entries` (asked later,
    // once those have arrived) the bucket's first entries. Changes nothing.
    void prefetchBucketOf(const float p[3], bool entries) const noexcept;

    std::size_t bytes() const noexcept;

private:
    std::uint32_t bucketOf(std::int64_t cx, std::int64_t cy, std::int64_t cz) const noexcept;
    std::uint32_t bucketOfPoint(float x, float y, float z) noexcept;
    static std::uint32_t filterSlot(std::uint64_t cellHash) noexcept;

    CellScale scale_{1.0};
    std::uint32_t* starts_ = nullptr;  // bucketCount() + 1 offsets into entries_
    GridEntry* entries_ = nullptr;
    std::uint32_t bucketMask_ = 0;
    std::uint32_t entryCount_ = 0;
    // One bit per hashed cell, set for every cell that holds a point: most
    // empty cells are answered from this small array without touching a
    // bucket (four bits per point, so it stays in cache).
    std::uint32_t* filter_ = nullptr;
    std::uint32_t filterMask_ = 0;
    std::int64_t occupiedLo_[3] = {0, 0, 0};
    std::int64_t occupiedHi_[3] = {-1, -1, -1};
};

inline std::uint32_t SpatialGrid::bucketOf(std::int64_t cx, std::int64_t cy,
                                           std::int64_t cz) const noexcept {
    // Blocks of 4 x 4 x 4 cells are hashed; the cells of a block take 64
    // consecutive buckets. Neighbouring cells then lie close in memory, and
    // so do the searches of neighbouring points.
    const std::uint32_t block =
        static_cast<std::uint32_t>(mixCell(cx >> 2, cy >> 2, cz >> 2) >> 32);
    const std::uint32_t local =
        std::uint32_t(cx & 3) | std::uint32_t(cy & 3) << 2 | std::uint32_t(cz & 3) << 4;
    return (block << 6 | local) & bucketMask_;
}

inline std::uint32_t SpatialGrid::filterSlot(std::uint64_t cellHash) noexcept {
    return static_cast<std::uint32_t>(((cellHash ^ (cellHash >> 29)) * 0xBF58476D1CE4E5B9ull) >>
                                      32);
}

inline const GridEntry* SpatialGrid::bucket(std::int64_t cx, std::int64_t cy, std::int64_t cz,
                                            const GridEntry*& end) const noexcept {
    const std::uint64_t h = mixCell(cx, cy, cz);
    const std::uint32_t slot = filterSlot(h) & filterMask_;
    if (((filter_[slot >> 5] >> (slot & 31)) & 1u) == 0) {
        end = entries_;
        return entries_;  // no point in this cell
    }
    return bucketAt(bucketOf(cx, cy, cz), end);
}

inline const GridEntry* SpatialGrid::bucketAt(std::uint32_t b,
                                              const GridEntry*& end) const noexcept {
    end = entries_ + starts_[b + 1];
    return entries_ + starts_[b];
}

inline void SpatialGrid::prefetchBucketOf(const float p[3], bool entries) const noexcept {
    const std::int64_t cx = cellOf(p[0]), cy = cellOf(p[1]), cz = cellOf(p[2]);
    const std::uint32_t b = bucketOf(cx, cy, cz);
    if (entries) {
        __builtin_prefetch(entries_ + starts_[b]);
        return;
    }
    const std::uint32_t slot = filterSlot(mixCell(cx, cy, cz)) & filterMask_;
    __builtin_prefetch(filter_ + (slot >> 5));
    __builtin_prefetch(starts_ + b);
}

inline CellBox CellScale::boxAround(const float t[3], float reach) const noexcept {
    CellBox box;
    for (int axis = 0; axis < 3; ++axis) {
        box.lo[axis] = cellOf(double(t[axis]) - double(reach));
        box.hi[axis] = cellOf(double(t[axis]) + double(reach));
    }
    return box;
}

inline CellBox SpatialGrid::boxAround(const float t[3], float reach) const noexcept {
    CellBox box = scale_.boxAround(t, reach);
    for (int axis = 0; axis < 3; ++axis) {
        if (box.lo[axis] < occupiedLo_[axis]) box.lo[axis] = occupiedLo_[axis];
        if (box.hi[axis] > occupiedHi_[axis]) box.hi[axis] = occupiedHi_[axis];
    }
    return box;
}

inline double SpatialGrid::cellsIn(const CellBox& box) noexcept {
    double cells = 1.0;
    for (int axis = 0; axis < 3; ++axis) {
        if (box.hi[axis] < box.lo[axis]) return 0.0;
        cells *= double(box.hi[axis] - box.lo[axis] + 1);
    }
    return cells;
}
