// A set of vertex pointers with constant-time membership: live matching's
// fresh search asks "does this vertex already stand in a pair?" for every
// acceptable candidate, which a scan of the pair list answers in linear time.
// The set is sized once before the search and never grows during it.
#pragma once

#include <cstddef>
#include <cstdint>

class VertexSet {
public:
    VertexSet() noexcept = default;
    ~VertexSet();
    VertexSet(const VertexSet&) = delete;
    VertexSet& operator=(const VertexSet&) = delete;

    // Allocates room for `members` insertions (open addressing, at most half
    // full). False, and the set unusable, when the memory cannot be had.
    bool reserve(std::size_t members) noexcept;
    // Identity comparison; false for an unreserved set.
    bool contains(const void* p) const noexcept;
    // Adds p (no effect when present). Precondition: fewer than the reserved
    // number of members were inserted before.
    void insert(const void* p) noexcept;
    std::size_t bytes() const noexcept { return sizeof(const void*) * (std::size_t(mask_) + 1); }

private:
    std::uint32_t slotOf(const void* p) const noexcept;

    const void** slots_ = nullptr;
    std::uint32_t mask_ = 0;
    std::size_t size_ = 0;
    std::size_t limit_ = 0;
};
