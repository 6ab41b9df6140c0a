#include "symmetry/spatial_grid.h"

#include <cmath>
#include <new>

namespace {

constexpr double kCellLimit = 1073741824.0;  // 2^30: cell coordinates stay far from overflow
// Cells larger than this serve no purpose and keep the scale from being 0.
constexpr double kLargestCell = 1e30;

}  // namespace

SpatialGrid::~SpatialGrid() {
    delete[] starts_;
    delete[] entries_;
}

bool SpatialGrid::start(double cellSize, std::uint32_t maxPoints) noexcept {
    if (!(cellSize > 0.0)) return false;
    if (cellSize > kLargestCell) cellSize = kLargestCell;
    scale_ = 1.0 / cellSize;
    std::uint32_t buckets = 1;
    while (buckets < maxPoints / 2 && buckets < (1u << 30)) buckets *= 2;
    bucketMask_ = buckets - 1;
    starts_ = new (std::nothrow) std::uint32_t[std::size_t(buckets) + 1];
    if (starts_ == nullptr) return false;
    for (std::uint32_t b = 0; b <= buckets; ++b) starts_[b] = 0;
    for (int axis = 0; axis < 3; ++axis) {
        occupiedLo_[axis] = std::int64_t(kCellLimit);
        occupiedHi_[axis] = -std::int64_t(kCellLimit);
    }
    return true;
}

std::int64_t SpatialGrid::cellOf(double c) const noexcept {
    const double cell = std::floor(c * scale_);
    if (!(cell > -kCellLimit)) return -std::int64_t(kCellLimit);
    if (cell > kCellLimit) return std::int64_t(kCellLimit);
    return static_cast<std::int64_t>(cell);
}

std::uint32_t SpatialGrid::bucketOf(std::int64_t cx, std::int64_t cy, std::int64_t cz) const noexcept {
    const std::uint64_t h = std::uint64_t(std::uint32_t(cx)) * 0x9E3779B97F4A7C15ull ^
                            std::uint64_t(std::uint32_t(cy)) * 0xC2B2AE3D27D4EB4Full ^
                            std::uint64_t(std::uint32_t(cz)) * 0x165667B19E3779F9ull;
    return static_cast<std::uint32_t>(h >> 32) & bucketMask_;
}

std::uint32_t SpatialGrid::bucketOfPoint(float x, float y, float z) noexcept {
    const std::int64_t c[3] = {cellOf(x), cellOf(y), cellOf(z)};
    for (int axis = 0; axis < 3; ++axis) {
        if (c[axis] < occupiedLo_[axis]) occupiedLo_[axis] = c[axis];
        if (c[axis] > occupiedHi_[axis]) occupiedHi_[axis] = c[axis];
    }
    return bucketOf(c[0], c[1], c[2]);
}

void SpatialGrid::count(float x, float y, float z) noexcept {
    ++starts_[bucketOfPoint(x, y, z)];
    ++entryCount_;
}

bool SpatialGrid::finishCounting() noexcept {
    // Each start becomes the end of its bucket; place() then fills buckets
    // from the back, which is why it takes keys in descending order.
    std::uint32_t sum = 0;
    for (std::uint32_t b = 0; b <= bucketMask_; ++b) {
        sum += starts_[b];
        starts_[b] = sum;
    }
    starts_[bucketMask_ + 1] = sum;
    entries_ = new (std::nothrow) GridEntry[entryCount_ > 0 ? entryCount_ : 1];
    return entries_ != nullptr;
}

void SpatialGrid::place(std::uint32_t key, float x, float y, float z) noexcept {
    const std::uint32_t slot = --starts_[bucketOfPoint(x, y, z)];
    entries_[slot] = GridEntry{x, y, z, key};
}

CellBox SpatialGrid::boxAround(const float t[3], float reach) const noexcept {
    // A point p with |p - t| < reach lies in [fl(t - reach), fl(t + reach)]:
    // rounding to nearest is monotone and p is representable.
    CellBox box;
    for (int axis = 0; axis < 3; ++axis) {
        const std::int64_t lo = cellOf(double(t[axis]) - double(reach));
        const std::int64_t hi = cellOf(double(t[axis]) + double(reach));
        box.lo[axis] = lo > occupiedLo_[axis] ? lo : occupiedLo_[axis];
        box.hi[axis] = hi < occupiedHi_[axis] ? hi : occupiedHi_[axis];
    }
    return box;
}

double SpatialGrid::cellsIn(const CellBox& box) noexcept {
    double cells = 1.0;
    for (int axis = 0; axis < 3; ++axis) {
        if (box.hi[axis] < box.lo[axis]) return 0.0;
        cells *= double(box.hi[axis] - box.lo[axis] + 1);
    }
    return cells;
}

const GridEntry* SpatialGrid::bucket(std::int64_t cx, std::int64_t cy, std::int64_t cz,
                                     const GridEntry*& end) const noexcept {
    return bucketAt(bucketOf(cx, cy, cz), end);
}

const GridEntry* SpatialGrid::bucketAt(std::uint32_t b, const GridEntry*& end) const noexcept {
    end = entries_ + starts_[b + 1];
    return entries_ + starts_[b];
}

std::size_t SpatialGrid::bytes() const noexcept {
    return sizeof(std::uint32_t) * (std::size_t(bucketMask_) + 2) +
           sizeof(GridEntry) * std::size_t(entryCount_);
}
