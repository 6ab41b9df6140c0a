#include "demo/demo_master.h"

#include <ostream>

#include "demo/demo_model.h"
#include "pairing/plane_setup.h"
#include "session/host_session.h"
#include "session/plane_in_scene.h"
#include "session/resym_run.h"

namespace talvexhost {

bool runMasterDemo(HostSession& session, const std::string& path, std::ostream& out,
                   std::string& error) {
    std::unique_ptr<MeshDocument> model = demoModelDocument(error);
    if (!model) return false;
    const int document = session.addDocument(std::move(model), path);
    HostObject* head = session.meshes().back().object;
    out << "> the model again, its -x half as master: talvex-host resym --plane x=0 --master -x\n";
    PlaneSpec spec;
    spec.atValue = true;
    HostPlane plane;
    if (!placePlane(session, {head}, spec, plane, error)) return false;
    ResymOptions options;
    options.masterSign = -1;
    const ResymOutcome outcome = runSmartResym(session, {head}, plane, spec.axis, options);
    out << "  pairs found: " << outcome.pairs << "\n" << describeMasterRun(outcome, 0, -1, false);
    // About x = 0 the mirror image only changes the sign of x.
    int exact = 0;
    for (const auto& [a, b] : outcome.pairList) {
        const HostVertex& master = a->x < 0.0f ? *a : *b;
        const HostVertex& other = a->x < 0.0f ? *b : *a;
        exact += other.x == -master.x && other.y == master.y && other.z == master.z;
    }
    out << "  the +x half is the exact mirror of the -x half in " << exact << " of "
        << outcome.pairs << " pairs\n";
    if (!session.saveDocument(document, path, error)) return false;
    out << "wrote " << path << " (the model after resym --master -x)\n";
    return true;
}

}  // namespace talvexhost
