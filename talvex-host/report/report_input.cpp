#include "report/report_input.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <utility>

#include "io/ordered_work.h"
#include "pairing/centre_line.h"
#include "session/batch_setup.h"
#include "session/host_session.h"

namespace talvexhost {

namespace {

// Fewer vertices than this are gathered on one core: a thread would cost
// more than it saves.
constexpr std::size_t kVerticesWorthAThread = 50000;

// The first document's vertices behind the targets.
struct FileVertices {
    // The document vertex of each target vertex, in target order (the
    // numbering of the run's pairs); -1 for one from no file.
    std::vector<int> fileOf;
    std::vector<bool> used;   // by document vertex
    std::size_t covered = 0;  // how many document vertices are used
};

FileVertices fileVerticesOf(const HostSession& session, const std::vector<HostObject*>& targets,
                            std::size_t count) {
    FileVertices file;
    std::size_t targetVertices = 0;
    for (const HostObject* target : targets) targetVertices += std::size_t(target->vertexCount);
    file.fileOf.reserve(targetVertices);
    for (const HostObject* target : targets) {
        const SceneMesh* mesh = session.meshOf(target);
        for (int i = 0; i < target->vertexCount; ++i)
            file.fileOf.push_back(mesh != nullptr && mesh->document == 0 ? mesh->fileVertices[i]
                                                                         : -1);
    }
    file.used.assign(count, false);
    for (int v : file.fileOf) {
        if (v < 0 || file.used[v]) continue;
        file.used[v] = true;
        ++file.covered;
    }
    return file;
}

}  // namespace

bool EdgeFactsAhead::prepare(const HostSession& session, const std::vector<HostObject*>& targets,
                             const HostPlane& plane, int axis) {
    if (session.documents().empty()) return false;
    const MeshDocument& document = *session.documents()[0].document;
    const std::size_t count = static_cast<std::size_t>(document.vertexCount());
    FileVertices file = fileVerticesOf(session, targets, count);
    if (file.covered != count) return false;
    positions_.resize(count);
    std::size_t k = 0;
    for (const HostObject* target : targets) {
        for (int i = 0; i < target->vertexCount; ++i, ++k) {
            if (file.fileOf[k] < 0) continue;
            const HostVertex& v = *target->vertices[i];
            positions_[std::size_t(file.fileOf[k])] = MeshPosition{v.x, v.y, v.z};
        }
    }
    // Every vertex is used: the lengths need not ask.
    document_ = &document;
    plane_ = plane;
    axis_ = axis;
    return true;
}

std::vector<std::uint64_t> EdgeFactsAhead::blocks(std::uint64_t vertices) {
    return {vertices * sizeof(MeshPosition), 4 * vertices * sizeof(double), vertices,
            std::uint64_t(8) << 20};
}

void EdgeFactsAhead::work() {
    facts_ = edgeFacts(*document_, positions_, {}, &plane_, axis_);
    std::vector<MeshPosition>().swap(positions_);
    done_ = true;
}

GatheredInput gatherReportInput(const HostSession& session, const std::vector<HostObject*>& targets,
                                const ResymOutcome& outcome, const HostPlane& plane, int axis,
                                bool centreLine, const EdgeFacts* ahead) {
    GatheredInput gathered;
    ReportInput& input = gathered.input;
    input.plane = plane;
    input.severalObjects = targets.size() > 1;
    // The edge facts first: the faces they read are gone before the
    // report's vertices are built.
    EdgeFacts facts;
    if (centreLine && ahead != nullptr) {
        input.edgeLength = ahead->medianEdge;
    } else if (centreLine && !session.documents().empty()) {
        const MeshDocument& document = *session.documents()[0].document;
        const std::size_t count = static_cast<std::size_t>(document.vertexCount());
        FileVertices file = fileVerticesOf(session, targets, count);
        std::vector<int>& fileOf = file.fileOf;
        // Only an unpaired vertex is asked whether it bridges the plane.
        std::vector<bool> unpaired(count, true);
        for (const auto& [a, b] : outcome.pairOrdinals) {
            if (fileOf[a] >= 0) unpaired[fileOf[a]] = false;
            if (fileOf[b] >= 0) unpaired[fileOf[b]] = false;
        }
        // The scene's positions are the document's (the caller has undone
        // any edit); when they cover every vertex of the document, they are
        // taken rather than read from its text again, straight from the
        // object's own vertex list when it is the file's in order.
        const HostObject* inOrder = nullptr;
        if (targets.size() == 1 && std::size_t(targets[0]->vertexCount) == count) {
            bool same = true;
            for (std::size_t i = 0; i < count && same; ++i) same = fileOf[i] == int(i);
            if (same) inOrder = targets[0];
        }
        if (inOrder != nullptr) {
            std::vector<int>().swap(fileOf);
            facts = edgeFacts(document, inOrder->vertices, file.used, &plane, axis, &unpaired);
        } else if (file.covered == count) {
            std::vector<const HostVertex*> vertexAt(count, nullptr);
            std::size_t k = 0;
            for (const HostObject* target : targets)
                for (int i = 0; i < target->vertexCount; ++i, ++k)
                    if (fileOf[k] >= 0) vertexAt[fileOf[k]] = target->vertices[i];
            std::vector<int>().swap(fileOf);
            facts = edgeFacts(document, vertexAt.data(), file.used, &plane, axis, &unpaired);
        } else {
            std::vector<int>().swap(fileOf);
            facts = edgeFacts(document, file.used, &plane, axis, &unpaired);
        }
        input.edgeLength = facts.medianEdge;
    }

    // Each vertex's record is its own, read from its host vertex alone: the
    // second half of them are made on another core while this one makes
    // the first.
    // The meshes are looked up here, once: the session counts its lookups.
    std::vector<std::size_t> startOf(targets.size() + 1, 0);
    std::vector<const SceneMesh*> meshes(targets.size());
    for (std::size_t t = 0; t < targets.size(); ++t) {
        startOf[t + 1] = startOf[t] + std::size_t(targets[t]->vertexCount);
        meshes[t] = session.meshOf(targets[t]);
    }
    const std::size_t count = startOf.back();
    input.vertices.resize(count);
    gathered.hostVertices.resize(count);
    gathered.objects.assign(targets.begin(), targets.end());
    // The box is taken as the records are made, each half its own, the
    // halves' joined after: the same least and greatest coordinates as one
    // pass over the targets (boxDiagonal) finds.
    struct Box {
        double lo[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL};
        double hi[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    };
    const auto make = [&](std::size_t begin, std::size_t end) {
        Box box;
        for (std::size_t t = 0; t < targets.size(); ++t) {
            const std::size_t from = std::max(begin, startOf[t]);
            const std::size_t to = std::min(end, startOf[t + 1]);
            if (from >= to) continue;
            const SceneMesh* mesh = meshes[t];
            const bool numbered = mesh != nullptr && mesh->document == 0;
            for (std::size_t k = from; k < to; ++k) {
                const std::size_t i = k - startOf[t];
                const HostVertex* v = targets[t]->vertices[i];
                ReportVertex& vertex = input.vertices[k];
                vertex.number = numbered ? mesh->fileVertices[i] + 1 : 0;
                vertex.object = static_cast<int>(t);
                vertex.position[0] = v->x;
                vertex.position[1] = v->y;
                vertex.position[2] = v->z;
                const double p[3] = {v->x, v->y, v->z};
                for (int a = 0; a < 3; ++a) {
                    box.lo[a] = std::min(box.lo[a], p[a]);
                    box.hi[a] = std::max(box.hi[a], p[a]);
                }
                vertex.distance = plane.signedDistance(*v, axis);
                if (vertex.number > 0 && centreLine && !facts.bridges.empty())
                    vertex.bridgesPlane = facts.bridges[std::size_t(vertex.number - 1)];
                gathered.hostVertices[k] = v;
            }
        }
        return box;
    };
    Box box;
    if (count >= kVerticesWorthAThread) {
        auto second = runBeside([&make, count] { return make(count / 2, count); });
        box = make(0, count / 2);
        const Box other = second.get();
        for (int a = 0; a < 3; ++a) {
            box.lo[a] = std::min(box.lo[a], other.lo[a]);
            box.hi[a] = std::max(box.hi[a], other.hi[a]);
        }
    } else {
        box = make(0, count);
    }
    if (count > 0) {
        const double d[3] = {box.hi[0] - box.lo[0], box.hi[1] - box.lo[1], box.hi[2] - box.lo[2]};
        input.diagonal = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    }
    // The facts worked out ahead hold every vertex's bridges: only an
    // unpaired one's are asked, as above, the others' told as false.
    if (centreLine && ahead != nullptr && !ahead->bridges.empty()) {
        std::vector<bool> unpaired(ahead->bridges.size(), true);
        for (const auto& [a, b] : outcome.pairOrdinals) {
            for (const int k : {a, b}) {
                const int number = input.vertices[std::size_t(k)].number;
                if (number > 0) unpaired[std::size_t(number - 1)] = false;
            }
        }
        for (ReportVertex& vertex : input.vertices) {
            const std::size_t v = std::size_t(vertex.number - 1);
            if (vertex.number > 0) vertex.bridgesPlane = unpaired[v] && ahead->bridges[v];
        }
    }
    // The report numbers the targets' vertices in target order, as the run did.
    input.pairs = outcome.pairOrdinals;
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
