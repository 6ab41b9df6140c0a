// The sides of the symmetry plane as the command line names them: "+x",
// "-x", "+y", "-y", "+z", "-z" by the axis the plane is perpendicular to,
// "+" and "-" by the plane's own normal. `resym --master` names the side that
// keeps its positions, `symmetrize --keep` the half it rebuilds from.
#pragma once

#include <string>

#include "pairing/plane_setup.h"

namespace talvexhost {

struct PlaneSide {
    int axis = -1;  // 0 X, 1 Y, 2 Z; -1 for "+" and "-"
    int sign = 1;   // +1 or -1
};

// Parses one of the eight names; false with `error` (naming `option`) for
// anything else.
bool parsePlaneSide(const std::string& text, const char* option, PlaneSide& side,
                    std::string& error);

// The side as the sign of HostPlane::signedDistance(p, spec.axis) on it.
// "+" is where the plane's normal points: +axis for an axis plane, the
// normal A, B, C for the plane A x + B y + C z = D. False with `error` when
// an axis name is not the plane's axis (for a plane at another orientation,
// the axis its normal is most along).
bool sideSign(const PlaneSide& side, const PlaneSpec& spec, const char* option, int& sign,
              std::string& error);

// "+x" or "-x": the side of signedDistance's `sign` about a plane across `axis`.
std::string sideName(int axis, int sign);

}  // namespace talvexhost
