#include "io/mesh_document.h"

#include <algorithm>
#include <cctype>

#include "io/host_files.h"

namespace talvexhost {

namespace {

// Enough for any format's signature and a first line of text.
constexpr std::size_t kHeadBytes = 4096;

std::string lowerExtension(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    const std::size_t name = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot <= name) return {};
    std::string extension = path.substr(dot);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

// "; its first bytes look like PLY" when another format than `chosen` takes
// `head`: the likeliest reason a file was refused is a wrong extension.
std::string lookalike(std::string_view head, const MeshFormat& chosen) {
    for (const MeshFormat& format : meshFormats())
        if (&format != &chosen && format.refuses(head).empty())
            return std::string("; its first bytes look like ") + format.name;
    return {};
}

std::string knownExtensions() {
    std::string list;
    for (const MeshFormat& format : meshFormats())
        for (const char* extension : format.extensions)
            list += (list.empty() ? "" : ", ") + std::string(extension);
    return list;
}

}  // namespace

void appendEdges(const MeshElement& element, std::vector<MeshEdge>& edges) {
    if (element.kind == MeshElement::kPoint) return;
    const std::size_t n = element.vertices.size();
    const std::size_t count = element.kind == MeshElement::kFace ? n : n - 1;
    for (std::size_t i = 0; i < count && n > 1; ++i)
        edges.push_back({element.vertices[i], element.vertices[(i + 1) % n]});
}

void MeshDocument::forEachEdgeRun(
    const std::function<void(const MeshEdge* edges, std::size_t count)>& run) const {
    forEachEdge([&run](const MeshEdge& edge) { run(&edge, 1); });
}

void MeshDocument::forEachEdge(const std::function<void(const MeshEdge&)>& edge) const {
    std::vector<MeshEdge> edges;
    for (const MeshElement& element : elements()) {
        edges.clear();
        appendEdges(element, edges);
        for (const MeshEdge& e : edges) edge(e);
    }
}

void MeshDocument::forEachElement(const std::function<void(const MeshElement&)>& element) const {
    for (const MeshElement& e : elements()) element(e);
}

const MeshFormat* meshFormatFor(const std::string& path) {
    const std::string extension = lowerExtension(path);
    if (extension.empty()) return nullptr;
    for (const MeshFormat& format : meshFormats())
        for (const char* known : format.extensions)
            if (extension == known) return &format;
    return nullptr;
}

// The extension chooses the format and the first bytes must agree. A file
// without a known extension goes to the first format in table order that
// takes its first bytes. Standard input cannot be looked at before it is
// read, so it is read as the table's first format; so is a file whose first
// bytes cannot be read, leaving its loading to say why.
std::unique_ptr<MeshDocument> loadMeshDocument(const std::string& path, std::string& error,
                                               const MeshLoadOptions& options) {
    const std::vector<MeshFormat>& formats = meshFormats();
    const MeshFormat* format = meshFormatFor(path);
    std::string head;
    if (path != "-" && readFileHead(path, kHeadBytes, head)) {
        if (format != nullptr) {
            const std::string reason = format->refuses(head);
            if (!reason.empty()) {
                error = path + ": " + reason + lookalike(head, *format);
                return nullptr;
            }
        } else {
            for (const MeshFormat& candidate : formats) {
                if (candidate.refuses(head).empty()) {
                    format = &candidate;
                    break;
                }
            }
            if (format == nullptr) {
                error = path + ": not a mesh file this host reads (known extensions: " +
                        knownExtensions() + "), and its first bytes match none of them";
                return nullptr;
            }
        }
    }
    if (format == nullptr) format = &formats.front();
    std::unique_ptr<MeshDocument> document = format->create();
    if (!document->load(path, error, options)) return nullptr;
    return document;
}

bool MeshDocument::readForRebuild(HalfMeshInput& input, std::string& error) {
    input = HalfMeshInput{};
    const int count = vertexCount();
    input.positions.resize(std::size_t(count));
    for (int v = 0; v < count; ++v) {
        const MeshPosition p = position(v);
        input.positions[std::size_t(v)] = {{p.x, p.y, p.z}};
    }
    for (const MeshElement& element : elements()) {
        const EditElement::Kind kind = element.kind == MeshElement::kFace   ? EditElement::kFace
                                       : element.kind == MeshElement::kLine ? EditElement::kLine
                                                                            : EditElement::kPoint;
        input.elements.push_back({kind, int(input.corners.size()), int(element.vertices.size())});
        for (int vertex : element.vertices) {
            if (vertex < 0 || vertex >= count) {
                error = "an element refers to vertex " + std::to_string(vertex + 1) +
                        ", which does not exist";
                return false;
            }
            input.corners.push_back({vertex, -1, -1});
        }
    }
    return true;
}

bool MeshDocument::rebuiltBytes(const HalfMeshResult&, const HalfPlane&, std::string&,
                                std::vector<std::string>&, std::string& error) const {
    error = std::string("symmetrize does not write ") + formatName() +
            " files yet (check, detect and resym take them)";
    return false;
}

}  // namespace talvexhost
