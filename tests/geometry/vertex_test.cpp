#include "geometry/vertex.h"

#include <gtest/gtest.h>

#include <cstring>
#include <new>

namespace {

// Constructing over memory whose flag word is all ones, as the host does.
template <typename T, typename... Args>
T* constructOverOnes(void* storage, std::size_t size, Args... args) {
    std::memset(storage, 0xFF, size);
    return new (storage) T(args...);
}

TEST(Vertex, ConstructionClearsOnlyTheLowFlagBits) {
    alignas(Vertex) unsigned char storage[sizeof(Vertex)];

    Vector3* v = constructOverOnes<Vector3>(storage, sizeof storage, 1.0f, 2.0f, 3.0f);
    EXPECT_EQ(v->flags, 0xFFFFFFF0u);
    v->~Vector3();

    Vertex* vertex = constructOverOnes<Vertex>(storage, sizeof storage, 1.0f, 2.0f, 3.0f);
    EXPECT_EQ(vertex->flags, 0xFFFFFFF0u);
    for (std::uint32_t word : vertex->hostBlock) EXPECT_EQ(word, 0u);
    EXPECT_EQ(vertex->ownedItems, nullptr);
    EXPECT_EQ(vertex->ownedCount, 0);
    EXPECT_EQ(vertex->ownedCapacity, 0);
    EXPECT_EQ(vertex->x, 1.0f);
    vertex->~Vertex();
}

TEST(Vertex, DestructionReleasesTheOwnedArray) {
    alignas(Vertex) unsigned char storage[sizeof(Vertex)];
    Vertex* vertex = new (storage) Vertex(0, 0, 0);
    vertex->ownedItems = new void*[4];
    vertex->ownedCount = 1;
    vertex->ownedCapacity = 4;
    vertex->~Vertex();
    // The destructor zeroed what it owned; the memory is ours to inspect.
    Vertex* after = reinterpret_cast<Vertex*>(storage);
    EXPECT_EQ(after->ownedCount, 0);
    EXPECT_EQ(after->ownedCapacity, 0);
}

TEST(Vertex, DeletingThroughTheBaseRunsTheVertexDestructor) {
    GeomBase* base = new Vertex(1, 1, 1);
    static_cast<Vertex*>(base)->ownedItems = new void*[2];
    EXPECT_EQ(base->kind(), 0);
    delete base;  // the sanitizer build reports a leak if ~Vertex did not run
}

}  // namespace
