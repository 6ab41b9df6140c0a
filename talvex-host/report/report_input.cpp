#include "report/report_input.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <utility>

#include "pairing/centre_line.h"
#include "session/batch_setup.h"
#include "session/host_session.h"

namespace talvexhost {

GatheredInput gatherReportInput(const HostSession& session, const std::vector<HostObject*>& targets,
                                const ResymOutcome& outcome, const HostPlane& plane, int axis,
                                bool centreLine) {
    GatheredInput gathered;
    ReportInput& input = gathered.input;
    input.plane = plane;
    input.diagonal = boxDiagonal(targets);
    input.severalObjects = targets.size() > 1;
    // The edge facts first: the faces they read are gone before the
    // report's vertices are built.
    EdgeFacts facts;
    if (!session.documents().empty()) {
        const MeshDocument& document = *session.documents()[0].document;
        std::vector<bool> used(document.vertexCount(), false);
        for (const HostObject* target : targets) {
            const SceneMesh* mesh = session.meshOf(target);
            if (mesh == nullptr || mesh->document != 0) continue;
            for (int i = 0; i < target->vertexCount; ++i) used[mesh->fileVertices[i]] = true;
        }
        facts = edgeFacts(document, used, centreLine ? &plane : nullptr, axis);
        input.edgeLength = facts.medianEdge;
    }

    std::size_t count = 0;
    for (const HostObject* object : targets) count += std::size_t(object->vertexCount);
    input.vertices.reserve(count);
    gathered.hostVertices.reserve(count);
    // Each host vertex's report index, found by address: a sorted array
    // takes a quarter of a hash map's memory on a large mesh. Only pairs
    // need the way back from a vertex to its number.
    const bool needIndex = !outcome.pairList.empty();
    std::vector<std::pair<const HostVertex*, int>> index;
    if (needIndex) index.reserve(count);
    for (std::size_t t = 0; t < targets.size(); ++t) {
        const SceneMesh* mesh = session.meshOf(targets[t]);
        for (int i = 0; i < targets[t]->vertexCount; ++i) {
            const HostVertex* v = targets[t]->vertices[i];
            ReportVertex vertex;
            vertex.number = mesh != nullptr && mesh->document == 0 ? mesh->fileVertices[i] + 1 : 0;
            vertex.object = static_cast<int>(t);
            vertex.position[0] = v->x;
            vertex.position[1] = v->y;
            vertex.position[2] = v->z;
            vertex.distance = plane.signedDistance(*v, axis);
            if (vertex.number > 0 && centreLine && !facts.bridges.empty())
                vertex.bridgesPlane = facts.bridges[vertex.number - 1];
            if (needIndex) index.push_back({v, static_cast<int>(input.vertices.size())});
            input.vertices.push_back(vertex);
            gathered.hostVertices.push_back(v);
        }
    }
    const auto byAddress = [](const std::pair<const HostVertex*, int>& a,
                              const std::pair<const HostVertex*, int>& b) {
        return std::less<const HostVertex*>()(a.first, b.first);
    };
    std::sort(index.begin(), index.end(), byAddress);
    // The first listing of a vertex, as the map kept the first it was given.
    index.erase(std::unique(index.begin(), index.end(),
                            [](const auto& a, const auto& b) { return a.first == b.first; }),
                index.end());
    const auto find = [&](const HostVertex* v) {
        auto it = std::lower_bound(index.begin(), index.end(), std::make_pair(v, 0), byAddress);
        return it != index.end() && it->first == v ? it->second : -1;
    };
    input.pairs.reserve(outcome.pairList.size());
    for (const auto& [starter, partner] : outcome.pairList) {
        const int a = find(starter);
        const int b = find(partner);
        if (a >= 0 && b >= 0) input.pairs.push_back({a, b});
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
