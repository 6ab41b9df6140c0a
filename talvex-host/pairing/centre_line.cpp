#include "pairing/centre_line.h"

#include <algorithm>
#include <cmath>

namespace talvexhost {

namespace {

// The plug-in's own "on the plane": the float 0.0001.
constexpr double kOnPlane = 0.0001f;

}  // namespace

bool nearCentreLine(double distance, double tolerance, double edgeLength, bool bridges) noexcept {
    const double d = std::fabs(distance);
    if (!(d > kOnPlane)) return false;
    return d < tolerance || (bridges && d < 0.5 * edgeLength);
}

double medianEdgeLength(const MeshDocument& document, const std::vector<bool>& used) {
    return edgeFacts(document, used, nullptr, 0).medianEdge;
}

std::vector<bool> bridgesPlane(const MeshDocument& document, const HostPlane& plane, int axis) {
    return edgeFacts(document, {}, &plane, axis).bridges;
}

namespace {

// The lengths of the edges whose two ends are both `used` (every edge when
// it is empty), noting the zero-length ones not at all.
struct EdgeLengths {
    const std::vector<MeshPosition>& positions;
    const std::vector<bool>& used;
    std::vector<double> lengths;

    void add(const MeshEdge& edge) {
        if (!used.empty() && (!used[edge.a] || !used[edge.b])) return;
        const MeshPosition& pa = positions[edge.a];
        const MeshPosition& pb = positions[edge.b];
        const double dx = double(pa.x) - pb.x;
        const double dy = double(pa.y) - pb.y;
        const double dz = double(pa.z) - pb.z;
        const double length = std::sqrt(dx * dx + dy * dy + dz * dz);
        if (length > 0.0) lengths.push_back(length);
    }
    double median() {
        if (lengths.empty()) return 0.0;
        std::nth_element(lengths.begin(), lengths.begin() + lengths.size() / 2, lengths.end());
        return lengths[lengths.size() / 2];
    }
};

}  // namespace

EdgeFacts edgeFacts(const MeshDocument& document, const std::vector<bool>& used,
                    const HostPlane* plane, int axis) {
    const std::size_t count = static_cast<std::size_t>(document.vertexCount());
    std::vector<MeshPosition> positions(count);
    for (std::size_t v = 0; v < count; ++v) positions[v] = document.position(static_cast<int>(v));
    std::vector<double> distance(plane != nullptr ? count : 0);
    for (std::size_t v = 0; v < distance.size(); ++v) {
        const MeshPosition& p = positions[v];
        distance[v] = plane->signedDistance(Vector3(p.x, p.y, p.z), axis);
    }
    // Bit 0: a neighbour on the vertex's own side, farther out; bit 1: one
    // on the other side, farther from the plane than the vertex.
    std::vector<unsigned char> seen(distance.size(), 0);
    auto note = [&](int v, int w) {
        const double dv = distance[v];
        const double dw = distance[w];
        if (std::fabs(dw) <= std::fabs(dv)) return;
        seen[v] |= (dv > 0.0) == (dw > 0.0) ? 1 : 2;
    };
    EdgeLengths lengths{positions, used, {}};
    document.forEachEdge([&](const MeshEdge& edge) {
        if (plane != nullptr) {
            note(edge.a, edge.b);
            note(edge.b, edge.a);
        }
        lengths.add(edge);
    });
    EdgeFacts facts;
    facts.medianEdge = lengths.median();
    facts.bridges.resize(seen.size());
    for (std::size_t v = 0; v < seen.size(); ++v) facts.bridges[v] = seen[v] == 3;
    return facts;
}

double medianEdgeLength(const MeshDocument& document, const std::vector<MeshPosition>& positions,
                        const std::vector<bool>& used) {
    EdgeLengths lengths{positions, used, {}};
    document.forEachEdge([&](const MeshEdge& edge) { lengths.add(edge); });
    return lengths.median();
}

Vector3 footOnPlane(const HostPlane& plane, int axis, bool axisPlane, const Vector3& p) noexcept {
    if (axisPlane) {
        Vector3 foot = p;
        const float at = static_cast<float>(plane.pivot[axis]);
        (axis == 0 ? foot.x : axis == 1 ? foot.y : foot.z) = at;
        return foot;
    }
    const double* n = plane.normal;
    const double nn = n[0] * n[0] + n[1] * n[1] + n[2] * n[2];
    const double d[3] = {double(p.x) - plane.pivot[0], double(p.y) - plane.pivot[1],
                         double(p.z) - plane.pivot[2]};
    const double t = (n[0] * d[0] + n[1] * d[1] + n[2] * d[2]) / nn;
    return Vector3(static_cast<float>(double(p.x) - t * n[0]),
                   static_cast<float>(double(p.y) - t * n[1]),
                   static_cast<float>(double(p.z) - t * n[2]));
}

}  // namespace talvexhost
