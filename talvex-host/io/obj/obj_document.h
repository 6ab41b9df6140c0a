// A Wavefront OBJ file held as its exact bytes plus what the host needs from
// it: vertex positions, objects and polygons. Writing it back reproduces every
// byte, except the `v` lines of vertices whose position changed, so edits
// never disturb what the host does not understand. The first format behind
// MeshDocument (io/mesh_document.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "io/host_files.h"
#include "io/mesh_document.h"
#include "io/obj/obj_rebuild.h"
#include "io/safe_writer.h"

namespace talvexhost {

class ObjReader;

struct ObjReadResult;

// The seam's types under the names the OBJ code has always used.
using ObjPosition = MeshPosition;
using ObjObject = MeshObject;
using ObjElement = MeshElement;
using ObjEdge = MeshEdge;
using ObjNumberStyle = MeshNumberStyle;
using ObjLoadOptions = MeshLoadOptions;

// Empty when `head` (a file's first bytes) can be OBJ text, else why not.
std::string objRefuses(std::string_view head);

// A stretch of whole lines of the file, the number of the first vertex
// defined in it and how many are: what lets pieces be read and written each
// on its own. The checksum of its bytes as first read tells, when it is
// written, whether the file changed underneath since.
struct ObjTextPiece {
    std::size_t begin;
    std::size_t end;
    int firstVertex;
    int vertices;
    std::uint64_t checksum;
};

// How the `v` line of a moved vertex is written (MeshNumberStyle):
// kFileDecimals keeps the file's digits. A moved coordinate is written in
// fixed notation with the file's decimals (the most any `v` coordinate has),
// correctly rounded, when that reads back as another value than the file's;
// a change of less than one unit of that last decimal keeps the coordinate's
// text, so an edit run again on its own output, whose moves are then below
// the file's precision, changes nothing. Coordinates that did not move (or
// whose zero changed sign) keep their text. In files without decimals, or
// with more than nine (printed to full float precision), moved coordinates
// get the shortest text. kShortest writes all three coordinates of a moved
// vertex as the shortest text that reads back as the same float.
class ObjDocument : public MeshDocument {
public:
    ObjDocument();
    ~ObjDocument() override;
    ObjDocument(ObjDocument&&) noexcept;
    ObjDocument& operator=(ObjDocument&&) noexcept;

    // Reads `path`, mapped rather than copied. On failure returns false and
    // sets `error` to "PATH:LINE: what is wrong" (or "PATH: ..." for
    // whole-file problems).
    bool load(const std::string& path, std::string& error,
              const MeshLoadOptions& options = {}) override;
    const char* formatName() const override { return "OBJ"; }

    // Parses `text` as if read from a file called `name`, in pieces of
    // about `pieceBytes` (0: the reader's own size; tests cut finer).
    bool parse(std::string text, const std::string& name, std::string& error,
               std::size_t pieceBytes = 0);

    // The file's text with the `v` lines of changed vertices rewritten.
    std::string text() const;
    std::string bytes() const override { return text(); }

    // How moved vertices are written (default kFileDecimals); kept until the
    // next load() or parse().
    void setNumberStyle(MeshNumberStyle style) override { numberStyle_ = style; }
    // The most digits after the point among the file's `v` coordinates
    // written in fixed notation.
    int fileDecimals() const { return decimals_; }

    // Writes that text to `path` through the safe writer (safe_writer.h), in
    // large blocks formatted in parallel, so a failure leaves any existing
    // file untouched. Saving over the file the document was read from maps
    // the new file afterwards. Refuses, writing nothing, when the file read
    // has changed since: a piece no longer holds the bytes first read, or,
    // just before the new file takes the target's place, the file is no
    // longer the one loaded (device, file number, size, modification time).
    bool save(const std::string& path, std::string& error) override;

    int vertexCount() const override { return vertexCount_; }
    // The position set last, or the file's (read again from the text after
    // releasePositions(), for vertices not set since).
    MeshPosition position(int vertex) const override;
    void setPosition(int vertex, const MeshPosition& position) override;
    // True when the position differs bit for bit from the file's, as its text
    // gives it. The first call finds every `v` line once.
    bool changed(int vertex) const override;
    // Frees the positions while a host keeps its own copy; vertices the host
    // does not set again are written as they were.
    void releasePositions() override;
    // 1-based line number of the vertex's `v` line (counts the lines before it).
    int lineOf(int vertex) const;
    // "PATH:LINE".
    std::string placeOf(int vertex) const override;

