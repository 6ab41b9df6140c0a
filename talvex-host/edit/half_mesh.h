// Rebuilding a mesh from one half: cut the faces that cross the mirror
// plane, drop the other half, mirror the kept one and weld the seam. The
// geometry only: a format reads its file into a HalfMeshInput and writes the
// HalfMeshResult back (MeshDocument's rebuild seam). Called by `symmetrize`.
#pragma once

#include <string>

#include "io/rebuilt_mesh.h"

namespace talvexhost {

struct HalfMeshOptions {
    // Vertices nearer the plane than this (model units) are on it: they are
    // put exactly onto it and become the seam, their own mirror images.
    double weld = 0.0;
    // Mirrored faces take texture coordinates u -> 2 mirrorU - u (new ones);
    // otherwise they share the kept face's.
    bool mirrorUv = false;
    double mirrorU = 0.5;
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
