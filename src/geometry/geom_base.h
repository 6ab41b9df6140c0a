// The tagged base of every geometric value. Its layout (vtable, one word the
// host owns, a flag word) opens the host's vertex record, so it must not change.
#pragma once

#include <cstdint>

class GeomBase {
public:
    // Clears flag bits 0 to 3 and keeps bits 4 to 31: the host constructs
    // vertices over memory whose upper flag bits it has already set. Out of
    // line so that the compiler cannot treat that read of memory it has not
    // seen written as undefined and drop it.
    GeomBase() noexcept;
    virtual ~GeomBase() = default;
    GeomBase(const GeomBase&) = default;
    GeomBase& operator=(const GeomBase&) = default;

    // 5 for the base, 1 for Vector3, 0 for Vertex.
    virtual int kind() const noexcept { return 5; }

    std::uint32_t hostWord;  // the host's; never read or written here
    std::uint32_t flags;     // on a host vertex, kVertexDoNotMove (vertex.h) marks it "do not move"
};
