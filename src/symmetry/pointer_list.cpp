#include "symmetry/pointer_list.h"

#include <cstring>
#include <new>

bool PointerList::grow() noexcept {
    if (items == nullptr) {
        void** fresh = new (std::nothrow) void*[2];
        if (fresh == nullptr) return false;
        items = fresh;
        count = 0;
        capacity = 2;
        return true;
    }
    void** fresh = new (std::nothrow) void*[2 * static_cast<std::size_t>(capacity)];
    if (fresh == nullptr) return false;
    std::memcpy(fresh, items, sizeof(void*) * static_cast<std::size_t>(capacity));
    delete[] items;
    items = fresh;
    capacity *= 2;
    return true;
}

bool PointerList::appendPointer(void* p) noexcept {
    while (count >= capacity - 1) {
        if (!grow()) return false;
    }
    items[count] = p;
    ++count;
    return true;
}

void PointerList::releaseStorage() noexcept {
    delete[] items;
    items = nullptr;
    count = 0;
    capacity = 0;
}

bool PointerList::contains(const void* p) const noexcept {
    for (int i = 0; i < count; ++i) {
        if (items[i] == p) return true;
    }
    return false;
}
