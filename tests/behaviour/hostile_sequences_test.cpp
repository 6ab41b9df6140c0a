// Host call sequences the host-call fuzzer found harmful, replayed through the
// host as regressions: each names what the host did and what the plug-in must
// not do in answer.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "support/symmetry_scene.h"

namespace {

using namespace symtest;

// The host deletes the plane object and, before any event tells the plug-in,
// runs Reposition: the departed plane's corners and position stay as they
// were, and the plane counts as undefined from then on.
TEST(HostileSequences, RepositionAfterThePlaneLeftTheSceneWritesNothing) {
    SymmetryScene s;
    s.createUnitPlane();
    HostObject* box = s.host.scene.addObject("box", {{1, 0, -1}, {1, 0, 1}, {3, 2, -1}, {3, 2, 1}});
    s.host.scene.selectObjects({box});
    s.host.scene.removeObject(s.plane);
    s.host.scene.selectObjects({box});
    s.host.messages.clear();

    s.host.execute(kReposition);

    expectAt(*s.plane->vertices[0], at(0, -1, -1), "corner 0");
    expectAt(*s.plane->vertices[3], at(0, 1, 1), "corner 3");
    expectAt(s.plane->position, at(0, 0, 0), "position");
    EXPECT_EQ(s.host.errors, std::vector<std::string>{"Talvex not defined"});
    EXPECT_TRUE(s.host.messages.empty());
    s.host.execute(kSmartResym);
    EXPECT_EQ(s.host.errors.back(), "Talvex not defined");
}

// A selection spanning nearly the whole float range: its widened extent is
// infinite, so the host is asked for the default plane rather than an
// infinite one, centred on the (finite) centre of the selection.
TEST(HostileSequences, CreateOverAnExtentBeyondTheFloatRangeAsksForTheDefaultSize) {
    PluginFixture f;
    HostObject* wide = f.host.scene.addObject("wide", {{0, -3e38f, -1}, {0, 3e38f, 1}});
    f.host.scene.selectObjects({wide});
    f.host.execute(kCreate);
    EXPECT_EQ(f.host.primitiveAtBuild.firstSize, 5.0f);
    EXPECT_EQ(f.host.primitiveAtBuild.secondSize, 5.0f);
    EXPECT_EQ(f.host.messages, std::vector<std::string>{"Talvex created"});
    EXPECT_TRUE(f.host.errors.empty());
    const HostObject* plane = f.host.scene.objects().back();
    for (int i = 0; i < plane->vertexCount; ++i) {
        const HostVertex& v = *plane->vertices[i];
        EXPECT_TRUE(std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z)) << i;
    }
}

}  // namespace
