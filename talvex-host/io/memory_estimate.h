// What a run of the host will need in memory, counted before the work so
// that a run too large for what is left ends at once with "out of memory"
// rather than half-way, inside the GL driver, or (worst) in the plug-in's
// plain scan, which it falls back to when its index cannot get memory and
// which takes hours on a large mesh. Used by HostSession.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/host_records.h"

namespace talvexhost {

// Per vertex of a loaded mesh, after reading: the host's vertex record and
// its pointer; the undo record (pointer and old position), which also holds
// the list the plug-in registers; the plug-in's own index (about 24 bytes)
// and its registered list; the positions the document keeps for writing and
// the output's formatting. Not all of it is held at once: the peak, while
// the plug-in's index and list are alive beside the records, is about 119
// bytes natively; `make bench` prints the figure.
constexpr std::uint64_t kBytesPerVertex = sizeof(HostVertex) + sizeof(HostVertex*) +
                                          (sizeof(HostVertex*) + 12) + 24 + sizeof(HostVertex*) +
                                          12 + 16;

// Per object: the host's object record in the modeller's layout (over 300
// bytes on its own), its vertex block and pointer array, the scene's and the
// session's bookkeeping and the object's name and vertex list.
constexpr std::uint64_t kBytesPerObject = sizeof(HostObject) + 320;

// Address space an OpenGL context takes with the software renderer: its
// driver, its threads and their heaps. Measured: under `ulimit -v` a context
// for a three-vertex mesh needs about 320 MB, and with less the driver
// crashes or hangs instead of failing.
constexpr std::uint64_t kGlContextBytes = std::uint64_t(384) << 20;
// The same once the driver is loaded (the host starts loading it early):
// the context, its threads and their heaps, and the first paint's font
// lookup, whose configuration parser crashes rather than fails when it runs
// short.
constexpr std::uint64_t kGlContextAfterLoadBytes = std::uint64_t(256) << 20;

// The blocks the plug-in's Smart Resym on `vertices` in `objects` will ask
// for at once while it runs, and will not report when it cannot have them
// (it falls back to its plain scan): its index, its partner list and its
// object table, and a thread's stack.
std::vector<std::uint64_t> smartResymBlocks(std::uint64_t vertices, std::uint64_t objects);

// "out of memory: WHAT needs about X MB, but only Y MB are available".
std::string outOfMemoryText(const std::string& what, std::uint64_t needed, std::uint64_t available);

// Whether all the blocks can be had at once right now (they are given back
// at once). Asked just before work whose allocation failure the plug-in
// would not report.
bool memoryCanBeHad(const std::vector<std::uint64_t>& blocks) noexcept;

// Marks a refusal of reading a mesh as running out of memory when that is
// what it was (the mapping or the reader's own estimate could not get the
// memory), so that every such ending says "out of memory".
void markOutOfMemory(std::string& error);

}  // namespace talvexhost
