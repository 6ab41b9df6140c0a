// A mesh rebuilt from one half, as the formats see it: what a document
// hands the geometry (positions, elements, per-corner texture coordinates
// and normals) and what it gets back to write (the rebuilt mesh and where
// each of its vertices and elements comes from). The geometry is in
// edit/half_mesh.h; these are plain data, so the formats below it can write.
#pragma once

#include <cstdint>
#include <vector>

namespace talvexhost {

// Three floats: a position, a normal, or texture coordinates (u, v, w).
struct EditVector {
    float v[3];
};

// One corner of an element: its vertex, and its texture coordinates and
// normal, or -1 where it has none. All 0-based.
struct EditCorner {
    int vertex;
    int uv;
    int normal;
};

// A face (3 or more corners), line (2 or more) or point (1 or more): its
// corners are corners[first, first + count).
struct EditElement {
    enum Kind : std::uint8_t { kFace, kLine, kPoint };
    Kind kind;
    int first;
    int count;
};

struct HalfMeshInput {
    std::vector<EditVector> positions;
    std::vector<EditVector> uvs;
    std::vector<EditVector> normals;
    std::vector<EditElement> elements;
    std::vector<EditCorner> corners;
};

// The plane n . p = offset, n a unit vector, and the side kept: where
// n . p - offset has the sign `keep` (+1 or -1). For a plane across an axis
// (`axis` 0 to 2, n that axis) the arithmetic is exact: a distance is the
// coordinate less `offset`, and a mirror image 2 offset - coordinate, one
// rounding to float (none at offset 0); `axis` -1 for any other plane.
struct HalfPlane {
    double normal[3] = {1.0, 0.0, 0.0};
    double offset = 0.0;
    int axis = -1;
    int keep = 1;
};

// Where an output vertex, texture coordinate or normal comes from: an input
// one (kept, maybe moved onto the plane), one made at a cut, or the mirror
// image of an earlier output one.
struct EditOrigin {
    enum Kind : std::uint8_t { kKept, kCut, kMirror };
    Kind kind;
    int index;  // kKept: the input index; kCut: an input one to take extras from; kMirror: the
                // output index mirrored
    bool moved = false;  // kKept: changed (put onto the plane, or u mirrored)
    // kCut positions: the edge's other end, on the side dropped, and how far
    // along the edge from `index` to it the cut lies (0 to 1), for formats
    // that interpolate their own per-vertex values there.
    int other = -1;
    double t = 0.0;
};

struct HalfMeshResult {
    HalfMeshInput mesh;
    std::vector<EditOrigin> positionOrigins;  // one per output position
    std::vector<EditOrigin> uvOrigins;
    std::vector<EditOrigin> normalOrigins;
    // Per output element: the input element it comes from, and whether it
    // is that element's mirror image. The kept elements come first, in input
    // order, then the mirrored ones, in input order.
    std::vector<int> elementSources;
    std::vector<bool> elementMirrored;
    int facesCut = 0;             // input faces that crossed the plane
    int verticesCut = 0;          // new vertices on the plane
    int seamVertices = 0;         // output vertices on the plane (their own mirror)
    int facesInPlane = 0;         // input faces lying in the plane, kept once
    int facesInPlaneDropped = 0;  // ... or dropped, where the kept half meets them
};

}  // namespace talvexhost
