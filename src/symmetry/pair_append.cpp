#include "symmetry/pair_append.h"

namespace {

// Grows `list` until `extra` appends fit without growing, keeping the one free
// slot that appendPointer always leaves.
bool reserveAppends(PointerList& list, int extra) {
    while (list.count + extra - 1 >= list.capacity - 1) {
        if (!list.grow()) return false;
    }
    return true;
}

}  // namespace

bool appendPair(PointerList& pairs, void* first, void* second, PointerList* owners,
                void* owner) noexcept {
    if (owners != nullptr && !reserveAppends(*owners, 1)) return false;
    if (!reserveAppends(pairs, 2)) return false;
    pairs.appendPointer(first);
    pairs.appendPointer(second);
    if (owners != nullptr) owners->appendPointer(owner);
    return true;
}
