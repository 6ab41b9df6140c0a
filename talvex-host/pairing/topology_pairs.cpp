#include "pairing/topology_pairs.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <functional>
#include <memory>
#include <numeric>

namespace talvexhost {

namespace {

// The plug-in's "on the plane", model units.
constexpr double kOnPlane = 0.0001f;

// Corners as half-edges: corner c runs from its vertex to the next corner's.
class HalfEdges {
public:
    explicit HalfEdges(const TopologyFaces& faces, int vertexCount) : faces_(faces) {
        const int corners = static_cast<int>(faces.corners.size());
        faceOf_.resize(corners);
        for (int f = 0; f + 1 < static_cast<int>(faces.faceStart.size()); ++f)
            for (int c = faces.faceStart[f]; c < faces.faceStart[f + 1]; ++c) faceOf_[c] = f;
        // Outgoing corners per vertex (CSR): a half-edge is found by scanning
        // its start's few.
        outStart_.assign(std::size_t(vertexCount) + 1, 0);
        for (int v : faces.corners) ++outStart_[std::size_t(v) + 1];
        std::partial_sum(outStart_.begin(), outStart_.end(), outStart_.begin());
        out_.resize(corners);
        std::vector<int> fill(outStart_.begin(), outStart_.end() - 1);
        for (int c = 0; c < corners; ++c) out_[fill[faces.corners[c]]++] = c;
    }

    int face(int c) const { return faceOf_[c]; }
    int from(int c) const { return faces_.corners[c]; }
    int to(int c) const { return faces_.corners[next(c)]; }
    int size(int c) const { return faces_.faceStart[face(c) + 1] - faces_.faceStart[face(c)]; }
    // The corner `k` steps on (negative: back) in the same face.
    int step(int c, int k) const {
        const int first = faces_.faceStart[face(c)];
        const int n = size(c);
        return first + (((c - first + k) % n) + n) % n;
    }
    int next(int c) const { return step(c, 1); }
    // The half-edge from a to b, or -1.
    int find(int a, int b) const {
        for (int i = outStart_[a]; i < outStart_[a + 1]; ++i)
            if (to(out_[i]) == b) return out_[i];
        return -1;
    }
    template <typename Visit>
    void forEachOut(int v, Visit visit) const {
        for (int i = outStart_[v]; i < outStart_[v + 1]; ++i) visit(out_[i]);
    }

private:
    const TopologyFaces& faces_;
    std::vector<int> faceOf_;
    std::vector<int> outStart_;
    std::vector<int> out_;
};

// Some of the vertices in a grid, for the mirror images' candidates.
class NearIndex {
public:
    NearIndex(const std::vector<ReportVertex>& vertices, std::vector<int> chosen, double cell)
        : vertices_(vertices), ordinals_(std::move(chosen)) {
        subset_.reserve(ordinals_.size());
        for (int v : ordinals_) subset_.push_back(vertices[std::size_t(v)]);
        grid_ = std::make_unique<VertexGrid>(subset_, cell);
    }

    // The vertices of the other side within `tolerance` of v's mirror image.
    std::vector<int> candidates(const HostPlane& plane, int v, double tolerance) const {
        const ReportVertex& vertex = vertices_[std::size_t(v)];
        double image[3];
        const Vector3 p(static_cast<float>(vertex.position[0]),
                        static_cast<float>(vertex.position[1]),
                        static_cast<float>(vertex.position[2]));
        plane.mirror(p, image);
        std::vector<int> found;
        for (const Candidate& c : grid_->within(image, tolerance)) {
            const int w = ordinals_[std::size_t(c.vertex)];
            if (w != v && vertices_[std::size_t(w)].distance * vertex.distance <= 0.0)
                found.push_back(w);
        }
        return found;
    }

private:
    const std::vector<ReportVertex>& vertices_;
    std::vector<int> ordinals_;
    std::vector<ReportVertex> subset_;
    std::unique_ptr<VertexGrid> grid_;
};

// v and its one candidate, which has only v: a certain pair (-1 otherwise).
int mutualPartner(const NearIndex& index, const HostPlane& plane, int v, double tolerance) {
    const std::vector<int> found = index.candidates(plane, v, tolerance);
    if (found.size() != 1) return -1;
    const std::vector<int> back = index.candidates(plane, found[0], tolerance);
    return back.size() == 1 && back[0] == v ? found[0] : -1;
}

class Walk {
public:
    Walk(const std::vector<ReportVertex>& vertices, const TopologyFaces& faces,
         TopologyPairing& result)
        : edges_(faces, static_cast<int>(vertices.size())),
          result_(result),
          faceDone_(faces.faceStart.size() - 1, false) {}

