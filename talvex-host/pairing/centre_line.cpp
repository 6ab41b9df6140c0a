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
// it is empty), noting the zero-length ones not at all; positionOf(v) gives
// document vertex v's position. Only the median is wanted of them, so once
// a sample is in, only the lengths in the middle of the sample's spread are
// kept and the others counted: on a mesh of even spacing about half of them.
template <class PositionOf>
struct EdgeLengths {
    EdgeLengths(const PositionOf& positions, std::size_t vertices,
                const std::vector<bool>& usedOnes, bool everyLength = false)
        : positionOf(positions), vertexCount(vertices), used(usedOnes), keepAll(everyLength) {}

    const PositionOf& positionOf;
    std::size_t vertexCount;
    const std::vector<bool>& used;
    bool keepAll;                 // keep every length (the window missed the median)
    std::vector<double> lengths;  // squared
    std::size_t counted = 0;      // every length, kept or not
    std::size_t below = 0;        // lengths under the window, not kept
    bool windowed = false;
    double low = 0.0;
    double high = 0.0;

    // The sample the window is taken from, and its share on either side of it.
    static constexpr std::size_t kSample = std::size_t(1) << 16;
    static constexpr double kOutside = 0.25;

    bool counts(const MeshEdge& edge) const {
        return used.empty() || (used[edge.a] && used[edge.b]);
    }
    void add(const MeshEdge& edge) {
        if (counts(edge)) add(positionOf(edge.a), positionOf(edge.b));
    }
    void add(const MeshPosition& pa, const MeshPosition& pb) {
        const double dx = double(pa.x) - pb.x;
        const double dy = double(pa.y) - pb.y;
        const double dz = double(pa.z) - pb.z;
        // Squares are kept and the median's root taken at the end: the root
        // keeps the order, so it is the same median without a root an edge.
        const double length = dx * dx + dy * dy + dz * dz;
        if (!(length > 0.0)) return;
        ++counted;
        if (windowed) {
            if (length < low)
                ++below;
            else if (length <= high)
                lengths.push_back(length);
            return;
        }
        lengths.push_back(length);
        if (!keepAll && lengths.size() == kSample) narrow();
    }
    // From here on only the lengths between the sample's quartiles are kept.
    void narrow() {
        std::vector<double> sample(lengths);
        const auto at = [&sample](std::size_t k) {
            std::nth_element(sample.begin(), sample.begin() + std::ptrdiff_t(k), sample.end());
            return sample[k];
        };
        low = at(std::size_t(double(kSample) * kOutside));
        high = at(std::size_t(double(kSample) * (1.0 - kOutside)));
        below = std::size_t(
            std::count_if(lengths.begin(), lengths.end(), [this](double l) { return l < low; }));
        lengths.erase(std::remove_if(lengths.begin(), lengths.end(),
                                     [this](double l) { return l < low || l > high; }),
                      lengths.end());
        windowed = true;
    }
    // Room for four edges a used vertex, as a quad mesh has (each shared
    // edge counted from both faces): grown a step at a time, the lengths of
    // a million-vertex mesh would pass through a copy half again their size.
    // Pages never written are never taken.
    void reserveForQuads() {
        const std::size_t vertices =
            used.empty() ? vertexCount : std::size_t(std::count(used.begin(), used.end(), true));
        lengths.reserve(4 * vertices);
    }
    // The median into `median`; false when it lies outside the window, and
    // then the lengths must be read again, every one kept.
    bool median(double& median) {
        median = 0.0;
        if (counted == 0) return true;
        const std::size_t k = counted / 2;
        if (k < below || k - below >= lengths.size()) return false;
        const auto nth = lengths.begin() + std::ptrdiff_t(k - below);
        std::nth_element(lengths.begin(), nth, lengths.end());
        median = std::sqrt(*nth);
        return true;
    }
};

// The median of what `lengths` saw from the document's edges, which are read
// again, every length kept, when its window missed.
template <class PositionOf>
double medianOf(EdgeLengths<PositionOf>& lengths, const MeshDocument& document) {
    double median = 0.0;
    if (lengths.median(median)) return median;
    std::vector<double>().swap(lengths.lengths);
    EdgeLengths<PositionOf> all(lengths.positionOf, lengths.vertexCount, lengths.used, true);
    all.reserveForQuads();
    document.forEachEdgeRun([&all](const MeshEdge* edges, std::size_t count) {
        for (std::size_t k = 0; k < count; ++k) all.add(edges[k]);
    });
    all.median(median);
    return median;
}

// HostPlane::signedDistance's own sums, with the normal's length worked out
// once rather than for each of millions of edge ends.
class PlaneDistance {
public:
    PlaneDistance(const HostPlane& plane, int axis)
        : plane_(plane),
          length_(std::sqrt(plane.normal[0] * plane.normal[0] + plane.normal[1] * plane.normal[1] +
                            plane.normal[2] * plane.normal[2])),
          flip_(plane.normal[axis] < 0.0) {}
    double operator()(const MeshPosition& p) const noexcept {
        const double* n = plane_.normal;
        const double* c = plane_.pivot;
        const double d[3] = {double(p.x) - c[0], double(p.y) - c[1], double(p.z) - c[2]};
        const double dot = n[0] * d[0] + n[1] * d[1] + n[2] * d[2];
        // Dividing by one changes nothing, and the usual normal is a unit axis.
        const double along = length_ == 1.0 ? dot : dot / length_;
        return flip_ ? -along : along;
    }

private:
    const HostPlane& plane_;
    double length_;
    bool flip_;
};

