// What resym's defaults rest on: scaling the scene by a power of two for a
// tolerance the plug-in does not take, the centre line's rule, and planes
// given with numbers near the ends of the double range.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "hostsim/sim_scene.h"
#include "io/obj/obj_document.h"
#include "pairing/centre_line.h"
#include "pairing/plane_setup.h"
#include "pairing/tolerance_advice.h"
#include "session/plugin_scale.h"

namespace talvexhost {
namespace {

TEST(PluginScale, ExponentBringsTheToleranceIntoThePluginsRange) {
    struct Case {
        float tolerance;
        int exponent;
    };
    for (const Case& c :
         {Case{0.1f, 0}, Case{0.01f, 0}, Case{1024.0f, 0}, Case{0.0028f, 2}, Case{0.005f, 1},
          Case{0.00999f, 1}, Case{2048.0f, -1}, Case{1025.0f, -1}, Case{1e-9f, 24}}) {
        EXPECT_EQ(scaleExponentFor(c.tolerance), c.exponent) << c.tolerance;
        EXPECT_TRUE(pluginTakes(std::ldexp(c.tolerance, c.exponent))) << c.tolerance;
    }
    EXPECT_FALSE(pluginTakes(std::nextafter(0.01f, 0.0f)));
    EXPECT_FALSE(pluginTakes(std::nextafter(1024.0f, 2048.0f)));
}

TEST(PluginScale, ScalingAndBackIsExactAndScalesASharedVertexOnce) {
    hostsim::Scene scene;
    HostObject* a = scene.addObject("A", {{0.1f, -3.3f, 7e-30f}, {1.5e30f, 0.0f, -0.0f}});
    HostObject* b = scene.addObject("B", {{2.0f, 2.0f, 2.0f}});
    b->vertices[0] = a->vertices[0];  // one vertex listed in two objects
    a->position = Vector3(0.25f, 0.5f, -1.0f);
    const float before[3] = {a->vertices[0]->x, a->vertices[0]->y, a->vertices[0]->z};
    ASSERT_TRUE(scalesExactly({a, b}, 7));
    scaleObjects({a, b}, 7);
    EXPECT_EQ(a->vertices[0]->x, std::ldexp(before[0], 7));
    EXPECT_EQ(a->position.x, 32.0f);
    scaleObjects({a, b}, -7);
    EXPECT_EQ(std::memcmp(&a->vertices[0]->x, before, sizeof(float)), 0);
    EXPECT_EQ(a->vertices[0]->y, before[1]);
    EXPECT_EQ(a->vertices[0]->z, before[2]);
    EXPECT_EQ(a->vertices[1]->x, 1.5e30f);
    EXPECT_TRUE(std::signbit(a->vertices[1]->z));
    // 1.5e30 * 2^30 overflows a float; 7e-30 * 2^-30 is subnormal and loses bits.
    EXPECT_FALSE(scalesExactly({a}, 30));
    EXPECT_FALSE(scalesExactly({a}, -30));
    EXPECT_TRUE(scalesExactly({a}, -20));
}

TEST(CentreLine, NearMeansWithinTheToleranceOrHalfAnEdgeWhileBridging) {
    struct Case {
        double distance;
        bool bridges;
        bool near;
    };
    // Tolerance 0.003, median edge 0.03: half an edge is 0.015; all strict.
    for (const Case& c :
         {Case{0.0, true, false}, Case{double(0.0001f), true, false}, Case{0.0002, false, true},
          Case{-0.0029, false, true}, Case{0.003, false, false}, Case{0.012, false, false},
          Case{-0.012, true, true}, Case{0.015, true, false}, Case{0.02, true, false}}) {
        EXPECT_EQ(nearCentreLine(c.distance, 0.003, 0.03, c.bridges), c.near)
            << c.distance << (c.bridges ? " bridging" : "");
    }
    EXPECT_FALSE(nearCentreLine(0.01, 0.003, 0.0, true));  // no edges: the tolerance alone
}

TEST(CentreLine, BridgesWhereNeighboursLieFartherOutOnBothSides) {
    // A strip of two quads across x = 0: the middle column (x = 0.01 and
    // x = -0.02) has neighbours at -1 and +1; the outer columns do not.
    const std::string text =
        "v -1 0 0\nv 0.01 0 0\nv 1 0 0\nv -1 1 0\nv -0.02 1 0\nv 1 1 0\n"
        "f 1 2 5 4\nf 2 3 6 5\nl 1 3\n";
    ObjDocument document;
    std::string error;
    ASSERT_TRUE(document.parse(text, "strip.obj", error)) << error;
    HostPlane plane{{1.0, 0.0, 0.0}, {0.0, 0.0, 0.0}};
    const std::vector<bool> bridges = bridgesPlane(document, plane, 0);
    EXPECT_EQ(bridges, (std::vector<bool>{false, true, false, false, true, false}));
    // Nine edges (the line's too); the fifth longest is 2-5.
    EXPECT_NEAR(medianEdgeLength(document, {}), std::sqrt(1.0 + 0.03 * 0.03), 1e-7);
}

TEST(CentreLine, EdgesReadAloneMatchTheElements) {
    // Every kind of vertex line (plain, with a weight or an exponent, tabs,
    // indented), references relative and forward, faces with texture
    // and normal numbers, a line and a point: reading the edges without the
    // coordinates must still number every vertex as the full reading does.
    const std::string text =
        "v 0 0 0\nv\t2 0 0\nv 2e0 3 0 1.0\nvt 0 0\nvn 0 0 1\n"
        "f 1/1/1 2/1/1 3/1/1 4\n  v 0 3 0\nf -4 -2 -1\nl 1 3 2\np 2\n"
        "g other\nv 5 5 5\nv 6 5 5\nl 6 5\n";
    ObjDocument document;
    std::string error;
    ASSERT_TRUE(document.parse(text, "kinds.obj", error)) << error;
    std::vector<ObjEdge> expected;
    for (const ObjElement& element : document.elements()) appendEdges(element, expected);
    std::vector<ObjEdge> edges;
    document.forEachEdge([&](const ObjEdge& edge) { edges.push_back(edge); });
    ASSERT_EQ(edges.size(), 10u);  // 4 + 3 sides, 2 + 1 segments, no point
    ASSERT_EQ(edges.size(), expected.size());
    for (std::size_t i = 0; i < edges.size(); ++i) {
        EXPECT_EQ(edges[i].a, expected[i].a) << i;
        EXPECT_EQ(edges[i].b, expected[i].b) << i;
    }
    EXPECT_EQ(edges[4].a, 0);  // -4 after four vertices: the first
    EXPECT_EQ(edges[5].b, 3);

    // Positions handed in give the document's median, over every edge or
    // only those between `used` vertices (the second object's edge left out).
    std::vector<ObjPosition> positions;
    for (int v = 0; v < document.vertexCount(); ++v) positions.push_back(document.position(v));
    std::vector<bool> used(positions.size(), true);
    EXPECT_EQ(medianEdgeLength(document, positions, {}), medianEdgeLength(document, {}));
    used[4] = used[5] = false;
    EXPECT_EQ(medianEdgeLength(document, positions, used), medianEdgeLength(document, used));
    EXPECT_EQ(medianEdgeLength(document, positions, used), 3.0);
}

// The median of `document`'s edge lengths the plain way: every one kept.
double medianOfEveryEdge(const ObjDocument& document) {
    std::vector<double> lengths;
    document.forEachEdge([&](const ObjEdge& edge) {
        const ObjPosition a = document.position(edge.a);
        const ObjPosition b = document.position(edge.b);
        const double dx = double(a.x) - b.x;
        const double dy = double(a.y) - b.y;
        const double dz = double(a.z) - b.z;
        const double length = std::sqrt(dx * dx + dy * dy + dz * dz);
        if (length > 0.0) lengths.push_back(length);
    });
    std::nth_element(lengths.begin(), lengths.begin() + std::ptrdiff_t(lengths.size() / 2),
                     lengths.end());
    return lengths[lengths.size() / 2];
}

TEST(CentreLine, MedianOfManyEdgesIsExactWhereverItLies) {
    // Far more segments than the sample the kept lengths are chosen by,
    // each between two vertices of its own. `shortFirst` segments of about
    // a thousandth come first, then longer ones (1 to 2): with most of them
    // short, the median lies between the sample's quartiles, among the
    // lengths kept; with most long, beyond them, and the edges are read
    // again.
    const auto segments = [](int shortFirst, int longAfter) {
        std::string text;
        std::uint32_t state = 12345;
        const auto next = [&state] {
            state = state * 1664525u + 1013904223u;
            return double(state >> 8) / double(1u << 24);
        };
        const int count = shortFirst + longAfter;
        for (int k = 0; k < count; ++k) {
            const double length = k < shortFirst ? 0.001 * (1.0 + next()) : 1.0 + next();
            text += "v 0 " + std::to_string(k) + " 0\nv " + std::to_string(length) + " " +
                    std::to_string(k) + " 0\nl " + std::to_string(2 * k + 1) + " " +
                    std::to_string(2 * k + 2) + "\n";
        }
        return text;
    };
    const HostPlane plane{{1.0, 0.0, 0.0}, {0.0005, 0.0, 0.0}};
    for (const auto& [shortOnes, longOnes] : {std::pair{110000, 20000}, std::pair{70000, 80000}}) {
        ObjDocument document;
        std::string error;
        ASSERT_TRUE(document.parse(segments(shortOnes, longOnes), "segments.obj", error)) << error;
        const double expected = medianOfEveryEdge(document);
        EXPECT_EQ(expected > 0.5, longOnes > shortOnes);
        EXPECT_EQ(medianEdgeLength(document, {}), expected) << shortOnes;
        std::vector<ObjPosition> positions;
        for (int v = 0; v < document.vertexCount(); ++v) positions.push_back(document.position(v));
        const EdgeFacts facts = edgeFacts(document, positions, {}, &plane, 0);
        EXPECT_EQ(facts.medianEdge, expected) << shortOnes;
        // Each segment's start, at x = 0, has its end on the other side only.
        EXPECT_EQ(std::count(facts.bridges.begin(), facts.bridges.end(), true), 0);
        // Leaving out the first half of the short segments moves the median.
        std::vector<bool> used(positions.size(), true);
        for (int v = 0; v < shortOnes; ++v) used[std::size_t(v)] = false;
        std::vector<double> kept;
        for (int k = shortOnes / 2; k < shortOnes + longOnes; ++k)
            kept.push_back(double(positions[std::size_t(2 * k + 1)].x));
        std::nth_element(kept.begin(), kept.begin() + std::ptrdiff_t(kept.size() / 2), kept.end());
        EXPECT_EQ(medianEdgeLength(document, positions, used), kept[kept.size() / 2]);
    }
}

TEST(CentreLine, FootLiesOnThePlane) {
    const HostPlane axisPlane{{-4.0, 0.0, 0.0}, {0.5, 3.0, 3.0}};
    const Vector3 foot = footOnPlane(axisPlane, 0, true, Vector3(0.512f, 0.3f, -0.7f));
    EXPECT_EQ(foot.x, 0.5f);
    EXPECT_EQ(foot.y, 0.3f);
    EXPECT_EQ(foot.z, -0.7f);
    const HostPlane tilted{{0.6, 0.8, 0.0}, {0.0, 1.0, 0.0}};
    const Vector3 onTilted = footOnPlane(tilted, 1, false, Vector3(0.3f, 1.2f, 5.0f));
    EXPECT_NEAR(tilted.signedDistance(onTilted, 1), 0.0, 1e-7);
    EXPECT_EQ(onTilted.z, 5.0f);
}

TEST(PlaneSpec, NumbersNearTheEndsOfTheDoubleRange) {
    PlaneSpec spec;
    std::string error;
    ASSERT_TRUE(parsePlaneSpec("1e300,0,0,1", spec, error)) << error;
    EXPECT_EQ(spec.normal[0], 1.0);
    EXPECT_EQ(spec.offset, 1e-300);
    ASSERT_TRUE(parsePlaneSpec("0,3e-300,4e-300,1e-300", spec, error)) << error;
    EXPECT_NEAR(spec.normal[1], 0.6, 1e-15);
    EXPECT_NEAR(spec.offset, 0.2, 1e-15);
    EXPECT_FALSE(parsePlaneSpec("1,0,0,1e300", spec, error));
    EXPECT_NE(error.find("farther from the origin"), std::string::npos) << error;
    EXPECT_FALSE(parsePlaneSpec("x=1e300", spec, error));
    EXPECT_NE(error.find("beyond the range"), std::string::npos) << error;
    EXPECT_FALSE(parsePlaneSpec("0,0,0,1", spec, error));
    EXPECT_NE(error.find("must not all be 0"), std::string::npos) << error;
}

TEST(ToleranceAdvice, AFloatToleranceRoundsDownToTheDecimalItWasReadFrom) {
    EXPECT_EQ(roundedDown(double(0.02f)), "0.02");
    EXPECT_EQ(roundedDown(double(0.0028f)), "0.0028");
    EXPECT_EQ(roundedDown(0.0199), "0.019");
}

}  // namespace
}  // namespace talvexhost
