// The tables the handlers that end the process read: the pending files being
// written (removed on the way out) and the mapped inputs (a fault inside one
// means the file was cut short underneath). host_files_posix.cpp and
// host_files_win32.cpp fill them and install the handlers; only the
// handlers themselves differ by system.
//
// An entry is free, being filled or armed; claiming one is a lock-free
// exchange, so threads may claim at once and a handler, which may run at any
// moment, only ever reads armed entries. Nothing here allocates or locks, so
// a signal handler may call every function.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstring>
#include <string>

namespace talvexhost::faultguards {

enum : int { kFree, kFilling, kArmed };

constexpr int kPendingGuards = 4;
struct PendingGuard {
    std::atomic<int> state;
    char path[4096 + 16];  // the longest path either system takes, and ".lock"
};
inline PendingGuard gPending[kPendingGuards];

constexpr int kMappingGuards = 64;
struct MappingGuard {
    std::atomic<int> state;
    const char* begin;
    const char* end;
    const char* path;  // the MappedFile's own copy, which outlives the entry
};
inline MappingGuard gMappings[kMappingGuards];

template <typename Guard, std::size_t N>
int claim(Guard (&guards)[N]) {
    for (std::size_t i = 0; i < N; ++i) {
        int expected = kFree;
        if (guards[i].state.compare_exchange_strong(expected, kFilling)) return static_cast<int>(i);
    }
    return -1;
}

// The entry for a pending file at `path`; -1 when the path is too long or every
// entry is taken.
inline int armPending(const std::string& path) {
    if (path.size() >= sizeof gPending[0].path) return -1;
    const int i = claim(gPending);
    if (i < 0) return -1;
    std::memcpy(gPending[i].path, path.c_str(), path.size() + 1);
    gPending[i].state.store(kArmed);
    return i;
}

inline void disarmPending(int guard) noexcept {
    if (guard >= 0 && guard < kPendingGuards) gPending[guard].state.store(kFree);
}

// The entry for the mapped bytes [data, data + size) of the file `path`
// names; `path` must outlive the entry. -1 when every entry is taken.
inline int armMapping(const std::string& path, const char* data, std::size_t size) {
    const int i = claim(gMappings);
    if (i < 0) return -1;
    gMappings[i].path = path.c_str();
    gMappings[i].begin = data;
    gMappings[i].end = data + size;
    gMappings[i].state.store(kArmed);
    return i;
}

inline void disarmMapping(int guard) noexcept {
    if (guard >= 0 && guard < kMappingGuards) gMappings[guard].state.store(kFree);
}

// The armed mapping that holds `address`, or null.
inline const MappingGuard* mappingHolding(const char* address) noexcept {
    for (const MappingGuard& mapping : gMappings)
        if (mapping.state.load() == kArmed && address >= mapping.begin && address < mapping.end)
            return &mapping;
    return nullptr;
}

// Calls `remove(path)` once for each armed pending file, disarming it first so
// that two handlers never remove one file twice. `remove` returns false when
// the file is still there; its paths are handed to `report`.
template <typename Remove, typename Report>
void removeArmedPending(Remove remove, Report report) {
    for (PendingGuard& pending : gPending) {
        int expected = kArmed;
        if (!pending.state.compare_exchange_strong(expected, kFree)) continue;
        if (!remove(pending.path)) report(pending.path);
    }
}

}  // namespace talvexhost::faultguards
