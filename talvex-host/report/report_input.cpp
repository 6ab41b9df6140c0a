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
    if (centreLine && !session.documents().empty()) {
        const ObjDocument& document = session.documents()[0].document;
        std::vector<bool> used(document.vertexCount(), false);
        // The scene's positions are the document's (the caller has undone
        // any edit); when they cover every vertex of the document, they are
        // taken rather than read from its text again, straight from the
        // object's own vertex list when it is the file's in order.
        std::vector<const HostVertex*> vertexAt(used.size(), nullptr);
        std::size_t covered = 0;
        const HostObject* inOrder = nullptr;
        // Only an unpaired vertex is asked whether it bridges the plane.
        std::vector<bool> paired(used.size(), false);
        std::vector<int> fileOf;
        for (const HostObject* target : targets) {
            const SceneMesh* mesh = session.meshOf(target);
            for (int i = 0; i < target->vertexCount; ++i)
                fileOf.push_back(mesh != nullptr && mesh->document == 0 ? mesh->fileVertices[i]
                                                                        : -1);
        }
        for (const auto& [a, b] : outcome.pairList) {
            if (fileOf[a] >= 0) paired[fileOf[a]] = true;
            if (fileOf[b] >= 0) paired[fileOf[b]] = true;
        }
        std::vector<int>().swap(fileOf);
        paired.flip();
        const std::vector<bool>& unpaired = paired;
        for (const HostObject* target : targets) {
            const SceneMesh* mesh = session.meshOf(target);
            if (mesh == nullptr || mesh->document != 0) continue;
            bool same = std::size_t(target->vertexCount) == used.size();
            for (int i = 0; i < target->vertexCount; ++i) {
                const int file = mesh->fileVertices[i];
                if (!used[file]) ++covered;
                used[file] = true;
                vertexAt[file] = target->vertices[i];
                same = same && file == i;
            }
            if (same) inOrder = target;
        }
        if (inOrder != nullptr) {
            std::vector<const HostVertex*>().swap(vertexAt);
            facts = edgeFacts(document, inOrder->vertices, used, &plane, axis, &unpaired);
        } else if (covered == used.size()) {
            facts = edgeFacts(document, vertexAt.data(), used, &plane, axis, &unpaired);
        } else {
            std::vector<const HostVertex*>().swap(vertexAt);
            facts = edgeFacts(document, used, &plane, axis, &unpaired);
        }
        input.edgeLength = facts.medianEdge;
    }

    std::size_t count = 0;
    for (const HostObject* object : targets) count += std::size_t(object->vertexCount);
    input.vertices.reserve(count);
    gathered.hostVertices.reserve(count);
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
            input.vertices.push_back(vertex);
            gathered.hostVertices.push_back(v);
        }
    }
    // The report numbers the targets' vertices in target order, as the run did.
    input.pairs = outcome.pairList;
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
