// Running out of memory while pairs are stored: the lists stay even, nothing
// throws and no partner moves without its pair being held. This test program
// replaces the array allocation functions so that they can be made to fail.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

#include "symmetry/pair_append.h"
#include "symmetry/symmetry_plugin.h"

namespace {
bool gFailArrays = false;
}  // namespace

void* operator new[](std::size_t size) {
    void* p = std::malloc(size == 0 ? 1 : size);
    if (p == nullptr) std::abort();
    return p;
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return gFailArrays ? nullptr : std::malloc(size == 0 ? 1 : size);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

struct FailingArrays {
    FailingArrays() { gFailArrays = true; }
    ~FailingArrays() { gFailArrays = false; }
};

TEST(AllocationFailure, APairIsAppendedWholeOrNotAtAll) {
    PointerList pairs;
    PointerList owners;
    int items[8];
    ASSERT_TRUE(appendPair(pairs, &items[0], &items[1], &owners, &items[0]));  // capacity 4: full
    {
        FailingArrays failing;
        EXPECT_FALSE(appendPair(pairs, &items[2], &items[3], &owners, &items[1]));
    }
    EXPECT_EQ(pairs.count, 2);
    EXPECT_EQ(owners.count, 1);
    EXPECT_EQ(pairs.at(1), &items[1]);
    ASSERT_TRUE(appendPair(pairs, &items[2], &items[3], &owners, &items[1]));
    EXPECT_EQ(pairs.count, 4);
    EXPECT_EQ(pairs.capacity, 8);
    pairs.releaseStorage();
    owners.releaseStorage();
}

TEST(AllocationFailure, LiveMatchingTakesNoPartnerItCannotHold) {
    std::vector<std::unique_ptr<HostVertex>> owned;
    auto objectOf = [&](std::vector<HostVertex*>& pointers, const std::vector<Vector3>& points) {
        HostObject object{};
        for (const Vector3& p : points) {
            owned.push_back(std::make_unique<HostVertex>(p.x, p.y, p.z));
            pointers.push_back(owned.back().get());
        }
        object.vertices = pointers.data();
        object.vertexCount = static_cast<std::int32_t>(pointers.size());
        object.position = Vector3(0, 0, 0);
        return object;
    };
    std::vector<HostVertex*> planeVertices;
    std::vector<HostVertex*> meshVertices;
    HostObject plane =
        objectOf(planeVertices, {Vector3(0, -1, -1), Vector3(0, -1, 1), Vector3(0, 1, -1)});
    HostObject mesh =
        objectOf(meshVertices, {Vector3(1, 0, 0), Vector3(-1.02f, 0, 0), Vector3(3, 3, 3)});
    HostObject* editItems[] = {&mesh};
    ObjectList edit{editItems, 1, 1};
    HostScene scene{};
    scene.editObjects = &edit;

    SymmetryPlugin plugin(&scene, nullptr);
    plugin.planeObject = &plane;
    plugin.updatePlaneFrame();
    HostVertex* movedItems[] = {meshVertices[0], meshVertices[2]};
    VertexList moved{movedItems, 2};
    {
        FailingArrays failing;
        EXPECT_EQ(plugin.matchMirrorPairs(&moved), 0);
    }
    EXPECT_EQ(plugin.pairs.count, 0);
    EXPECT_EQ(plugin.pairObjects.count, 0);
    EXPECT_FALSE(plugin.pairsMoved);
    EXPECT_EQ(meshVertices[1]->x, -1.02f);
    // With memory back the same drag pairs and moves the partner.
    EXPECT_EQ(plugin.matchMirrorPairs(&moved), 2);
    EXPECT_EQ(meshVertices[1]->x, -1.0f);
    plugin.pairs.releaseStorage();
    plugin.pairObjects.releaseStorage();
}

}  // namespace
