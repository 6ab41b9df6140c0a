// Questions about the host's objects that several commands ask. Pointer
// comparisons only: nothing here reads a vertex.
#pragma once

#include <cstdint>

#include "host/host_records.h"

// True when `vertex` is one of `object`'s vertices.
inline bool holdsVertex(const HostObject& object, const HostVertex* vertex) noexcept {
    for (std::int32_t i = 0; i < object.vertexCount; ++i) {
        if (object.vertices[i] == vertex) return true;
    }
    return false;
}
