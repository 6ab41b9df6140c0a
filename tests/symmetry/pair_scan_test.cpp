// The reference partner searches: which vertex each one chooses, at the
// strict boundaries, and how whole pairs are appended.
#include "symmetry/pair_scan.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "symmetry/pair_append.h"

namespace {

// x = 0 with normal (-4, 0, 0): the image of (x, y, z) is exactly (-x, y, z).
const PlaneFrame kPlane =
    frameFromPoints(Vector3(0, -1, -1), Vector3(0, -1, 1), Vector3(0, 1, -1), Vector3(0, 0, 0));

struct Object {
    std::vector<std::unique_ptr<HostVertex>> owned;
    std::vector<HostVertex*> pointers;
    HostObject record{};
    explicit Object(const std::vector<Vector3>& points) {
        for (const Vector3& p : points) {
            owned.push_back(std::make_unique<HostVertex>(p.x, p.y, p.z));
            pointers.push_back(owned.back().get());
        }
        record.vertices = pointers.data();
        record.vertexCount = static_cast<std::int32_t>(pointers.size());
    }
    HostVertex* at(int i) const { return pointers[static_cast<size_t>(i)]; }
};

MirrorProbe probe(const HostVertex& v) {
    double exact = 0.0;
    return probeVertex(kPlane, v, exact);
}

TEST(PairScan, ProbeCarriesTheRoundedDistanceTheSideAndTheImage) {
    const HostVertex v(1.25f, 2, 3);
    double exact = 0.0;
    const MirrorProbe p = probeVertex(kPlane, v, exact);
    EXPECT_EQ(p.source, &v);
    EXPECT_EQ(exact, 1.25);
    EXPECT_EQ(p.distance, 1.25f);
    EXPECT_EQ(p.side, -1);
    EXPECT_EQ(p.target.x, -1.25f);
    EXPECT_EQ(p.target.y, 2.0f);
    EXPECT_EQ(p.target.z, 3.0f);
}

TEST(PairScan, FirstAcceptableWinsForLiveMatchingAndNearestForResym) {
    // The source, then a farther and a nearer acceptable candidate.
    Object object({Vector3(1, 0, 0), Vector3(-1.08f, 0, 0), Vector3(-1.01f, 0, 0)});
    const MirrorProbe p = probe(*object.at(0));
    PointerList none;
    EXPECT_EQ(findFirstPartner(kPlane, object.record, p, 0.1f, none), object.at(1));
    EXPECT_EQ(findNearestPartner(kPlane, object.record, p, 0.1f), object.at(2));
}

TEST(PairScan, EqualDistancesGoToTheEarlierVertex) {
    Object object({Vector3(1, 0, 0), Vector3(-1, 0.25f, 0), Vector3(-1, -0.25f, 0)});
    EXPECT_EQ(findNearestPartner(kPlane, object.record, probe(*object.at(0)), 0.5f), object.at(1));
}

TEST(PairScan, AcceptanceIsStrictOnSideDistanceAndReach) {
    struct Case {
        Vector3 source;
        Vector3 candidate;
        bool taken;
    };
    const Case cases[] = {
        {Vector3(1, 0, 0), Vector3(-1.5f, 0, 0), false},  // plane distances differ by exactly 0.5
        {Vector3(1, 0, 0), Vector3(-1.4999f, 0, 0), true},
        {Vector3(1, 0, 0), Vector3(-1, 0.5f, 0), false},  // exactly 0.5 from the image
        {Vector3(1, 0, 0), Vector3(-1, 0.4999f, 0), true},
        {Vector3(0.01f, 0, 0), Vector3(0.001f, 0, 0), false},  // same side, close to the image
        {Vector3(0.01f, 0, 0), Vector3(-0.001f, 0, 0), true},
        {Vector3(0, 0, 0), Vector3(-0.2f, 0, 0), true},  // on the plane counts as side -1
        {Vector3(0, 0, 0), Vector3(0.2f, 0, 0), false},
        {Vector3(-0.1f, 0, 0), Vector3(0, 0, 0), true},  // a point on the plane partners side +1
    };
    for (const Case& c : cases) {
        Object object({c.source, c.candidate});
        const MirrorProbe p = probe(*object.at(0));
        PointerList none;
        HostVertex* expected = c.taken ? object.at(1) : nullptr;
        EXPECT_EQ(findFirstPartner(kPlane, object.record, p, 0.5f, none), expected)
            << c.candidate.x << " " << c.candidate.y;
        EXPECT_EQ(findNearestPartner(kPlane, object.record, p, 0.5f), expected)
            << c.candidate.x << " " << c.candidate.y;
    }
}

TEST(PairScan, LiveMatchingPassesOverTakenVertices) {
    Object object({Vector3(1, 0, 0), Vector3(-1.01f, 0, 0), Vector3(-1.02f, 0, 0)});
    PointerList taken;
    taken.appendPointer(object.at(1));
    EXPECT_EQ(findFirstPartner(kPlane, object.record, probe(*object.at(0)), 0.1f, taken),
              object.at(2));
    taken.releaseStorage();
}

TEST(PairAppend, GrowsAsSingleAppendsWouldAndKeepsListsEven) {
    PointerList pairs;
    PointerList owners;
    PointerList single;
    int dummy[16];
    for (int k = 0; k < 8; ++k) {
        ASSERT_TRUE(appendPair(pairs, &dummy[2 * k], &dummy[2 * k + 1], &owners, &dummy[k]));
        single.appendPointer(&dummy[2 * k]);
        single.appendPointer(&dummy[2 * k + 1]);
        EXPECT_EQ(pairs.count, 2 * (k + 1));
        EXPECT_EQ(pairs.capacity, single.capacity) << k;
        EXPECT_EQ(owners.count, k + 1);
        EXPECT_EQ(pairs.at(2 * k), &dummy[2 * k]);
        EXPECT_EQ(pairs.at(2 * k + 1), &dummy[2 * k + 1]);
        EXPECT_EQ(owners.at(k), &dummy[k]);
    }
    EXPECT_EQ(pairs.capacity, 32);
    EXPECT_EQ(owners.capacity, 16);
    pairs.releaseStorage();
    owners.releaseStorage();
    single.releaseStorage();
}

}  // namespace
