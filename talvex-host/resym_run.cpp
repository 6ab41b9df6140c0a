#include "resym_run.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <chrono>
#include <set>

#include "host_session.h"
#include "number_text.h"

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
            while (j + 1 < labels.size() && parseInteger(labels[j + 1], next) && next == first + std::int64_t(j + 1 - i))
                ++j;
        }
        if (!text.empty()) text += ", ";
        text += labels[i];
        if (j > i) text += (j == i + 1 ? ", " : "-") + labels[j];
        i = j + 1;
    }
    return text;
}

ResymOutcome runSmartResym(HostSession& session, const std::vector<HostObject*>& targets, const HostPlane& plane,
                           int axis) {
    hostsim::Host& host = session.host();
    std::map<const HostVertex*, Vector3> before;
    std::vector<const HostVertex*> order;
    for (HostObject* object : targets) {
        for (int i = 0; i < object->vertexCount; ++i) {
            const HostVertex* v = object->vertices[i];
            before.emplace(v, Vector3(v->x, v->y, v->z));
            order.push_back(v);
        }
    }

    std::map<const HostVertex*, std::string> labels;
    for (const SceneMesh& mesh : session.meshes()) {
        if (std::find(targets.begin(), targets.end(), mesh.object) == targets.end()) continue;
        for (int i = 0; i < mesh.object->vertexCount; ++i)
            labels[mesh.object->vertices[i]] = mesh.document >= 0 ? std::to_string(mesh.fileVertices[i] + 1)
                                                                  : mesh.name + ":" + std::to_string(i);
    }
    auto label = [&](const HostVertex* v) {
        auto it = labels.find(v);
        return it == labels.end() ? vertexLabel(session, v) : it->second;
    };

    session.selectObjects(targets);
    const std::size_t callsBefore = host.calls.size();
    const auto started = std::chrono::steady_clock::now();
    session.runCommand("Talvex Smart Resym");
    const double commandSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    bool registered = false;
    for (std::size_t c = callsBefore; c < host.calls.size(); ++c)
        registered = registered || host.calls[c].service == "registerEditedVertices";

    ResymOutcome outcome;
    outcome.commandSeconds = commandSeconds;
    std::set<const HostVertex*> paired;
    if (registered) {
        const std::vector<HostVertex*>& list = host.lastRegistered;
        outcome.pairs = static_cast<int>(list.size() / 2);
        double sum = 0.0;
        for (std::size_t k = 0; k + 1 < list.size(); k += 2) {
            paired.insert(list[k]);
            paired.insert(list[k + 1]);
            outcome.pairList.push_back({list[k], list[k + 1]});
            auto a = before.find(list[k]);
            auto b = before.find(list[k + 1]);
            if (a == before.end() || b == before.end()) continue;
            double image[3];
            plane.mirror(a->second, image);
            const double dx = double(b->second.x) - image[0];
            const double dy = double(b->second.y) - image[1];
            const double dz = double(b->second.z) - image[2];
            const double deviation = std::sqrt(dx * dx + dy * dy + dz * dz);
            sum += deviation;
            if (deviation > outcome.largestDeviation || outcome.largestPair.empty()) {
                outcome.largestDeviation = deviation;
                outcome.largestPair = label(list[k]) + " and " + label(list[k + 1]);
            }
        }
        if (outcome.pairs > 0) outcome.meanDeviation = sum / outcome.pairs;
    }

    for (const HostVertex* v : order) {
        const Vector3& old = before.at(v);
        if (std::memcmp(&old.x, &v->x, sizeof(float)) != 0 || std::memcmp(&old.y, &v->y, sizeof(float)) != 0 ||
            std::memcmp(&old.z, &v->z, sizeof(float)) != 0)
            ++outcome.movedVertices;
        const double dx = double(v->x) - old.x;
        const double dy = double(v->y) - old.y;
        const double dz = double(v->z) - old.z;
        if (std::sqrt(dx * dx + dy * dy + dz * dz) > kOnPlane) ++outcome.movedNoticeably;
        if (paired.count(v)) continue;
        const double distance = plane.signedDistance(old, axis);
        if (std::fabs(distance) <= kOnPlane) {
            ++outcome.onPlane;
            continue;
        }
        outcome.unpaired[distance > 0.0 ? 1 : 0].push_back(label(v));
        outcome.unpairedVertices.push_back(v);
    }
    session.selectObjects({});
    return outcome;
}

}  // namespace talvexhost
