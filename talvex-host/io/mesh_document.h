// What every command needs of a mesh file, whatever its format: objects and
// their vertices, positions as the plug-in sees them, faces for pictures and
// rebuilding, and writing back only what moved. A format is a folder under
// io/ holding a MeshDocument and one row in mesh_formats.cpp; no command
// names a format.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "io/rebuilt_mesh.h"

namespace talvexhost {

// A vertex position, in scene space: where a format places its vertices
// through transforms (glTF's nodes), the transform is applied on reading and
// undone on writing.
struct MeshPosition {
    float x;
    float y;
    float z;
};

// A named part of the file the scene shows as one object. Every vertex
// belongs to exactly one object.
struct MeshObject {
    std::string name;
    std::vector<int> vertices;  // 0-based document vertex indices, ascending (file order)
};

// A face (3 or more vertices), line (2 or more) or point (1 or more), by
// 0-based document vertex index.
struct MeshElement {
    enum Kind { kFace, kLine, kPoint };
    Kind kind;
    std::vector<int> vertices;
};

// One edge of a face (each side, the last back to the first) or of a line
// (each segment); points have none.
struct MeshEdge {
    int a;
    int b;
};

// Appends the edges of `element` to `edges`.
void appendEdges(const MeshElement& element, std::vector<MeshEdge>& edges);

// How the coordinates of moved vertices are written, in formats that keep
// them as text; binary formats write the float itself.
enum class MeshNumberStyle {
    // The file's own digits: as many decimals as its coordinates have,
    // correctly rounded; a change below the last decimal keeps the text.
    kFileDecimals,
    // The shortest text that reads back as the same float.
    kShortest,
};

// What load() may do besides reading.
struct MeshLoadOptions {
    // Called now and then with the share of the file read so far, 0 to 1.
    std::function<void(double)> progress;
    // Memory the caller will need per vertex; when set, a file whose vertices
    // would need more than the machine has left is refused before it is read.
    std::uint64_t bytesPerVertex = 0;
    // Only the positions and the objects are wanted (detection): a format may
    // then skip its faces, lines and points, leaving them unread and
    // unchecked, where the objects do not depend on them. elements() and
    // forEachEdge() then give what the format kept, possibly nothing. Such a
    // document is for reading: a format may refuse to write it.
    bool positionsOnly = false;
};

class MeshDocument {
public:
    virtual ~MeshDocument() = default;

    // "OBJ", "PLY", ...: for messages.
    virtual const char* formatName() const = 0;

    // Reads `path`. On failure returns false and sets `error` to
    // "PATH:LINE: what is wrong" for text or "PATH: offset N: what is wrong"
    // for binary content ("PATH: ..." for whole-file problems).
    virtual bool load(const std::string& path, std::string& error,
                      const MeshLoadOptions& options = {}) = 0;

    virtual int vertexCount() const = 0;
    // The position set last, or the file's.
    virtual MeshPosition position(int vertex) const = 0;
    virtual void setPosition(int vertex, const MeshPosition& position) = 0;
    // True when the position differs bit for bit from the file's.
    virtual bool changed(int vertex) const = 0;
    // Frees the positions while a host keeps its own copy; vertices the host
    // does not set again are written as they were.
    virtual void releasePositions() {}

    // Objects that own at least one vertex, in order of first appearance.
    virtual const std::vector<MeshObject>& objects() const = 0;
    // Hands the objects over (the scene keeps their vertex lists), leaving none.
    virtual std::vector<MeshObject> takeObjects() = 0;
    // The faces, lines and points, in file order.
    virtual std::vector<MeshElement> elements() const = 0;
    // Every edge of every element, without collecting them.
    virtual void forEachEdge(const std::function<void(const MeshEdge&)>& edge) const;
    // The same edges in the same order, handed over a run at a time, so the
    // caller's loop over a million edges is not a call through a function
    // object each. By default runs of one edge.
    virtual void forEachEdgeRun(
        const std::function<void(const MeshEdge* edges, std::size_t count)>& run) const;
    // Every element in file order, without holding them all at once where
    // the format reads them again on request.
    virtual void forEachElement(const std::function<void(const MeshElement&)>& element) const;

    // Where the vertex is defined, for messages: "PATH:LINE" or "PATH: offset N".
    virtual std::string placeOf(int vertex) const = 0;

    // How moved coordinates are written (default kFileDecimals).
    virtual void setNumberStyle(MeshNumberStyle) {}

    // The file's bytes with the moved vertices rewritten and everything else
    // kept as read: an untouched document gives back the file byte for byte.
    virtual std::string bytes() const = 0;
    // Writes those bytes to `path` through the safe writer, so a failure
    // leaves any existing file untouched. Refuses, writing nothing, when the
    // file read has changed since it was read.
    virtual bool save(const std::string& path, std::string& error) = 0;

    // Rebuilding from one half (symmetrize). What the geometry needs: the
    // positions as position() gives them, and the elements with each
    // corner's texture coordinates and normal where the format keeps them
    // per corner. By default the positions and elements() without either.
    virtual bool readForRebuild(HalfMeshInput& input, std::string& error);
    // A whole file of this format holding `rebuilt`, made by cutting and
    // mirroring what readForRebuild gave about `plane`: what the file keeps
    // besides the mesh (headers, names, other values of a vertex) carried
    // over from the vertices and elements each one comes from. Adds to
    // `notes` what could not be carried over. False with `error` when the
    // format cannot write one; by default it cannot.
    virtual bool rebuiltBytes(const HalfMeshResult& rebuilt, const HalfPlane& plane,
                              std::string& out, std::vector<std::string>& notes,
                              std::string& error) const;
};

// A format the host reads and writes: chosen by the file's extension and
// confirmed by its first bytes.
struct MeshFormat {
    const char* name;                     // "OBJ"
    std::vector<const char*> extensions;  // lower case, with the dot: ".obj"
    // Empty when `head` (the file's first bytes, at most 4 KiB) can be this
    // format; otherwise why not, for the refusal ("has no PLY header").
    std::string (*refuses)(std::string_view head);
    std::unique_ptr<MeshDocument> (*create)();
};

// Every format, in the order they are tried for a file without a known
// extension.
const std::vector<MeshFormat>& meshFormats();

// The format for `path` by its extension, or nullptr.
const MeshFormat* meshFormatFor(const std::string& path);

// Reads `path` with the format its extension names, once its first bytes
// confirm it; a mismatch is refused with the reason ("PATH: reason", and the
// format the bytes look like, if any). A file without a known extension is
// read by the first format in table order that takes its first bytes, and
// refused when none does. Standard input ("-") cannot be looked at before it
// is read: it is read as the table's first format. Null with `error` set.
std::unique_ptr<MeshDocument> loadMeshDocument(const std::string& path, std::string& error,
                                               const MeshLoadOptions& options = {});

}  // namespace talvexhost
