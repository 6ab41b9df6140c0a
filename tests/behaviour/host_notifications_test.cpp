// The host's notifications: which host commands switch the plane off or
// forget it, manipulation events that re-mirror the held pairs, selection
// changes and the hold requests that keep the pairs across them.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/symmetry_scene.h"

namespace {

using namespace symtest;

// A unit plane switched on, and a pair A (1,0,0) - B held by one drag.
struct HeldPair : ::testing::Test, SymmetryScene {
    HostObject* mesh = nullptr;
    void SetUp() override {
        createUnitPlane();
        switchOn();
        mesh = addEdited("mesh", {{1, 0, 0}, {-1.02f, 0, 0}, {3, 3, 3}});
        drag({a()}, v(mesh, 2));
        expectAt(*b(), at(-1, 0, 0));
    }
    HostVertex* a() { return v(mesh, 0); }
    HostVertex* b() { return v(mesh, 1); }
    // Moves A far from B's reach and drags it: true when B followed, which
    // only held pairs do (a search finds nothing there).
    bool bFollowsAFarDrag() {
        place(a(), a()->x + 1.5f, 0, 0);
        drag({a()}, v(mesh, 2));
        return b()->x == -a()->x;
    }
    bool planeForgotten() {
        host.errors.clear();
        host.execute(kSmartResym);
        return host.errors == std::vector<std::string>{"Talvex not defined"};
    }
    int countCalls(const std::string& service) const {
        return static_cast<int>(
            std::count_if(host.calls.begin(), host.calls.end(),
                          [&](const hostsim::ServiceCall& c) { return c.service == service; }));
    }
};

TEST_F(HeldPair, ListedHostCommandsSwitchThePlaneOffAndOthersDoNot) {
    const int listed[] = {2,   9,   21,  22,  37,  38,  39,  40,  41,  42,  43,  44,
                          45,  46,  48,  59,  60,  61,  65,  66,  67,  70,  71,  72,
                          73,  74,  85,  95,  96,  99,  100, 102, 103, 104, 105, 106,
                          107, 108, 109, 110, 111, 112, 143, 178, 182, 223};
    std::vector<int> ids(std::begin(listed), std::end(listed));
    for (int other : {0, 1, 3, 10, 47, 65535, 224, -1}) ids.push_back(other);
    for (int id : ids) {
        const bool switchesOff =
            std::find(std::begin(listed), std::end(listed), id) != std::end(listed);
        place(b(), -1.02f, 0, 0);
        place(a(), 1, 0, 0);
        EXPECT_TRUE(host.hostCommand(id));
        drag({a()}, v(mesh, 2));
        EXPECT_EQ(b()->x, switchesOff ? -1.02f : -1.0f) << id;
        if (switchesOff) {
            EXPECT_FALSE(planeForgotten()) << id;  // off, but still the plane
            switchOn();
        }
    }
}

TEST_F(HeldPair, Command10ForgetsThePlaneOnlyWhenItIsSelected) {
    host.scene.selectObjects({mesh});
    EXPECT_TRUE(host.hostCommand(10));
    EXPECT_TRUE(bFollowsAFarDrag());
    host.scene.selectObjects({mesh, plane});
    EXPECT_TRUE(host.hostCommand(11));
    EXPECT_FALSE(planeForgotten());
    EXPECT_TRUE(host.hostCommand(10));
    EXPECT_TRUE(planeForgotten());
}

TEST_F(HeldPair, AnyEventForgetsAPlaneThatLeftTheScene) {
    host.hostEvent('Q');
    EXPECT_FALSE(planeForgotten());
    EXPECT_TRUE(bFollowsAFarDrag());
    host.scene.removeObject(plane);
    host.hostEvent('Q');
    EXPECT_TRUE(planeForgotten());
}

TEST_F(HeldPair, UnderscoreEventForgetsThePlane) {
    host.hostEvent('_');
    EXPECT_TRUE(planeForgotten());
    EXPECT_FALSE(bFollowsAFarDrag());
}

TEST_F(HeldPair, DragEventsMirrorTheHeldPairsAgain) {
    for (int code : {'D', 'E'}) {
        host.manipulator = {7, 8, 9};
        place(a(), 2.5f, 0.25f, -1);  // the host's manipulator moved A
        const int before = countCalls("getManipulator");
        host.hostEvent(code);
        EXPECT_EQ(countCalls("getManipulator"), before + 1);
        expectAt(*b(), at(-2.5f, 0.25f, -1));
    }
}

TEST_F(HeldPair, DragEventAfterAPassThatMovedNothingLeavesPartnersAndEndsTheHold) {
    HostVertex* search = v(mesh, 2);
    host.reportMoved({}, search);  // a pass that writes no partner
    host.holdPairsA();
    place(a(), 2, 0, 0);
    host.hostEvent('D');
    expectAt(*b(), at(-1, 0, 0));
    EXPECT_EQ(countCalls("getManipulator"), 0);
    host.selectionChanged();  // no longer held: the pairs go
    EXPECT_FALSE(bFollowsAFarDrag());
}

TEST_F(HeldPair, HoldRequestsKeepThePairsAcrossSelectionChanges) {
    host.selectionChanged();
    EXPECT_FALSE(bFollowsAFarDrag());

    for (int request = 0; request < 2; ++request) {
        place(a(), 1, 0, 0);
        place(b(), -1.02f, 0, 0);
        drag({a()}, v(mesh, 2));
        EXPECT_TRUE(request == 0 ? host.holdPairsA() : host.holdPairsB());
        host.selectionChanged();
        host.selectionChanged();
        EXPECT_TRUE(bFollowsAFarDrag()) << request;
        host.hostEvent('E');  // ends the hold
    }
}

TEST_F(HeldPair, EmptyListsAndTheGateLeaveEverythingAsItWas) {
    VertexList empty{nullptr, 0};
    host.verticesMoved(&empty);
    EXPECT_TRUE(bFollowsAFarDrag());
    host.scene.selectObjects({});
    place(a(), 1, 0, 0);
    drag({a()}, v(mesh, 2));
    EXPECT_EQ(b()->x, -2.5f);  // no selection: no matching
}

TEST_F(HeldPair, PartnersWhoseObjectLeftTheSceneAreNotWritten) {
    // A in the mesh, its partner in an object the user then deletes.
    HostObject* other = addEdited("other", {{-2.01f, 5, 0}});
    host.selectionChanged();
    place(a(), 2, 5, 0);
    drag({a()}, v(mesh, 2));
    expectAt(*v(other, 0), at(-2, 5, 0));
    host.scene.removeObject(other);
    place(a(), 2.5f, 5, 0);
    host.hostEvent('D');  // the manipulator moved A: the held pair is not written
    expectAt(*v(other, 0), at(-2, 5, 0));
    drag({a()}, v(mesh, 2));
    expectAt(*v(other, 0), at(-2, 5, 0));
}

}  // namespace
