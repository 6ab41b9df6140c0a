// A cache hint for loops that walk host vertices through an object's pointer
// array (the candidate table's passes, Smart Resym's loops). Host vertices are
// separate heap objects in no useful order, so each step of such a loop waits
// on memory unless the vertex a few steps ahead is requested early.
#pragma once

#include <cstdint>

#include "host/host_records.h"

// How far ahead the loops request: enough to cover a memory round trip.
constexpr std::int32_t kVertexPrefetchDistance = 8;

// Requests vertices[index] of `object` when index is within its count; a hint
// that changes no result (an index out of range requests nothing).
inline void prefetchVertex(const HostObject& object, std::int64_t index) noexcept {
    if (index >= 0 && index < object.vertexCount) __builtin_prefetch(object.vertices[index]);
}
