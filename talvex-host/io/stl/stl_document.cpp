#include "io/stl/stl_document.h"

#include <cmath>
#include <cstring>

#include "io/number_text.h"
#include "io/text_tokens.h"

namespace talvexhost {

namespace {

constexpr std::size_t kHeaderBytes = 84;
constexpr std::size_t kFacetBytes = 50;

float loadFloat(const char* p) {
    float value;
    std::memcpy(&value, p, 4);  // STL is little-endian, as every target we build for
    return value;
}

bool sameWord(std::string_view a, const char* b) {
    const std::size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (std::size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != b[i]) return false;
    return true;
}

// Text, as ASCII STL is: no control characters but white space in `head`.
bool looksLikeText(std::string_view head) {
    for (char c : head.substr(0, 1024)) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 32 && !isSpace(c)) return false;
    }
    return true;
}

bool startsWithSolid(std::string_view head) {
    std::size_t i = 0;
    while (i < head.size() && isSpace(head[i])) ++i;
    return head.size() - i >= 5 && sameWord(head.substr(i, 5), "solid") &&
           (head.size() == i + 5 || isSpace(head[i + 5]));
}

// The facet normal of corners a, b, c: float corners in, double arithmetic,
// unit length rounded to float; zero for a degenerate facet.
MeshPosition facetNormal(const MeshPosition& a, const MeshPosition& b, const MeshPosition& c) {
    const double ux = double(b.x) - double(a.x), uy = double(b.y) - double(a.y),
                 uz = double(b.z) - double(a.z);
    const double vx = double(c.x) - double(a.x), vy = double(c.y) - double(a.y),
                 vz = double(c.z) - double(a.z);
    const double nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
    const double length = std::sqrt(nx * nx + ny * ny + nz * nz);
    if (!(length > 0.0)) return {0.0f, 0.0f, 0.0f};
    return {float(nx / length), float(ny / length), float(nz / length)};
}

}  // namespace

std::string StlDocument::refuses(std::string_view head) {
    if (startsWithSolid(head)) return {};
    // Binary STL's facet count and floats always hold bytes no text has.
    if (looksLikeText(head)) return "is text, but ASCII STL starts with \"solid\"";
    if (head.size() >= kHeaderBytes) return {};
    return "is neither ASCII STL (it does not start with \"solid\") nor binary STL (" +
           std::to_string(head.size()) + " bytes, fewer than the 84 of the header)";
}

bool StlDocument::parse(std::string& error, const MeshLoadOptions& options) {
    cornerVertex_.clear();
    filePositions_.clear();
    facetOffsets_.clear();
    solidNames_.clear();
    facetSolid_.clear();
    facets_ = 0;
    // Binary files may start with "solid" too; their size, or bytes no text
    // has, settles it.
    bool binary = !startsWithSolid(data_) || !looksLikeText(data_);
    if (data_.size() >= kHeaderBytes) {
        std::uint32_t count;
        std::memcpy(&count, data_.data() + 80, 4);
        if (data_.size() == kHeaderBytes + std::uint64_t(count) * kFacetBytes) binary = true;
    }
    ascii_ = !binary;
    if (!(binary ? parseBinary(error, options) : parseAscii(error, options))) return false;
    positions_ = filePositions_;
    return true;
}

