#include "edit/half_mesh.h"

#include <cmath>
#include <cstring>
#include <unordered_map>

namespace talvexhost {

int countFaces(const HalfMeshInput& mesh) {
    int faces = 0;
    for (const EditElement& element : mesh.elements) faces += element.kind == EditElement::kFace;
    return faces;
}

namespace {

// A corner while the kept half is assembled: a vertex, texture coordinate
// or normal is an input index (>= 0), one made at a cut (kCutBase - k), or
// none (-1).
constexpr int kNone = -1;
constexpr int kCutBase = -2;
int cutRef(int k) {
    return kCutBase - k;
}
int cutIndex(int ref) {
    return kCutBase - ref;
}

struct PairKey {
    std::uint64_t a;
    std::uint64_t b;
    bool operator==(const PairKey& o) const { return a == o.a && b == o.b; }
};
struct PairHash {
    std::size_t operator()(const PairKey& k) const {
        return std::hash<std::uint64_t>()(k.a * 0x9E3779B97F4A7C15ull ^ k.b);
    }
};
std::uint64_t pack(int high, int low) {
    return (std::uint64_t(std::uint32_t(high)) << 32) | std::uint32_t(low);
}

// Double arithmetic on float storage: widened on reading, rounded once on
// writing.
struct Plane {
    const HalfPlane& p;
    // Signed distance, positive on the kept side; exact for an axis plane.
    double distance(const EditVector& v) const {
        const double along = p.axis >= 0 ? double(v.v[p.axis]) - p.offset
                                         : p.normal[0] * v.v[0] + p.normal[1] * v.v[1] +
                                               p.normal[2] * v.v[2] - p.offset;
        return p.keep > 0 ? along : -along;
    }
    // `q` (double) moved onto the plane along its normal, rounded to float;
    // for an axis plane only that coordinate changes, to the plane's.
    EditVector onto(const double q[3]) const {
        EditVector out;
        if (p.axis >= 0) {
            for (int k = 0; k < 3; ++k) out.v[k] = static_cast<float>(q[k]);
            out.v[p.axis] = static_cast<float>(p.offset);
            return out;
        }
        const double d = p.normal[0] * q[0] + p.normal[1] * q[1] + p.normal[2] * q[2] - p.offset;
        for (int k = 0; k < 3; ++k) out.v[k] = static_cast<float>(q[k] - d * p.normal[k]);
        return out;
    }
    EditVector mirror(const EditVector& v) const {
        EditVector out = v;
        if (p.axis >= 0) {
            out.v[p.axis] = static_cast<float>(2.0 * p.offset - double(v.v[p.axis]));
            return out;
        }
        const double d =
            p.normal[0] * v.v[0] + p.normal[1] * v.v[1] + p.normal[2] * v.v[2] - p.offset;
        for (int k = 0; k < 3; ++k) out.v[k] = static_cast<float>(v.v[k] - 2.0 * d * p.normal[k]);
        return out;
    }
    // A direction mirrored: the plane's offset plays no part.
    EditVector mirrorDirection(const EditVector& v) const {
        EditVector out = v;
        if (p.axis >= 0) {
            out.v[p.axis] = 0.0f - v.v[p.axis];  // a zero stays +0, not -0
            return out;
        }
        const double d = p.normal[0] * v.v[0] + p.normal[1] * v.v[1] + p.normal[2] * v.v[2];
        for (int k = 0; k < 3; ++k) out.v[k] = static_cast<float>(v.v[k] - 2.0 * d * p.normal[k]);
        return out;
    }
};

bool sameBits(const EditVector& a, const EditVector& b) {
    return std::memcmp(a.v, b.v, sizeof a.v) == 0;
}

EditVector lerp(const EditVector& a, const EditVector& b, double t) {
    EditVector out;
    for (int k = 0; k < 3; ++k)
        out.v[k] = static_cast<float>(double(a.v[k]) + t * (double(b.v[k]) - double(a.v[k])));
    return out;
}

EditVector normalised(const EditVector& v) {
    const double x = v.v[0], y = v.v[1], z = v.v[2];
    const double length = std::sqrt(x * x + y * y + z * z);
    if (!(length > 0.0)) return v;
    return {{static_cast<float>(x / length), static_cast<float>(y / length),
             static_cast<float>(z / length)}};
}

// The kept half as it is assembled, before output numbering.
class HalfBuilder {
public:
    HalfBuilder(const HalfMeshInput& input, const HalfPlane& plane, const HalfMeshOptions& options)
        : in_(input), plane_{plane}, options_(options) {}

