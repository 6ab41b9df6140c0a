// "Talvex Create Talvex" and "Talvex Reposition" through the host: sizes,
// offsets, restored primitive settings, the axis cycle and every refusal.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/symmetry_scene.h"

namespace {

using namespace symtest;

const float kFactor = static_cast<float>(10.0 * double(0.01f) + 1.0);  // default 10 % margin
const float kMargin = static_cast<float>(10.0 * double(0.01f));

// The corners the host's primitive gets for the two sizes, moved by offset.
std::vector<Vector3> builtCorners(float firstSize, float secondSize, const Vector3& offset) {
    const float a = static_cast<float>(0.5 * double(firstSize));
    std::vector<Vector3> corners = {at(0, 0, -a), at(0, 0, a), at(0, secondSize, -a),
                                    at(0, secondSize, a)};
    for (Vector3& c : corners) c.addInPlace(offset);
    return corners;
}

void expectPlane(const HostObject* plane, const std::vector<Vector3>& corners,
                 const Vector3& position) {
    ASSERT_GE(plane->vertexCount, 4);
    for (int i = 0; i < 4; ++i)
        expectAt(*plane->vertices[i], corners[static_cast<size_t>(i)], "corner");
    expectAt(plane->position, position, "position");
}

TEST(Create, WithNothingOrTwoObjectsSelectedBuildsTheDefaultPlaneBelowTheOrigin) {
    for (int selectedCount : {0, 2, 1}) {
        PluginFixture f;
        std::vector<HostObject*> selection;
        for (int i = 0; i < selectedCount; ++i)
            selection.push_back(f.host.scene.addObject("o" + std::to_string(i),
                                                       i == 0 && selectedCount == 1
                                                           ? std::vector<Point>{}
                                                           : std::vector<Point>{{1, 2, 3}}));
        f.host.scene.selectObjects(selection);
        f.host.execute(kCreate);
        const HostObject* plane = f.host.scene.objects().back();
        expectPlane(plane, builtCorners(5, 5, at(0, -2.5f, 0)), at(0, -2.5f, 0));
        EXPECT_EQ(f.host.messages, std::vector<std::string>{"Talvex created"}) << selectedCount;
        EXPECT_EQ(f.host.scene.selected.list.count, 0);
    }
}

TEST(Create, SizesThePlaneToTheSelectedObjectAndRestoresThePrimitiveSettings) {
    PluginFixture f;
    HostObject* box = f.host.scene.addObject("box", {{1, 0, -1}, {1, 0, 1}, {1, 2, -1}, {1, 2, 1}});
    f.host.scene.selectObjects({box});
    const PrimitiveParams before{7, 3.5f, 4.5f, 8, 9, 10};
    f.host.scene.primitive = before;
    f.host.execute(kCreate);

    const float size = static_cast<float>(2.0 * double(kFactor));
    const PrimitiveParams& seen = f.host.primitiveAtBuild;
    EXPECT_EQ(seen.param0, 0);
    EXPECT_EQ(seen.firstSize, size);
    EXPECT_EQ(seen.secondSize, size);
    EXPECT_EQ(seen.param3, 0);
    EXPECT_EQ(seen.param4, 1);
    EXPECT_EQ(seen.param5, 1);
    const PrimitiveParams& after = f.host.scene.primitive;
    EXPECT_EQ(after.param0, before.param0);
    EXPECT_EQ(after.firstSize, before.firstSize);
    EXPECT_EQ(after.secondSize, before.secondSize);
    EXPECT_EQ(after.param3, before.param3);
    EXPECT_EQ(after.param4, before.param4);
    EXPECT_EQ(after.param5, before.param5);

    const Vector3 offset =
        at(1, static_cast<float>(1.0 - 0.5 * double(size)), 0);  // centroid (1, 1, 0)
    EXPECT_NEAR(offset.y, -0.1f, 1e-6f);
    const HostObject* plane = f.host.scene.objects().back();
    expectPlane(plane, builtCorners(size, size, offset), offset);
    EXPECT_EQ(f.host.messages, std::vector<std::string>{"Talvex created based on selected object"});
    const std::vector<std::string> services = {"runCommand", "refresh", "showMessage"};
    ASSERT_EQ(f.host.calls.size(), services.size());
    for (size_t i = 0; i < services.size(); ++i) EXPECT_EQ(f.host.calls[i].service, services[i]);
    EXPECT_EQ(f.host.calls[0].argument, "107");
}

TEST(Create, ObjectEntirelyAtOrBelowMinusTenThousandGetsTheDefaultSizeAtItsCentroid) {
    PluginFixture f;
    HostObject* low = f.host.scene.addObject("low", {{0, -10000, 0}, {2, -12000, 4}});
    f.host.scene.selectObjects({low});
    f.host.execute(kCreate);
    const Vector3 offset = at(1, static_cast<float>(-11000.0 - 2.5), 2);
    expectPlane(f.host.scene.objects().back(), builtCorners(5, 5, offset), offset);
    EXPECT_EQ(f.host.messages, std::vector<std::string>{"Talvex created"});
}

TEST(Create, MeasuresObjectsBeyondTenThousandUnitsFromTheirOwnVertices) {
    PluginFixture f;
    HostObject* far = f.host.scene.addObject("far", {{0, 20000, 30000}, {0, 20010, 30004}});
    f.host.scene.selectObjects({far});
    f.host.execute(kCreate);
    EXPECT_EQ(f.host.primitiveAtBuild.secondSize, static_cast<float>(10.0 * double(kFactor)));
    EXPECT_EQ(f.host.primitiveAtBuild.firstSize, static_cast<float>(4.0 * double(kFactor)));
    EXPECT_EQ(f.host.messages, std::vector<std::string>{"Talvex created based on selected object"});
}

TEST(Create, ACentreBeyondTheFloatRangeLeavesTheNewPlaneWhereTheHostBuiltIt) {
    PluginFixture f;
    HostObject* huge = f.host.scene.addObject("huge", {{0, 3e38f, 0}, {0, 3e38f, 1}});
    f.host.scene.selectObjects({huge});
    f.host.execute(kCreate);
    const HostObject* plane = f.host.scene.objects().back();
    const float size = static_cast<float>(1.0 * double(kFactor));
    EXPECT_EQ(f.host.primitiveAtBuild.firstSize, size);
    expectPlane(plane, builtCorners(size, 0, at(0, 0, 0)), at(0, 0, 0));
    EXPECT_EQ(f.host.errors,
              std::vector<std::string>{
                  "Talvex created where the host built it: the selection's centre is not finite"});
    EXPECT_TRUE(f.host.messages.empty());
}

TEST(Create, GivesALargeSelectionListsStorageBackAndKeepsASmallOnes) {
    for (int capacity : {101, 100}) {
        PluginFixture f;
        f.host.scene.selected.reserve(capacity);
        f.host.execute(kCreate);
        const ObjectList& selected = f.host.scene.selected.list;
        EXPECT_EQ(selected.count, 0);
        EXPECT_EQ(selected.items == nullptr, capacity > 100);
        EXPECT_EQ(selected.capacity, capacity > 100 ? 0 : capacity);
    }
}

TEST(Create, HostThatBuildsNoUsablePlaneLeavesThePlaneAsItWas) {
    struct Case {
        const char* what;
        int corners;  // -1: nothing built, selection emptied
    };
    for (const Case& c : {Case{"nothing", -1}, Case{"three corners", 3}}) {
        SymmetryScene s;
        HostObject* plane = s.createUnitPlane();
        HostObject* mesh = s.addEdited("mesh", {{1, 0, 0}, {-1.02f, 0, 0}, {0, 5, 5}});
        s.host.buildPlane = [&](hostsim::Scene& scene) {
            if (c.corners < 0) {
                scene.selectObjects({});
                return;
            }
            std::vector<Point> points(static_cast<size_t>(c.corners), Point{0, 0, 0});
            scene.selectObjects({scene.addObject("odd", points)});
        };
        s.host.scene.primitive = PrimitiveParams{7, 3.5f, 4.5f, 8, 9, 10};
        s.host.messages.clear();
        s.host.execute(kCreate);
        ASSERT_EQ(s.host.errors.size(), 1u) << c.what;
        EXPECT_EQ(s.host.errors[0],
                  "Talvex not created: the host built no plane object with four vertices");
        EXPECT_TRUE(s.host.messages.empty());
        EXPECT_EQ(s.host.scene.primitive.firstSize, 3.5f);
        EXPECT_EQ(s.host.scene.primitive.param5, 10);
        // The old plane is still the plane: matching mirrors across it.
        s.host.scene.selectObjects({mesh});
        s.switchOn();
        s.drag({s.v(mesh, 0)}, s.v(mesh, 2));
        EXPECT_EQ(s.v(mesh, 1)->x, -1.0f) << c.what;
        EXPECT_EQ(plane->position.x, 0.0f);
    }
}

TEST(Reposition, LaysThePlaneAcrossTheWidenedBoxOfSelectedVertices) {
    SymmetryScene s;
    HostObject* plane = s.createUnitPlane();
    HostObject* mesh = s.host.scene.addObject("mesh", {{0, 0, 0}, {2, 4, 6}});
    s.host.scene.selectVertices({s.v(mesh, 0), s.v(mesh, 1)});
    s.host.messages.clear();
    s.host.execute(kReposition);

    auto widened = [](float lo, float hi, bool upper) {
        const double d = (double(hi) - double(lo)) * double(kMargin);
        return static_cast<float>(upper ? double(hi) + d : double(lo) - d);
    };
    const float minY = widened(0, 4, false), maxY = widened(0, 4, true);
    const float minZ = widened(0, 6, false), maxZ = widened(0, 6, true);
    EXPECT_NEAR(minY, -0.4f, 1e-6f);
    EXPECT_NEAR(maxZ, 6.6f, 1e-6f);
    expectPlane(plane, {at(1, minY, minZ), at(1, minY, maxZ), at(1, maxY, minZ), at(1, maxY, maxZ)},
                at(1, 2, 3));
    EXPECT_EQ(s.host.messages,
              std::vector<std::string>{"Talvex repositioned : X Axis Perpendicular"});
    // The normal follows: (-dy*dz, 0, 0) = -34.56 to float precision.
    const Frame frame = frameOf(plane);
    EXPECT_NEAR(frame.normal.x, -34.56f, 1e-4f);
}

TEST(Reposition, CyclesXYZAndStartsAgainAtXAfterASelectionChange) {
    SymmetryScene s;
    HostObject* plane = s.createUnitPlane();
    HostObject* mesh = s.host.scene.addObject("mesh", {{0, 0, 0}, {2, 4, 6}, {1, 1, 1}});
    s.host.scene.selectObjects({mesh});
    s.host.messages.clear();
    for (int i = 0; i < 4; ++i) s.host.execute(kReposition);
    s.host.selectionChanged();
    s.host.execute(kReposition);
    const std::vector<std::string> expected = {
        "Talvex repositioned : X Axis Perpendicular", "Talvex repositioned : Y Axis Perpendicular",
        "Talvex repositioned : Z Axis Perpendicular", "Talvex repositioned : X Axis Perpendicular",
        "Talvex repositioned : X Axis Perpendicular"};
    EXPECT_EQ(s.host.messages, expected);
    // Y and Z orders, from the same box and centroid.
    s.host.execute(kReposition);
    const HostVertex& c0 = *plane->vertices[0];
    const HostVertex& c3 = *plane->vertices[3];
    EXPECT_EQ(c0.y, plane->position.y);
    EXPECT_EQ(c3.y, plane->position.y);
    EXPECT_LT(c0.x, c3.x);
    EXPECT_LT(c0.z, c3.z);
    EXPECT_EQ(plane->vertices[1]->z, c3.z);
    EXPECT_EQ(plane->vertices[2]->x, c3.x);
    s.host.execute(kReposition);
    EXPECT_EQ(plane->vertices[0]->z, plane->position.z);
    EXPECT_EQ(plane->vertices[1]->y, plane->vertices[3]->y);
    EXPECT_EQ(plane->vertices[2]->x, plane->vertices[3]->x);
    EXPECT_LT(plane->vertices[0]->x, plane->vertices[3]->x);
}

TEST(Reposition, OneSelectedVertexUsesTheWholeSelectedObject) {
    SymmetryScene s;
    HostObject* plane = s.createUnitPlane();
    HostObject* mesh = s.host.scene.addObject("mesh", {{0, 0, 0}, {2, 4, 6}});
    s.host.scene.selectObjects({mesh});
    s.host.scene.selectVertices({s.v(mesh, 1)});
    s.host.execute(kReposition);
    expectAt(plane->position, at(1, 2, 3));
}

TEST(Reposition, ObjectWithoutVerticesSpansTwelveThousandUnits) {
    SymmetryScene s;
    HostObject* plane = s.createUnitPlane();
    s.host.scene.selectObjects({s.host.scene.addObject("empty", {})});
    s.host.execute(kReposition);
    expectPlane(
        plane,
        {at(0, 12000, 12000), at(0, 12000, -12000), at(0, -12000, 12000), at(0, -12000, -12000)},
        at(0, 0, 0));
}

TEST(Reposition, RefusalsChangeNothing) {
    struct Case {
        const char* what;
        const char* error;  // nullptr: a silent stop
    };
    const Case cases[] = {
        {"no plane", "Talvex not defined"},
        {"plane vertices", "Talvex vertices selected, please select another shape's data"},
        {"plane object", "Talvex selected, please select another shape or any primitives"},
        {"two objects", nullptr},
        {"no object", nullptr},
        {"plane of three corners",
         "Talvex plane has fewer than four vertices, please create it again"},
        {"infinite extent",
         "Talvex not repositioned: the selection's extent is not a finite number"},
    };
    for (const Case& c : cases) {
        SymmetryScene s;
        const std::string what = c.what;
        HostObject* plane = what == "no plane" ? nullptr : s.createUnitPlane();
        HostObject* mesh = s.host.scene.addObject("mesh", {{0, 0, 0}, {2, 4, 6}});
        HostObject* other = s.host.scene.addObject("other", {{5, 5, 5}});
        if (what == "plane vertices") s.host.scene.selectVertices({s.v(mesh, 0), s.v(plane, 2)});
        if (what == "plane object") s.host.scene.selectObjects({plane});
        if (what == "two objects") s.host.scene.selectObjects({mesh, other});
        if (what == "plane of three corners") {
            plane->vertexCount = 3;
            s.host.scene.selectObjects({mesh});
        }
        if (what == "infinite extent") {
            s.v(mesh, 1)->y = 3e38f;
            s.v(mesh, 0)->y = -3e38f;
            s.host.scene.selectObjects({mesh});
        }
        if (what == "no plane") s.host.scene.selectObjects({mesh});
        std::vector<Point> cornersBefore;
        if (plane != nullptr)
            for (int i = 0; i < 4; ++i)
                cornersBefore.push_back({s.v(plane, i)->x, s.v(plane, i)->y, s.v(plane, i)->z});
        s.host.messages.clear();
        s.host.errors.clear();
        s.host.execute(kReposition);
        if (c.error == nullptr)
            EXPECT_TRUE(s.host.errors.empty()) << what;
        else
            EXPECT_EQ(s.host.errors, std::vector<std::string>{c.error}) << what;
        EXPECT_TRUE(s.host.messages.empty()) << what;
        if (plane != nullptr) {
            for (int i = 0; i < 4; ++i)
                expectAt(*s.v(plane, i),
                         at(cornersBefore[i].x, cornersBefore[i].y, cornersBefore[i].z), c.what);
            expectAt(plane->position, at(0, 0, 0), c.what);
            // The axis did not advance: a good run now reports X.
            plane->vertexCount = 4;
            s.host.scene.selectVertices({});
            s.v(mesh, 0)->y = 0;
            s.v(mesh, 1)->y = 4;
            s.host.scene.selectObjects({mesh});
            s.host.execute(kReposition);
            EXPECT_EQ(s.host.messages,
                      std::vector<std::string>{"Talvex repositioned : X Axis Perpendicular"})
                << what;
        }
    }
}

}  // namespace
