#include "symmetry/symmetry_plugin.h"

void SymmetryPlugin::smartResym() noexcept {}
