#include "io/memory_estimate.h"

#include <cstdint>
#include <new>

namespace talvexhost {

namespace {

std::string megabytes(std::uint64_t bytes) {
    return std::to_string((bytes + (std::uint64_t(1) << 19)) >> 20) + " MB";
}

}  // namespace

std::vector<std::uint64_t> smartResymBlocks(std::uint64_t vertices, std::uint64_t objects) {
    // The index's cells (a position and a key per vertex) and their starts,
    // the partner found for each vertex and the per-object table (four
    // numbers and a sorting entry each), as the plug-in allocates them; then
    // room for a search thread's stack.
    return {16 * vertices, 4 * vertices, 4 * vertices, 28 * objects, std::uint64_t(8) << 20};
}

std::string outOfMemoryText(const std::string& what, std::uint64_t needed,
                            std::uint64_t available) {
    return "out of memory: " + what + " need about " + megabytes(needed) + ", but only " +
           megabytes(available) + " are available; nothing was done";
}

bool memoryCanBeHad(const std::vector<std::uint64_t>& blocks) noexcept {
    std::vector<void*> held(blocks.size(), nullptr);
    bool all = true;
    for (std::size_t b = 0; b < blocks.size() && all; ++b) {
        if (blocks[b] == 0) continue;
        all = blocks[b] <= std::uint64_t(SIZE_MAX) &&
              (held[b] = ::operator new(static_cast<std::size_t>(blocks[b]), std::nothrow));
    }
    for (void* block : held) ::operator delete(block);
    return all;
}

void markOutOfMemory(std::string& error) {
    if (error.rfind("out of memory", 0) == 0) return;
    // The reader's estimate says "N vertices need about"; a mapping that
    // cannot be had gives ENOMEM's text, or Windows' own.
    for (const char* sign : {" vertices need about ", "Cannot allocate memory", "Not enough memory",
                             "not enough memory", "Not enough storage"}) {
        if (error.find(sign) != std::string::npos) {
            error = "out of memory: " + error;
            return;
        }
    }
}

}  // namespace talvexhost
