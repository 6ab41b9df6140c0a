// "Talvex Smart Resym" through the host: pairing inside each object, the
// four cases of marked vertices, the edit bracket and the messages, and the
// plane taken where it stands when the command runs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/symmetry_scene.h"

namespace {

using namespace symtest;

struct SmartResym : ::testing::Test, SymmetryScene {
    void SetUp() override {
        createUnitPlane();
        host.calls.clear();
        host.messages.clear();
    }
    // Tolerance B (0.6) lowered once: exactly 0.5.
    void useHalfTolerance() {
        host.execute(kSwitchTolerance);
        host.execute(kLowerTolerance);
        host.calls.clear();
        host.messages.clear();
    }
    HostObject* selected(const std::string& name, const std::vector<Point>& points) {
        HostObject* object = host.scene.addObject(name, points);
        host.scene.selected.append(object);
        return object;
    }
    std::string run() {
        host.messages.clear();
        host.execute(kSmartResym);
        return host.messages.empty() ? "" : host.messages.back();
    }
};

const char* const kNothing = "Talvex: Smart Resym - No vertices touched";

TEST_F(SmartResym, WithoutAPlaneOnlyShowsTheError) {
    host.hostEvent('_');
    host.calls.clear();
    selected("mesh", {{1, 0, 0}, {-1.05f, 0, 0}});
    host.execute(kSmartResym);
    ASSERT_EQ(host.calls.size(), 1u);
    EXPECT_EQ(host.calls[0].service, "showError");
    EXPECT_EQ(host.calls[0].argument, "Talvex not defined");
}

TEST_F(SmartResym, MarksDecideWhatMovesAndTheMessageCountsIt) {
    useHalfTolerance();
    struct Case {
        bool aMarked, bMarked;
        float aX, bX;  // expected x of A and B
        const char* message;
    };
    const float bHalf = static_cast<float>(0.5 * double(static_cast<float>(-1.0 + double(-1.2f))));
    const Case cases[] = {
        {false, false, -bHalf, bHalf, "Talvex: Smart Resym - 2 vertices touched, 2 moved"},
        {true, false, 1, -1, "Talvex: Smart Resym - 2 vertices touched, 1 moved"},
        {false, true, 1.2f, -1.2f, "Talvex: Smart Resym - 2 vertices touched, 1 moved"},
        {true, true, 1, -1.2f, "Talvex: Smart Resym - 2 vertices touched, 0 moved"},
    };
    for (const Case& c : cases) {
        host.scene.selected.assign({});
        HostObject* mesh = selected("mesh", {{1, 0, 0}, {-1.2f, 0, 0}});
        if (c.aMarked) v(mesh, 0)->flags |= kVertexDoNotMove;
        if (c.bMarked) v(mesh, 1)->flags |= kVertexDoNotMove;
        host.calls.clear();
        EXPECT_EQ(run(), c.message);
        expectAt(*v(mesh, 0), at(c.aX, 0, 0), c.message);
        expectAt(*v(mesh, 1), at(c.bX, 0, 0), c.message);
        EXPECT_NEAR(bHalf, -1.1f, 1e-6f);
        const std::vector<std::string> services = {"beginEdit", "registerEditedVertices", "endEdit",
                                                   "showMessage"};
        ASSERT_EQ(host.calls.size(), services.size());
        for (size_t i = 0; i < services.size(); ++i) EXPECT_EQ(host.calls[i].service, services[i]);
        const std::vector<HostVertex*> pair = {v(mesh, 0), v(mesh, 1)};
        auto registered = [&] {
            return std::vector<HostVertex*>(host.lastRegistered.begin(), host.lastRegistered.end());
        };
        EXPECT_EQ(registered(), pair);
        // The host saw the vertices before they moved: undo restores them,
        // and the registered list outlives the step it was recorded in.
        ASSERT_TRUE(host.undo());
        expectAt(*v(mesh, 0), at(1, 0, 0));
        expectAt(*v(mesh, 1), at(-1.2f, 0, 0));
        EXPECT_EQ(registered(), pair);
    }
}

TEST_F(SmartResym, ObjectListChoiceAndEmptyResults) {
    HostObject* edited = host.scene.addObject("edited", {{1, 0, 0}, {-1.05f, 0, 0}});
    host.scene.setEditObjects({edited});
    // Only the plane selected: that list is chosen, the plane skipped, the edited object not tried.
    host.scene.selectObjects({plane});
    EXPECT_EQ(run(), kNothing);
    EXPECT_EQ(v(edited, 1)->x, -1.05f);
    // Nothing selected: the objects under edit.
    host.scene.selectObjects({});
    EXPECT_EQ(run(), "Talvex: Smart Resym - 2 vertices touched, 2 moved");
    // Neither: nothing touched, no edit bracket.
    host.scene.setEditObjects({});
    host.calls.clear();
    EXPECT_EQ(run(), kNothing);
    ASSERT_EQ(host.calls.size(), 1u);
}

TEST_F(SmartResym, PairingRules) {
    struct Case {
        const char* what;
        std::vector<Point> points;
        const char* message;
    };
    const Case cases[] = {
        {"symmetric object",
         {{1, 2, 3}, {-1, 2, 3}, {0.5f, 0, 1}, {-0.5f, 0, 1}, {0, 4, 4}},
         "Talvex: Smart Resym - 4 vertices touched, 0 moved"},
        {"0.0001 from the plane starts nothing", {{0.0001f, 0, 0}, {-0.0001f, 0, 0}}, kNothing},
        {"but may be a partner",
         {{0.0001f, 0, 0}, {-0.0003f, 0, 0}},
         "Talvex: Smart Resym - 2 vertices touched, 2 moved"},
        {"reach exactly the tolerance", {{1, 0, 0}, {-1, 0.1f, 0}}, kNothing},
        {"same side", {{0.05f, 0, 0}, {0.06f, 0, 0}}, kNothing},
    };
    for (const Case& c : cases) {
        host.scene.selected.assign({});
        selected("mesh", c.points);
        EXPECT_EQ(run(), c.message) << c.what;
    }
}

TEST_F(SmartResym, NearestCandidateWinsWhateverItsOrder) {
    HostObject* mesh = selected("mesh", {{-1.08f, 0, 0}, {1, 0, 0}, {-1.01f, 0, 0}});
    v(mesh, 1)->flags |= kVertexDoNotMove;
    // Starter 0 (-1.08) pairs first with the marked (1,0,0): its nearest.
    EXPECT_EQ(run(), "Talvex: Smart Resym - 2 vertices touched, 1 moved");
    expectAt(*v(mesh, 0), at(-1, 0, 0));
    expectAt(*v(mesh, 2), at(-1.01f, 0, 0));

    HostObject* second = selected("second", {{1, 5, 0}, {-1.08f, 5, 0}, {-1.01f, 5, 0}});
    host.scene.selectObjects({second});
    v(second, 0)->flags |= kVertexDoNotMove;
    EXPECT_EQ(run(), "Talvex: Smart Resym - 2 vertices touched, 1 moved");
    expectAt(*v(second, 1), at(-1.08f, 5, 0));
    expectAt(*v(second, 2), at(-1, 5, 0));
}

TEST_F(SmartResym, APointOnThePlaneCanBeMovedOffItByAMarkedStarter) {
    HostObject* mesh = selected("mesh", {{0, 0, 0}, {-0.05f, 0, 0}});
    v(mesh, 1)->flags |= kVertexDoNotMove;
    EXPECT_EQ(run(), "Talvex: Smart Resym - 2 vertices touched, 1 moved");
    expectAt(*v(mesh, 0), at(0.05f, 0, 0));
}

TEST_F(SmartResym, ObjectsAreNeverPairedWithEachOther) {
    selected("left", {{1, 0, 0}});
    selected("right", {{-1, 0, 0}});
    EXPECT_EQ(run(), kNothing);
}

TEST_F(SmartResym, MirrorsAcrossThePlaneWhereItStandsNow) {
    useHalfTolerance();
    struct Case {
        const char* what;
        std::vector<Point> corners;
        Point position;
    };
    const Case cases[] = {
        {"moved to x = 0.5",
         {{0.5f, -1, -1}, {0.5f, -1, 1}, {0.5f, 1, -1}, {0.5f, 1, 1}},
         {0.5f, 0, 0}},
        {"turned to x + y = 0", {{0, 0, -1}, {0, 0, 1}, {1, -1, -1}, {1, -1, 1}}, {0, 0, 0}},
        {"turned and moved", {{1, 2, -1}, {1, 2, 1}, {2, 1.5f, -1}, {2, 1.5f, 1}}, {1, 2, 0.25f}},
    };
    for (const Case& c : cases) {
        placePlane({{0, -1, -1}, {0, -1, 1}, {0, 1, -1}, {0, 1, 1}}, {0, 0, 0});
        host.scene.selected.assign({});
        HostObject* mesh = selected("mesh", {{3, 3, 0.5f}, {-2.75f, 0.5f, 2}});
        placePlane(c.corners, c.position);  // by the host's own tools: no notification
        const Frame frame = frameOf(plane);
        HostVertex* a = v(mesh, 0);
        HostVertex* b = v(mesh, 1);
        // B is placed near A's image across the moved plane.
        const Vector3 image = mirrorOf(frame, *a);
        place(b, static_cast<float>(image.x + 0.125), static_cast<float>(image.y - 0.0625),
              image.z);
        Vector3 halfway = mirrorOf(frame, *a);
        halfway.addInPlace(*b);
        halfway.scale(0.5f);
        const Vector3 expectedA = mirrorOf(frame, halfway);
        EXPECT_EQ(run(), "Talvex: Smart Resym - 2 vertices touched, 2 moved") << c.what;
        expectAt(*b, halfway, c.what);
        expectAt(*a, expectedA, c.what);
    }
}

TEST_F(SmartResym, UnmovedPlaneGivesTheStoredFramesResult) {
    // A plane laid by Reposition has an awkward normal; Smart Resym's result
    // follows that frame exactly.
    HostObject* shape = host.scene.addObject("shape", {{0.3f, -1.7f, 0.1f}, {2.9f, 4.1f, 6.3f}});
    host.scene.selectObjects({shape});
    host.execute(kReposition);
    const Frame frame = frameOf(plane);
    host.scene.selectObjects({});
    HostObject* mesh = selected("mesh", {{2.2f, 1, 1}, {0, 0, 0}});
    const Vector3 image = mirrorOf(frame, *v(mesh, 0));
    place(v(mesh, 1), static_cast<float>(image.x + 0.03), static_cast<float>(image.y + 0.02),
          static_cast<float>(image.z - 0.01));
    Vector3 halfway = mirrorOf(frame, *v(mesh, 0));
    halfway.addInPlace(*v(mesh, 1));
    halfway.scale(0.5f);
    const Vector3 expectedA = mirrorOf(frame, halfway);
    EXPECT_EQ(run(), "Talvex: Smart Resym - 2 vertices touched, 2 moved");
    expectAt(*v(mesh, 1), halfway);
    expectAt(*v(mesh, 0), expectedA);
}

TEST_F(SmartResym, LeavesLiveMatchingsHeldPairsAlone) {
    switchOn();
    HostObject* mesh =
        selected("mesh", {{1, 0, 0}, {-1.02f, 0, 0}, {3, 3, 3}, {2, 7, 0}, {-2.05f, 7, 0}});
    host.scene.underEdit.assign({mesh});
    drag({v(mesh, 0)}, v(mesh, 2));
    expectAt(*v(mesh, 1), at(-1, 0, 0));
    v(mesh, 0)->flags |= kVertexDoNotMove;
    v(mesh, 3)->flags |= kVertexDoNotMove;
    EXPECT_EQ(run(), "Talvex: Smart Resym - 4 vertices touched, 1 moved");
    expectAt(*v(mesh, 4), at(-2, 7, 0));
    // The pair is still held: a far drag is followed without a search.
    place(v(mesh, 0), 4, 0, 0);
    drag({v(mesh, 0)}, v(mesh, 2));
    expectAt(*v(mesh, 1), at(-4, 0, 0));
}

TEST_F(SmartResym, RefusesAPlaneThatLostItsCorners) {
    plane->vertexCount = 2;
    selected("mesh", {{1, 0, 0}, {-1.05f, 0, 0}});
    host.execute(kSmartResym);
    EXPECT_EQ(host.errors,
              std::vector<std::string>{
                  "Talvex plane has fewer than three vertices, please create it again"});
    EXPECT_TRUE(host.messages.empty());
    plane->vertexCount = 4;
}

}  // namespace
