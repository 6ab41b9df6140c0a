#include "symmetry/symmetry_plugin.h"

int SymmetryPlugin::matchMirrorPairs(VertexList*) noexcept { return pairs.count; }
