#include "session/resym_run.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

#include "io/number_text.h"
#include "io/ordered_work.h"
#include "pairing/centre_line.h"
#include "session/host_session.h"
#include "session/plugin_scale.h"

namespace talvexhost {

namespace {

// The plug-in's own thresholds for "off the plane" and "moved": the float 0.0001.
constexpr double kOnPlane = 0.0001f;

}  // namespace

std::string vertexLabel(const HostSession& session, const HostVertex* vertex) {
    for (const SceneMesh& mesh : session.meshes()) {
        for (int i = 0; i < mesh.object->vertexCount; ++i) {
            if (mesh.object->vertices[i] != vertex) continue;
            if (mesh.document >= 0) return std::to_string(mesh.fileVertices[i] + 1);
            return mesh.name + ":" + std::to_string(i);
        }
    }
    return "?";
}

std::string compactList(const std::vector<std::string>& labels) {
    std::string text;
    std::size_t i = 0;
    while (i < labels.size()) {
        std::int64_t first = 0;
        std::size_t j = i;
        if (parseInteger(labels[i], first)) {
            std::int64_t next = 0;
            while (j + 1 < labels.size() && parseInteger(labels[j + 1], next) &&
                   next == first + std::int64_t(j + 1 - i))
                ++j;
        }
        if (!text.empty()) text += ", ";
        text += labels[i];
        if (j > i) text += (j == i + 1 ? ", " : "-") + labels[j];
        i = j + 1;
    }
    return text;
}

std::string describeMasterRun(const ResymOutcome& outcome, int axis, int sign, bool would) {
    constexpr std::size_t kListed = 20;
    const int master = sign > 0 ? 1 : 0;
    const std::string masterName = std::string(sign > 0 ? "+" : "-") + char('x' + axis);
    const std::string otherName = std::string(sign > 0 ? "-" : "+") + char('x' + axis);
    const std::vector<std::string>& left = outcome.unpaired[1 - master];
    std::vector<std::string> shown(left.begin(),
                                   left.begin() + std::ptrdiff_t(std::min(left.size(), kListed)));
    std::string text = "master side: " + masterName + " (" + std::to_string(outcome.masterMarked) +
                       " vertices there keep their positions, the centre line aside)\n" +
                       (would ? "would move: " : "moved: ") +
                       std::to_string(outcome.movedBySide[1 - master]) + " on the " + otherName +
                       " side, " + std::to_string(outcome.movedBySide[master]) + " on the " +
                       masterName + " side\n" +
                       "left where they are: " + std::to_string(left.size()) +
                       " unpaired vertices on the " + otherName + " side";
    if (!left.empty()) text += " (" + compactList(shown);
    if (left.size() > shown.size())
        text += " and " + std::to_string(left.size() - shown.size()) + " more";
    return text + (left.empty() ? "\n" : ")\n");
}

namespace {

// The targets' vertices numbered 0..n-1 in target order, found again from
// their addresses: each object's vertices lie in one block (sim_scene), so
// an address maps to its number through the block it falls in.
class VertexOrdinals {
public:
    VertexOrdinals(const HostSession& session, const std::vector<HostObject*>& targets) {
        int first = 0;
        for (HostObject* object : targets) {
            const SceneMesh* mesh = session.meshOf(object);
            Block block{object->vertexCount > 0 ? object->vertices[0] : nullptr,
                        object->vertexCount, first, mesh, object};
            for (int i = 0; i < object->vertexCount; ++i) {
                if (object->vertices[i] != block.base + i) block.base = nullptr;
            }
            blocks_.push_back(block);
            first += object->vertexCount;
        }
        count_ = first;
        sorted_ = blocks_;
        std::sort(sorted_.begin(), sorted_.end(), [](const Block& a, const Block& b) {
            return std::less<const HostVertex*>()(a.base, b.base);
        });
    }

    int count() const { return count_; }