    bool build(HalfMeshResult& result, std::string& error);

private:
    struct Piece {
        EditElement::Kind kind;
        int source;
        int first;  // into corners_
        int count;
        bool inPlane;
    };

    void classify();
    void weldSeam();
    EditCorner cutCorner(const EditCorner& from, const EditCorner& to);
    void clipFace(int source, const EditElement& element);
    void clipLine(int source, const EditElement& element);
    void keepPoints(int source, const EditElement& element);
    void addPiece(EditElement::Kind kind, int source, int first, bool inPlane);
    bool onPlaneRef(int vertex) const { return vertex < kNone || side_[vertex] == 0; }
    bool checkSeam(std::string& error);
    void number(HalfMeshResult& result);
    void emit(HalfMeshResult& result);

    const HalfMeshInput& in_;
    Plane plane_;
    const HalfMeshOptions& options_;

    std::vector<double> distance_;
    std::vector<signed char> side_;  // +1 kept, 0 on the plane, -1 dropped
    std::vector<int> canonical_;     // welded on-plane vertices point at the first
    std::vector<EditVector> snapped_;

    std::vector<EditCorner> corners_;
    std::vector<Piece> pieces_;

    std::unordered_map<std::uint64_t, int> cutVertexOf_;
    std::vector<EditVector> cutPositions_;
    std::vector<int> cutExtrasFrom_;  // the kept end of the cut edge
    std::vector<int> cutDroppedEnd_;  // its other end
    std::vector<double> cutAlong_;    // the cut's place from the kept end, 0 to 1
    using ValueMap = std::unordered_map<PairKey, int, PairHash>;
    ValueMap cutUvOf_;
    ValueMap cutNormalOf_;
    std::vector<EditVector> cutUvs_;
    std::vector<int> cutUvFrom_;
    std::vector<EditVector> cutNormals_;
    std::vector<int> cutNormalFrom_;

