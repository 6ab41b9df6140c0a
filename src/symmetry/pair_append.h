// Appending a whole pair to the plug-in's pair lists. Live matching and Smart
// Resym keep their lists even (source, partner, ...) even when memory runs out:
// a pair is stored entirely or not at all.
#pragma once

#include "symmetry/pointer_list.h"

// Appends `first` then `second` to `pairs`, and `owner` to `owners` when it is
// given, growing every list first. When any list cannot grow, nothing is
// appended anywhere and false is returned. Capacities grow exactly as the same
// appends one at a time would grow them.
bool appendPair(PointerList& pairs, void* first, void* second, PointerList* owners = nullptr,
                void* owner = nullptr) noexcept;