bool StlDocument::parseBinary(std::string& error, const MeshLoadOptions& options) {
    if (data_.size() < kHeaderBytes) {
        error = name_ + ": offset " + std::to_string(data_.size()) +
                ": the file ends inside the 84-byte header of a binary STL";
        return false;
    }
    std::uint32_t count;
    std::memcpy(&count, data_.data() + 80, 4);
    const std::uint64_t needed = kHeaderBytes + std::uint64_t(count) * kFacetBytes;
    if (needed > data_.size()) {
        error = name_ + ": offset 80: the header promises " + std::to_string(count) + " facets (" +
                std::to_string(needed) + " bytes), but the file has " +
                std::to_string(data_.size()) + " bytes";
        return false;
    }
    // A closed mesh has about half as many vertices as facets.
    if (!affordable(count / 2, options, error)) return false;
    facets_ = count;
    cornerVertex_.resize(std::size_t(count) * 3);
    PositionWelder welder(filePositions_, count / 2 + 1);
    for (std::size_t f = 0; f < count; ++f) {
        const char* facet = data_.data() + kHeaderBytes + f * kFacetBytes;
        for (int c = 0; c < 3; ++c) {
            const char* p = facet + 12 + 12 * c;
            const MeshPosition corner{loadFloat(p), loadFloat(p + 4), loadFloat(p + 8)};
            if (!std::isfinite(corner.x) || !std::isfinite(corner.y) || !std::isfinite(corner.z)) {
                error = name_ + ": offset " + std::to_string(p - data_.data()) + ": facet " +
                        std::to_string(f) + " has a corner that is not at a finite position";
                return false;
            }
            cornerVertex_[f * 3 + c] = welder.vertexAt(corner);
        }
        if (options.progress && (f & 0xFFFFF) == 0xFFFFF) options.progress(double(f) / count);
    }
    if (!filePositions_.empty()) {
        MeshObject object;
        object.name = fileStem(name_);
        if (object.name.empty()) object.name = "default";
        object.vertices.resize(filePositions_.size());
        for (std::size_t v = 0; v < filePositions_.size(); ++v) object.vertices[v] = int(v);
        objects_.push_back(std::move(object));
    }
    return true;
}

bool StlDocument::parseAscii(std::string& error, const MeshLoadOptions& options) {
    Tokens tokens{data_, 0, 1};
    PositionWelder welder(filePositions_, data_.size() / 400 + 1);
    std::string_view token;
    const auto here = [&] { return name_ + ":" + std::to_string(tokens.line) + ": "; };
    const auto expect = [&](const char* word) {
        token = {};
        if (tokens.next(token) && sameWord(token, word)) return true;
        error = here() + "expected \"" + word + "\"" +
                (token.empty() ? std::string(", the file ended")
                               : ", found \"" + std::string(token) + "\"");
        return false;
    };
    const auto number = [&](float& value) {
        if (!tokens.next(token)) {
            error = here() + "the file ends inside a facet";
            return false;
        }
        if (readFloat(token, value) == NumberStatus::kOk) return true;
        error = here() + "\"" + std::string(token) + "\" is not a number";
        return false;
    };
    std::vector<int> owner;  // each vertex's solid
    std::vector<std::string> solids;
    while (tokens.next(token)) {
        if (!sameWord(token, "solid")) {
            error = here() + "expected \"solid\", found \"" + std::string(token) + "\"";
            return false;
        }
        std::string name(tokens.restOfLine());
        solidNames_.push_back(name);
        if (name.empty()) name = fileStem(name_);
        if (name.empty()) name = "default";
        solids.push_back(name);
        for (;;) {
            token = {};
            if (!tokens.next(token)) {
                error = here() + "the file ends before \"endsolid\"";
                return false;
            }
            if (sameWord(token, "endsolid")) {
                tokens.restOfLine();
                break;
            }
            if (!sameWord(token, "facet")) {
                error = here() + "expected \"facet\" or \"endsolid\", found \"" +
                        std::string(token) + "\"";
                return false;
            }
            facetOffsets_.push_back(std::size_t(token.data() - data_.data()));
            facetSolid_.push_back(int(solids.size()) - 1);
            float ignored;
            if (!expect("normal") || !number(ignored) || !number(ignored) || !number(ignored) ||
                !expect("outer") || !expect("loop"))
                return false;
            for (int c = 0; c < 3; ++c) {
                MeshPosition p;
                if (!expect("vertex") || !number(p.x) || !number(p.y) || !number(p.z)) return false;
                const int vertex = welder.vertexAt(p);
                if (vertex == int(owner.size())) owner.push_back(int(solids.size()) - 1);
                cornerVertex_.push_back(vertex);
            }
            if (!expect("endloop") || !expect("endfacet")) return false;
            if (options.progress && (facetOffsets_.size() & 0xFFFFF) == 0)
                options.progress(double(tokens.at) / double(data_.size()));
        }
    }
    facets_ = facetOffsets_.size();
    std::vector<int> objectOf(solids.size(), -1);
    for (std::size_t v = 0; v < owner.size(); ++v) {
        int& object = objectOf[owner[v]];
        if (object < 0) {
            object = int(objects_.size());
            objects_.push_back(MeshObject{solids[owner[v]], {}});
        }
        objects_[object].vertices.push_back(int(v));
    }
    return true;
}

