// Placing the symmetry plane for the batch subcommands. "Talvex Create
// Talvex" has the host build the plane object. For a plane through the
// meshes' centroid, "Talvex Reposition" then runs once, twice or three times
// to make it perpendicular to X, Y or Z, as in the modeller; the host then
// squares its corners so the plug-in's mirror is exact (plane_placement.h).
// A plane at a given coordinate, or at any orientation, the host places
// itself, as the modeller's move and rotate tools would.
#pragma once

#include <string>
#include <vector>

#include "host/host_records.h"

namespace talvexhost {

// What --plane asks for, before there is a plane: an axis, a value, an
// equation or "auto". HostPlane below is the plane itself.
struct PlaneSpec {
    // 0 X, 1 Y, 2 Z: the axis the plane is perpendicular to; for a general
    // plane the axis its normal is most along, which names the report's sides.
    int axis = 0;
    bool atValue = false;
    float value = 0.0f;                  // the plane's coordinate on that axis, when atValue
    bool automatic = false;              // "auto": found by symmetry detection
    bool general = false;                // a x + b y + c z = d, in `normal` and `offset`
    double normal[3] = {1.0, 0.0, 0.0};  // unit, when general
    double offset = 0.0;
    double score = 0.0;  // the detected plane's symmetry score, 0 to 1, when automatic
};

// Parses "x", "y", "z", "x=VALUE", "y=VALUE", "z=VALUE" (case-insensitive),
// "auto", and "A,B,C,D" for the plane A x + B y + C z = D (A, B, C not all 0;
// normalised here).
bool parsePlaneSpec(const std::string& text, PlaneSpec& spec, std::string& error);
std::string describePlane(const PlaneSpec& spec);
// "0.600000 x - 0.800000 y + 0.000000 z = 2.000000"
std::string formatPlaneEquation(const double normal[3], double offset);
// A plane's number with six decimals; one that rounds to zero prints as
// 0.000000, never -0.000000.
std::string formatPlaneNumber(double value);
// Makes `spec` the general plane with this normal (any length) and offset.
bool setGeneralPlane(PlaneSpec& spec, const double normal[3], double offset);

// The plane as the host sees it: frame of the plane object, in double. The
// one plane type of the rooms that know the host's records: the plane that is
// asked for, placed (plane_placement.h) and read back. Detection keeps its
// own (detect/reflection_fit.h).
struct HostPlane {
    double normal[3];
    double pivot[3];
    // Signed distance along the positive axis direction of `axis` (so a
    // vertex with a larger coordinate than the plane's is positive).
    double signedDistance(const Vector3& p, int axis) const noexcept;
    // The mirror image of p through the plane.
    void mirror(const Vector3& p, double out[3]) const noexcept;
};
// Frame of `planeObject` (vertices 0 to 2 and its position); false when it
// has fewer than three vertices or a zero normal.
bool planeFrame(const HostObject* planeObject, HostPlane& plane) noexcept;

// The report's "plane: ..." text: the plane asked for and where it stands.
std::string describePlacedPlane(const PlaneSpec& spec, const HostPlane& plane);

}  // namespace talvexhost
