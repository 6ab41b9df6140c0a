// The OBJ reader behind ObjDocument. The text is cut into pieces of whole
// lines; a first quick pass counts what each piece holds (lines, vertices,
// texture coordinates, normals, objects), so every piece knows what comes
// before it and is then read on its own, in parallel, a short function per
// kind of line. Vertices belong to the object of the first element that uses
// them: objects only ever follow each other, so that is the lowest object
// number among the uses, which pieces can settle in any order. Line ends may
// be LF, CR LF or a lone CR; a UTF-8 byte-order mark at the start is skipped.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "io/obj/obj_document.h"

namespace talvexhost {

struct ObjReadResult {
    std::vector<ObjPosition> positions;
    std::vector<ObjObject> objects;
    // The text in pieces of whole lines, each with the number of its first
    // vertex, so it can be written back piece by piece.
    std::vector<ObjTextPiece> pieces;
    bool loneCarriageReturns = false;  // some line ends are a CR alone
    // The most digits after the point among the coordinates of `v` lines
    // written in fixed notation: the precision the file was written with.
    int decimals = 0;
};

class ObjReader {
public:
    // `text` must outlive the reader; `name` prefixes every error.
    ObjReader(std::string_view text, const std::string& name);
    ~ObjReader();

    // Also collect every face, line and point into `sink`.
    void collectElements(std::vector<ObjElement>* sink) { elements_ = sink; }
    // Or hand them to `sink` in file order, a piece at a time.
    void streamElements(std::function<void(const ObjElement&)> sink) {
        elementSink_ = std::move(sink);
    }
    // Or hand only the edges of the faces and lines to `sink`, in file order,
    // a piece at a time; the coordinates are then not read (a document's
    // text was checked the first time), nor are positions, objects or
    // checksums made: the result holds the pieces alone.
    void collectEdges(std::function<void(const ObjEdge&)> sink) {
        edges_ = [sink = std::move(sink)](const ObjEdge* edges, std::size_t count) {
            for (std::size_t k = 0; k < count; ++k) sink(edges[k]);
        };
    }
    // Or hand them over a piece's run at a time.
    void collectEdgeRuns(std::function<void(const ObjEdge* edges, std::size_t count)> sink) {
        edges_ = std::move(sink);
    }
    // Leave face, line and point lines unread (and unchecked) when the
    // objects come out the same without them: every vertex defined in the
    // object all those lines stand in. A file of several objects is read in
    // full; one whose single object line leaves some vertices before it is
    // read again in full, so objects never depend on this.
    void skipElements() { skipElements_ = true; }
    // Leave the pieces' checksums 0, for a reading whose text will not be
    // written back: they take a pass over every byte.
    void skipChecksums() { checksums_ = false; }
    // Called once the vertices are counted, before memory is taken for them;
    // returning false (with a reason) ends the reading there.
    void onCounted(std::function<bool(std::int64_t vertices, std::string& error)> check) {
        counted_ = std::move(check);
    }
    // Called as the reading goes on with the offset read up to.
    void onProgress(std::function<void(std::size_t)> progress) { progress_ = std::move(progress); }
    // Called as the first pass, which counts what each piece holds, goes on
    // with the offset counted up to.
    void onCounting(std::function<void(std::size_t)> counted) { countedUpTo_ = std::move(counted); }
    // Pieces of about this many bytes (the default suits files of any size;
    // tests make them tiny to cut every kind of line).
    void setPieceBytes(std::size_t bytes) { pieceBytes_ = bytes > 0 ? bytes : 1; }

    // Reads the whole text; false with "NAME:LINE: reason".
    bool read(ObjReadResult& result, std::string& error);

    // Small enough that the pieces under way take little memory, large enough
    // that handing them over costs nothing worth counting.
    static constexpr std::size_t kPieceBytes = std::size_t(256) << 10;

private:
    class PieceReader;
    struct PieceOutcome;
    // A vertex used before its `v` line, claimed once the whole file is read.
    struct Pending {
        std::int64_t index;  // 1-based, within the file's vertices
        int group;           // the object current at the element
    };
    struct Totals {
        std::int64_t vertices = 0;
        std::int64_t textures = 0;
        std::int64_t normals = 0;
    };