StlDocument::FacetTokens StlDocument::facetTokens(std::size_t offset) const {
    FacetTokens out;
    Tokens tokens{data_, offset, 0};
    std::string_view token;
    tokens.next(token);  // facet
    tokens.next(token);  // normal
    for (auto& n : out.normal) tokens.next(n);
    tokens.next(token);  // outer
    tokens.next(token);  // loop
    for (auto& corner : out.corners) {
        tokens.next(token);  // vertex
        for (auto& value : corner) tokens.next(value);
    }
    return out;
}

std::vector<MeshElement> StlDocument::elements() const {
    std::vector<MeshElement> out(facets_);
    for (std::size_t f = 0; f < facets_; ++f) {
        out[f].kind = MeshElement::kFace;
        out[f].vertices.assign(cornerVertex_.begin() + std::ptrdiff_t(f * 3),
                               cornerVertex_.begin() + std::ptrdiff_t(f * 3 + 3));
    }
    return out;
}

void StlDocument::forEachEdge(const std::function<void(const MeshEdge&)>& edge) const {
    for (std::size_t f = 0; f < facets_; ++f) {
        const int* v = &cornerVertex_[f * 3];
        edge({v[0], v[1]});
        edge({v[1], v[2]});
        edge({v[2], v[0]});
    }
}

std::string StlDocument::placeOf(int vertex) const {
    std::size_t corner = 0;
    while (corner < cornerVertex_.size() && cornerVertex_[corner] != vertex) ++corner;
    if (ascii_) {
        const FacetTokens tokens = facetTokens(facetOffsets_[corner / 3]);
        return lineOf(data_, std::size_t(tokens.corners[corner % 3][0].data() - data_.data()),
                      name_);
    }
    return name_ + ": offset " +
           std::to_string(kHeaderBytes + (corner / 3) * kFacetBytes + 12 + (corner % 3) * 12);
}

std::string StlDocument::bytes() const {
    std::vector<bool> moved(positions_.size());
    bool any = false;
    for (std::size_t v = 0; v < positions_.size(); ++v) {
        moved[v] = !samePositionBits(positions_[v], filePositions_[v]);
        any = any || moved[v];
    }
    if (!any) return std::string(data_);
    if (!ascii_) {
        std::string out(data_);
        for (std::size_t f = 0; f < facets_; ++f) {
            const int* v = &cornerVertex_[f * 3];
            if (!moved[v[0]] && !moved[v[1]] && !moved[v[2]]) continue;
            char* facet = &out[kHeaderBytes + f * kFacetBytes];
            MeshPosition corners[3];
            for (int c = 0; c < 3; ++c) {
                char* p = facet + 12 + 12 * c;
                if (moved[v[c]]) std::memcpy(p, &positions_[v[c]], 12);
                corners[c] = {loadFloat(p), loadFloat(p + 4), loadFloat(p + 8)};
            }
            const MeshPosition normal = facetNormal(corners[0], corners[1], corners[2]);
            std::memcpy(facet, &normal, 12);
        }
        return out;
    }
    std::vector<BytePatch> patches;
    // Rewrites `token` to give `value`; what the file then reads there.
    const auto rewrite = [&](std::string_view token, float value) {
        std::string text = coordinateText(token, value, numberStyle_);
        float now = 0.0f;
        readFloat(text.empty() ? token : std::string_view(text), now);
        if (text.empty()) return now;
        const std::size_t begin = std::size_t(token.data() - data_.data());
        patches.push_back(BytePatch{begin, begin + token.size(), std::move(text)});
        return now;
    };
    for (std::size_t f = 0; f < facets_; ++f) {
        const int* v = &cornerVertex_[f * 3];
        if (!moved[v[0]] && !moved[v[1]] && !moved[v[2]]) continue;
        const FacetTokens tokens = facetTokens(facetOffsets_[f]);
        MeshPosition corners[3];
        for (int c = 0; c < 3; ++c) {
            float* xyz[3] = {&corners[c].x, &corners[c].y, &corners[c].z};
            const float wanted[3] = {positions_[v[c]].x, positions_[v[c]].y, positions_[v[c]].z};
            for (int k = 0; k < 3; ++k) {
                readFloat(tokens.corners[c][k], *xyz[k]);
                if (!moved[v[c]]) continue;
                *xyz[k] = rewrite(tokens.corners[c][k], wanted[k]);
            }
        }
        const MeshPosition normal = facetNormal(corners[0], corners[1], corners[2]);
        rewrite(tokens.normal[0], normal.x);
        rewrite(tokens.normal[1], normal.y);
        rewrite(tokens.normal[2], normal.z);
    }
    return applyPatches(data_, std::move(patches));
}

