#include "report_input.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "batch_setup.h"
#include "centre_line.h"
#include "host_session.h"

namespace talvexhost {

namespace {}  // namespace

GatheredInput gatherReportInput(const HostSession& session, const std::vector<HostObject*>& targets,
                                const ResymOutcome& outcome, const HostPlane& plane, int axis,
                                bool centreLine) {
    GatheredInput gathered;
    ReportInput& input = gathered.input;
    input.plane = plane;
    input.diagonal = boxDiagonal(targets);
    input.severalObjects = targets.size() > 1;
    std::unordered_map<const HostVertex*, int> index;
    std::vector<bool> used(
        session.documents().empty() ? 0 : session.documents()[0].document.vertexCount(), false);
    for (std::size_t t = 0; t < targets.size(); ++t) {
        const SceneMesh* mesh = session.meshOf(targets[t]);
        for (int i = 0; i < targets[t]->vertexCount; ++i) {
            const HostVertex* v = targets[t]->vertices[i];
            ReportVertex vertex;
            vertex.number = mesh != nullptr && mesh->document == 0 ? mesh->fileVertices[i] + 1 : 0;
            if (vertex.number > 0) used[vertex.number - 1] = true;
            vertex.object = static_cast<int>(t);
            vertex.position[0] = v->x;
            vertex.position[1] = v->y;
            vertex.position[2] = v->z;
            vertex.distance = plane.signedDistance(*v, axis);
            // Only pairs need the way back from a vertex to its number.
            if (!outcome.pairList.empty())
                index.emplace(v, static_cast<int>(input.vertices.size()));
            input.vertices.push_back(vertex);
            gathered.hostVertices.push_back(v);
        }
    }
    for (const auto& [starter, partner] : outcome.pairList) {
        auto a = index.find(starter);
        auto b = index.find(partner);
        if (a != index.end() && b != index.end()) input.pairs.push_back({a->second, b->second});
    }
    if (!session.documents().empty()) {
        const ObjDocument& document = session.documents()[0].document;
        const EdgeFacts facts = edgeFacts(document, used, centreLine ? &plane : nullptr, axis);
        input.edgeLength = facts.medianEdge;
        for (ReportVertex& vertex : input.vertices)
            if (vertex.number > 0 && centreLine)
                vertex.bridgesPlane = facts.bridges[vertex.number - 1];
    }
    return gathered;
}

int unpairedWithPartnerElsewhere(const HostSession& session, const BatchSetup& setup,
                                 const ResymOutcome& outcome) {
    GatheredInput gathered =
        gatherReportInput(session, setup.targets, outcome, setup.plane, setup.spec.axis, false);
    gathered.input.tolerance = double(setup.tolerance);
    std::vector<bool> paired(gathered.input.vertices.size(), false);
    for (const auto& [a, b] : gathered.input.pairs) paired[a] = paired[b] = true;
    std::vector<int> lonely;
    for (std::size_t v = 0; v < paired.size(); ++v)
        if (!paired[v] && std::fabs(gathered.input.vertices[v].distance) > double(0.0001f))
            lonely.push_back(static_cast<int>(v));
    return partnersInOtherObjects(gathered.input, lonely);
}

}  // namespace talvexhost