template <class PositionOf>
EdgeFacts edgeFactsWith(const MeshDocument& document, const PositionOf& positionOf,
                        const std::vector<bool>& used, const HostPlane* plane, int axis,
                        const std::vector<bool>* wanted) {
    const std::size_t count = static_cast<std::size_t>(document.vertexCount());
    // Distances are worked out per edge end rather than kept per vertex
    // when only a few vertices are asked about (a million distances took
    // more memory than the time they saved). Asked about every vertex, each
    // one's is worked out once rather than at each end of its edges, some
    // eight times as often.
    const HostPlane none{};
    const PlaneDistance distanceOf(plane != nullptr ? *plane : none, axis);
    std::vector<double> distances(plane != nullptr && wanted == nullptr ? count : 0);
    for (std::size_t v = 0; v < distances.size(); ++v)
        distances[v] = distanceOf(positionOf(static_cast<int>(v)));
    const auto distance = [&](int v, const MeshPosition& p) {
        return distances.empty() ? distanceOf(p) : distances[std::size_t(v)];
    };
    // Bit 0: a neighbour on the vertex's own side, farther out; bit 1: one
    // on the other side, farther from the plane than the vertex.
    std::vector<unsigned char> seen(plane != nullptr ? count : 0, 0);
    // Without branches: which way each test goes is a coin toss on a mesh.
    auto note = [&](int v, double dv, double dw) {
        const unsigned farther = std::fabs(dw) <= std::fabs(dv) ? 0u : 1u;
        const unsigned side = (dv > 0.0) == (dw > 0.0) ? 1u : 2u;
        seen[v] = static_cast<unsigned char>(seen[v] | (side * farther));
    };
    EdgeLengths<PositionOf> lengths(positionOf, count, used);
    lengths.reserveForQuads();
    const auto take = [&](const MeshEdge& edge) {
        const MeshPosition pa = positionOf(edge.a);
        const MeshPosition pb = positionOf(edge.b);
        // Most vertices are paired, and only unpaired ones are asked about.
        const bool forA = plane != nullptr && (wanted == nullptr || (*wanted)[edge.a]);
        const bool forB = plane != nullptr && (wanted == nullptr || (*wanted)[edge.b]);
        if (forA || forB) {
            const double da = distance(edge.a, pa);
            const double db = distance(edge.b, pb);
            if (forA) note(edge.a, da, db);
            if (forB) note(edge.b, db, da);
        }
        if (lengths.counts(edge)) lengths.add(pa, pb);
    };
    document.forEachEdgeRun([&take](const MeshEdge* edges, std::size_t run) {
        for (std::size_t k = 0; k < run; ++k) take(edges[k]);
    });
    EdgeFacts facts;
    facts.bridges.resize(seen.size());
    for (std::size_t v = 0; v < seen.size(); ++v) facts.bridges[v] = seen[v] == 3;
    std::vector<unsigned char>().swap(seen);
    std::vector<double>().swap(distances);
    facts.medianEdge = medianOf(lengths, document);
    return facts;
}

}  // namespace

EdgeFacts edgeFacts(const MeshDocument& document, const std::vector<bool>& used,
                    const HostPlane* plane, int axis, const std::vector<bool>* bridgesWanted) {
    const std::size_t count = static_cast<std::size_t>(document.vertexCount());
    std::vector<MeshPosition> positions(count);
    for (std::size_t v = 0; v < count; ++v) positions[v] = document.position(static_cast<int>(v));
    return edgeFacts(document, positions, used, plane, axis, bridgesWanted);
}

EdgeFacts edgeFacts(const MeshDocument& document, const std::vector<MeshPosition>& positions,
                    const std::vector<bool>& used, const HostPlane* plane, int axis,
                    const std::vector<bool>* bridgesWanted) {
    return edgeFactsWith(
        document, [&positions](int v) { return positions[v]; }, used, plane, axis, bridgesWanted);
}

EdgeFacts edgeFacts(const MeshDocument& document, const HostVertex* const* vertexAt,
                    const std::vector<bool>& used, const HostPlane* plane, int axis,
                    const std::vector<bool>* bridgesWanted) {
    return edgeFactsWith(
        document,
        [vertexAt](int v) {
            const HostVertex& p = *vertexAt[v];
            return MeshPosition{p.x, p.y, p.z};
        },
        used, plane, axis, bridgesWanted);
}

double medianEdgeLength(const MeshDocument& document, const std::vector<MeshPosition>& positions,
                        const std::vector<bool>& used) {
    const auto positionOf = [&positions](int v) { return positions[v]; };
    EdgeLengths<decltype(positionOf)> lengths(positionOf, positions.size(), used);
    lengths.reserveForQuads();
    document.forEachEdgeRun([&lengths](const MeshEdge* edges, std::size_t count) {
        for (std::size_t k = 0; k < count; ++k) lengths.add(edges[k]);
    });
    return medianOf(lengths, document);
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
