#include "symmetry/spatial_grid.h"

#include <cmath>
#include <limits>
#include <new>

namespace {

constexpr double kCellLimit = 1073741824.0;  // 2^30: cell coordinates stay far from overflow
// Cells larger than this serve no purpose and keep the scale from being 0.
constexpr double kLargestCell = 1e30;

}  // namespace

SpatialGrid::~SpatialGrid() {
    delete[] filter_;
    delete[] starts_;
    delete[] entries_;
}

CellScale::CellScale(double cellSize) noexcept
    : scale_(1.0 / (cellSize > kLargestCell ? kLargestCell : cellSize)) {}

std::int64_t CellScale::cellOf(double c) const noexcept {
    const double cell = c * scale_;
    if (!(cell > -kCellLimit)) return -std::int64_t(kCellLimit);
    if (cell >= kCellLimit) return std::int64_t(kCellLimit);
    // floor without a library call: truncation is exact within the limits.
    const std::int64_t truncated = static_cast<std::int64_t>(cell);
    return double(truncated) > cell ? truncated - 1 : truncated;
}

CellBox CellScale::boxAround(const float t[3], float reach) const noexcept {
    CellBox box;
    for (int axis = 0; axis < 3; ++axis) {
        box.lo[axis] = cellOf(double(t[axis]) - double(reach));
        box.hi[axis] = cellOf(double(t[axis]) + double(reach));
    }
    return box;
}

namespace {

constexpr std::int32_t kEmpty = std::numeric_limits<std::int32_t>::min();

std::uint64_t mixCell(std::int64_t x, std::int64_t y, std::int64_t z) {
    return std::uint64_t(std::uint32_t(x)) * 0x9E3779B97F4A7C15ull ^
           std::uint64_t(std::uint32_t(y)) * 0xC2B2AE3D27D4EB4Full ^
           std::uint64_t(std::uint32_t(z)) * 0x165667B19E3779F9ull;
}

std::uint32_t hashCell(std::int64_t x, std::int64_t y, std::int64_t z) {
    return static_cast<std::uint32_t>(mixCell(x, y, z) >> 32);
}

}  // namespace

CellSet::~CellSet() {
    delete[] slots_;
}

bool CellSet::grow() noexcept {
    const std::size_t oldSlots = slots_ == nullptr ? 0 : std::size_t(mask_) + 1;
    const std::size_t slots = oldSlots == 0 ? 64 : 2 * oldSlots;
    if (slots > (std::size_t(1) << 30)) return false;
    std::int32_t* fresh = new (std::nothrow) std::int32_t[3 * slots];
    if (fresh == nullptr) return false;
    for (std::size_t i = 0; i < slots; ++i) fresh[3 * i] = kEmpty;
    std::int32_t* old = slots_;
    slots_ = fresh;
    mask_ = static_cast<std::uint32_t>(slots - 1);
    size_ = 0;
    for (std::size_t i = 0; i < oldSlots; ++i) {
        if (old[3 * i] != kEmpty) insert(old[3 * i], old[3 * i + 1], old[3 * i + 2]);
    }
    delete[] old;
    return true;
}

bool CellSet::insert(std::int64_t x, std::int64_t y, std::int64_t z) noexcept {
    if ((size_ + 1) * 2 > (slots_ == nullptr ? 0 : std::size_t(mask_) + 1) && !grow()) return false;
    for (std::uint32_t i = hashCell(x, y, z) & mask_;; i = (i + 1) & mask_) {
        std::int32_t* slot = slots_ + 3 * std::size_t(i);
        if (slot[0] == kEmpty) {
            const std::int64_t cell[3] = {x, y, z};
            for (int axis = 0; axis < 3; ++axis) {
                if (size_ == 0 || cell[axis] < bounds_.lo[axis]) bounds_.lo[axis] = cell[axis];
                if (size_ == 0 || cell[axis] > bounds_.hi[axis]) bounds_.hi[axis] = cell[axis];
            }
            slot[0] = std::int32_t(x);
            slot[1] = std::int32_t(y);
            slot[2] = std::int32_t(z);
            ++size_;
            return true;
        }
        if (slot[0] == x && slot[1] == y && slot[2] == z) return true;
    }
}

