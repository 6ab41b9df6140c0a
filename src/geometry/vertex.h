// A mesh vertex: a Vector3 followed by the host's vertex members. Its layout is
// the host's vertex record, so host vertices are used as Vertex values directly.
#pragma once

#include <cstdint>

#include "geometry/vector3.h"

// Bit of Vertex::flags marking a host vertex "do not move": resym mirrors its
// partner onto it. Named here, in the record's own layer, so that the
// constructor below and the host's records (host/host_records.h) share it.
constexpr std::uint32_t kVertexDoNotMove = 1u;

class Vertex : public Vector3 {
public:
    // Stores the position, clears kVertexDoNotMove, zeroes the host block and leaves
    // the owned array empty.
    Vertex(float initialX, float initialY, float initialZ) noexcept;
    // Frees the owned array's storage, if any, and zeroes count and capacity.
    ~Vertex() override;
    Vertex(const Vertex&) = delete;
    Vertex& operator=(const Vertex&) = delete;

    int kind() const noexcept override { return 0; }

    std::uint32_t hostBlock[7];  // the host's; zero after construction
    std::uint32_t hostTag;       // the host's; left unset
    // An array the vertex owns, shaped like the plug-in's pointer lists; this
    // system never fills it.
    void** ownedItems;
    std::int32_t ownedCount;
    std::int32_t ownedCapacity;
};