    // Objects that own at least one vertex, in order of first appearance.
    // Vertices belong to the object of the first face, line or point that uses
    // them; a vertex no element uses belongs to the object current where it is
    // defined. Objects come from `o` lines, or from `g` lines in files without
    // any `o`; vertices before either belong to an object named "default".
    const std::vector<MeshObject>& objects() const override { return objects_; }
    // Hands the objects over (the scene keeps their vertex lists), leaving none.
    std::vector<MeshObject> takeObjects() override { return std::move(objects_); }
    // The faces, lines and points, read again from the text on each call:
    // only drawing needs them, so they take no memory in between.
    std::vector<MeshElement> elements() const override;
    // Hands `edge` the edges of the faces and lines in file order, an edge
    // shared by two faces once for each, read again from the text on each
    // call: far quicker than elements(), and they need not all be held.
    void forEachEdge(const std::function<void(const MeshEdge&)>& edge) const override;
    void forEachEdgeRun(
        const std::function<void(const MeshEdge* edges, std::size_t count)>& run) const override;
    // The elements, read again from the text a piece at a time, so no more
    // than a few pieces' are held.
    void forEachElement(const std::function<void(const MeshElement&)>& element) const override;

    // The text read again with texture coordinates, normals and the order
    // of its other lines, kept for rebuiltBytes (obj_rebuild.h).
    bool readForRebuild(HalfMeshInput& input, std::string& error) override;
    // The rebuilt mesh as OBJ (writeRebuiltObj), new coordinates in the
    // number style set: the file's decimals, or the shortest text.
    bool rebuiltBytes(const HalfMeshResult& rebuilt, const HalfPlane& plane, std::string& out,
                      std::vector<std::string>& notes, std::string& error) const override;

    // The longest line accepted; longer ones are refused as malformed.
    static constexpr std::size_t kMaxLineLength = 65536;

private:
    void adopt(ObjReadResult& result);
    // Hands the text to `sink` in blocks (std::vector<char>&&; false on
    // failure), with the `v` lines of changed vertices rewritten.
    // False, with the reason in `error`, when a piece's bytes changed since
    // they were read.
    template <typename Sink>
    bool emit(Sink& sink, std::string& error) const;
    struct FormattedPiece;
    FormattedPiece formatPiece(const ObjTextPiece& piece) const;
    // Runs `reader`, already told what to collect, over the text once more,
    // letting go of the mapped pages behind it.
    void readAgain(ObjReader& reader) const;
    // True when the file at name_ is still the one loaded.
    bool sourceUnchanged() const;
    std::string changedUnderneath() const;
    // The vertex's `v` line, without its ending.
    std::string_view vertexLine(int vertex) const;
    // Writes into `out` the `v` line (up to its coordinates) that gives
    // `position`, `tokens` and `values` being the coordinates of the file's
    // line of that vertex, which holds other numbers; its length, or 0 when
    // the style keeps the file's text. `out` has room for the three tokens,
    // three numbers of kFloatTextMax and four separators.
    std::size_t rewriteVertexLine(const std::string_view tokens[3], const float values[3],
                                  const ObjPosition& position, char* out) const;

    std::unique_ptr<MappedFile> mapped_;
    std::unique_ptr<std::string> owned_;
    // What readForRebuild read, over a copy of the text it read.
    std::string rebuildText_;
    std::unique_ptr<ObjRebuildSource> rebuildSource_;
    std::string_view text_;
    std::string name_;
    FileVersion version_;  // of the file loaded; size -1 when parsed from memory
    int vertexCount_ = 0;
    // The positions to write; the file's own are in its text. Empty after
    // releasePositions(); then `assigned_` marks the ones set since.
    std::vector<ObjPosition> positions_;
    bool released_ = false;
    bool checked_ = true;  // the pieces' checksums were taken (not so for positions only)
    std::vector<bool> assigned_;
    std::vector<ObjObject> objects_;
    std::vector<ObjTextPiece> pieces_;
    ObjNumberStyle numberStyle_ = ObjNumberStyle::kFileDecimals;
    int decimals_ = 0;
    // Where each vertex's line is, is found again by walking the lines: an
    // offset per vertex would cost more memory than the positions.
    bool loneCarriageReturns_ = false;
    // Each vertex's line offset, found on the first changed() call.
    mutable std::vector<std::size_t> lineOffsets_;
};

}  // namespace talvexhost
