// The plane frame and the mirror arithmetic, and the frame update's movement
// threshold, on the plug-in object itself.
#include "symmetry/plane_frame.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "symmetry/symmetry_plugin.h"

namespace {

void expectXyz(const Vector3& v, float x, float y, float z) {
    EXPECT_EQ(v.x, x);
    EXPECT_EQ(v.y, y);
    EXPECT_EQ(v.z, z);
}

// A host object owning its vertices, built by hand.
struct OwnedObject {
    std::vector<std::unique_ptr<HostVertex>> vertices;
    std::vector<HostVertex*> pointers;
    HostObject record{};

    OwnedObject(const std::vector<Vector3>& points, const Vector3& position) {
        for (const Vector3& p : points) {
            vertices.push_back(std::make_unique<HostVertex>(p.x, p.y, p.z));
            pointers.push_back(vertices.back().get());
        }
        record.vertices = pointers.empty() ? nullptr : pointers.data();
        record.vertexCount = static_cast<std::int32_t>(pointers.size());
        record.position = position;
    }
};

const PlaneFrame kExample =
    frameFromPoints(Vector3(0, -1, -1), Vector3(0, -1, 1), Vector3(0, 1, -1), Vector3(0, 0, 0));

TEST(PlaneFrame, ExampleNormalIsTheUnnormalisedCrossProduct) {
    expectXyz(kExample.normal, -4, 0, 0);
    expectXyz(kExample.pivot, 0, 0, 0);
}

TEST(PlaneFrame, ProjectsAndMirrorsTheExamplePoints) {
    const PlaneProjection front = projectOntoPlane(kExample, Vector3(3, 5, 7));
    expectXyz(front.foot, 0, 5, 7);
    EXPECT_EQ(front.side, -1);
    EXPECT_EQ(front.distance, 3.0);
    expectXyz(mirrorAcross(kExample, Vector3(3, 5, 7)), -3, 5, 7);

    const PlaneProjection back = projectOntoPlane(kExample, Vector3(-3, 5, 7));
    expectXyz(back.foot, 0, 5, 7);
    EXPECT_EQ(back.side, 1);
    EXPECT_EQ(back.distance, 3.0);
}

TEST(PlaneFrame, PointOnThePlaneIsItsOwnFootOnSideMinusOne) {
    const PlaneProjection on = projectOntoPlane(kExample, Vector3(0, 2.5f, -8));
    expectXyz(on.foot, 0, 2.5f, -8);
    EXPECT_EQ(on.distance, 0.0);
    EXPECT_EQ(on.side, -1);
}

TEST(PlaneFrame, MirroringTwiceReturnsThePoint) {
    // A tilted plane through (1, 2, 0) with normal (2, 2, 0).
    const PlaneFrame tilted =
        frameFromPoints(Vector3(1, 2, -1), Vector3(1, 2, 1), Vector3(2, 1, -1), Vector3(1, 2, 0));
    expectXyz(tilted.normal, 2, 2, 0);
    for (const Vector3& p : {Vector3(4, 3, 1), Vector3(-2.5f, 0.5f, 9), Vector3(3, 0, -4)}) {
        const Vector3 image = mirrorAcross(tilted, p);
        expectXyz(mirrorAcross(tilted, image), p.x, p.y, p.z);
    }
}

TEST(PlaneFrame, EachStepRoundsToFloat) {
    // Normal (-25, 0, 0): t = 25 / 625 is not a float, so the foot carries its rounding.
    const PlaneFrame wide = frameFromPoints(Vector3(0, 0, -2.5f), Vector3(0, 0, 2.5f),
                                            Vector3(0, 5, -2.5f), Vector3(0, 0, 0));
    expectXyz(wide.normal, -25, 0, 0);
    const Vector3 p(0.3f, 1, 1);
    const float a = static_cast<float>(25.0 * double(0.3f));
    const float t = static_cast<float>(double(a) / 625.0);
    const float footX =
        static_cast<float>(double(0.3f) + double(static_cast<float>(-25.0 * double(t))));
    const PlaneProjection projection = projectOntoPlane(wide, p);
    expectXyz(projection.foot, footX, 1, 1);
    EXPECT_EQ(projection.distance,
              std::fabs(double(static_cast<float>(double(0.3f) - double(footX)))));
    const float back = static_cast<float>(double(footX) - double(0.3f));
    expectXyz(mirrorAcross(wide, p), static_cast<float>(double(footX) + double(back)), 1, 1);
}

TEST(PlaneFrame, DegenerateNormalGivesNotANumberOnSideMinusOne) {
    const PlaneFrame line =
        frameFromPoints(Vector3(0, 0, 0), Vector3(1, 1, 1), Vector3(2, 2, 2), Vector3(0, 0, 0));
    expectXyz(line.normal, 0, 0, 0);
    const PlaneProjection projection = projectOntoPlane(line, Vector3(1, 0, 0));
    EXPECT_TRUE(std::isnan(projection.foot.x) && std::isnan(projection.foot.y) &&
                std::isnan(projection.foot.z));
    EXPECT_TRUE(std::isnan(projection.distance));
    EXPECT_EQ(projection.side, -1);
    EXPECT_FALSE(isFinitePoint(mirrorAcross(line, Vector3(1, 0, 0))));
}

TEST(PlaneFrame, NonFinitePositionsAreNeverStored) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    HostVertex target(1, 2, 3);
    for (const Vector3& bad : {Vector3(nan, 0, 0), Vector3(0, inf, 0), Vector3(0, 0, -inf)}) {
        EXPECT_FALSE(storeIfFinite(target, bad));
        expectXyz(target, 1, 2, 3);
    }
    EXPECT_TRUE(storeIfFinite(target, Vector3(4, 5, 6)));
    expectXyz(target, 4, 5, 6);
}

