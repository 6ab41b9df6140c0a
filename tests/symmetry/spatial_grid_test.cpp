// The index's building blocks: the reach box never misses a point in reach,
// at any magnitude and at the clamp; every indexed point is found in its
// cell's bucket; the membership sets answer by identity.
#include "symmetry/spatial_grid.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "symmetry/vertex_set.h"
#include "support/seeded_random.h"

namespace {

using Random = SeededRandom;

bool inBox(const CellScale& scale, const CellBox& box, float x, float y, float z) {
    const std::int64_t c[3] = {scale.cellOf(x), scale.cellOf(y), scale.cellOf(z)};
    for (int axis = 0; axis < 3; ++axis) {
        if (c[axis] < box.lo[axis] || c[axis] > box.hi[axis]) return false;
    }
    return true;
}

TEST(SpatialGrid, ReachBoxHoldsEveryPointJustInsideTheReach) {
    // Points one float step inside the reach on each axis, around targets
    // from tiny to huge, with cells from tiny to clamped.
    const float reaches[] = {1e-6f, 0.1f, 0.625f, 3.0f, 1e20f};
    const float magnitudes[] = {0.0f, 1e-3f, 1.0f, 1000.0f, 1e7f, 1e30f, 3e38f};
    Random random{42};
    for (float reach : reaches) {
        const CellScale scale(reach);
        for (float magnitude : magnitudes) {
            for (int n = 0; n < 200; ++n) {
                const float t[3] = {float(magnitude * (2 * random.unit() - 1)),
                                    float(magnitude * (2 * random.unit() - 1)),
                                    float(magnitude * random.unit())};
                const CellBox box = scale.boxAround(t, reach);
                for (int axis = 0; axis < 3; ++axis) {
                    for (float direction : {-1.0f, 1.0f}) {
                        float p[3] = {t[0], t[1], t[2]};
                        // The farthest float strictly within reach of t on this axis.
                        float q = float(double(t[axis]) + direction * double(reach));
                        while (std::fabs(double(q) - double(t[axis])) >= double(reach)) {
                            q = std::nextafter(q, t[axis]);
                        }
                        p[axis] = q;
                        EXPECT_TRUE(inBox(scale, box, p[0], p[1], p[2]))
                            << "reach " << reach << " target " << t[axis] << " point " << q;
                    }
                }
            }
        }
    }
}

TEST(SpatialGrid, EveryPointIsInItsCellsBucketInKeyOrder) {
    for (double cell : {0.01, 0.1, 1.0}) {
        std::vector<GridEntry> points;
        Random random{7};
        for (std::uint32_t key = 0; key < 5000; ++key) {
            points.push_back(GridEntry{float(random.unit() * 4 - 2), float(random.unit() * 4 - 2),
                                       float(random.unit() * 0.1), key});
        }
        const CellScale scale(cell);
        SpatialGrid grid;
        ASSERT_TRUE(grid.start(scale, std::uint32_t(points.size())));
        for (const GridEntry& p : points) grid.count(p.x, p.y, p.z);
        ASSERT_TRUE(grid.finishCounting());
        for (size_t i = points.size(); i-- > 0;)
            grid.place(points[i].key, points[i].x, points[i].y, points[i].z);
        for (const GridEntry& p : points) {
            const GridEntry* end = nullptr;
            const GridEntry* e =
                grid.bucket(grid.cellOf(p.x), grid.cellOf(p.y), grid.cellOf(p.z), end);
            bool found = false;
            for (const GridEntry* previous = nullptr; e != end; previous = e, ++e) {
                if (previous != nullptr) {
                    EXPECT_LT(previous->key, e->key);
                }
                found = found || (e->key == p.key && e->x == p.x && e->y == p.y && e->z == p.z);
            }
            EXPECT_TRUE(found) << "cell " << cell << " key " << p.key;
        }
    }
}

TEST(SpatialGrid, CellSetsAndVertexSetsAnswerByIdentity) {
    CellSet cells;
    for (int i = 0; i < 1000; ++i) ASSERT_TRUE(cells.insert(i, -i, 1 << 30));
    EXPECT_EQ(cells.size(), 1000u);
    EXPECT_TRUE(cells.contains(999, -999, 1 << 30));
    EXPECT_FALSE(cells.contains(999, 999, 1 << 30));
    EXPECT_EQ(cells.bounds().lo[0], 0);
    EXPECT_EQ(cells.bounds().hi[0], 999);

    int objects[100];
    VertexSet set;
    EXPECT_FALSE(set.contains(&objects[0]));
    ASSERT_TRUE(set.reserve(50));
    for (int i = 0; i < 100; i += 2) set.insert(&objects[i]);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(set.contains(&objects[i]), i % 2 == 0) << i;
}

}  // namespace