bool CellSet::contains(std::int64_t x, std::int64_t y, std::int64_t z) const noexcept {
    if (slots_ == nullptr) return false;
    for (std::uint32_t i = hashCell(x, y, z) & mask_;; i = (i + 1) & mask_) {
        const std::int32_t* slot = slots_ + 3 * std::size_t(i);
        if (slot[0] == kEmpty) return false;
        if (slot[0] == x && slot[1] == y && slot[2] == z) return true;
    }
}

bool SpatialGrid::start(const CellScale& scale, std::uint32_t maxPoints) noexcept {
    scale_ = scale;
    std::uint32_t buckets = 1;
    while (buckets < maxPoints / 2 && buckets < (1u << 30)) buckets *= 2;
    bucketMask_ = buckets - 1;
    starts_ = new (std::nothrow) std::uint32_t[std::size_t(buckets) + 1];
    if (starts_ == nullptr) return false;
    for (std::uint32_t b = 0; b <= buckets; ++b) starts_[b] = 0;
    std::uint32_t filterBits = 64;
    while (filterBits < 4 * std::uint64_t(maxPoints) && filterBits < (1u << 31)) filterBits *= 2;
    filterMask_ = filterBits - 1;
    filter_ = new (std::nothrow) std::uint32_t[filterBits / 32];
    if (filter_ == nullptr) return false;
    for (std::uint32_t w = 0; w < filterBits / 32; ++w) filter_[w] = 0;
    for (int axis = 0; axis < 3; ++axis) {
        occupiedLo_[axis] = std::int64_t(kCellLimit);
        occupiedHi_[axis] = -std::int64_t(kCellLimit);
    }
    return true;
}

std::uint32_t SpatialGrid::bucketOf(std::int64_t cx, std::int64_t cy,
                                    std::int64_t cz) const noexcept {
    // Blocks of 4 x 4 x 4 cells are hashed; the cells of a block take 64
    // consecutive buckets. Neighbouring cells then lie close in memory, and
    // so do the searches of neighbouring points.
    const std::uint32_t block = hashCell(cx >> 2, cy >> 2, cz >> 2);
    const std::uint32_t local =
        std::uint32_t(cx & 3) | std::uint32_t(cy & 3) << 2 | std::uint32_t(cz & 3) << 4;
    return (block << 6 | local) & bucketMask_;
}

std::uint32_t SpatialGrid::filterSlot(std::uint64_t cellHash) noexcept {
    return static_cast<std::uint32_t>(((cellHash ^ (cellHash >> 29)) * 0xBF58476D1CE4E5B9ull) >>
                                      32);
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
    const std::uint32_t slot = filterSlot(mixCell(cellOf(x), cellOf(y), cellOf(z))) & filterMask_;
    filter_[slot >> 5] |= 1u << (slot & 31);
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
    CellBox box = scale_.boxAround(t, reach);
    for (int axis = 0; axis < 3; ++axis) {
        if (box.lo[axis] < occupiedLo_[axis]) box.lo[axis] = occupiedLo_[axis];
        if (box.hi[axis] > occupiedHi_[axis]) box.hi[axis] = occupiedHi_[axis];
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
    const std::uint64_t h = mixCell(cx, cy, cz);
    const std::uint32_t slot = filterSlot(h) & filterMask_;
    if (((filter_[slot >> 5] >> (slot & 31)) & 1u) == 0) {
        end = entries_;
        return entries_;  // no point in this cell
    }
    return bucketAt(bucketOf(cx, cy, cz), end);
}

const GridEntry* SpatialGrid::bucketAt(std::uint32_t b, const GridEntry*& end) const noexcept {
    end = entries_ + starts_[b + 1];
    return entries_ + starts_[b];
}

std::size_t SpatialGrid::bytes() const noexcept {
    return sizeof(std::uint32_t) * (std::size_t(bucketMask_) + 2) +
           (std::size_t(filterMask_) + 1) / 8 + sizeof(GridEntry) * std::size_t(entryCount_);
}