    // The vertex's number, or -1 when it is none of the targets'.
    int find(const HostVertex* v) const {
        auto it = std::upper_bound(sorted_.begin(), sorted_.end(), v,
                                   [](const HostVertex* p, const Block& b) {
                                       return std::less<const HostVertex*>()(p, b.base);
                                   });
        if (it != sorted_.begin()) {
            const Block& b = *(it - 1);
            if (b.base != nullptr && v < b.base + b.count)
                return b.first + static_cast<int>(v - b.base);
        }
        // An object whose vertices are not one block: search it.
        for (const Block& b : blocks_) {
            if (b.base != nullptr) continue;
            for (int i = 0; i < b.count; ++i)
                if (b.object->vertices[i] == v) return b.first + i;
        }
        return -1;
    }

    const HostVertex* vertex(int ordinal) const {
        const Block& b = blockOf(ordinal);
        return b.object->vertices[ordinal - b.first];
    }

    // The vertex's index in the first document, or -1.
    int fileVertex(int ordinal) const {
        const Block& b = blockOf(ordinal);
        if (b.mesh == nullptr || b.mesh->document != 0) return -1;
        return b.mesh->fileVertices[ordinal - b.first];
    }

    std::string label(int ordinal) const {
        const Block& b = blockOf(ordinal);
        const int i = ordinal - b.first;
        if (b.mesh != nullptr && b.mesh->document >= 0)
            return std::to_string(b.mesh->fileVertices[i] + 1);
        return (b.mesh != nullptr ? b.mesh->name : std::string("?")) + ":" + std::to_string(i);
    }

private:
    struct Block {
        const HostVertex* base;  // null when the vertices are not one block
        int count;
        int first;
        const SceneMesh* mesh;
        const HostObject* object;
    };
    const Block& blockOf(int ordinal) const {
        auto it = std::upper_bound(blocks_.begin(), blocks_.end(), ordinal,
                                   [](int o, const Block& b) { return o < b.first; });
        return *(it - 1);
    }