namespace {

// A mirror image about an axis plane at 0 negates one coordinate exactly:
// its text is the original's with the sign changed (a zero kept as written).
// True when binary STL's 32-bit facet count holds `facets` (always, where
// sizes are 32-bit).
bool countable(std::uint64_t facets) {
    return facets <= std::uint64_t(UINT32_MAX);
}

// A rebuilt facet's normal, its zeros written "0", not "-0".
MeshPosition rebuiltNormal(const MeshPosition& a, const MeshPosition& b, const MeshPosition& c) {
    const MeshPosition n = facetNormal(a, b, c);
    return {n.x + 0.0f, n.y + 0.0f, n.z + 0.0f};
}

}  // namespace

// The facets: each face as a fan of triangles from its first corner, with
// the input facet it comes from; lines and points counted in `skipped`.
std::vector<StlDocument::Facet> StlDocument::fanFacets(const HalfMeshResult& rebuilt,
                                                       int& skipped) {
    const HalfMeshInput& mesh = rebuilt.mesh;
    std::vector<Facet> facets;
    skipped = 0;
    for (std::size_t e = 0; e < mesh.elements.size(); ++e) {
        const EditElement& element = mesh.elements[e];
        if (element.kind != EditElement::kFace) {
            ++skipped;
            continue;
        }
        const EditCorner* c = &mesh.corners[std::size_t(element.first)];
        for (int k = 1; k + 1 < element.count; ++k)
            facets.push_back(
                {{c[0].vertex, c[k].vertex, c[k + 1].vertex}, rebuilt.elementSources[e]});
    }
    return facets;
}

void StlDocument::writeBinary(const HalfMeshInput& mesh, const std::vector<Facet>& facets,
                              std::string& out) const {
    out.assign(kHeaderBytes + facets.size() * kFacetBytes, '\0');
    std::memcpy(&out[0], data_.data(), 80);
    const std::uint32_t count = std::uint32_t(facets.size());
    std::memcpy(&out[80], &count, 4);
    for (std::size_t f = 0; f < facets.size(); ++f) {
        char* facet = &out[kHeaderBytes + f * kFacetBytes];
        MeshPosition corners[3];
        for (int c = 0; c < 3; ++c) {
            const EditVector& p = mesh.positions[std::size_t(facets[f].corners[c])];
            corners[c] = {p.v[0], p.v[1], p.v[2]};
            std::memcpy(facet + 12 + 12 * c, &corners[c], 12);
        }
        const MeshPosition normal = rebuiltNormal(corners[0], corners[1], corners[2]);
        std::memcpy(facet, &normal, 12);
        const char* attribute =
            data_.data() + kHeaderBytes + std::size_t(facets[f].source) * kFacetBytes + 48;
        std::memcpy(facet + 48, attribute, 2);
    }
}

// The text of each output vertex's coordinates, and the floats it reads as.
void StlDocument::vertexTexts(const HalfMeshResult& rebuilt, const HalfPlane& plane,
                              std::vector<std::string>& vertexText,
                              std::vector<MeshPosition>& written) const {
    const HalfMeshInput& mesh = rebuilt.mesh;
    // Each vertex's first corner holds the text it was read from.
    std::vector<std::size_t> firstCorner(filePositions_.size(), cornerVertex_.size());
    for (std::size_t c = cornerVertex_.size(); c-- > 0;)
        firstCorner[std::size_t(cornerVertex_[c])] = c;
    vertexText.assign(mesh.positions.size(), std::string());
    written.assign(mesh.positions.size(), MeshPosition());
    for (std::size_t v = 0; v < mesh.positions.size(); ++v) {
        const EditOrigin& origin = rebuilt.positionOrigins[v];
        const EditOrigin* kept = origin.kind == EditOrigin::kMirror
                                     ? &rebuilt.positionOrigins[std::size_t(origin.index)]
                                     : &origin;
        // The input vertex the output vertex takes its text from.
        const std::size_t corner = firstCorner[std::size_t(kept->index)];
        const FacetTokens tokens = facetTokens(facetOffsets_[corner / 3]);
        written[v] = appendVertexText(mesh.positions[v], origin, *kept, plane,
                                      tokens.corners[corner % 3], vertexText[v]);
    }
}

