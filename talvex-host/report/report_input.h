// Gathers what the asymmetry report works on from the host's scene: every
// vertex of the checked meshes with its OBJ number, object and distance from
// the plane, the plug-in's pairs as indices, the mesh's median edge length
// and its box. Used by `check` after the plug-in's edit was undone.
#pragma once

#include <vector>

#include "report/asymmetry_report.h"
#include "session/resym_run.h"

namespace talvexhost {

class HostSession;

struct GatheredInput {
    ReportInput input;
    std::vector<const HostVertex*> hostVertices;  // parallel to input.vertices
    std::vector<const HostObject*> objects;  // the targets, as ReportVertex::object counts them
};

struct BatchSetup;

// How many vertices the run left unpaired (off the plane) that have an
// acceptable mirror candidate in another object, by the plug-in's tolerance.
int unpairedWithPartnerElsewhere(const HostSession& session, const BatchSetup& setup,
                                 const ResymOutcome& outcome);

// `targets` are the meshes checked, `outcome` the run whose pairs to use.
// With `centreLine`, each vertex says whether it bridges the plane, and the
// median edge is measured (the scene's positions must be the document's
// then: nothing moved, or the edit undone); without, edgeLength stays 0.
GatheredInput gatherReportInput(const HostSession& session, const std::vector<HostObject*>& targets,
                                const ResymOutcome& outcome, const HostPlane& plane, int axis,
                                bool centreLine = true);

}  // namespace talvexhost