TEST(PlaneFrame, ObjectWithFewerThanThreeVerticesGivesNoFrame) {
    OwnedObject two({Vector3(0, 0, 0), Vector3(1, 0, 0)}, Vector3(0, 0, 0));
    PlaneFrame frame = kExample;
    EXPECT_FALSE(frameOfObject(two.record, frame));
    expectXyz(frame.normal, -4, 0, 0);
    OwnedObject three({Vector3(0, -1, -1), Vector3(0, -1, 1), Vector3(0, 1, -1)}, Vector3(5, 6, 7));
    ASSERT_TRUE(frameOfObject(three.record, frame));
    expectXyz(frame.normal, -4, 0, 0);
    expectXyz(frame.pivot, 5, 6, 7);
}

// The frame update on the plug-in object: which changes drop the held pairs.
struct FrameUpdate : ::testing::Test {
    SymmetryPlugin plugin{nullptr, nullptr};
    OwnedObject plane{{Vector3(0, -1, -1), Vector3(0, -1, 1), Vector3(0, 1, -1), Vector3(0, 1, 1)},
                      Vector3(0, 0, 0)};
    HostVertex a{1, 0, 0};
    HostVertex b{-1, 0, 0};

    // Takes the plane, settles the frame, then holds one pair.
    void SetUp() override {
        plugin.planeObject = &plane.record;
        plugin.updatePlaneFrame();
        holdPair();
    }
    void holdPair() {
        plugin.pairs.empty();
        plugin.pairObjects.empty();
        plugin.pairs.appendPointer(&a);
        plugin.pairs.appendPointer(&b);
        plugin.pairObjects.appendPointer(&plane.record);
        plugin.searchPointRef = &plugin.searchPoint;
        plugin.mirrorPointRef = &plugin.mirrorPoint;
    }
    // The plug-in object never frees its lists; this one is a test's.
    void TearDown() override {
        plugin.pairs.releaseStorage();
        plugin.pairObjects.releaseStorage();
    }
    bool pairsDropped() const {
        const bool dropped = plugin.pairs.count == 0;
        EXPECT_EQ(plugin.pairObjects.count == 0, dropped);
        EXPECT_EQ(plugin.searchPointRef == nullptr, dropped);
        EXPECT_EQ(plugin.mirrorPointRef == nullptr, dropped);
        return dropped;
    }
};

TEST_F(FrameUpdate, FirstUpdateAfterResetDropsPairsUnlessTheFrameIsNearTheOrigin) {
    plugin.resetTracking();
    plugin.planeObject = &plane.record;
    holdPair();
    plugin.updatePlaneFrame();  // normal (-4,0,0) is far from the reset (0,0,0)
    EXPECT_TRUE(pairsDropped());
    const int capacity = plugin.pairs.capacity;
    EXPECT_GT(capacity, 0);  // emptied, storage kept
}

TEST_F(FrameUpdate, PivotMovesCountOnlyBeyondOneHundredth) {
    struct Case {
        float dx, dy, dz;
        bool drops;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (const Case& c :
         {Case{0.01f, 0, 0, false}, Case{0.02f, 0, 0, true}, Case{0, -0.01f, 0, false},
          Case{0, 0, 0.0100001f, true}, Case{nan, 0, 0, false}}) {
        plane.record.position = Vector3(0, 0, 0);
        plugin.updatePlaneFrame();
        holdPair();
        plane.record.position = Vector3(c.dx, c.dy, c.dz);
        plugin.updatePlaneFrame();
        EXPECT_EQ(pairsDropped(), c.drops) << c.dx << " " << c.dy << " " << c.dz;
        if (!std::isnan(c.dx)) expectXyz(plugin.planePivot, c.dx, c.dy, c.dz);
    }
}

TEST_F(FrameUpdate, RotatingInPlaceCountsOnceANormalComponentMovesBeyondOneHundredth) {
    // Moving vertex 2 by e in x turns the normal to (-4, 2e, 0).
    struct Case {
        float tilt;
        bool drops;
    };
    for (const Case& c : {Case{0.004f, false}, Case{0.006f, true}, Case{-0.006f, true}}) {
        plane.record.vertices[2]->x = 0;
        plugin.updatePlaneFrame();
        holdPair();
        plane.record.vertices[2]->x = c.tilt;
        plugin.updatePlaneFrame();
        EXPECT_EQ(pairsDropped(), c.drops) << c.tilt;
    }
}

TEST_F(FrameUpdate, KeepsTheLastFrameWhenThePlaneLostItsVertices) {
    plane.record.vertexCount = 2;
    plane.record.position = Vector3(50, 0, 0);
    plugin.updatePlaneFrame();
    EXPECT_FALSE(pairsDropped());
    expectXyz(plugin.planePivot, 0, 0, 0);
    expectXyz(plugin.planeNormal, -4, 0, 0);
}

TEST(PlaneWithoutObject, FrameUpdateDoesNothing) {
    SymmetryPlugin plugin(nullptr, nullptr);
    plugin.updatePlaneFrame();
    expectXyz(plugin.previousNormal, 0, 0, 0);
}

}  // namespace