// One vertex's coordinates as text in `text`, from the file's `file` where
// they are as read; the floats the text reads as.
MeshPosition StlDocument::appendVertexText(const EditVector& position, const EditOrigin& origin,
                                           const EditOrigin& kept, const HalfPlane& plane,
                                           const std::string_view file[3],
                                           std::string& text) const {
    const bool asRead = kept.kind == EditOrigin::kKept && !kept.moved;
    const bool textMirror = plane.axis >= 0 && plane.offset == 0.0;
    float xyz[3];
    for (int k = 0; k < 3; ++k) {
        if (k > 0) text += ' ';
        const std::size_t from = text.size();
        if (asRead && (origin.kind == EditOrigin::kKept || k != plane.axis)) {
            text += file[k];
        } else if (asRead && textMirror) {
            appendNegated(file[k], text);
        } else {
            const std::string fresh = coordinateText(file[k], position.v[k], numberStyle_);
            text += fresh.empty() ? std::string(file[k]) : fresh;
        }
        readFloat(std::string_view(text).substr(from), xyz[k]);
    }
    return {xyz[0], xyz[1], xyz[2]};
}

void StlDocument::appendFacetText(const Facet& facet, const std::vector<std::string>& vertexText,
                                  const std::vector<MeshPosition>& written,
                                  const std::string& lineEnd, std::string& out) const {
    const MeshPosition normal = rebuiltNormal(written[std::size_t(facet.corners[0])],
                                              written[std::size_t(facet.corners[1])],
                                              written[std::size_t(facet.corners[2])]);
    const FacetTokens source = facetTokens(facetOffsets_[std::size_t(facet.source)]);
    const float n[3] = {normal.x, normal.y, normal.z};
    out += "  facet normal";
    for (int k = 0; k < 3; ++k) {
        const std::string fresh = coordinateText(source.normal[k], n[k], numberStyle_);
        out += ' ';
        out += fresh.empty() ? std::string(source.normal[k]) : fresh;
    }
    out += lineEnd + "    outer loop" + lineEnd;
    for (int c = 0; c < 3; ++c)
        out += "      vertex " + vertexText[std::size_t(facet.corners[c])] + lineEnd;
    out += "    endloop" + lineEnd + "  endfacet" + lineEnd;
}

void StlDocument::writeAscii(const HalfMeshResult& rebuilt, const HalfPlane& plane,
                             const std::vector<Facet>& facets, std::string& out) const {
    std::vector<std::string> texts;
    std::vector<MeshPosition> written;
    vertexTexts(rebuilt, plane, texts, written);
    const std::string lineEnd = data_.find("\r\n") != std::string_view::npos ? "\r\n" : "\n";
    out.clear();
    out.reserve(facets.size() * 200 + 64);
    const std::size_t solids = solidNames_.empty() ? 1 : solidNames_.size();
    for (std::size_t s = 0; s < solids; ++s) {
        const std::string name = solidNames_.empty() ? std::string() : solidNames_[s];
        out += "solid";
        if (!name.empty()) out += " " + name;
        out += lineEnd;
        for (const Facet& facet : facets)
            if (facetSolid_.empty() || std::size_t(facetSolid_[std::size_t(facet.source)]) == s)
                appendFacetText(facet, texts, written, lineEnd, out);
        out += "endsolid";
        if (!name.empty()) out += " " + name;
        out += lineEnd;
    }
}

bool StlDocument::rebuiltBytes(const HalfMeshResult& rebuilt, const HalfPlane& plane,
                               std::string& out, std::vector<std::string>& notes,
                               std::string& error) const {
    int skipped = 0;
    const std::vector<Facet> facets = fanFacets(rebuilt, skipped);
    if (skipped > 0)
        notes.push_back(std::to_string(skipped) +
                        " lines and points dropped: STL holds facets only");
    if (!countable(facets.size())) {
        error = name_ + ": " + std::to_string(facets.size()) +
                " facets are more than a binary STL can count";
        return false;
    }
    if (ascii_)
        writeAscii(rebuilt, plane, facets, out);
    else
        writeBinary(rebuilt.mesh, facets, out);
    return true;
}

}  // namespace talvexhost
