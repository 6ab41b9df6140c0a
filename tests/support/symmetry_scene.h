// Scenes for the symmetry engine's behaviour tests: a plug-in loaded into the
// substitute host with a plane created through "Talvex Create Talvex" and then
// laid where a test wants it, as the host's own move tool would, plus an
// independent computation of the plane arithmetic for expected values.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/command_indices.h"
#include "support/plugin_fixture.h"

namespace symtest {

using hostsim::Point;

// Expected values follow the plug-in's documented arithmetic step by step
// with the geometry types, so that float results can be compared exactly.
struct Frame {
    Vector3 normal;
    Vector3 pivot;
};

inline Frame frameOf(const HostObject* plane) {
    Vector3 e1 = plane->vertices[1]->subtract(*plane->vertices[0]);
    Vector3 e2 = plane->vertices[2]->subtract(*plane->vertices[0]);
    return Frame{e1.cross(e2), plane->position};
}

inline Vector3 footOf(const Frame& f, const Vector3& p) {
    const Vector3 d = p.subtract(f.pivot);
    const float a = static_cast<float>(-f.normal.dot(d));
    const float t = static_cast<float>(double(a) / f.normal.dot(f.normal));
    Vector3 step = f.normal;
    step.scale(t);
    return p.add(step);
}

inline Vector3 mirrorOf(const Frame& f, const Vector3& p) {
    const Vector3 foot = footOf(f, p);
    return foot.add(foot.subtract(p));
}

inline Vector3 at(float x, float y, float z) {
    return Vector3(x, y, z);
}

inline void expectAt(const Vector3& v, const Vector3& expected, const char* what = "") {
    EXPECT_EQ(v.x, expected.x) << what;
    EXPECT_EQ(v.y, expected.y) << what;
    EXPECT_EQ(v.z, expected.z) << what;
}

struct SymmetryScene : PluginFixture {
    HostObject* plane = nullptr;

    // Runs Create with nothing selected, then lays the plane on x = 0 with the
    // corners (0,-1,-1), (0,-1,1), (0,1,-1), (0,1,1) and its position at the
    // origin: normal (-4,0,0), so the image of (x,y,z) is exactly (-x,y,z) and
    // points with x > 0 lie on side -1.
    HostObject* createUnitPlane() {
        host.scene.selectObjects({});
        host.execute(kCreate);
        plane = host.scene.objects().back();
        placePlane({{0, -1, -1}, {0, -1, 1}, {0, 1, -1}, {0, 1, 1}}, {0, 0, 0});
        return plane;
    }

    // Moves the plane object's corners and position directly, as the host's
    // move tool does: the plug-in is not told.
    void placePlane(const std::vector<Point>& corners, const Point& position) {
        for (size_t i = 0; i < corners.size(); ++i) {
            HostVertex& v = hostsim::vertexOf(plane, static_cast<int>(i));
            v.x = corners[i].x;
            v.y = corners[i].y;
            v.z = corners[i].z;
        }
        plane->position = Vector3(position.x, position.y, position.z);
    }

    // An object under edit (and selected, so that drags pass the gate).
    HostObject* addEdited(const std::string& name, const std::vector<Point>& points) {
        HostObject* object = host.scene.addObject(name, points);
        host.scene.underEdit.append(object);
        host.scene.selected.append(object);
        return object;
    }

    HostVertex* v(HostObject* object, int i) { return object->vertices[i]; }

    // Moves a host vertex as the user's drag does: coordinates only.
    static void place(HostVertex* vertex, float x, float y, float z) {
        vertex->x = x;
        vertex->y = y;
        vertex->z = z;
    }

    void switchOn() { host.execute(kSwitch); }

    void drag(const std::vector<HostVertex*>& sources, HostVertex* searchPoint) {
        host.reportMoved(sources, searchPoint);
    }
};

}  // namespace symtest
