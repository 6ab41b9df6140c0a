// The host's scene records as they lie in memory: the plug-in reads the host's
// lists and objects and writes vertex coordinates in place. On 32-bit targets
// every offset is the host's and is asserted; on 64-bit only order and types hold.
#pragma once

#include <cstddef>
#include <cstdint>

#include "geometry/vertex.h"

using HostVertex = Vertex;

// HostVertex::flags bit kVertexDoNotMove (geometry/vertex.h) marks a vertex
// "do not move": resym mirrors its partner onto it.

struct HostObject {
    unsigned char hostPrivate0[0x10C];
    HostVertex** vertices;
    std::int32_t vertexCount;
    unsigned char hostPrivate1[0x13C - 0x114];
    Vector3 position;  // the object's pivot; x, y, z at +0x148
};

// Items, count, capacity: the shape of the host's object lists and of every
// list the plug-in hands to the host.
struct HostPointerList {
    void** items;
    std::int32_t count;
    std::int32_t capacity;
};

struct ObjectList {
    HostObject** items;
    std::int32_t count;
    std::int32_t capacity;
};

struct VertexList {
    HostVertex** items;
    std::int32_t count;
};

// A host list of which only the count is read (the per-mode selections).
struct CountedList {
    void* items;
    std::int32_t count;
};

// What host command 107 builds a plane primitive from. Only the two sizes have
// a known meaning; the plug-in saves and restores all six fields.
struct PrimitiveParams {
    std::int32_t param0;
    float firstSize;
    float secondSize;
    std::int32_t param3;
    std::int32_t param4;
    std::int32_t param5;
};

struct HostScene {
    ObjectList* allObjects;
    ObjectList* selectedObjects;
    ObjectList* editObjects;  // objects under edit
    VertexList* selectedVertices;
    CountedList* modeOneSelection;   // counted in selection mode 1
    CountedList* modeZeroSelection;  // counted in selection mode 0
    void* hostPrivate[22];
    PrimitiveParams* primitive;
};

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
#endif
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(offsetof(Vertex, flags) == 0x08, "vertex flags");
static_assert(offsetof(Vertex, x) == 0x0C && offsetof(Vertex, y) == 0x10 &&
                  offsetof(Vertex, z) == 0x14,
              "vertex coordinates");
static_assert(offsetof(Vertex, hostBlock) == 0x18 && offsetof(Vertex, hostTag) == 0x34,
              "vertex block");
static_assert(offsetof(Vertex, ownedItems) == 0x38 && offsetof(Vertex, ownedCount) == 0x3C &&
                  offsetof(Vertex, ownedCapacity) == 0x40,
              "vertex owned array");
static_assert(sizeof(Vector3) == 0x18, "vector size");
static_assert(offsetof(HostObject, vertices) == 0x10C && offsetof(HostObject, vertexCount) == 0x110,
              "object vertices");
static_assert(offsetof(HostObject, position) == 0x13C, "object position");
static_assert(offsetof(HostObject, position) + offsetof(Vector3, x) == 0x148, "position x");
static_assert(offsetof(HostObject, position) + offsetof(Vector3, z) == 0x150, "position z");
static_assert(offsetof(ObjectList, count) == 0x04 && offsetof(ObjectList, capacity) == 0x08,
              "object list");
static_assert(offsetof(HostPointerList, count) == 0x04 &&
                  offsetof(HostPointerList, capacity) == 0x08,
              "pointer list");
static_assert(offsetof(VertexList, count) == 0x04, "vertex list");
static_assert(offsetof(CountedList, count) == 0x04, "counted list");
static_assert(offsetof(HostScene, selectedObjects) == 0x04 &&
                  offsetof(HostScene, editObjects) == 0x08 &&
                  offsetof(HostScene, selectedVertices) == 0x0C &&
                  offsetof(HostScene, modeOneSelection) == 0x10 &&
                  offsetof(HostScene, modeZeroSelection) == 0x14,
              "scene lists");
static_assert(offsetof(HostScene, primitive) == 0x70, "scene primitive params");
#endif
static_assert(offsetof(PrimitiveParams, firstSize) == 0x04 &&
                  offsetof(PrimitiveParams, secondSize) == 0x08 &&
                  offsetof(PrimitiveParams, param3) == 0x0C &&
                  offsetof(PrimitiveParams, param5) == 0x14 && sizeof(PrimitiveParams) == 0x18,
              "primitive params");
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
