// Feeds arbitrary bytes to talvex-host's PLY, STL and glTF readers (the first
// byte chooses which). Either the reader refuses with a clear error naming
// the file ("NAME: offset N: what", "NAME:LINE: what" or "NAME: what"), or it
// gives a mesh that holds together: finite positions, every element's
// vertices inside the vertex list, every vertex in exactly one object, the
// file's bytes given back unchanged, and a moved vertex written so that the
// result reads again with as many vertices and, where nothing transforms or
// rounds it, exactly that position. These readers take a file whole, so
// there are no pieces to compare.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "io/gltf/gltf_document.h"
#include "io/ply/ply_document.h"
#include "io/stl/stl_document.h"

namespace {

using namespace talvexhost;

[[noreturn]] void fail(const char* what, const std::string& detail = {}) {
    std::fprintf(stderr, "invariant broken: %s %s\n", what, detail.c_str());
    std::abort();
}

// A folder that does not exist: external glTF buffers never reach real files.
const char* const kNames[3] = {"/nonexistent-fuzz-folder/fuzz.ply",
                               "/nonexistent-fuzz-folder/fuzz.stl",
                               "/nonexistent-fuzz-folder/fuzz.gltf"};

std::unique_ptr<MeshFileDocument> make(int format) {
    if (format == 0) return std::make_unique<PlyDocument>();
    if (format == 1) return std::make_unique<StlDocument>();
    return std::make_unique<GltfDocument>();
}

void checkMesh(const MeshDocument& doc) {
    const int n = doc.vertexCount();
    for (int v = 0; v < n; ++v) {
        const MeshPosition p = doc.position(v);
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z))
            fail("non-finite position");
        if (doc.changed(v)) fail("a vertex changed without being moved");
    }
    for (const MeshElement& e : doc.elements()) {
        if (e.vertices.empty()) fail("element without vertices");
        for (int v : e.vertices)
            if (v < 0 || v >= n) fail("element refers outside the vertex list");
    }
    std::vector<int> owner(static_cast<std::size_t>(n), 0);
    for (const MeshObject& object : doc.objects()) {
        if (object.vertices.empty()) fail("object without vertices", object.name);
        for (std::size_t i = 0; i < object.vertices.size(); ++i) {
            const int v = object.vertices[i];
            if (v < 0 || v >= n) fail("object vertex out of range");
            if (i > 0 && object.vertices[i - 1] >= v) fail("object vertices not ascending");
            ++owner[static_cast<std::size_t>(v)];
        }
    }
    for (int count : owner)
        if (count != 1) fail("a vertex not in exactly one object");
    std::size_t edges = 0;
    doc.forEachEdge([&](const MeshEdge& edge) {
        if (edge.a < 0 || edge.a >= n || edge.b < 0 || edge.b >= n) fail("edge out of range");
        ++edges;
    });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const int format = data[0] % 3;
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::string name = kNames[format];
    auto doc = make(format);
    std::string error;
    if (!doc->parseBytes(bytes, name, error)) {
        if (error.compare(0, name.size(), name) != 0 || error.size() <= name.size() + 2)
            fail("refusal without the file's name", error);
        return 0;
    }
    checkMesh(*doc);
    if (doc->bytes() != bytes) fail("unedited bytes differ");
    if (doc->vertexCount() == 0) return 0;

    // Move the first vertex by a step no coordinate can round away, far
    // from the others, and read the result again.
    const MeshPosition was = doc->position(0);
    const MeshPosition moved{was.x + 1024.0f, was.y - 2048.0f, was.z + 4096.0f};
    if (!std::isfinite(moved.x) || !std::isfinite(moved.y) || !std::isfinite(moved.z)) return 0;
    doc->setPosition(0, moved);
    doc->setNumberStyle(MeshNumberStyle::kShortest);
    const std::string written = doc->bytes();
    auto again = make(format);
    if (!again->parseBytes(written, name, error)) fail("moved output cannot be read", error);
    if (again->vertexCount() != doc->vertexCount() &&
        again->vertexCount() != doc->vertexCount() - 1)  // the move may land on another vertex
        fail("moved output has another vertex count");
    if (format != 2 && again->vertexCount() == doc->vertexCount()) {
        const MeshPosition back = again->position(0);
        if (std::memcmp(&back, &moved, sizeof back) != 0) fail("moved vertex reads back elsewhere");
    }
    checkMesh(*again);
    return 0;
}
