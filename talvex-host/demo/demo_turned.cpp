#include "demo/demo_turned.h"

#include <cmath>
#include <ostream>

#include "demo/demo_model.h"
#include "io/number_text.h"
#include "pairing/plane_setup.h"
#include "session/auto_plane.h"
#include "session/host_session.h"
#include "session/plane_in_scene.h"
#include "session/resym_run.h"

namespace talvexhost {

namespace {

// 35 degrees about the axis (1, 2, 2) / 3, then moved by (2, 1, -1).
constexpr double kTurnDegrees = 35.0;
constexpr double kAxis[3] = {1.0 / 3.0, 2.0 / 3.0, 2.0 / 3.0};
constexpr double kShift[3] = {2.0, 1.0, -1.0};

MeshPosition turned(const MeshPosition& p) {
    const double angle = kTurnDegrees * 3.14159265358979323846 / 180.0;
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    const double v[3] = {p.x, p.y, p.z};
    const double along = kAxis[0] * v[0] + kAxis[1] * v[1] + kAxis[2] * v[2];
    const double cross[3] = {kAxis[1] * v[2] - kAxis[2] * v[1], kAxis[2] * v[0] - kAxis[0] * v[2],
                             kAxis[0] * v[1] - kAxis[1] * v[0]};
    double r[3];
    for (int k = 0; k < 3; ++k)
        r[k] = v[k] * c + cross[k] * s + kAxis[k] * along * (1.0 - c) + kShift[k];
    return {static_cast<float>(r[0]), static_cast<float>(r[1]), static_cast<float>(r[2])};
}

}  // namespace

bool runTurnedDemo(HostSession& session, const std::string& path, std::ostream& out,
                   std::string& error) {
    std::unique_ptr<MeshDocument> model = demoModelDocument(error);
    if (!model) return false;
    for (int v = 0; v < model->vertexCount(); ++v)
        model->setPosition(v, turned(model->position(v)));
    const int document = session.addDocument(std::move(model), path);
    HostObject* head = session.meshes().back().object;
    out << "> the model as it came, turned " << formatFixed(kTurnDegrees, 0)
        << " degrees about (1, 2, 2) and moved: talvex-host detect\n";
    PlaneSpec spec;
    spec.automatic = true;
    if (!resolveAutoPlane({head}, spec, error)) return false;
    out << "  symmetry plane found: " << describePlane(spec) << ", score "
        << formatFixed(100.0 * spec.score, 1) << " %\n";
    out << "> Talvex Create Talvex, the host places the plane there; Talvex Smart Resym\n";
    HostPlane plane;
    if (!placePlane(session, {head}, spec, plane, error)) return false;
    const ResymOutcome outcome = runSmartResym(session, {head}, plane, spec.axis);
    // Vertices on the plane, and those whose partner lies beyond the
    // plug-in's tolerance, stay where they are.
    out << "  pairs found: " << outcome.pairs << ", vertices moved: " << outcome.movedNoticeably
        << ", left unpaired: " << outcome.unpairedVertices.size()
        << ", on the plane: " << outcome.onPlane << "\n";
    if (!session.saveDocument(document, path, error)) return false;
    out << "wrote " << path << " (the turned model after Smart Resym)\n";
    return true;
}

}  // namespace talvexhost
