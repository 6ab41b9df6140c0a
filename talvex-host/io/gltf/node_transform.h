// The affine transforms glTF nodes place their meshes with, in double: what
// takes a stored position into the scene on reading and back on writing.
#pragma once

#include <array>

#include "io/mesh_document.h"

namespace talvexhost {

// A 3x4 affine transform: rows of (x y z translation).
using Affine = std::array<double, 12>;

Affine identity();
bool isIdentity(const Affine& m);
// a after b: (a * b)(p) = a(b(p)).
Affine multiply(const Affine& a, const Affine& b);
// False when `m` flattens space (its determinant is zero or not finite).
bool invert(const Affine& m, Affine& out);
// Float position in, double arithmetic, rounded to float once.
MeshPosition transformed(const Affine& m, const MeshPosition& p);

}  // namespace talvexhost
