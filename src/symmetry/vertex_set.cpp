#include "symmetry/vertex_set.h"

#include <cassert>
#include <new>

VertexSet::~VertexSet() {
    delete[] slots_;
}

bool VertexSet::reserve(std::size_t members) noexcept {
    delete[] slots_;
    slots_ = nullptr;
    size_ = 0;
    limit_ = 0;
    mask_ = 0;
    std::size_t capacity = 8;
    while (capacity < 2 * members) {
        if (capacity >= (std::size_t(1) << 30)) return false;
        capacity *= 2;
    }
    slots_ = new (std::nothrow) const void*[capacity];
    if (slots_ == nullptr) return false;
    for (std::size_t i = 0; i < capacity; ++i) slots_[i] = nullptr;
    mask_ = static_cast<std::uint32_t>(capacity - 1);
    limit_ = members;
    return true;
}

std::uint32_t VertexSet::slotOf(const void* p) const noexcept {
    // Fibonacci hashing: vertex addresses share their low bits (alignment) and
    // often advance by a fixed stride, so they are mixed before masking.
    const std::uint64_t bits = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(p));
    return static_cast<std::uint32_t>((bits * 0x9E3779B97F4A7C15ull) >> 32) & mask_;
}

bool VertexSet::contains(const void* p) const noexcept {
    if (slots_ == nullptr || p == nullptr) return false;
    for (std::uint32_t i = slotOf(p);; i = (i + 1) & mask_) {
        if (slots_[i] == p) return true;
        if (slots_[i] == nullptr) return false;
    }
}

void VertexSet::insert(const void* p) noexcept {
    if (slots_ == nullptr || p == nullptr) return;
    for (std::uint32_t i = slotOf(p);; i = (i + 1) & mask_) {
        if (slots_[i] == p) return;
        if (slots_[i] == nullptr) {
            assert(size_ < limit_);
            slots_[i] = p;
            ++size_;
            return;
        }
    }
}
