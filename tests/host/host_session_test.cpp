// The host session with many objects: what a batch run does per object (the
// plane's placement, Smart Resym's measuring, the report's input) must cost
// the same per object however many objects the scene holds.
#include "session/host_session.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

#include "io/obj/obj_document.h"
#include "pairing/plane_setup.h"
#include "report/report_input.h"
#include "session/plane_in_scene.h"
#include "session/resym_run.h"

namespace talvexhost {
namespace {

// `count` triangles, each its own object, each mirrored about x = 0 but for
// its apex on the plane.
std::string trianglesAsObjects(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        const std::string y = std::to_string(i % 100);
        const std::string z = std::to_string(i / 100);
        text += "o t" + std::to_string(i) + "\nv -1 " + y + " " + z + "\nv 1 " + y + " " + z +
                "\nv 0 " + y + ".5 " + z + "\nf -3 -2 -1\n";
    }
    return text;
}

struct BatchRun {
    std::uint64_t lookupSteps = 0;
    int pairs = 0;
    std::size_t reportVertices = 0;
};

BatchRun runBatch(int objects) {
    std::ostringstream shown;
    HostSession session(shown);
    std::string error;
    EXPECT_TRUE(session.loadPlugin("./" TALVEX_PLUGIN_FILE, error)) << error;
    auto document = std::make_unique<ObjDocument>();
    EXPECT_TRUE(document->parse(trianglesAsObjects(objects), "many.obj", error)) << error;
    session.addDocument(std::move(document), "many.obj");
    std::vector<HostObject*> targets;
    for (const SceneMesh& mesh : session.meshes()) targets.push_back(mesh.object);
    PlaneSpec spec;
    HostPlane plane;
    EXPECT_TRUE(parsePlaneSpec("x=0", spec, error)) << error;
    EXPECT_TRUE(placePlane(session, targets, spec, plane, error)) << error;
    const ResymOutcome outcome = runSmartResym(session, targets, plane, spec.axis);
    const GatheredInput gathered = gatherReportInput(session, targets, outcome, plane, spec.axis);
    return {session.lookupSteps(), outcome.pairs, gathered.input.vertices.size()};
}

TEST(HostSession, LookupsPerObjectDoNotGrowWithTheObjects) {
    const int few = 300;
    const int many = 4800;
    const BatchRun small = runBatch(few);
    const BatchRun large = runBatch(many);
    EXPECT_EQ(small.pairs, few);
    EXPECT_EQ(large.pairs, many);
    EXPECT_EQ(large.reportVertices, std::size_t(3 * many));
    // A search through every mesh per object would give 16 times the steps
    // per object here.
    const double perObjectSmall = double(small.lookupSteps) / few;
    const double perObjectLarge = double(large.lookupSteps) / many;
    EXPECT_GT(perObjectSmall, 0.0);
    EXPECT_LT(perObjectLarge, 1.5 * perObjectSmall)
        << small.lookupSteps << " steps for " << few << " objects, " << large.lookupSteps << " for "
        << many;
}

TEST(HostSession, MeshOfFollowsRemovalsAndKnowsNoPlane) {
    std::ostringstream shown;
    HostSession session(shown);
    HostObject* a = session.addObject("a", {{1, 0, 0}});
    HostObject* b = session.addObject("b", {{2, 0, 0}});
    HostObject* c = session.addObject("c", {{3, 0, 0}});
    HostObject* plane = session.host().scene.buildPlanePrimitive();
    EXPECT_EQ(session.meshOf(plane), nullptr);
    EXPECT_EQ(session.newestPlane(), plane);
    session.removeObject(b);
    EXPECT_EQ(session.meshOf(b), nullptr);
    ASSERT_NE(session.meshOf(a), nullptr);
    ASSERT_NE(session.meshOf(c), nullptr);
    EXPECT_EQ(session.meshOf(a)->name, "a");
    EXPECT_EQ(session.meshOf(c)->name, "c");
    EXPECT_EQ(session.planePrimitives(), std::vector<HostObject*>{plane});
    session.removeObject(plane);
    EXPECT_EQ(session.newestPlane(), nullptr);
}

TEST(HostSession, FileVerticesNumberEachHostVertexAfterItsLine) {
    // a takes vertices 1, 2 and 4, b takes 3 (first used there) with 5 to 7,
    // c the run 8 to 10: only c's numbers count up by one.
    const std::string text =
        "o a\nv 0 0 0\nv 1 0 0\nv 2 0 0\nv 3 0 0\nf 1 2 4\n"
        "o b\nv 4 0 0\nv 5 0 0\nv 6 0 0\nf 3 5 6 7\n"
        "o c\nv 7 0 0\nv 8 0 0\nv 9 0 0\nf 8 9 10\n";
    std::ostringstream shown;
    HostSession session(shown);
    std::string error;
    auto document = std::make_unique<ObjDocument>();
    ASSERT_TRUE(document->parse(text, "three.obj", error)) << error;
    session.addDocument(std::move(document), "three.obj");
    const std::vector<std::vector<int>> expected = {{0, 1, 3}, {2, 4, 5, 6}, {7, 8, 9}};
    ASSERT_EQ(session.meshes().size(), expected.size());
    for (std::size_t m = 0; m < expected.size(); ++m) {
        const SceneMesh& mesh = session.meshes()[m];
        const FileVertexMap& numbers = mesh.fileVertices;
        ASSERT_EQ(numbers.size(), std::size_t(mesh.object->vertexCount));
        EXPECT_EQ(std::vector<int>(numbers.begin(), numbers.end()), expected[m]) << mesh.name;
        for (std::size_t i = 0; i < numbers.size(); ++i)
            EXPECT_EQ(mesh.object->vertices[i]->x, float(numbers[i])) << mesh.name << " " << i;
    }
    const FileVertexMap none;
    EXPECT_TRUE(none.empty());
    EXPECT_EQ(none.begin(), none.end());
}

}  // namespace
}  // namespace talvexhost
