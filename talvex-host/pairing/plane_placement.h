// Puts the plug-in's plane object where the host wants it, as the modeller's
// own move and rotate tools would: the host writes the object's four corners
// and its position, and the plug-in reads its frame from them the next time
// it looks. Used after "Talvex Create Talvex" by the batch subcommands for
// axis planes at a given coordinate and for planes at any orientation.
#pragma once

#include "host/host_records.h"
#include "pairing/plane_setup.h"

namespace talvexhost {

// The box the plane should span, in model units.
struct SpanBox {
    double lo[3];
    double hi[3];
};

// Writes vertices 0 to 3 and the position of `planeObject` so that its frame
// is the plane `pose` (its normal of any length), spanning the projection of `span`.
//
// The plug-in's mirror divides by the squared length of the frame's normal and
// rounds that quotient to float; it is exact only when the normal is a power
// of two along one axis. So for a normal along X, Y or Z the corners form a
// square whose side is a power of two, centred on a grid point of that size,
// and every corner and the position take exactly the float pose.pivot[axis]
// on the normal's axis: the frame's normal is then (±4 s², 0, 0) (or along Y
// or Z) with no rounding, and a point mirrored through a plane at 0 comes back
// bit for bit. Other orientations are placed to float precision; their mirror
// rounds. The normal's sign follows Reposition's (-X, +Y, -Z) for axis planes.
//
// False, with nothing written, when the object has fewer than four vertices
// or the pose is not finite.
bool placePlaneObject(HostObject* planeObject, const HostPlane& pose, const SpanBox& span) noexcept;

// The axis 0, 1 or 2 when `normal` lies exactly along one axis, else -1.
int exactAxisOf(const double normal[3]) noexcept;

}  // namespace talvexhost