    struct Piece;
    bool countPieces(std::vector<Piece>& pieces, Totals& totals, std::string& error);
    // Makes `group` the vertex's owner unless a lower one uses it too.
    void claimVertex(std::int64_t index, int group);
    void assignObjects(ObjReadResult& result, std::int64_t vertices);

    std::string_view text_;
    const std::string& name_;
    std::vector<ObjElement>* elements_ = nullptr;
    std::function<void(const ObjEdge*, std::size_t)> edges_;
    std::function<void(const ObjElement&)> elementSink_;
    bool keepsElements() const { return elements_ != nullptr || elementSink_; }
    bool collecting() const { return keepsElements() || edges_; }
    bool edgesOnly() const { return edges_ && !keepsElements(); }
    bool skipElements_ = false;
    bool checksums_ = true;
    bool skipping_ = false;          // this reading leaves the elements unread
    std::int64_t objectStarts_ = 0;  // lines that start an object, as counted
    // The lowest and highest object a skipped element stood in.
    int skippedLow_ = 0;
    int skippedHigh_ = -1;
    bool readOnce(ObjReadResult& result, std::string& error);
    std::function<void(std::size_t)> progress_;
    std::function<void(std::size_t)> countedUpTo_;
    std::function<bool(std::int64_t, std::string&)> counted_;
    std::size_t pieceBytes_ = kPieceBytes;
    Totals totals_;  // what the first pass counted in the whole file

    bool objectLines_ = false;
    std::vector<std::string> groupNames_;  // [0] is "default"
    // Per vertex: the object it was defined in, and the lowest object of an
    // element that used it (INT_MAX until one does), settled by every piece.
    std::vector<int> definedIn_;
    std::unique_ptr<std::atomic<int>[]> usedBy_;
    std::vector<Pending> pending_;
};

// The text cut into pieces of whole lines of about `pieceBytes` each, with
// the number of each piece's first vertex; the reader gives the same.
std::vector<ObjTextPiece> cutIntoPieces(std::string_view text,
                                        std::size_t pieceBytes = ObjReader::kPieceBytes);

// A quick 64-bit checksum of `bytes`, to notice text that changed between
// reading it and writing it again (not proof against anyone trying).
std::uint64_t textChecksum(std::string_view bytes) noexcept;

// Where the first line starts: after a UTF-8 byte-order mark, if any.
inline std::size_t firstLineStart(std::string_view text) {
    return text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
}

// Past the line end at `pos` (its CR or LF): CR LF is one, so is a lone CR.
inline std::size_t pastLineEnd(std::string_view text, std::size_t pos) {
    if (pos >= text.size()) return pos;
    return pos + (text[pos] == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n' ? 2 : 1);
}

// Walks the lines of a text the reader accepted: calls visit(begin, end) for
// each, `end` before the line ending. `loneCarriageReturns` as read() found.
// Starts at `from` (a line start), or at the first line when 0.
template <typename Visit>
void forEachLine(std::string_view text, bool loneCarriageReturns, Visit&& visit,
                 std::size_t from = 0) {
    std::size_t pos = from == 0 ? firstLineStart(text) : from;
    while (pos < text.size()) {
        std::size_t end;
        if (loneCarriageReturns) {
            end = text.find_first_of("\r\n", pos);
        } else {
            end = text.find('\n', pos);
            if (end != std::string_view::npos && end > pos && text[end - 1] == '\r') --end;
        }
        if (end == std::string_view::npos) end = text.size();
        if (!visit(pos, end)) return;
        pos = pastLineEnd(text, end);
    }
}

// True when the line [begin, end) of `text` is a `v` line.
inline bool isVertexLine(std::string_view text, std::size_t begin, std::size_t end) {
    while (begin < end && (text[begin] == ' ' || text[begin] == '\t')) ++begin;
    return begin + 1 < end && text[begin] == 'v' &&
           (text[begin + 1] == ' ' || text[begin + 1] == '\t');
}

}  // namespace talvexhost
