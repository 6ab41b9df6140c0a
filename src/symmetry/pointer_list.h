// The plug-in's growable array of pointers: the held mirror pairs and Smart
// Resym's vertex list. Its fields are the host's list record, so a list is
// handed to the host as it is.
#pragma once

#include "host/host_records.h"

// items, count, capacity; an empty list is null, 0, 0. Emptying a list only
// sets count to 0, so a drag that finds pairs again and again never allocates.
struct PointerList : HostPointerList {
    PointerList() noexcept : HostPointerList{nullptr, 0, 0} {}
    PointerList(const PointerList&) = delete;
    PointerList& operator=(const PointerList&) = delete;

    // Doubles the storage (2 entries the first time). When the allocation
    // fails the list is left exactly as it was and false is returned.
    bool grow() noexcept;
    // Appends p, growing while fewer than two slots are free, so one free slot
    // always remains. When storage cannot grow, p is dropped and false returned.
    bool appendPointer(void* p) noexcept;
    // Frees the storage and leaves the list empty without storage; only for a
    // list about to be discarded.
    void releaseStorage() noexcept;
    void empty() noexcept { count = 0; }
    // Linear scan by identity.
    bool contains(const void* p) const noexcept;

    void* at(int index) const noexcept { return items[index]; }
};
