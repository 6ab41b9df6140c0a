#include "symmetry/symmetry_plugin.h"

void SymmetryPlugin::updatePlaneFrame() noexcept {}

double SymmetryPlugin::projectOntoPlane(const Vector3&, int&, Vector3&) const noexcept { return 2.0 * tolerance; }

Vector3 SymmetryPlugin::mirrorImage(const Vector3& point) const noexcept { return point; }
