#include "plane_setup.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "host_session.h"
#include "number_text.h"

namespace talvexhost {

namespace {

const char kAxisNames[] = "XYZ";

double component(const Vector3& p, int axis) { return axis == 0 ? p.x : axis == 1 ? p.y : p.z; }

}  // namespace

bool parsePlaneSpec(const std::string& text, PlaneSpec& spec, std::string& error) {
    PlaneSpec parsed;
    if (text.empty()) {
        error = "--plane needs x, y, z or AXIS=VALUE";
        return false;
    }
    const char axis = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    if (axis < 'x' || axis > 'z' || (text.size() > 1 && text[1] != '=')) {
        error = "--plane \"" + text + "\": expected x, y, z or AXIS=VALUE such as x=0";
        return false;
    }
    parsed.axis = axis - 'x';
    if (text.size() > 1) {
        parsed.atValue = true;
        if (!parseFloat(text.substr(2), parsed.value)) {
            error = "--plane \"" + text + "\": \"" + text.substr(2) + "\" is not a number";
            return false;
        }
    }
    spec = parsed;
    return true;
}

std::string describePlane(const PlaneSpec& spec) {
    const std::string axis(1, static_cast<char>('x' + spec.axis));
    if (spec.atValue) return axis + " = " + formatFloat(spec.value);
    return axis + " = centroid";
}

double HostPlane::signedDistance(const Vector3& p, int axis) const noexcept {
    const double d[3] = {double(p.x) - pivot[0], double(p.y) - pivot[1], double(p.z) - pivot[2]};
    const double length = std::sqrt(normal[0] * normal[0] + normal[1] * normal[1] + normal[2] * normal[2]);
    const double along = (normal[0] * d[0] + normal[1] * d[1] + normal[2] * d[2]) / length;
    return normal[axis] < 0.0 ? -along : along;
}

void HostPlane::mirror(const Vector3& p, double out[3]) const noexcept {
    const double d[3] = {double(p.x) - pivot[0], double(p.y) - pivot[1], double(p.z) - pivot[2]};
    const double nn = normal[0] * normal[0] + normal[1] * normal[1] + normal[2] * normal[2];
    const double t = 2.0 * (normal[0] * d[0] + normal[1] * d[1] + normal[2] * d[2]) / nn;
    out[0] = double(p.x) - t * normal[0];
    out[1] = double(p.y) - t * normal[1];
    out[2] = double(p.z) - t * normal[2];
}

bool planeFrame(const HostObject* planeObject, HostPlane& plane) noexcept {
    if (planeObject == nullptr || planeObject->vertexCount < 3) return false;
    const Vector3& p0 = *planeObject->vertices[0];
    const Vector3& p1 = *planeObject->vertices[1];
    const Vector3& p2 = *planeObject->vertices[2];
    const double e1[3] = {double(p1.x) - p0.x, double(p1.y) - p0.y, double(p1.z) - p0.z};
    const double e2[3] = {double(p2.x) - p0.x, double(p2.y) - p0.y, double(p2.z) - p0.z};
    plane.normal[0] = e1[1] * e2[2] - e1[2] * e2[1];
    plane.normal[1] = e1[2] * e2[0] - e1[0] * e2[2];
    plane.normal[2] = e1[0] * e2[1] - e1[1] * e2[0];
    plane.pivot[0] = planeObject->position.x;
    plane.pivot[1] = planeObject->position.y;
    plane.pivot[2] = planeObject->position.z;
    const double lengthSq =
        plane.normal[0] * plane.normal[0] + plane.normal[1] * plane.normal[1] + plane.normal[2] * plane.normal[2];
    return lengthSq > 0.0 && std::isfinite(lengthSq);
}

bool placePlane(HostSession& session, const std::vector<HostObject*>& targets, const PlaneSpec& spec,
                HostPlane& plane, std::string& error) {
    // Create sizes the plane to the selected object when there is just one.
    session.selectObjects(targets.size() == 1 ? targets : std::vector<HostObject*>{});
    const HostObject* before = session.newestPlane();
    session.runCommand("Talvex Create Talvex");
    HostObject* created = session.newestPlane();
    if (created == nullptr || created == before) {
        error = "the plug-in did not create its plane (is this the Talvex plug-in?)";
        return false;
    }

    std::vector<HostVertex*> source;
    HostObject* guide = nullptr;
    for (HostObject* object : targets)
        for (int i = 0; i < object->vertexCount; ++i) source.push_back(object->vertices[i]);
    if (spec.atValue) {
        // Two vertices spanning the meshes' box, both on the wanted plane:
        // their centroid is the plane's place, their box its size.
        double lo[3] = {-1.0, -1.0, -1.0};
        double hi[3] = {1.0, 1.0, 1.0};
        if (!source.empty()) {
            for (int a = 0; a < 3; ++a) {
                lo[a] = hi[a] = component(*source.front(), a);
                for (const HostVertex* v : source) {
                    lo[a] = std::min(lo[a], component(*v, a));
                    hi[a] = std::max(hi[a], component(*v, a));
                }
                // A flat mesh would give a plane without area.
                if (hi[a] - lo[a] < 1e-6) {
                    lo[a] -= 1.0;
                    hi[a] += 1.0;
                }
            }
        }
        lo[spec.axis] = hi[spec.axis] = spec.value;
        guide = session.addObject("talvex-host plane guide",
                                  {{float(lo[0]), float(lo[1]), float(lo[2])}, {float(hi[0]), float(hi[1]), float(hi[2])}});
        source = {guide->vertices[0], guide->vertices[1]};
    } else if (source.size() < 2) {
        error = "the mesh has fewer than two vertices; give the plane's place, e.g. --plane x=0";
        return false;
    }

    // A selection change starts Reposition again at X; it then turns the
    // plane to X, Y, Z on successive runs.
    session.selectObjects({});
    session.selectVertices(source);
    for (int run = 0; run <= spec.axis; ++run) session.runCommand("Talvex Reposition");
    session.host().scene.selectVertices({});
    if (guide != nullptr) session.removeObject(guide);
    session.selectObjects({});

    if (!planeFrame(created, plane)) {
        error = std::string("the plane came out without area: the meshes do not extend along the plane perpendicular to ") +
                kAxisNames[spec.axis] + "; give its place, e.g. --plane " + static_cast<char>('x' + spec.axis) + "=0";
        return false;
    }
    return true;
}

}  // namespace talvexhost