    void seedFrom(int v) {
        const int a2 = result_.partner[v];
        edges_.forEachOut(v, [&](int h) {
            const int b = edges_.to(h);
            const int b2 = result_.partner[b];
            if (b2 < 0) return;
            const int h2 = edges_.find(b2, a2);
            if (h2 >= 0) queue_.push_back({h, h2});
        });
    }

    // Crosses the mesh from the seeds: half-edge h (u -> v) of face f answers
    // h2 (v' -> u') of f', so f read forwards from u answers f' read
    // backwards from u'.
    void run() {
        while (!queue_.empty()) {
            const auto [h, h2] = queue_.front();
            queue_.pop_front();
            const int f = edges_.face(h);
            const int f2 = edges_.face(h2);
            if (faceDone_[f] || faceDone_[f2]) continue;
            const int n = edges_.size(h);
            if (edges_.size(h2) != n) {
                ++result_.conflicts;
                continue;
            }
            const int u2 = edges_.next(h2);
            bool agrees = true;
            for (int k = 0; k < n && agrees; ++k) {
                const int x = edges_.from(edges_.step(h, k));
                const int y = edges_.from(edges_.step(u2, -k));
                agrees = (result_.partner[x] < 0 || result_.partner[x] == y) &&
                         (result_.partner[y] < 0 || result_.partner[y] == x);
            }
            if (!agrees) {
                ++result_.conflicts;
                continue;
            }
            faceDone_[f] = faceDone_[f2] = true;
            for (int k = 0; k < n; ++k) {
                const int c = edges_.step(h, k);
                const int c2 = edges_.step(u2, -k);
                const int x = edges_.from(c);
                const int y = edges_.from(c2);
                result_.partner[x] = y;
                result_.partner[y] = x;
                // Across the side x -> next of f lies the face answering the
                // one across the side of f' that runs to y.
                const int across = edges_.find(edges_.to(c), x);
                const int across2 = edges_.find(y, edges_.from(edges_.step(u2, -k - 1)));
                if (across >= 0 && across2 >= 0) queue_.push_back({across, across2});
            }
        }
    }

private:
    HalfEdges edges_;
    TopologyPairing& result_;
    std::vector<bool> faceDone_;
    struct Pending {
        int h;
        int h2;
    };
    std::deque<Pending> queue_;
};

// Pieces: vertices joined by faces (a union-find over the faces' corners).
std::vector<int> pieceOf(int vertexCount, const TopologyFaces& faces) {
    std::vector<int> parent(static_cast<std::size_t>(vertexCount));
    std::iota(parent.begin(), parent.end(), 0);
    std::function<int(int)> root = [&](int v) {
        while (parent[v] != v) v = parent[v] = parent[parent[v]];
        return v;
    };
    for (int f = 0; f + 1 < static_cast<int>(faces.faceStart.size()); ++f)
        for (int c = faces.faceStart[f] + 1; c < faces.faceStart[f + 1]; ++c)
            parent[root(faces.corners[c])] = root(faces.corners[faces.faceStart[f]]);
    for (int v = 0; v < vertexCount; ++v) parent[v] = root(v);
    return parent;
}

}  // namespace

TopologyPairing pairByTopology(const std::vector<ReportVertex>& vertices,
                               const TopologyFaces& faces, const HostPlane& plane,
                               const TopologyOptions& options) {
    TopologyPairing result;
    const int count = static_cast<int>(vertices.size());
    result.partner.assign(vertices.size(), -1);
    if (count == 0 || faces.faceStart.size() < 2) return result;
    const double tolerance = options.tolerance;
    const double cell = tolerance > 0.0 ? tolerance : 1.0;

    // Seeds that are certain: the plane's own vertices, and mutual
    // unambiguous positional pairs near it. Their candidates lie within the
    // band and the tolerance of the plane.
    std::vector<int> near;
    for (int v = 0; v < count; ++v)
        if (std::fabs(vertices[v].distance) < options.seedBand + tolerance) near.push_back(v);
    std::vector<int> seeds;
    {
        const NearIndex index(vertices, near, cell);
        for (int v : near) {
            const double d = std::fabs(vertices[v].distance);
            if (!(d < options.seedBand) && !(d <= kOnPlane)) continue;
            if (d <= kOnPlane || (d < tolerance && index.candidates(plane, v, tolerance).empty())) {
                result.partner[v] = v;
                ++result.seedsOnPlane;
                seeds.push_back(v);
                continue;
            }
            if (vertices[v].distance > 0.0) continue;
            const int w = mutualPartner(index, plane, v, tolerance);
            if (w < 0 || result.partner[w] >= 0) continue;
            result.partner[v] = w;
            result.partner[w] = v;
            ++result.seedPairs;
            seeds.push_back(v);
            seeds.push_back(w);
        }
    }
    Walk walk(vertices, faces, result);
    for (int v : seeds) walk.seedFrom(v);
    walk.run();

    // Pieces no seed reached: matched whole when every vertex has one mutual
    // partner within the tolerance, all in one other piece of the same size.
    const std::vector<int> piece = pieceOf(count, faces);
    std::vector<int> size(vertices.size(), 0);
    std::vector<bool> reached(vertices.size(), false);
    std::vector<bool> used(vertices.size(), false);
    for (int v : faces.corners) used[std::size_t(v)] = true;
    for (int v = 0; v < count; ++v) {
        if (!used[v]) continue;
        ++size[piece[v]];
        if (result.partner[v] >= 0) reached[piece[v]] = true;
    }
    std::vector<int> unreached;
    for (int v = 0; v < count; ++v)
        if (used[v] && !reached[piece[v]]) unreached.push_back(v);
    if (unreached.empty()) return result;
    // Each piece's vertices together, pieces in order of their first vertex.
    std::stable_sort(unreached.begin(), unreached.end(),
                     [&](int a, int b) { return piece[a] < piece[b]; });
    const NearIndex index(vertices, unreached, cell);
    for (std::size_t first = 0; first < unreached.size();) {
        const int p = piece[unreached[first]];
        std::size_t end = first;
        while (end < unreached.size() && piece[unreached[end]] == p) ++end;
        if (reached[p]) {
            first = end;
            continue;
        }
        std::vector<int> partners;
        int other = -1;
        for (std::size_t i = first; i < end; ++i) {
            const int w = mutualPartner(index, plane, unreached[i], tolerance);
            if (w < 0 || reached[piece[w]] || (other >= 0 && piece[w] != other)) break;
            other = piece[w];
            partners.push_back(w);
        }
        if (partners.size() != end - first || size[other] != size[p]) {
            result.unreachedPieces.push_back(size[p]);
            first = end;
            continue;
        }
        for (std::size_t i = first; i < end; ++i) {
            result.partner[unreached[i]] = partners[i - first];
            result.partner[partners[i - first]] = unreached[i];
        }
        reached[p] = reached[other] = true;
        ++result.piecesMatchedWhole;
        first = end;
    }
    std::sort(result.unreachedPieces.rbegin(), result.unreachedPieces.rend());
    return result;
}

std::vector<int> certainPairs(const std::vector<ReportVertex>& vertices, const HostPlane& plane,
                              double tolerance, const std::vector<int>& pairs) {
    std::vector<int> all(vertices.size());
    std::iota(all.begin(), all.end(), 0);
    const NearIndex index(vertices, all, tolerance > 0.0 ? tolerance : 1.0);
    std::vector<int> certain(pairs.size(), -1);
    for (std::size_t v = 0; v < pairs.size(); ++v) {
        const int w = pairs[v];
        if (w > int(v) && mutualPartner(index, plane, int(v), tolerance) == w) {
            certain[v] = w;
            certain[std::size_t(w)] = int(v);
        }
    }
    return certain;
}

std::vector<int> fillWithTopology(const std::vector<int>& positional,
                                  const std::vector<int>& topological) {
    std::vector<int> filled = positional;
    for (std::size_t v = 0; v < filled.size(); ++v) {
        const int t = topological[v];
        if (filled[v] >= 0 || t < 0 || filled[std::size_t(t)] >= 0) continue;
        filled[v] = t;
        filled[std::size_t(t)] = static_cast<int>(v);
    }
    return filled;
}

}  // namespace talvexhost
