// The host's own candidate search behind check's report, against a plain
// scan of every vertex: grid cells must never lose a neighbour, whatever the
// cell size is against the radius.
#include "pairing/mirror_candidates.h"

#include <gtest/gtest.h>

#include <cmath>

#include "pairing/tolerance_advice.h"
#include "render/deviation_colours.h"
#include "support/seeded_random.h"

namespace talvexhost {
namespace {

std::vector<ReportVertex> randomVertices(SeededRandom& random, int count) {
    std::vector<ReportVertex> vertices(count);
    for (ReportVertex& v : vertices) {
        for (double& c : v.position) c = random.between(-1.0, 1.0);
        v.object = random.below(2);
        v.distance = v.position[0];
    }
    return vertices;
}

TEST(VertexGrid, FindsWhatAPlainScanFinds) {
    SeededRandom random{7};
    const std::vector<ReportVertex> vertices = randomVertices(random, 600);
    // Cells far smaller than the radius take the scan path; larger ones the cells.
    for (double cell : {0.001, 0.05, 0.2, 3.0}) {
        const VertexGrid grid(vertices, cell);
        for (int q = 0; q < 50; ++q) {
            const double point[3] = {random.between(-1.2, 1.2), random.between(-1.2, 1.2),
                                     random.between(-1.2, 1.2)};
            const double radius = random.between(0.01, 0.6);
            std::vector<int> expected;
            for (std::size_t v = 0; v < vertices.size(); ++v) {
                const double* p = vertices[v].position;
                const double d = std::sqrt((p[0] - point[0]) * (p[0] - point[0]) +
                                           (p[1] - point[1]) * (p[1] - point[1]) +
                                           (p[2] - point[2]) * (p[2] - point[2]));
                if (d < radius) expected.push_back(static_cast<int>(v));
            }
            std::vector<int> found;
            for (const Candidate& c : grid.within(point, radius)) found.push_back(c.vertex);
            EXPECT_EQ(found, expected) << "cell " << cell << " radius " << radius;
        }
    }
}

TEST(MirrorCandidates, KeepSmartResymsRuleNearestFirst) {
    // Plane x = 0; the starter at x = 1 has its image at x = -1.
    HostPlane plane{{1.0, 0.0, 0.0}, {0.0, 0.0, 0.0}};
    std::vector<ReportVertex> vertices(6);
    const double at[6][3] = {{1, 0, 0},     {-1.02, 0, 0}, {-1, 0.01, 0},
                             {1, 0, 0.001}, {-1, 0, 0.05}, {-1, 0, 0.001}};
    for (int v = 0; v < 6; ++v) {
        for (int a = 0; a < 3; ++a) vertices[v].position[a] = at[v][a];
        vertices[v].distance = at[v][0];
    }
    vertices[5].object = 1;  // another object
    const VertexGrid grid(vertices, 0.05);
    // Vertex 3 is on the starter's own side, 4 lies exactly the tolerance away.
    std::vector<int> found;
    for (const Candidate& c :
         mirrorCandidates(vertices, grid, plane, 0, 0.05, ObjectRule::sameObject))
        found.push_back(c.vertex);
    EXPECT_EQ(found, (std::vector<int>{2, 1}));
    const std::vector<Candidate> elsewhere =
        mirrorCandidates(vertices, grid, plane, 0, 0.05, ObjectRule::otherObject);
    ASSERT_EQ(elsewhere.size(), 1u);
    EXPECT_EQ(elsewhere[0].vertex, 5);
}

TEST(ReportNumbers, RoundAndScaleForPeople) {
    EXPECT_EQ(roundedDown(0.0319), "0.031");
    EXPECT_EQ(roundedDown(2.29e-16), "2.2e-16");
    EXPECT_EQ(roundedDown(8.1), "8.1");
    EXPECT_EQ(roundedDown(0.0), "0");
    EXPECT_EQ(rampTop(0.05), 0.05);
    EXPECT_DOUBLE_EQ(rampTop(0.0500001), 0.06);
    EXPECT_DOUBLE_EQ(rampTop(0.003), 0.003);
    // The largest stays in the red end of the ramp, wherever it falls between steps.
    for (double largest = 0.0011; largest < 0.1; largest *= 1.07)
        EXPECT_GE(largest / rampTop(largest), 0.8 - 1e-9) << largest;
    EXPECT_EQ(rampTop(0.0), 1.0);
    EXPECT_EQ(shortNumber(0.0001), "0.0001");
}

}  // namespace
}  // namespace talvexhost
