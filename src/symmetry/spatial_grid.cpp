#include "symmetry/spatial_grid.h"

#include <cmath>
#include <limits>
#include <new>

namespace {

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

namespace {

constexpr std::int32_t kEmpty = std::numeric_limits<std::int32_t>::min();

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

std::size_t SpatialGrid::bytes() const noexcept {
    return sizeof(std::uint32_t) * (std::size_t(bucketMask_) + 2) +
           (std::size_t(filterMask_) + 1) / 8 + sizeof(GridEntry) * std::size_t(entryCount_);
}
