// Gathers what the asymmetry report works on from the host's scene: every
// vertex of the checked meshes with its OBJ number, object and distance from
// the plane, the plug-in's pairs as indices, the mesh's median edge length
// and its box. Used by `check` after the plug-in's edit was undone.
#pragma once

#include <cstdint>
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

// The report's edge facts (centre_line.h) worked out ahead, while the
// plug-in's command runs on the other core: prepared from the scene before
// the command, then computed from a copy of its positions and the document's
// text, never from the scene the plug-in is moving. The bridges are worked
// out for every vertex, since which stay unpaired is not known yet.
class EdgeFactsAhead {
public:
    // False, with nothing to do, without a document or when the targets do
    // not hold every vertex of the first one: gatherReportInput then reads
    // the positions from the document's text itself.
    bool prepare(const HostSession& session, const std::vector<HostObject*>& targets,
                 const HostPlane& plane, int axis);
    // Computes the facts and gives back the copy of the positions.
    void work();
    // The blocks of memory that takes at once for a document of `vertices`
    // (the copy, the lengths of a quad mesh's edges, the marks and a
    // thread's stack), for a caller to see they can be had beside its own.
    static std::vector<std::uint64_t> blocks(std::uint64_t vertices);
    // Null until work() ran.
    const EdgeFacts* facts() const { return done_ ? &facts_ : nullptr; }

private:
    const MeshDocument* document_ = nullptr;
    std::vector<MeshPosition> positions_;  // by document vertex
    HostPlane plane_{};
    int axis_ = 0;
    EdgeFacts facts_;
    bool done_ = false;
};

// `targets` are the meshes checked, `outcome` the run whose pairs to use.
// With `centreLine`, each vertex says whether it bridges the plane, and the
// median edge is measured (the scene's positions must be the document's
// then: nothing moved, or the edit undone); without, edgeLength stays 0.
// `ahead`, when given, holds those facts already, from the same positions.
GatheredInput gatherReportInput(const HostSession& session, const std::vector<HostObject*>& targets,
                                const ResymOutcome& outcome, const HostPlane& plane, int axis,
                                bool centreLine = true, const EdgeFacts* ahead = nullptr);

}  // namespace talvexhost