    std::vector<Block> blocks_;  // in target order
    std::vector<Block> sorted_;  // by address
    int count_ = 0;
};

// One flag per target vertex: seen in the undo record, or paired.
using Marks = std::vector<unsigned char>;

struct Moves {
    int moved = 0;
    int noticeably = 0;
    int bySide[2] = {0, 0};
    std::vector<int> which;  // ordinals of the moved vertices, when listed
};

// Counts the vertices that moved, from where they were before: the undo
// record the host keeps of every vertex registered for the edit (the plug-in
// moves no other), so no copy of the mesh is needed. A vertex registered
// twice counts from its first.
Moves countMoves(const hostsim::Host& host, std::size_t stepsBefore, const VertexOrdinals& ordinals,
                 const HostPlane& plane, int axis, bool list) {
    Marks seen(static_cast<std::size_t>(ordinals.count()), 0);
    Moves moves;
    for (std::size_t s = stepsBefore; s < host.undoSteps.size(); ++s) {
        const hostsim::EditStep& step = host.undoSteps[s];
        for (std::size_t i = 0; i < step.vertices.size(); ++i) {
            const HostVertex* v = step.vertices[i];
            const int k = ordinals.find(v);
            if (k < 0 || seen[k]) continue;
            seen[k] = 1;
            const hostsim::Point& old = step.positions[i];
            if (std::memcmp(&old.x, &v->x, sizeof(float)) != 0 ||
                std::memcmp(&old.y, &v->y, sizeof(float)) != 0 ||
                std::memcmp(&old.z, &v->z, sizeof(float)) != 0) {
                ++moves.moved;
                const Vector3 was(old.x, old.y, old.z);
                ++moves.bySide[plane.signedDistance(was, axis) > 0.0 ? 1 : 0];
                if (list) moves.which.push_back(k);
            }
            const double dx = double(v->x) - old.x;
            const double dy = double(v->y) - old.y;
            const double dz = double(v->z) - old.z;
            if (std::sqrt(dx * dx + dy * dy + dz * dz) > kOnPlane) ++moves.noticeably;
        }
    }
    return moves;
}

// The pairs are the last registered list, which closes the last step; each
// pair's deviation is measured from the positions before the edit.
void measurePairs(const hostsim::Host& host, const HostPlane& plane, const VertexOrdinals& ordinals,
                  bool keepPairs, Marks& paired, ResymOutcome& outcome) {
    HostVertex* const* list = host.lastRegistered.begin();
    const std::size_t listSize = host.lastRegistered.size();
    const hostsim::EditStep& step = host.undoSteps.back();
    const std::size_t offset =
        step.vertices.size() >= listSize ? step.vertices.size() - listSize : 0;
    outcome.pairs = static_cast<int>(listSize / 2);
    if (keepPairs) {
        outcome.pairList.reserve(listSize / 2);
        outcome.pairOrdinals.reserve(listSize / 2);
    }
    double sum = 0.0;
    for (std::size_t k = 0; k + 1 < listSize; k += 2) {
        const int a = ordinals.find(list[k]);
        const int b = ordinals.find(list[k + 1]);
        if (keepPairs) {
            outcome.pairList.push_back({list[k], list[k + 1]});
            if (a >= 0 && b >= 0) outcome.pairOrdinals.push_back({a, b});
        }
        if (a < 0 || b < 0 || offset + k + 1 >= step.vertices.size()) continue;
        paired[a] = 1;
        paired[b] = 1;
        const hostsim::Point& pa = step.positions[offset + k];
        const hostsim::Point& pb = step.positions[offset + k + 1];
        double image[3];
        plane.mirror(Vector3(pa.x, pa.y, pa.z), image);
        const double dx = double(pb.x) - image[0];
        const double dy = double(pb.y) - image[1];
        const double dz = double(pb.z) - image[2];
        const double deviation = std::sqrt(dx * dx + dy * dy + dz * dz);
        sum += deviation;
        if (deviation > outcome.largestDeviation || outcome.largestPair.empty()) {
            outcome.largestDeviation = deviation;
            outcome.largestPair = ordinals.label(a) + " and " + ordinals.label(b);
        }
    }
    if (outcome.pairs > 0) outcome.meanDeviation = sum / outcome.pairs;
}

// Unpaired vertices were not registered, so they are where they were.
void collectUnpaired(const HostPlane& plane, int axis, const VertexOrdinals& ordinals,
                     const Marks& paired, const ResymOptions& options, ResymOutcome& outcome) {
    std::vector<int> offPlane;
    for (int k = 0; k < ordinals.count(); ++k) {
        if (paired[k]) continue;
        const HostVertex* v = ordinals.vertex(k);
        if (std::fabs(plane.signedDistance(*v, axis)) <= kOnPlane)
            ++outcome.onPlane;
        else
            offPlane.push_back(k);
    }
    // The faces are read again only for a vertex beyond the tolerance, which
    // the edge rule alone can put on the plane.
    const bool centreLine = options.centreLine && !offPlane.empty();
    bool beyondTolerance = false;
    for (std::size_t i = 0; i < offPlane.size() && centreLine && !beyondTolerance; ++i) {
        const HostVertex* v = ordinals.vertex(offPlane[i]);
        beyondTolerance = (v->flags & kVertexDoNotMove) == 0 &&
                          !(std::fabs(plane.signedDistance(*v, axis)) < options.tolerance);
    }
    EdgeFacts facts;
    if (beyondTolerance && options.edgeFacts) facts = options.edgeFacts();
    for (int k : offPlane) {
        const HostVertex* v = ordinals.vertex(k);
        const double distance = plane.signedDistance(*v, axis);
        if (centreLine && (v->flags & kVertexDoNotMove) == 0) {
            const int file = ordinals.fileVertex(k);
            const bool bridges =
                file >= 0 && std::size_t(file) < facts.bridges.size() && facts.bridges[file];
            if (nearCentreLine(distance, options.tolerance, facts.medianEdge, bridges)) {
                outcome.centreLine.push_back(ordinals.label(k));
                outcome.centreLineVertices.push_back(const_cast<HostVertex*>(v));
                continue;
            }
        }
        outcome.unpaired[distance > 0.0 ? 1 : 0].push_back(ordinals.label(k));
        outcome.unpairedVertices.push_back(v);
    }
}

}  // namespace

double pairedShare(const ResymOutcome& outcome) {
    const int needing = verticesNeedingPartner(outcome);
    return needing > 0 ? double(needing - unpairedOffPlane(outcome)) / needing : 1.0;
}

int unpairedOffPlane(const ResymOutcome& outcome) {
    return static_cast<int>(outcome.unpaired[0].size() + outcome.unpaired[1].size());
}

int verticesNeedingPartner(const ResymOutcome& outcome) {
    return outcome.pairedVertices + unpairedOffPlane(outcome);
}

ResymOutcome runSmartResym(HostSession& session, const std::vector<HostObject*>& targets,
                           const HostPlane& plane, int axis, const ResymOptions& options) {
    hostsim::Host& host = session.host();
    const VertexOrdinals ordinals(session, targets);

    ResymOutcome outcome;
    if (options.scaleExponent != 0) {
        const double scaledGate = std::ldexp(kOnPlane, -options.scaleExponent);
        const double lo = std::min(kOnPlane, scaledGate);
        const double hi = std::max(kOnPlane, scaledGate);
        for (int k = 0; k < ordinals.count(); ++k) {
            const HostVertex* v = ordinals.vertex(k);
            const double d = std::fabs(plane.signedDistance(*v, axis));
            if (d > lo && d <= hi) ++outcome.betweenGates;
        }
    }
    std::vector<HostObject*> scaled = targets;
    if (options.planeObject != nullptr) scaled.push_back(options.planeObject);
    std::vector<HostVertex*> marked;
    if (options.masterSign != 0) {
        for (int k = 0; k < ordinals.count(); ++k) {
            HostVertex* v = const_cast<HostVertex*>(ordinals.vertex(k));
            if ((v->flags & kVertexDoNotMove) != 0 ||
                !(options.masterSign * plane.signedDistance(*v, axis) > 0.0))
                continue;
            v->flags |= kVertexDoNotMove;
            marked.push_back(v);
        }
        outcome.masterMarked = static_cast<int>(marked.size());
    }
    session.selectObjects(targets);
    const std::size_t callsBefore = host.calls.size();
    const std::size_t stepsBefore = host.undoSteps.size();
    scaleObjects(scaled, options.scaleExponent);
    const auto started = std::chrono::steady_clock::now();
    session.runCommand("Talvex Smart Resym");
    outcome.commandSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (options.afterCommand) options.afterCommand();
    scaleObjects(scaled, -options.scaleExponent);
    scaleUndoSteps(host, stepsBefore, -options.scaleExponent);
    // The marks served the command only: the centre line belongs to neither
    // side and goes onto the plane whichever side it strays to.
    for (HostVertex* v : marked) v->flags &= ~kVertexDoNotMove;
    bool registered = false;
    for (std::size_t c = callsBefore; c < host.calls.size(); ++c)
        registered = registered || host.calls[c].service == "registerEditedVertices";

    // Moves and pairs are measured side by side: both only read the record.
    auto moves = runBeside(
        [&] { return countMoves(host, stepsBefore, ordinals, plane, axis, options.listMoves); });
    Marks paired(static_cast<std::size_t>(ordinals.count()), 0);
    if (registered && host.undoSteps.size() > stepsBefore)
        measurePairs(host, plane, ordinals, options.keepPairs, paired, outcome);
    for (unsigned char p : paired) outcome.pairedVertices += p;
    collectUnpaired(plane, axis, ordinals, paired, options, outcome);
    Moves counted = moves.get();
    outcome.movedVertices = counted.moved;
    outcome.movedNoticeably = counted.noticeably;
    outcome.movedBySide[0] = counted.bySide[0];
    outcome.movedBySide[1] = counted.bySide[1];
    std::sort(counted.which.begin(), counted.which.end());
    for (int k : counted.which) outcome.movedLabels.push_back(ordinals.label(k));
    session.selectObjects({});
    return outcome;
}

}  // namespace talvexhost
