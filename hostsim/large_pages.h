// Advice that a large block be backed by 2 MB pages, for memory written in
// full straight after it is had: a fresh page costs about as much to fault in
// whatever its size, so a million vertex records take some forty faults
// instead of twenty thousand.
#pragma once

#include <cstddef>

namespace hostsim {

// Asks for [data, data + bytes) in large pages where the system hands them
// out on request (Linux's madvise); elsewhere, or where it is refused, the
// memory is the same in small pages.
void preferLargePages(const void* data, std::size_t bytes) noexcept;

}  // namespace hostsim
