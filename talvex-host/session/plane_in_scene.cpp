#include "session/plane_in_scene.h"

#include <algorithm>

#include "io/ordered_work.h"
#include "pairing/plane_placement.h"
#include "session/host_session.h"

namespace talvexhost {

namespace {

const char kAxisNames[] = "XYZ";

double component(const Vector3& p, int axis) {
    return axis == 0 ? p.x : axis == 1 ? p.y : p.z;
}

// The box around the targets' vertices; the unit box when they have none.
SpanBox spanOf(const std::vector<HostObject*>& targets) {
    float lo[3] = {0.0f, 0.0f, 0.0f};
    float hi[3] = {0.0f, 0.0f, 0.0f};
    bool any = false;
    for (const HostObject* object : targets) {
        for (int i = 0; i < object->vertexCount; ++i) {
            const HostVertex& v = *object->vertices[i];
            const float p[3] = {v.x, v.y, v.z};
            for (int a = 0; a < 3; ++a) {
                lo[a] = any ? std::min(lo[a], p[a]) : p[a];
                hi[a] = any ? std::max(hi[a], p[a]) : p[a];
            }
            any = true;
        }
    }
    if (!any) return {{-1.0, -1.0, -1.0}, {1.0, 1.0, 1.0}};
    return {{lo[0], lo[1], lo[2]}, {hi[0], hi[1], hi[2]}};
}

}  // namespace

bool placePlane(HostSession& session, const std::vector<HostObject*>& targets,
                const PlaneSpec& spec, HostPlane& plane, std::string& error) {
    if (spec.automatic && !spec.general && !spec.atValue) {
        error = "the symmetry plane has not been found yet";
        return false;
    }
    // Both the plug-in's Create and the box below read every target vertex
    // and move none: on a large mesh they read side by side.
    auto spanBeside = runBeside([&targets] { return spanOf(targets); });
    // Create sizes the plane to the selected object when there is just one.
    session.selectObjects(targets.size() == 1 ? targets : std::vector<HostObject*>{});
    const HostObject* before = session.newestPlane();
    session.runCommand("Talvex Create Talvex");
    HostObject* created = session.newestPlane();
    if (created == nullptr || created == before) {
        error = "the plug-in did not create its plane (is this the Talvex plug-in?)";
        return false;
    }

    const SpanBox span = spanBeside.get();
    HostPlane pose = {{0.0, 0.0, 0.0}, {0.0, 0.0, 0.0}};
    if (spec.general) {
        for (int k = 0; k < 3; ++k) {
            pose.normal[k] = spec.normal[k];
            pose.pivot[k] = spec.offset * spec.normal[k];
        }
    } else if (spec.atValue) {
        pose.normal[spec.axis] = 1.0;
        pose.pivot[spec.axis] = spec.value;
    } else {
        std::vector<HostVertex*> source;
        for (HostObject* object : targets)
            source.insert(source.end(), object->vertices, object->vertices + object->vertexCount);
        if (source.size() < 2) {
            error =
                "the mesh has fewer than two vertices; give the plane's place, e.g. --plane x=0";
            return false;
        }
        // The plug-in's own centroid, as in the modeller: a selection change
        // starts Reposition again at X; it then turns the plane to X, Y, Z on
        // successive runs.
        session.selectObjects({});
        session.selectVertices(source);
        for (int run = 0; run <= spec.axis; ++run) session.runCommand("Talvex Reposition");
        session.host().scene.selectVertices({});
        if (!planeFrame(created, plane)) {
            session.selectObjects({});
            error = std::string(
                        "the plane came out without area: the meshes do not extend along the plane "
                        "perpendicular to ") +
                    kAxisNames[spec.axis] + "; give its place, e.g. --plane " +
                    static_cast<char>('x' + spec.axis) + "=0";
            return false;
        }
        pose.normal[spec.axis] = 1.0;
        pose.pivot[spec.axis] = component(created->position, spec.axis);
    }
    session.selectObjects({});
    // Reposition's corners span the box by its own margin, and the normal they
    // give is no power of two; the host squares them (see plane_placement.h).
    if (!placePlaneObject(created, pose, span) || !planeFrame(created, plane)) {
        error = "the plane cannot be placed there (not a finite plane in float range)";
        return false;
    }
    return true;
}

}  // namespace talvexhost
