// Rebuilding a mesh from one half: cut the faces that cross the mirror
// plane, drop the other half, mirror the kept one and weld the seam. The
// geometry only: a format reads its file into a HalfMeshInput and writes the
// HalfMeshResult back (obj_rebuild.h for OBJ). Called by `symmetrize`.
#pragma once

#include <cstdint>
#include <string>
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

struct HalfMeshOptions {
    // Vertices nearer the plane than this (model units) are on it: they are
    // put exactly onto it and become the seam, their own mirror images.
    double weld = 0.0;
    // Mirrored faces take texture coordinates u -> 2 mirrorU - u (new ones);
    // otherwise they share the kept face's.
    bool mirrorUv = false;
    double mirrorU = 0.5;
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

// Rebuilds `input` symmetric about `plane` from its `plane.keep` half.
// Output vertices: the kept input vertices (those on the kept side or on the
// plane that an element uses, and unused ones on that side) in input order,
// then the vertices made at cuts, then the mirror images of the kept ones
// off the plane, in the same order. On-plane vertices at one position are
// welded into the first. A face lying in the plane is its own mirror image:
// it is kept once, unmirrored, unless a side of it is also a side of a kept
// face off the plane; then the mirrored half would meet it there (an edge in
// three faces, or a wall inside a closed mesh) and it is dropped. Mirrored
// faces reverse their winding.
// False with `error` when the seam cannot be welded (an edge on the plane in
// two or more kept faces would be in four or more), when nothing lies on the
// kept side, or when the plane misses the mesh (everything on the kept side,
// nothing on the plane).
bool rebuildFromHalf(const HalfMeshInput& input, const HalfPlane& plane,
                     const HalfMeshOptions& options, HalfMeshResult& result, std::string& error);

// The number of each kind in `mesh`.
int countFaces(const HalfMeshInput& mesh);

}  // namespace talvexhost
