#include "session/topology_run.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <ostream>

#include "io/number_text.h"
#include "pairing/centre_line.h"
#include "session/host_session.h"

namespace talvexhost {

bool parsePairingMode(const std::string& text, PairingMode& mode, std::string& error) {
    if (text == "position")
        mode = PairingMode::kPosition;
    else if (text == "topology")
        mode = PairingMode::kTopology;
    else if (text == "auto")
        mode = PairingMode::kAuto;
    else
        error = "--pairing takes position, topology or auto, not \"" + text + "\"";
    return error.empty();
}

namespace {

// The median length of each face's first side: the mesh's spacing, from a
// sample that takes no second reading of the faces.
double medianFirstEdge(const std::vector<ReportVertex>& vertices, const TopologyFaces& faces) {
    std::vector<double> lengths;
    lengths.reserve(faces.faceStart.size());
    for (std::size_t f = 0; f + 1 < faces.faceStart.size(); ++f) {
        const float* pa = vertices[std::size_t(faces.corners[faces.faceStart[f]])].position;
        const float* pb = vertices[std::size_t(faces.corners[faces.faceStart[f] + 1])].position;
        const double a[3] = {pa[0], pa[1], pa[2]};
        const double b[3] = {pb[0], pb[1], pb[2]};
        lengths.push_back(std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) +
                                    (a[2] - b[2]) * (a[2] - b[2])));
    }
    if (lengths.empty()) return 0.0;
    std::nth_element(lengths.begin(), lengths.begin() + lengths.size() / 2, lengths.end());
    return lengths[lengths.size() / 2];
}

}  // namespace

TopologyRun pairTargets(
    const HostSession& session, const std::vector<HostObject*>& targets, const HostPlane& plane,
    int axis, double tolerance, PairingMode mode,
    const std::vector<std::pair<const HostVertex*, const HostVertex*>>& positionalPairs) {
    const auto started = std::chrono::steady_clock::now();
    TopologyRun run;
    const MeshDocument& document = *session.documents()[0].document;
    std::vector<int> ordinalOfFile(std::size_t(document.vertexCount()), -1);
    std::vector<ReportVertex> vertices;
    // (vertex, ordinal) sorted by address: Smart Resym's pairs name vertices.
    std::vector<std::pair<const HostVertex*, int>> ordinalOf;
    for (HostObject* object : targets) {
        const SceneMesh* mesh = session.meshOf(object);
        for (int i = 0; i < object->vertexCount; ++i) {
            HostVertex* v = object->vertices[i];
            const int ordinal = static_cast<int>(run.vertices.size());
            const bool inFile = mesh != nullptr && mesh->document == 0;
            if (inFile) {
                ordinalOfFile[std::size_t(mesh->fileVertices[i])] = ordinal;
            }
            ordinalOf.push_back({v, ordinal});
            run.vertices.push_back(v);
            run.fileVertices.push_back(inFile ? mesh->fileVertices[i] : -1);
            ReportVertex vertex;
            vertex.position[0] = v->x;
            vertex.position[1] = v->y;
            vertex.position[2] = v->z;
            vertex.distance = plane.signedDistance(*v, axis);
            vertices.push_back(vertex);
        }
    }
    // The faces whose corners are all worked on, by ordinal (positions alone
    // need none).
    TopologyFaces faces;
    const bool walk = mode != PairingMode::kPosition;
    for (const MeshElement& element : walk ? document.elements() : std::vector<MeshElement>()) {
        if (element.kind != MeshElement::kFace) continue;
        bool inside = true;
        for (int v : element.vertices) inside = inside && ordinalOfFile[std::size_t(v)] >= 0;
        if (!inside) continue;
        for (int v : element.vertices) faces.corners.push_back(ordinalOfFile[std::size_t(v)]);
        faces.faceStart.push_back(static_cast<int>(faces.corners.size()));
    }
    TopologyOptions options;
    options.tolerance = tolerance;
    options.seedBand = 4.0 * medianFirstEdge(vertices, faces);
    const auto walked = std::chrono::steady_clock::now();
    if (walk) run.topology = pairByTopology(vertices, faces, plane, options);
    run.walkSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - walked).count();

    std::sort(ordinalOf.begin(), ordinalOf.end(), [](const auto& x, const auto& y) {
        return std::less<const HostVertex*>()(x.first, y.first);
    });
    auto find = [&](const HostVertex* v) {
        const auto it = std::lower_bound(ordinalOf.begin(), ordinalOf.end(), v,
                                         [](const auto& x, const HostVertex* key) {
                                             return std::less<const HostVertex*>()(x.first, key);
                                         });
        return it != ordinalOf.end() && it->first == v ? it->second : -1;
    };
    run.positional.assign(vertices.size(), -1);
    for (const auto& [a, b] : positionalPairs) {
        const int ia = find(a);
        const int ib = find(b);
        if (ia < 0 || ib < 0) continue;
        run.positional[std::size_t(ia)] = ib;
        run.positional[std::size_t(ib)] = ia;
    }
    // auto keeps the positional pairs that are certain; topology fills in.
    run.partner = mode == PairingMode::kAuto
                      ? fillWithTopology(certainPairs(vertices, plane, tolerance, run.positional),
                                         run.topology.partner)
                  : mode == PairingMode::kTopology ? run.topology.partner
                                                   : run.positional;
    for (std::size_t v = 0; v < run.partner.size(); ++v) {
        const int w = run.partner[v];
        if (w <= int(v)) continue;  // each pair once; a vertex on the plane is no pair
        ++run.pairs;
        const int p = run.positional[v];
        if (p == w)
            ++run.agreeing;
        else if (p >= 0)
            ++run.differing;
        else
            ++run.onlyHere;
    }
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return run;
}

