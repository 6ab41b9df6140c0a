#include "symmetry/symmetry_plugin.h"

void SymmetryPlugin::selectionChanged(HostWord) noexcept {}

void SymmetryPlugin::verticesMoved(VertexList*, HostWord) noexcept {}

bool SymmetryPlugin::hostCommand(std::int32_t, HostWord) noexcept { return true; }

void SymmetryPlugin::hostEvent(std::int32_t, HostWord) noexcept {}

bool SymmetryPlugin::holdPairsA(HostWord) noexcept { return true; }

bool SymmetryPlugin::holdPairsB(HostWord) noexcept { return true; }
