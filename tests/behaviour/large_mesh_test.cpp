// A one-million-vertex object through the shipped plug-in: Smart Resym and a
// fresh live search of ten thousand dragged vertices complete (in the 32-bit
// DLL too) and give the answers the mesh makes certain.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/symmetry_scene.h"

namespace {

using namespace symtest;

// 100 x 100 x 50 lattice points on each side of x = 0, spaced 0.125 (more
// than the tolerance 0.1, so each vertex has exactly one candidate in reach:
// its mirror image, exact since the lattice is dyadic). Vertex 2k is
// (x, y, z), vertex 2k + 1 its image (-x, y, z).
std::vector<Point> mirroredLattice() {
    std::vector<Point> points;
    points.reserve(1000000);
    for (int i = 1; i <= 50; ++i) {
        for (int j = 0; j < 100; ++j) {
            for (int k = 0; k < 100; ++k) {
                const float x = 0.125f * float(i), y = 0.125f * float(j), z = 0.125f * float(k);
                points.push_back({x, y, z});
                points.push_back({-x, y, z});
            }
        }
    }
    return points;
}

struct LargeMesh : ::testing::Test, SymmetryScene {
    HostObject* mesh = nullptr;
    void SetUp() override {
        createUnitPlane();
        mesh = addEdited("lattice", mirroredLattice());
        host.calls.clear();
        host.messages.clear();
    }
};

TEST_F(LargeMesh, SmartResymPairsAMillionVerticesWithTheirImages) {
    ASSERT_EQ(mesh->vertexCount, 1000000);
    // Each image is nudged off by 1/128: every pair then moves.
    for (int k = 1; k < mesh->vertexCount; k += 2) v(mesh, k)->y += 0.0078125f;
    host.execute(kSmartResym);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0], "Talvex: Smart Resym - 1000000 vertices touched, 1000000 moved");
    ASSERT_EQ(host.lastRegistered.size(), 1000000u);
    for (int k = 0; k < 1000; ++k) {
        EXPECT_EQ(host.lastRegistered[size_t(2 * k)], v(mesh, 2 * k));
        EXPECT_EQ(host.lastRegistered[size_t(2 * k + 1)], v(mesh, 2 * k + 1));
    }
    // Both halves meet halfway: y ends on the half-nudge.
    EXPECT_EQ(v(mesh, 0)->y, 0.00390625f);
    EXPECT_EQ(v(mesh, 1)->y, 0.00390625f);
}

TEST_F(LargeMesh, AFreshLiveSearchPairsTenThousandDraggedVertices) {
    switchOn();
    std::vector<HostVertex*> dragged;
    for (int k = 0; k < 10000; ++k) {
        dragged.push_back(v(mesh, 2 * k));
        v(mesh, 2 * k + 1)->z += 0.0625f;  // within reach, but off the image
    }
    drag(dragged, v(mesh, 0));
    for (int k = 0; k < 10000; k += 997) {
        const HostVertex& source = *v(mesh, 2 * k);
        expectAt(*v(mesh, 2 * k + 1), at(-source.x, source.y, source.z), "partner on the image");
    }
    EXPECT_EQ(v(mesh, 2 * 10000 + 1)->z, v(mesh, 2 * 10000)->z);  // not dragged, not moved
}

}  // namespace