std::vector<std::pair<int, int>> pairNumbers(const TopologyRun& run) {
    std::vector<std::pair<int, int>> pairs;
    for (std::size_t v = 0; v < run.partner.size(); ++v) {
        const int w = run.partner[v];
        if (w > int(v))
            pairs.push_back({run.fileVertices[v] + 1, run.fileVertices[std::size_t(w)] + 1});
    }
    return pairs;
}

void printTopologyRun(std::ostream& out, const TopologyRun& run, PairingMode mode) {
    const TopologyPairing& t = run.topology;
    int reached = 0;
    for (int p : run.partner) reached += p >= 0;
    out << "pairing: "
        << (mode == PairingMode::kAuto ? "auto (positions, filled by topology)" : "topology")
        << "\n"
        << "topology: " << run.pairs << " pairs; " << reached << " of " << run.vertices.size()
        << " vertices reached from " << t.seedPairs << " certain pairs and " << t.seedsOnPlane
        << " vertices on the plane\n"
        << "topology: " << run.agreeing << " pairs as Smart Resym found them by position, "
        << run.differing << " otherwise, " << run.onlyHere << " it did not find\n";
    if (t.piecesMatchedWhole > 0)
        out << "topology: " << t.piecesMatchedWhole
            << " pieces without a seed matched whole with their mirror piece\n";
    if (t.conflicts > 0)
        out << "topology: " << t.conflicts
            << " faces left where the two sides' connectivity disagrees\n";
    if (!t.unreachedPieces.empty()) {
        out << "topology: " << t.unreachedPieces.size() << " pieces not reached (";
        for (std::size_t i = 0; i < t.unreachedPieces.size() && i < 10; ++i)
            out << (i > 0 ? ", " : "") << t.unreachedPieces[i] << " vertices";
        out << (t.unreachedPieces.size() > 10 ? ", ...)\n" : ")\n");
    }
    out << "topology: paired in " << formatFixed(run.seconds, 3) << " s (the walk "
        << formatFixed(run.walkSeconds, 3) << " s, the rest reading the faces again)\n";
}

namespace {

bool place(HostVertex& v, const double p[3]) {
    const float x = static_cast<float>(p[0]);
    const float y = static_cast<float>(p[1]);
    const float z = static_cast<float>(p[2]);
    if (!(std::isfinite(x) && std::isfinite(y) && std::isfinite(z))) return false;
    const bool moved = x != v.x || y != v.y || z != v.z;
    v.x = x;
    v.y = y;
    v.z = z;
    return moved;
}

}  // namespace

std::pair<int, int> snapPairs(const TopologyRun& run, const HostPlane& plane, int axis,
                              bool axisPlane, int masterSign) {
    int moved[2] = {0, 0};
    auto count = [&](double distanceBefore) { ++moved[distanceBefore > 0.0 ? 1 : 0]; };
    for (std::size_t i = 0; i < run.partner.size(); ++i) {
        const int j = run.partner[i];
        HostVertex& a = *run.vertices[i];
        const bool aMarked = (a.flags & kVertexDoNotMove) != 0;
        const double da = plane.signedDistance(a, axis);
        if (j == int(i)) {
            if (aMarked) continue;
            const Vector3 foot = footOnPlane(plane, axis, axisPlane, a);
            const double p[3] = {foot.x, foot.y, foot.z};
            if (place(a, p)) count(da);
            continue;
        }
        if (j < int(i)) continue;
        HostVertex& b = *run.vertices[std::size_t(j)];
        const double db = plane.signedDistance(b, axis);
        const bool bMarked = (b.flags & kVertexDoNotMove) != 0;
        // The master side keeps its positions.
        const bool aMaster = aMarked || (masterSign != 0 && masterSign * da > 0.0);
        const bool bMaster = bMarked || (masterSign != 0 && masterSign * db > 0.0);
        if (aMaster && bMaster) continue;
        double image[3];
        if (aMaster) {
            plane.mirror(a, image);
            if (place(b, image)) count(db);
        } else if (bMaster) {
            plane.mirror(b, image);
            if (place(a, image)) count(da);
        } else {
            plane.mirror(a, image);
            const double halfway[3] = {0.5 * (image[0] + b.x), 0.5 * (image[1] + b.y),
                                       0.5 * (image[2] + b.z)};
            if (place(b, halfway)) count(db);
            plane.mirror(b, image);
            if (place(a, image)) count(da);
        }
    }
    return {moved[0], moved[1]};
}

}  // namespace talvexhost