    // Output numbering.
    std::vector<int> vertexOut_;  // per input vertex, -1 when dropped
    std::vector<int> cutOut_;
    std::vector<int> mirrorOut_;  // per output vertex: its mirror image
    std::vector<int> uvOut_;
    std::vector<int> cutUvOut_;
    std::vector<int> uvMirrorOut_;  // per output uv
    std::vector<int> normalOut_;
    std::vector<int> cutNormalOut_;
    std::vector<int> normalMirrorOut_;
};

void HalfBuilder::classify() {
    const std::size_t n = in_.positions.size();
    distance_.resize(n);
    side_.resize(n);
    snapped_ = in_.positions;
    for (std::size_t i = 0; i < n; ++i) {
        const double d = plane_.distance(in_.positions[i]);
        distance_[i] = d;
        const bool on = d == 0.0 || std::fabs(d) < options_.weld;
        side_[i] = on ? 0 : (d > 0.0 ? 1 : -1);
        if (on) {
            const double q[3] = {in_.positions[i].v[0], in_.positions[i].v[1],
                                 in_.positions[i].v[2]};
            snapped_[i] = plane_.onto(q);
        }
    }
}

// On-plane vertices at one position become one: the mirrored half meets the
// kept one there, and a seam split in the input would stay open.
void HalfBuilder::weldSeam() {
    canonical_.resize(in_.positions.size());
    std::unordered_map<PairKey, int, PairHash> first;
    for (std::size_t i = 0; i < in_.positions.size(); ++i) {
        canonical_[i] = static_cast<int>(i);
        if (side_[i] != 0) continue;
        std::uint32_t bits[3];
        std::memcpy(bits, snapped_[i].v, sizeof bits);
        const PairKey key{pack(int(bits[0]), int(bits[1])), bits[2]};
        const auto found = first.emplace(key, static_cast<int>(i));
        canonical_[i] = found.first->second;
    }
}

// The reference of a texture coordinate or normal made at a cut: one made
// before with the same bits, or a new one taking its extras from `from`.
int cutItem(const EditVector& value, int from, std::unordered_map<PairKey, int, PairHash>& made,
            std::vector<EditVector>& values, std::vector<int>& origins) {
    std::uint32_t bits[3];
    std::memcpy(bits, value.v, sizeof bits);
    const auto found = made.emplace(PairKey{pack(int(bits[0]), int(bits[1])), bits[2]},
                                    static_cast<int>(values.size()));
    if (found.second) {
        values.push_back(value);
        origins.push_back(from);
    }
    return cutRef(found.first->second);
}

// The corner where the edge from -> to crosses the plane; the same edge gives
// the same vertex (and, with the same attributes at its ends, the same
// texture coordinates and normal) from either face, whichever way it runs.
EditCorner HalfBuilder::cutCorner(const EditCorner& from, const EditCorner& to) {
    const bool forward = from.vertex < to.vertex;
    const EditCorner& lo = forward ? from : to;
    const EditCorner& hi = forward ? to : from;
    const double t = distance_[lo.vertex] / (distance_[lo.vertex] - distance_[hi.vertex]);
    const std::uint64_t edge = pack(lo.vertex, hi.vertex);
    EditCorner corner{kNone, kNone, kNone};
    auto vertex = cutVertexOf_.find(edge);
    if (vertex == cutVertexOf_.end()) {
        const EditVector& a = in_.positions[lo.vertex];
        const EditVector& b = in_.positions[hi.vertex];
        double q[3];
        for (int k = 0; k < 3; ++k) q[k] = double(a.v[k]) + t * (double(b.v[k]) - double(a.v[k]));
        cutPositions_.push_back(plane_.onto(q));
        const bool loKept = side_[lo.vertex] > 0;
        cutExtrasFrom_.push_back(loKept ? lo.vertex : hi.vertex);
        cutDroppedEnd_.push_back(loKept ? hi.vertex : lo.vertex);
        cutAlong_.push_back(loKept ? t : 1.0 - t);
        vertex = cutVertexOf_.emplace(edge, static_cast<int>(cutPositions_.size()) - 1).first;
    }
    corner.vertex = cutRef(vertex->second);
    // Ends that share texture coordinates or a normal give it to the cut; a
    // value made before is used again.
    if (lo.uv >= 0 && hi.uv >= 0) {
        corner.uv = lo.uv == hi.uv ? lo.uv
                                   : cutItem(lerp(in_.uvs[lo.uv], in_.uvs[hi.uv], t),
                                             side_[lo.vertex] > 0 ? lo.uv : hi.uv, cutUvOf_,
                                             cutUvs_, cutUvFrom_);
    }
    if (lo.normal >= 0 && hi.normal >= 0) {
        corner.normal =
            lo.normal == hi.normal
                ? lo.normal
                : cutItem(normalised(lerp(in_.normals[lo.normal], in_.normals[hi.normal], t)),
                          side_[lo.vertex] > 0 ? lo.normal : hi.normal, cutNormalOf_, cutNormals_,
                          cutNormalFrom_);
    }
    return corner;
}

void HalfBuilder::addPiece(EditElement::Kind kind, int source, int first, bool inPlane) {
    const int count = static_cast<int>(corners_.size()) - first;
    pieces_.push_back({kind, source, first, count, inPlane});
}

// The part of a face on the kept side, the plane's crossings included
// (a polygon clipped by a half-space); consecutive corners welded into one
// vertex become one.
void HalfBuilder::clipFace(int source, const EditElement& element) {
    const EditCorner* c = &in_.corners[element.first];
    int kept = 0;
    int dropped = 0;
    for (int k = 0; k < element.count; ++k) {
        kept += side_[c[k].vertex] > 0;
        dropped += side_[c[k].vertex] < 0;
    }
    if (kept == 0 && dropped > 0) return;
    const int first = static_cast<int>(corners_.size());
    auto push = [&](EditCorner corner) {
        if (corner.vertex >= 0) corner.vertex = canonical_[corner.vertex];
        if (static_cast<int>(corners_.size()) > first && corners_.back().vertex == corner.vertex)
            return;
        corners_.push_back(corner);
    };
    for (int k = 0; k < element.count; ++k) {
        const EditCorner& here = c[k];
        const EditCorner& next = c[(k + 1) % element.count];
        if (side_[here.vertex] >= 0) push(here);
        if (side_[here.vertex] * side_[next.vertex] < 0) push(cutCorner(here, next));
    }
    while (static_cast<int>(corners_.size()) - first > 1 &&
           corners_.back().vertex == corners_[first].vertex)
        corners_.pop_back();
    if (static_cast<int>(corners_.size()) - first < 3) {
        corners_.resize(first);
        return;
    }
    addPiece(EditElement::kFace, source, first, kept == 0);
}

// A polyline keeps its runs on the kept side, each ending at the plane where
// it crosses.
void HalfBuilder::clipLine(int source, const EditElement& element) {
    const EditCorner* c = &in_.corners[element.first];
    int first = static_cast<int>(corners_.size());
    auto close = [&]() {
        if (static_cast<int>(corners_.size()) - first >= 2)
            addPiece(EditElement::kLine, source, first, false);
        else
            corners_.resize(first);
        first = static_cast<int>(corners_.size());
    };
    for (int k = 0; k < element.count; ++k) {
        const int here = side_[c[k].vertex];
        if (here >= 0) {
            EditCorner corner = c[k];
            corner.vertex = canonical_[corner.vertex];
            corners_.push_back(corner);
        }
        if (k + 1 == element.count) break;
        const int next = side_[c[k + 1].vertex];
        if (here * next < 0) {
            // Leaving the kept side the run ends at the cut; entering, it starts there.
            corners_.push_back(cutCorner(c[k], c[k + 1]));
            if (here > 0) close();
        } else if (here == 0 && next < 0) {
            close();
        }
    }
    close();
}

void HalfBuilder::keepPoints(int source, const EditElement& element) {
    const int first = static_cast<int>(corners_.size());
    for (int k = 0; k < element.count; ++k) {
        EditCorner corner = in_.corners[element.first + k];
        if (side_[corner.vertex] < 0) continue;
        corner.vertex = canonical_[corner.vertex];
        corners_.push_back(corner);
    }
    if (static_cast<int>(corners_.size()) > first)
        addPiece(EditElement::kPoint, source, first, false);
}

// Every edge on the plane is in one kept face at most, so the mirrored half
// closes it with one face; a face lying in the plane that meets the kept
// faces there is dropped.
bool HalfBuilder::checkSeam(std::string& error) {
    std::unordered_map<std::uint64_t, int> seamFaces;
    auto edgeKey = [](int a, int b) { return a < b ? pack(a, b) : pack(b, a); };
    for (const Piece& piece : pieces_) {
        if (piece.kind != EditElement::kFace || piece.inPlane) continue;
        for (int k = 0; k < piece.count; ++k) {
            const int a = corners_[piece.first + k].vertex;
            const int b = corners_[piece.first + (k + 1) % piece.count].vertex;
            if (!onPlaneRef(a) || !onPlaneRef(b)) continue;
            if (++seamFaces[edgeKey(a, b)] == 2) {
                auto name = [&](int v) {
                    return v >= 0 ? "vertex " + std::to_string(v + 1)
                                  : std::string("a vertex made at a cut");
                };
                error = "the seam cannot be welded: the edge from " + name(a) + " to " + name(b) +
                        " lies on the plane and is a side of two or more faces of the kept "
                        "half, which mirrored would make four or more";
                return false;
            }
        }
    }
    for (Piece& piece : pieces_) {
        if (!piece.inPlane) continue;
        bool meets = false;
        for (int k = 0; k < piece.count && !meets; ++k) {
            const int a = corners_[piece.first + k].vertex;
            const int b = corners_[piece.first + (k + 1) % piece.count].vertex;
            meets = seamFaces.count(edgeKey(a, b)) > 0;
        }
        if (meets) piece.count = 0;  // dropped
    }
    return true;
}

void HalfBuilder::number(HalfMeshResult& result) {
    const std::size_t n = in_.positions.size();
    std::vector<bool> referenced(n, false);
    for (const EditCorner& corner : in_.corners) referenced[corner.vertex] = true;
    std::vector<bool> used(n, false);
    std::vector<bool> uvUsed(in_.uvs.size(), false);
    std::vector<bool> normalUsed(in_.normals.size(), false);
    for (const Piece& piece : pieces_)
        for (int k = 0; k < piece.count; ++k) {
            const EditCorner& corner = corners_[piece.first + k];
            if (corner.vertex >= 0) used[corner.vertex] = true;
            if (corner.uv >= 0) uvUsed[corner.uv] = true;
            if (corner.normal >= 0) normalUsed[corner.normal] = true;
        }
    HalfMeshInput& out = result.mesh;
    vertexOut_.assign(n, -1);
    for (std::size_t i = 0; i < n; ++i) {
        const bool free = !referenced[i] && side_[i] >= 0 && canonical_[i] == int(i);
        if (!used[i] && !free) continue;
        vertexOut_[i] = static_cast<int>(out.positions.size());
        out.positions.push_back(snapped_[i]);
        result.positionOrigins.push_back(
            {EditOrigin::kKept, int(i), !sameBits(snapped_[i], in_.positions[i])});
        result.seamVertices += side_[i] == 0;
    }
    for (std::size_t k = 0; k < cutPositions_.size(); ++k) {
        cutOut_.push_back(static_cast<int>(out.positions.size()));
        out.positions.push_back(cutPositions_[k]);
        result.positionOrigins.push_back(
            {EditOrigin::kCut, cutExtrasFrom_[k], false, cutDroppedEnd_[k], cutAlong_[k]});
    }
    result.verticesCut = static_cast<int>(cutPositions_.size());
    result.seamVertices += result.verticesCut;
    const int halfCount = static_cast<int>(out.positions.size());
    mirrorOut_.resize(halfCount);
    for (int v = 0; v < halfCount; ++v) {
        const EditOrigin& origin = result.positionOrigins[v];
        const bool onPlane = origin.kind == EditOrigin::kCut || side_[origin.index] == 0;
        if (onPlane) {
            mirrorOut_[v] = v;
            continue;
        }
        mirrorOut_[v] = static_cast<int>(out.positions.size());
        out.positions.push_back(plane_.mirror(out.positions[v]));
        result.positionOrigins.push_back({EditOrigin::kMirror, v, false});
    }

    // Texture coordinates and normals: the kept ones in input order, those
    // made at cuts, then the mirrored ones the mirrored faces need (a mirror
    // image equal to its original is the original).
    auto numberItems = [](const std::vector<EditVector>& items, const std::vector<bool>& usedItems,
                          const std::vector<EditVector>& cuts, const std::vector<int>& cutFrom,
                          std::vector<int>& itemOut, std::vector<int>& cutItemOut,
                          std::vector<EditVector>& outItems, std::vector<EditOrigin>& origins) {
        itemOut.assign(items.size(), -1);
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (!usedItems[i]) continue;
            itemOut[i] = static_cast<int>(outItems.size());
            outItems.push_back(items[i]);
            origins.push_back({EditOrigin::kKept, int(i), false});
        }
        for (std::size_t k = 0; k < cuts.size(); ++k) {
            cutItemOut.push_back(static_cast<int>(outItems.size()));
            outItems.push_back(cuts[k]);
            origins.push_back({EditOrigin::kCut, cutFrom[k], false});
        }
    };
    numberItems(in_.uvs, uvUsed, cutUvs_, cutUvFrom_, uvOut_, cutUvOut_, out.uvs, result.uvOrigins);
    numberItems(in_.normals, normalUsed, cutNormals_, cutNormalFrom_, normalOut_, cutNormalOut_,
                out.normals, result.normalOrigins);
    const int uvHalf = static_cast<int>(out.uvs.size());
    uvMirrorOut_.resize(uvHalf);
    for (int k = 0; k < uvHalf; ++k) {
        uvMirrorOut_[k] = k;
        if (!options_.mirrorUv) continue;
        EditVector mirrored = out.uvs[k];
        mirrored.v[0] = static_cast<float>(2.0 * options_.mirrorU - double(mirrored.v[0]));
        if (sameBits(mirrored, out.uvs[k])) continue;
        uvMirrorOut_[k] = static_cast<int>(out.uvs.size());
        out.uvs.push_back(mirrored);
        result.uvOrigins.push_back({EditOrigin::kMirror, k, false});
    }
    const int normalHalf = static_cast<int>(out.normals.size());
    normalMirrorOut_.resize(normalHalf);
    for (int k = 0; k < normalHalf; ++k) {
        const EditVector mirrored = plane_.mirrorDirection(out.normals[k]);
        normalMirrorOut_[k] = k;
        if (sameBits(mirrored, out.normals[k])) continue;
        normalMirrorOut_[k] = static_cast<int>(out.normals.size());
        out.normals.push_back(mirrored);
        result.normalOrigins.push_back({EditOrigin::kMirror, k, false});
    }
}

void HalfBuilder::emit(HalfMeshResult& result) {
    HalfMeshInput& out = result.mesh;
    auto outCorner = [&](const EditCorner& c) {
        EditCorner o{kNone, kNone, kNone};
        o.vertex = c.vertex >= 0 ? vertexOut_[c.vertex] : cutOut_[cutIndex(c.vertex)];
        if (c.uv >= 0) o.uv = uvOut_[c.uv];
        if (c.uv < kNone) o.uv = cutUvOut_[cutIndex(c.uv)];
        if (c.normal >= 0) o.normal = normalOut_[c.normal];
        if (c.normal < kNone) o.normal = cutNormalOut_[cutIndex(c.normal)];
        return o;
    };
    std::vector<bool> inPlane;
    out.elements.reserve(2 * pieces_.size());
    out.corners.reserve(2 * corners_.size());
    for (const Piece& piece : pieces_) {
        if (piece.count == 0) continue;
        out.elements.push_back({piece.kind, static_cast<int>(out.corners.size()), piece.count});
        for (int k = 0; k < piece.count; ++k)
            out.corners.push_back(outCorner(corners_[piece.first + k]));
        result.elementSources.push_back(piece.source);
        result.elementMirrored.push_back(false);
        inPlane.push_back(piece.inPlane);
    }
    const std::size_t keptElements = out.elements.size();
    for (std::size_t e = 0; e < keptElements; ++e) {
        if (inPlane[e]) continue;  // its own mirror image
        const EditElement element = out.elements[e];
        const int first = static_cast<int>(out.corners.size());
        for (int k = 0; k < element.count; ++k) {
            // A face runs the other way round, from the same first corner.
            const int from = element.kind == EditElement::kFace && k > 0 ? element.count - k : k;
            EditCorner c = out.corners[element.first + from];
            c.vertex = mirrorOut_[c.vertex];
            if (c.uv >= 0) c.uv = uvMirrorOut_[c.uv];
            if (c.normal >= 0) c.normal = normalMirrorOut_[c.normal];
            out.corners.push_back(c);
        }
        out.elements.push_back({element.kind, first, element.count});
        result.elementSources.push_back(result.elementSources[e]);
        result.elementMirrored.push_back(true);
    }
}

bool HalfBuilder::build(HalfMeshResult& result, std::string& error) {
    classify();
    int kept = 0;
    int on = 0;
    for (signed char s : side_) {
        kept += s > 0;
        on += s == 0;
    }
    const int dropped = static_cast<int>(side_.size()) - kept - on;
    if (kept == 0 && on == 0) {
        error = "the plane misses the mesh: every vertex lies on the side dropped";
        return false;
    }
    if (dropped == 0 && on == 0) {
        error = "the plane misses the mesh: every vertex lies on the side kept";
        return false;
    }
    if (kept == 0) {
        error = "nothing lies on the side kept: every vertex is on the plane or beyond it";
        return false;
    }
    weldSeam();
    corners_.reserve(in_.corners.size() + in_.corners.size() / 8);
    pieces_.reserve(in_.elements.size());
    for (std::size_t e = 0; e < in_.elements.size(); ++e) {
        const EditElement& element = in_.elements[e];
        const int source = static_cast<int>(e);
        if (element.kind == EditElement::kFace) {
            int crossing[2] = {0, 0};
            for (int k = 0; k < element.count; ++k) {
                const int s = side_[in_.corners[element.first + k].vertex];
                if (s != 0) ++crossing[s > 0];
            }
            result.facesCut += crossing[0] > 0 && crossing[1] > 0;
            clipFace(source, element);
        } else if (element.kind == EditElement::kLine) {
            clipLine(source, element);
        } else {
            keepPoints(source, element);
        }
    }
    if (!checkSeam(error)) return false;
    for (const Piece& piece : pieces_) {
        if (!piece.inPlane) continue;
        if (piece.count > 0)
            ++result.facesInPlane;
        else
            ++result.facesInPlaneDropped;
    }
    number(result);
    emit(result);
    return true;
}

}  // namespace

bool rebuildFromHalf(const HalfMeshInput& input, const HalfPlane& plane,
                     const HalfMeshOptions& options, HalfMeshResult& result, std::string& error) {
    result = HalfMeshResult{};
    HalfBuilder builder(input, plane, options);
    return builder.build(result, error);
}

}  // namespace talvexhost
