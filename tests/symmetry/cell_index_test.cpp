// The index's building blocks: a reach query never misses a point in reach,
// at any magnitude, with columns laid over a box that misses most points and
// with long sorted columns; every point is found at its own position; the
// membership set answers by identity.
#include "symmetry/cell_index.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "support/seeded_random.h"
#include "symmetry/vertex_set.h"

namespace {

using Random = SeededRandom;

struct Indexed {
    std::vector<CellEntry> points;
    CellIndex index;

    // Columns over `box`; every point indexed, keyed by its position.
    bool build(const IndexBox& box, double minCell, std::uint32_t columns) {
        if (!index.start(box, minCell, columns)) return false;
        for (const CellEntry& e : points) index.count(e.p);
        if (!index.finishCounting()) return false;
        for (const CellEntry& e : points) index.place(e.key, e.p);
        index.finish();
        return true;
    }

    bool visits(const float t[3], float reach, std::uint32_t key) const {
        bool found = false;
        index.visitNear(t, reach, [&](const CellEntry& e) { found = found || e.key == key; });
        return found;
    }
};

TEST(CellIndex, ReachQueryHoldsEveryPointJustInsideTheReach) {
    // Points one float step inside the reach on one axis, around targets
    // from tiny to huge, with cells from tiny to wide, and columns laid over
    // a small box (most points clamped into its edge columns) or a wide one.
    const float reaches[] = {1e-6f, 0.1f, 0.625f, 3.0f, 1e20f};
    const float magnitudes[] = {0.0f, 1e-3f, 1.0f, 1000.0f, 1e7f, 1e30f, 3e38f};
    Random random{42};
    for (float reach : reaches) {
        for (float magnitude : magnitudes) {
            Indexed set;
            std::vector<std::pair<CellEntry, std::uint32_t>> queries;  // target, key in reach
            for (int n = 0; n < 100; ++n) {
                const CellEntry t{
                    {float(magnitude * (2 * random.unit() - 1)),
                     float(magnitude * (2 * random.unit() - 1)), float(magnitude * random.unit())},
                    0};
                for (int axis = 0; axis < 3; ++axis) {
                    for (float direction : {-1.0f, 1.0f}) {
                        CellEntry p = t;
                        // The farthest float strictly within reach of t on this axis.
                        float q = float(double(t.p[axis]) + direction * double(reach));
                        while (std::fabs(double(q) - double(t.p[axis])) >= double(reach))
                            q = std::nextafter(q, t.p[axis]);
                        p.p[axis] = q;
                        p.key = std::uint32_t(set.points.size());
                        set.points.push_back(p);
                        queries.emplace_back(t, p.key);
                    }
                }
            }
            const IndexBox boxes[] = {{{-1, -1, 0}, {1, 1, 0.5}},
                                      {{-double(magnitude), -double(magnitude), 0},
                                       {double(magnitude), double(magnitude), double(magnitude)}}};
            for (const IndexBox& box : boxes) {
                Indexed built;
                built.points = set.points;
                ASSERT_TRUE(built.build(box, double(reach) / 4, 50));
                for (const auto& query : queries) {
                    EXPECT_TRUE(built.visits(query.first.p, reach, query.second))
                        << "reach " << reach << " magnitude " << magnitude << " key "
                        << query.second;
                }
            }
        }
    }
}

TEST(CellIndex, EveryPointIsFoundAtItsOwnPosition) {
    for (double cell : {0.01, 0.1, 1.0}) {
        Indexed set;
        Random random{7};
        for (std::uint32_t key = 0; key < 5000; ++key) {
            // A thin slab, so that columns run across it, and some points
            // stacked in one column, so that it is long and sorted.
            const float u = key % 5 == 0 ? 0.5f : float(random.unit() * 4 - 2);
            set.points.push_back(CellEntry{
                {u, key % 5 == 0 ? 0.5f : float(random.unit() * 4 - 2), float(random.unit() * 0.1)},
                key});
        }
        ASSERT_TRUE(set.build(IndexBox{{-2, -2, 0}, {2, 2, 0.1}}, cell, 2500));
        for (const CellEntry& p : set.points)
            EXPECT_TRUE(set.visits(p.p, 0.0f, p.key)) << "cell " << cell << " key " << p.key;
        std::uint32_t longest = 0;
        for (std::uint32_t c = 0; c < set.index.columnCount(); ++c)
            longest = std::max(longest, set.index.columnStart(c + 1) - set.index.columnStart(c));
        EXPECT_TRUE(CellIndex::isLong(longest));
        EXPECT_EQ(set.index.entryCount(), 5000u);
    }
}

TEST(CellIndex, VertexSetsAnswerByIdentity) {
    int objects[100] = {};
    VertexSet set;
    EXPECT_FALSE(set.contains(&objects[0]));
    ASSERT_TRUE(set.reserve(50));
    for (int i = 0; i < 100; i += 2) set.insert(&objects[i]);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(set.contains(&objects[i]), i % 2 == 0) << i;
}

}  // namespace
