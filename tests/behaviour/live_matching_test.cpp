// Live mirror matching as a host drives it: drag notifications whose last
// entry is the search point, partners found, held and mirrored again.
#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "support/symmetry_scene.h"

namespace {

using namespace symtest;

struct LiveMatching : ::testing::Test, SymmetryScene {
    void SetUp() override {
        createUnitPlane();
        switchOn();
    }
};

TEST_F(LiveMatching, PairsAWithTheVertexNearItsImageAndMovesItThere) {
    HostObject* mesh = addEdited("mesh", {{1, 0, 0}, {-1, 0.02f, 0}, {3, 3, 3}});
    const size_t calls = host.calls.size();
    drag({v(mesh, 0)}, v(mesh, 2));
    expectAt(*v(mesh, 1), at(-1, 0, 0));
    expectAt(*v(mesh, 2), at(3, 3, 3));
    EXPECT_EQ(host.calls.size(), calls);  // matching calls no host service
}

TEST_F(LiveMatching, HeldPairsAreMirroredAgainWithoutSearching) {
    HostObject* mesh = addEdited("mesh", {{1, 0, 0}, {-1, 0.02f, 0}, {3, 3, 3}, {-2.5f, 1, 0}});
    drag({v(mesh, 0)}, v(mesh, 2));
    // A moves far beyond the tolerance, next to another candidate: B still follows.
    place(v(mesh, 0), 2.5f, 1, 0.5f);
    drag({v(mesh, 0)}, v(mesh, 2));
    expectAt(*v(mesh, 1), at(-2.5f, 1, 0.5f));
    expectAt(*v(mesh, 3), at(-2.5f, 1, 0));
}

TEST_F(LiveMatching, OneEntryListMovesNothing) {
    HostObject* mesh = addEdited("mesh", {{1, 0, 0}, {-1, 0.02f, 0}});
    drag({}, v(mesh, 0));
    expectAt(*v(mesh, 1), at(-1, 0.02f, 0));
}

TEST_F(LiveMatching, SameSideCandidatesAreNeverTaken) {
    HostObject* mesh =
        addEdited("mesh", {{0.01f, 0, 0}, {0.005f, 0, 0}, {-0.012f, 0, 0}, {3, 3, 3}});
    drag({v(mesh, 0)}, v(mesh, 3));
    expectAt(*v(mesh, 1), at(0.005f, 0, 0));
    expectAt(*v(mesh, 2), at(-0.01f, 0, 0));
}

TEST_F(LiveMatching, ToleranceBoundariesAreStrict) {
    // Tolerance 0.5 (B = 0.6 lowered once); distances to the image and from the plane exactly 0.5.
    host.execute(kSwitchTolerance);
    host.execute(kLowerTolerance);
    struct Case {
        Point candidate;
        bool taken;
    };
    for (const Case& c :
         {Case{{-1.5f, 0, 0}, false}, Case{{-1, 0.5f, 0}, false}, Case{{-1, 0, -0.5f}, false},
          Case{{-1.4999f, 0, 0}, true}, Case{{-1, 0.4999f, 0}, true}}) {
        host.scene.underEdit.assign({});
        host.scene.selected.assign({});
        HostObject* mesh = addEdited("mesh", {{1, 0, 0}, c.candidate, {3, 3, 3}});
        drag({v(mesh, 0)}, v(mesh, 2));
        if (c.taken)
            expectAt(*v(mesh, 1), at(-1, 0, 0), "taken");
        else
            expectAt(*v(mesh, 1), at(c.candidate.x, c.candidate.y, c.candidate.z), "rejected");
    }
}

TEST_F(LiveMatching, FirstAcceptableWinsOverNearerOnesInVertexAndObjectOrder) {
    HostObject* mesh = addEdited("mesh", {{1, 0, 0}, {-1.08f, 0, 0}, {-1.01f, 0, 0}, {3, 3, 3}});
    drag({v(mesh, 0)}, v(mesh, 3));
    expectAt(*v(mesh, 1), at(-1, 0, 0));
    expectAt(*v(mesh, 2), at(-1.01f, 0, 0));

    HostObject* third = addEdited("third", {{-1.08f, 2, 0}});
    HostObject* fourth = addEdited("fourth", {{1, 2, 0}, {-1.01f, 2, 0}});
    host.scene.setEditObjects({third, fourth});
    drag({v(fourth, 0)}, v(mesh, 3));
    expectAt(*v(third, 0), at(-1, 2, 0));
    expectAt(*v(fourth, 1), at(-1.01f, 2, 0));
}

TEST_F(LiveMatching, ASourceTakenAsAPartnerGetsNoPairOfItsOwn) {
    // [A, B, S] where B is A's only partner: B moves onto A's image, C stays.
    // C would be B's partner if B searched.
    HostObject* mesh = addEdited("mesh", {{1, 0, 0}, {-1.05f, 0, 0}, {1.05f, 0, 0}, {3, 3, 3}});
    drag({v(mesh, 0), v(mesh, 1)}, v(mesh, 3));
    expectAt(*v(mesh, 1), at(-1, 0, 0));
    expectAt(*v(mesh, 2), at(1.05f, 0, 0));
    // The same list does not fit (one pair for two sources): the search runs
    // again, and B, moved since, is found afresh for A.
    place(v(mesh, 0), 1.02f, 0, 0);
    drag({v(mesh, 0), v(mesh, 1)}, v(mesh, 3));
    expectAt(*v(mesh, 1), at(-1.02f, 0, 0));
    // A far move then finds nothing: a held pair would have followed.
    place(v(mesh, 0), 2, 0, 0);
    drag({v(mesh, 0), v(mesh, 1)}, v(mesh, 3));
    expectAt(*v(mesh, 1), at(-1.02f, 0, 0));
}

TEST_F(LiveMatching, ATakenPartnerIsNotTakenAgain) {
    // A takes P; D's image is where P was, but P is held by A: D gets nothing
    // and P stays on A's image.
    HostObject* mesh = addEdited("mesh", {{1, 0, 0}, {-1.05f, 0, 0}, {1.05f, 0, 0}, {3, 3, 3}});
    drag({v(mesh, 0), v(mesh, 2)}, v(mesh, 3));
    expectAt(*v(mesh, 1), at(-1, 0, 0));
    expectAt(*v(mesh, 2), at(1.05f, 0, 0));
}

TEST_F(LiveMatching, ReportingThePartnersInsteadOfTheSourcesSearchesAfresh) {
    HostObject* mesh = addEdited("mesh", {{1, 0, 0}, {-1.02f, 0, 0}, {3, 3, 3}});
    drag({v(mesh, 0)}, v(mesh, 2));
    v(mesh, 1)->x = -1.03f;
    drag({v(mesh, 1)}, v(mesh, 2));
    expectAt(*v(mesh, 0), at(1.03f, 0, 0));
}

TEST_F(LiveMatching, PlaneVerticesAreNeverPartners) {
    // The source on side +1 mirrors 0.05 from the plane's corner 0, which lies
    // on the plane (side -1): acceptable but for being the plane's.
    HostObject* mesh = addEdited("mesh", {{-0.05f, -1, -1}, {3, 3, 3}});
    host.scene.setEditObjects({plane});
    drag({v(mesh, 0)}, v(mesh, 1));
    expectAt(*v(plane, 0), at(0, -1, -1));
    // The same spot in an ordinary object after the plane is taken.
    HostObject* twin = host.scene.addObject("twin", {{0, -1, -1}});
    host.scene.setEditObjects({plane, twin});
    drag({v(mesh, 0)}, v(mesh, 1));
    expectAt(*v(plane, 0), at(0, -1, -1));
    expectAt(*v(twin, 0), at(0.05f, -1, -1));
}

TEST_F(LiveMatching, ADegenerateOrNonFinitePlaneNeverWritesNotANumber) {
    HostObject* mesh = addEdited("mesh", {{1, 0, 0}, {-1.02f, 0, 0}, {3, 3, 3}});
    drag({v(mesh, 0)}, v(mesh, 2));
    expectAt(*v(mesh, 1), at(-1, 0, 0));
    // The plane's position turns NaN: its change is "no movement", so the pair is
    // held, but its image is not a number and the partner stays put.
    plane->position.x = std::numeric_limits<float>::quiet_NaN();
    v(mesh, 0)->x = 1.5f;
    drag({v(mesh, 0)}, v(mesh, 2));
    expectAt(*v(mesh, 1), at(-1, 0, 0));
    // A source at infinity mirrors to no finite place either.
    plane->position.x = 0;
    v(mesh, 0)->x = std::numeric_limits<float>::infinity();
    drag({v(mesh, 0)}, v(mesh, 2));
    expectAt(*v(mesh, 1), at(-1, 0, 0));
}

TEST_F(LiveMatching, APlaneMovedBeyondOneHundredthDropsTheHeldPairs) {
    struct Case {
        float shift;
        bool follows;
    };
    for (const Case& c : {Case{0.01f, true}, Case{0.02f, false}}) {
        host.scene.underEdit.assign({});
        host.scene.selected.assign({});
        plane->position.x = 0;
        HostObject* mesh = addEdited("mesh", {{1, 0, 0}, {-1.02f, 0, 0}, {3, 3, 3}});
        drag({v(mesh, 0)}, v(mesh, 2));
        expectAt(*v(mesh, 1), at(-1, 0, 0));
        plane->position.x = c.shift;
        v(mesh, 0)->x = 2;
        drag({v(mesh, 0)}, v(mesh, 2));
        const Frame frame{Vector3(-4, 0, 0), Vector3(c.shift, 0, 0)};
        if (c.follows)
            expectAt(*v(mesh, 1), mirrorOf(frame, *v(mesh, 0)), "held");
        else
            expectAt(*v(mesh, 1), at(-1, 0, 0), "dropped");
    }
}

TEST_F(LiveMatching, NothingHappensWithoutSelectionOrWhenSwitchedOff) {
    HostObject* mesh = addEdited("mesh", {{1, 0, 0}, {-1.02f, 0, 0}, {3, 3, 3}});
    host.scene.selectObjects({});
    drag({v(mesh, 0)}, v(mesh, 2));
    expectAt(*v(mesh, 1), at(-1.02f, 0, 0));
    host.scene.selectObjects({mesh});
    host.hostCommand(2);  // a listed host command switches the plane off
    drag({v(mesh, 0)}, v(mesh, 2));
    expectAt(*v(mesh, 1), at(-1.02f, 0, 0));
}

}  // namespace
