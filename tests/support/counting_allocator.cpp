// The replaced global allocation functions behind counting_allocator.h. Each
// block carries its size and whether it was counted in a header as wide as
// the strictest alignment operator new promises, so delete knows what it
// gives back.
#include "support/counting_allocator.h"

#include <cstddef>
#include <cstdlib>
#include <new>

namespace {

struct BlockHeader {
    std::size_t size;
    bool counted;
};
constexpr std::size_t kHeader = alignof(std::max_align_t) >= sizeof(BlockHeader)
                                    ? alignof(std::max_align_t)
                                    : (sizeof(BlockHeader) + alignof(std::max_align_t) - 1) /
                                          alignof(std::max_align_t) * alignof(std::max_align_t);

std::int64_t gLiveBytes = 0;
std::int64_t gPeakBytes = 0;
std::int64_t gAllocations = 0;
bool gCounting = true;

void* countedAllocate(std::size_t size) noexcept {
    void* block = std::malloc(size + kHeader);
    if (block == nullptr) return nullptr;
    auto* header = static_cast<BlockHeader*>(block);
    header->size = size;
    header->counted = gCounting;
    if (gCounting) {
        gLiveBytes += static_cast<std::int64_t>(size);
        if (gLiveBytes > gPeakBytes) gPeakBytes = gLiveBytes;
        ++gAllocations;
    }
    return static_cast<char*>(block) + kHeader;
}

void countedFree(void* p) noexcept {
    if (p == nullptr) return;
    void* block = static_cast<char*>(p) - kHeader;
    const auto* header = static_cast<const BlockHeader*>(block);
    if (header->counted) gLiveBytes -= static_cast<std::int64_t>(header->size);
    std::free(block);
}

void* countedOrThrow(std::size_t size) {
    void* p = countedAllocate(size);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}

}  // namespace

namespace support {

std::int64_t liveHeapBytes() noexcept {
    return gLiveBytes;
}
std::int64_t peakHeapBytes() noexcept {
    return gPeakBytes;
}
std::int64_t heapAllocations() noexcept {
    return gAllocations;
}
void restartHeapPeak() noexcept {
    gPeakBytes = gLiveBytes;
}
void countHeap(bool on) noexcept {
    gCounting = on;
}

}  // namespace support

void* operator new(std::size_t size) {
    return countedOrThrow(size);
}
void* operator new[](std::size_t size) {
    return countedOrThrow(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return countedAllocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return countedAllocate(size);
}
void operator delete(void* p) noexcept {
    countedFree(p);
}
void operator delete[](void* p) noexcept {
    countedFree(p);
}
void operator delete(void* p, std::size_t) noexcept {
    countedFree(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    countedFree(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    countedFree(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    countedFree(p);
}
