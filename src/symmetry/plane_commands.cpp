#include "symmetry/symmetry_plugin.h"

void SymmetryPlugin::createPlane() noexcept {}

void SymmetryPlugin::repositionPlane() noexcept {}
