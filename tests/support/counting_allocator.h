// Heap figures for the soak test and the benchmark. Linking
// counting_allocator.cpp replaces the program's global operator new and
// delete, so every allocation of the program, a statically linked plug-in's
// included, is counted; a plug-in library loaded at run time counts too when
// the program exports its operators. Single-threaded use only.
#pragma once

#include <cstdint>

namespace support {

// Bytes allocated and not yet freed, counted blocks only.
std::int64_t liveHeapBytes() noexcept;
// The most live bytes since the start or the last restartHeapPeak().
std::int64_t peakHeapBytes() noexcept;
// Counted allocations since the start.
std::int64_t heapAllocations() noexcept;
// Sets the peak to the live bytes now.
void restartHeapPeak() noexcept;
// Off: blocks allocated from now on are left out of every figure, and so is
// their release, whenever it comes. On by default.
void countHeap(bool on) noexcept;

}  // namespace support
