#include "io/obj/obj_document.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "io/number_text.h"
#include "io/obj/obj_reader.h"
#include "io/ordered_work.h"

namespace talvexhost {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// The first three numbers of a `v` line the reader accepted.
ObjPosition fileCoordinates(std::string_view line) {
    float values[3] = {0.0f, 0.0f, 0.0f};
    const char* end = line.data() + line.size();
    const char* p = line.data();
    while (p < end && isBlank(*p)) ++p;
    while (p < end && !isBlank(*p)) ++p;
    for (float& value : values) {
        while (p < end && isBlank(*p)) ++p;
        const char* next = readPlainFloat(p, end, value);
        if (next == nullptr) {
            const char* start = p;
            while (p < end && !isBlank(*p)) ++p;
            readFloat(std::string_view(start, static_cast<std::size_t>(p - start)), value);
        } else {
            p = next;
        }
    }
    return {values[0], values[1], values[2]};
}

// The three coordinate tokens of a `v` line the reader accepted, with their
// values; the offset just after them: what follows (w, colours, comments) is
// kept when the line is rewritten.
std::size_t coordinateTokens(std::string_view line, std::string_view tokens[3], float values[3]) {
    const char* end = line.data() + line.size();
    const char* cursor = line.data();
    while (cursor < end && isBlank(*cursor)) ++cursor;
    while (cursor < end && !isBlank(*cursor)) ++cursor;
    for (int i = 0; i < 3; ++i) {
        while (cursor < end && isBlank(*cursor)) ++cursor;
        const char* start = cursor;
        while (cursor < end && !isBlank(*cursor)) ++cursor;
        tokens[i] = std::string_view(start, static_cast<std::size_t>(cursor - start));
        values[i] = 0.0f;
        if (readPlainFloat(start, cursor, values[i]) == nullptr) readFloat(tokens[i], values[i]);
    }
    return static_cast<std::size_t>(cursor - line.data());
}

bool sameBits(float a, float b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// How much a rewritten piece's buffer grows at a time.
constexpr std::size_t kFillStep = std::size_t(64) << 10;

// The first and last sizeof(Word) bytes of a span of Word to twice its
// size: the two moves overlap to cover every length in that range.
template <typename Word>
inline void copyHeadAndTail(char* to, const char* from, std::size_t bytes) {
    Word head;
    Word tail;
    std::memcpy(&head, from, sizeof head);
    std::memcpy(&tail, from + bytes - sizeof tail, sizeof tail);
    std::memcpy(to, &head, sizeof head);
    std::memcpy(to + bytes - sizeof tail, &tail, sizeof tail);
}

// std::memcpy, with spans of up to 16 bytes (a line end, a number) copied
// in place by fixed-size moves instead of a call.
inline void copyBytes(char* to, const char* from, std::size_t bytes) {
    if (bytes > 16) {
        std::memcpy(to, from, bytes);
    } else if (bytes >= 8) {
        copyHeadAndTail<std::uint64_t>(to, from, bytes);
    } else if (bytes >= 4) {
        copyHeadAndTail<std::uint32_t>(to, from, bytes);
    } else if (bytes > 0) {
        to[0] = from[0];
        to[bytes / 2] = from[bytes / 2];
        to[bytes - 1] = from[bytes - 1];
    }
}

// Files printed with more decimals than this carry floats to full precision,
// where the shortest text serves best.
constexpr int kMostFileDecimals = 9;
constexpr double kUnitOfDecimal[kMostFileDecimals + 1] = {1.0,  1e-1, 1e-2, 1e-3, 1e-4,
                                                          1e-5, 1e-6, 1e-7, 1e-8, 1e-9};

bool samePosition(const ObjPosition& a, const ObjPosition& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

std::string megabytes(std::uint64_t bytes) {
    return std::to_string((bytes + (1u << 20) - 1) >> 20) + " MB";
}

// Writing in blocks keeps the mapped input from piling up in memory: the
// pages already copied are let go as the output goes out.
constexpr std::size_t kReleaseStep = std::size_t(1) << 20;

// For tests of files that change underneath: with TALVEX_TEST_HOLD_BEFORE_WRITE
// set to a path, a save creates that file once the mesh is read and waits
// (up to a minute) until it is gone, so a test can change the input then.
void holdBeforeWriteForTest() {
    const char* hold = std::getenv("TALVEX_TEST_HOLD_BEFORE_WRITE");
    if (hold == nullptr || *hold == '\0') return;
    std::ofstream(hold).put('\n');
    for (int waited = 0; waited < 6000 && std::filesystem::exists(hold); ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

}  // namespace

// OBJ has no signature: any text may be one. What rules it out at once is a
// first line holding bytes no text has, as binary formats' first bytes do;
// the reader refuses such bytes further on with their line.
std::string objRefuses(std::string_view head) {
    std::size_t i = firstLineStart(head);
    for (; i < head.size() && head[i] != '\n' && head[i] != '\r'; ++i) {
        const auto c = static_cast<unsigned char>(head[i]);
        if ((c >= 0x20 && c != 0x7F) || c == '\t') continue;
        char byte[8];
        std::snprintf(byte, sizeof byte, "0x%02X", c);
        return std::string("binary data (byte ") + byte + " at offset " + std::to_string(i) +
               "), not OBJ text";
    }
    return {};
}

ObjDocument::ObjDocument() = default;
ObjDocument::~ObjDocument() = default;
ObjDocument::ObjDocument(ObjDocument&&) noexcept = default;
ObjDocument& ObjDocument::operator=(ObjDocument&&) noexcept = default;

bool ObjDocument::load(const std::string& path, std::string& error,
                       const MeshLoadOptions& options) {
    auto mapped = std::make_unique<MappedFile>();
    if (!mapped->open(path, error)) return false;
    const std::string_view bytes = mapped->bytes();
    ObjReader reader(bytes, path);
    if (options.positionsOnly) {
        reader.skipElements();
        reader.skipChecksums();
    }
    if (options.bytesPerVertex > 0) {
        reader.onCounted([&](std::int64_t vertices, std::string& why) {
            // The file stays mapped while the mesh is worked on, so it counts too.
            const std::uint64_t needed =
                bytes.size() + std::uint64_t(vertices) * options.bytesPerVertex;
            const std::uint64_t available = availableMemory();
            if (available == 0 || needed <= available) return true;
            why = path + ": " + std::to_string(vertices) + " vertices need about " +
                  megabytes(needed) + " of memory, but only " + megabytes(available) +
                  " are available; nothing was done";
            return false;
        });
    }
    MappedFile* file = mapped.get();
    reader.onProgress([&](std::size_t offset) {
        file->releaseBefore(offset);
        if (options.progress) options.progress(double(offset) / double(bytes.size()));
    });
    ObjReadResult result;
    if (!reader.read(result, error)) return false;
    file->releaseBefore(bytes.size());
    *this = ObjDocument();
    version_ = mapped->version();
    mapped_ = std::move(mapped);
    text_ = bytes;
    name_ = path;
    adopt(result);
    checked_ = !options.positionsOnly;
    return true;
}

bool ObjDocument::parse(std::string text, const std::string& name, std::string& error,
                        std::size_t pieceBytes) {
    auto owned = std::make_unique<std::string>(std::move(text));
    ObjReader reader(*owned, name);
    if (pieceBytes > 0) reader.setPieceBytes(pieceBytes);
    ObjReadResult result;
    if (!reader.read(result, error)) return false;
    *this = ObjDocument();
    owned_ = std::move(owned);
    text_ = *owned_;
    name_ = name;
    adopt(result);
    return true;
}

void ObjDocument::adopt(ObjReadResult& result) {
    positions_ = std::move(result.positions);
    vertexCount_ = static_cast<int>(positions_.size());
    objects_ = std::move(result.objects);
    pieces_ = std::move(result.pieces);
    loneCarriageReturns_ = result.loneCarriageReturns;
    decimals_ = result.decimals;
}

void ObjDocument::setPosition(int vertex, const ObjPosition& position) {
    if (released_ && positions_.empty()) {
        positions_.resize(static_cast<std::size_t>(vertexCount_));
        assigned_.assign(static_cast<std::size_t>(vertexCount_), false);
    }
    positions_[vertex] = position;
    if (released_) assigned_[vertex] = true;
}

void ObjDocument::releasePositions() {
    std::vector<ObjPosition>().swap(positions_);
    std::vector<bool>().swap(assigned_);
    released_ = true;
}

std::string_view ObjDocument::vertexLine(int vertex) const {
    if (lineOffsets_.empty()) {
        lineOffsets_.reserve(static_cast<std::size_t>(vertexCount_));
        forEachLine(text_, loneCarriageReturns_, [&](std::size_t begin, std::size_t end) {
            if (isVertexLine(text_, begin, end)) lineOffsets_.push_back(begin);
            return true;
        });
    }
    const std::size_t begin = lineOffsets_[vertex];
    const std::size_t end = text_.find_first_of("\r\n", begin);
    return text_.substr(begin, end == std::string_view::npos ? end : end - begin);
}

ObjPosition ObjDocument::position(int vertex) const {
    if (!positions_.empty() && (!released_ || assigned_[vertex])) return positions_[vertex];
    return fileCoordinates(vertexLine(vertex));
}

bool ObjDocument::changed(int vertex) const {
    if (positions_.empty() || (released_ && !assigned_[vertex])) return false;
    return !samePosition(fileCoordinates(vertexLine(vertex)), positions_[vertex]);
}

int ObjDocument::lineOf(int vertex) const {
    int line = 0;
    int seen = 0;
    forEachLine(text_, loneCarriageReturns_, [&](std::size_t begin, std::size_t end) {
        ++line;
        return !(isVertexLine(text_, begin, end) && seen++ == vertex);
    });
    return line;
}

std::string ObjDocument::placeOf(int vertex) const {
    return name_ + ":" + std::to_string(lineOf(vertex));
}

std::vector<ObjElement> ObjDocument::elements() const {
    std::vector<ObjElement> elements;
    ObjReader reader(text_, name_);
    reader.collectElements(&elements);
    ObjReadResult result;
    std::string error;
    reader.read(result, error);  // read once already: cannot fail
    return elements;
}

struct ObjDocument::FormattedPiece {
    std::vector<char> bytes;
    bool intact;  // the piece still held the bytes first read
};

void ObjDocument::readAgain(ObjReader& reader) const {
    // As in loading: the mapped pages behind are let go, else the whole
    // input would come back into memory for this.
    if (mapped_) {
        const auto release = [this](std::size_t offset) { mapped_->releaseBefore(offset); };
        reader.onCounting(release);
        reader.onProgress(release);
    }
    ObjReadResult result;
    std::string error;
    reader.read(result, error);  // read once already: cannot fail
    if (mapped_) mapped_->releaseBefore(text_.size());
}

void ObjDocument::forEachEdge(const std::function<void(const ObjEdge&)>& edge) const {
    ObjReader reader(text_, name_);
    reader.collectEdges(edge);
    readAgain(reader);
}

void ObjDocument::forEachEdgeRun(
    const std::function<void(const ObjEdge* edges, std::size_t count)>& run) const {
    ObjReader reader(text_, name_);
    reader.collectEdgeRuns(run);
    readAgain(reader);
}

void ObjDocument::forEachElement(const std::function<void(const ObjElement&)>& element) const {
    ObjReader reader(text_, name_);
    reader.streamElements(element);
    readAgain(reader);
}

ObjDocument::FormattedPiece ObjDocument::formatPiece(const ObjTextPiece& piece) const {
    // Written through a cursor into a buffer sized up front: most spans are a
    // line end or a line, too short to be worth a call to the C library's
    // copy, which a 32-bit Windows runtime makes slowly.
    std::vector<char> out;
    std::size_t used = 0;
    // Rewritten lines may be longer than the file's. The buffer's size grows
    // a step at a time, so no more of it is touched than is written.
    out.reserve(piece.end - piece.begin + (piece.end - piece.begin) / 4);
    auto room = [&](std::size_t bytes) {
        // Within the reserve where it has room: beyond it the vector would
        // move to a block twice the size.
        if (out.size() - used < bytes)
            out.resize(std::max(used + bytes, std::min(out.capacity(), used + kFillStep)));
        return out.data() + used;
    };
    auto copy = [&](std::size_t from, std::size_t to) {
        copyBytes(room(to - from), text_.data() + from, to - from);
        used += to - from;
    };
    std::size_t copied = piece.begin;
    int v = piece.firstVertex;
    const int lastVertex = piece.firstVertex + piece.vertices;
    // After the piece's last vertex the rest is copied as it is.
    auto rewrite = [&](std::size_t begin, std::size_t end) {
        if (v == lastVertex) return false;
        if (!isVertexLine(text_, begin, end)) return true;
        const bool set = !positions_.empty() && (!released_ || assigned_[v]);
        const int vertex = v++;
        if (!set) return true;
        const ObjPosition& p = positions_[vertex];
        const std::string_view text = text_.substr(begin, end - begin);
        std::string_view tokens[3];
        float values[3];
        const std::size_t numbersEnd = coordinateTokens(text, tokens, values);
        const bool differs =
            !sameBits(values[0], p.x) || !sameBits(values[1], p.y) || !sameBits(values[2], p.z);
        if (!differs) return true;
        copy(copied, begin);
        copied = begin;
        // Room for the longest line the three numbers can make.
        char* line =
            room(4 + tokens[0].size() + tokens[1].size() + tokens[2].size() + 3 * kFloatTextMax);
        const std::size_t length = rewriteVertexLine(tokens, values, p, line);
        if (length > 0) {
            used += length;
            copied = begin + numbersEnd;
        }
        return true;
    };
    if (piece.vertices > 0 && !positions_.empty())
        forEachLine(text_, loneCarriageReturns_, rewrite, piece.begin);
    copy(copied, piece.end);
    out.resize(used);
    // Checked after the copy: what was copied is what was read, unless the
    // bytes changed and changed back meanwhile.
    const bool intact =
        textChecksum(text_.substr(piece.begin, piece.end - piece.begin)) == piece.checksum;
    return {std::move(out), intact};
}

std::size_t ObjDocument::rewriteVertexLine(const std::string_view tokens[3], const float values[3],
                                           const ObjPosition& position, char* out) const {
    const float wanted[3] = {position.x, position.y, position.z};
    const bool fileStyle = numberStyle_ == ObjNumberStyle::kFileDecimals && decimals_ > 0 &&
                           decimals_ <= kMostFileDecimals;
    bool rewritten = false;
    char* at = out;
    *at++ = 'v';
    for (int i = 0; i < 3; ++i) {
        *at++ = ' ';
        const double was = values[i];
        const double now = wanted[i];
        // The sign of a zero is no move. The distance is taken as the larger
        // of the move and its negation rather than through fabs, which a
        // 32-bit Windows build's math.h makes an x87 instruction fed through
        // memory; both are one instruction natively, with no branch.
        const double moved = now - was;
        const double distance = std::max(moved, -moved);
        const bool keep = numberStyle_ == ObjNumberStyle::kFileDecimals &&
                          (now == was || (fileStyle && distance < kUnitOfDecimal[decimals_]));
        if (keep) {
            copyBytes(at, tokens[i].data(), tokens[i].size());
            at += tokens[i].size();
            continue;
        }
        rewritten = true;
        std::size_t length = 0;
        if (fileStyle) {
            // The file's decimals, unless that would read back as the old value.
            float back = 0.0f;
            length = formatFloatFixedInto(wanted[i], decimals_, at, back);
            if (length > 0 && sameBits(back, values[i])) length = 0;
        }
        if (length == 0) length = formatFloatInto(wanted[i], at);
        at += length;
    }
    return rewritten ? static_cast<std::size_t>(at - out) : 0;
}

bool ObjDocument::sourceUnchanged() const {
    if (version_.size < 0) return true;  // parsed from memory
    FileVersion now;
    return fileVersion(name_, now) && now == version_;
}

std::string ObjDocument::changedUnderneath() const {
    return name_ +
           ": the input changed while it was read (another program wrote to it or "
           "replaced it); nothing was written";
}

template <typename Sink>
bool ObjDocument::emit(Sink& sink, std::string& error) const {
    // Without checksums nothing would tell whether the file changed meanwhile.
    if (!checked_) {
        error = name_ + ": read for its positions only, so it is not written";
        return false;
    }
    // Letting go of the mapped pages behind keeps the input from piling up
    // in memory while it is written.
    auto release = [this](std::size_t offset) {
        if (mapped_) mapped_->releaseBefore(offset);
    };
    if (pieces_.empty()) {
        for (std::size_t at = 0; at < text_.size(); at += kReleaseStep) {
            const std::size_t end = std::min(text_.size(), at + kReleaseStep);
            if (!sink(std::vector<char>(text_.data() + at, text_.data() + end))) return false;
            release(end);
        }
        return true;
    }
    // A byte-order mark comes before the first piece.
    if (pieces_.front().begin > 0 &&
        !sink(std::vector<char>(text_.data(), text_.data() + pieces_.front().begin)))
        return false;
    return makeInOrder<FormattedPiece>(
        pieces_.size(), [this](std::size_t k) { return formatPiece(pieces_[k]); },
        [&](std::size_t k, FormattedPiece& piece) {
            if (!piece.intact) {
                error = changedUnderneath();
                return false;
            }
            if (!sink(std::move(piece.bytes))) return false;
            release(pieces_[k].end);
            return true;
        });
}

std::string ObjDocument::text() const {
    std::string out;
    out.reserve(text_.size() + text_.size() / 8);
    auto append = [&out](std::vector<char>&& block) {
        out.append(block.data(), block.size());
        return true;
    };
    std::string error;
    emit(append, error);  // a text changed underneath gives what was formatted
    return out;
}

bool ObjDocument::save(const std::string& path, std::string& error) {
    holdBeforeWriteForTest();
    SafeWriter writer;
    if (!writer.open(path, error)) return false;
    auto write = [&](std::vector<char>&& block) { return writer.write(std::move(block), error); };
    if (!emit(write, error)) return false;
    std::error_code ec;
    const bool replacesSource =
        mapped_ && std::filesystem::equivalent(name_, writer.resolvedTarget(), ec);
    // The last look at the input, just before the rename: a file written to
    // or replaced since it was loaded (another run's edit of the same file
    // among them) is never overwritten with what was made from its old text.
    auto stillTheInput = [this](std::string& why) {
        if (sourceUnchanged()) return true;
        why = changedUnderneath();
        return false;
    };
    if (!replacesSource) return writer.commit(error, stillTheInput);
    // Writing over the file this document maps: let go of it for the
    // rename, then map what was written, which says what the document holds.
    bool refused = false;
    const bool committed = writer.commit(error, [&](std::string& why) {
        if (!stillTheInput(why)) {
            refused = true;
            return false;
        }
        mapped_.reset();
        text_ = {};
        return true;
    });
    if (refused) return false;
    auto written = std::make_unique<MappedFile>();
    std::string reopenError;
    const std::string source = committed ? writer.resolvedTarget() : name_;
    if (!written->open(source, reopenError)) {
        error =
            committed ? path + ": written, but cannot be read again (" + reopenError + ")" : error;
        vertexCount_ = 0;
        positions_.clear();
        objects_.clear();
        return false;
    }
    version_ = written->version();
    mapped_ = std::move(written);
    text_ = mapped_->bytes();
    lineOffsets_.clear();
    pieces_ = cutIntoPieces(text_);
    return committed;
}

}  // namespace talvexhost

namespace talvexhost {

bool ObjDocument::readForRebuild(HalfMeshInput& input, std::string& error) {
    rebuildText_ = text();
    // The positions as the reader read them, not read again from the text.
    std::vector<EditVector> positions(static_cast<std::size_t>(vertexCount_));
    for (int v = 0; v < vertexCount_; ++v) {
        const MeshPosition p = position(v);
        positions[std::size_t(v)] = {{p.x, p.y, p.z}};
    }
    rebuildSource_ = std::make_unique<ObjRebuildSource>();
    if (!readObjForRebuild(rebuildText_, name_, *rebuildSource_, error, &positions)) return false;
    // The writer needs the lines, not the mesh, which the geometry reads.
    input = std::move(rebuildSource_->mesh);
    return true;
}

bool ObjDocument::rebuiltBytes(const HalfMeshResult& rebuilt, const HalfPlane& plane,
                               std::string& out, std::vector<std::string>&,
                               std::string& error) const {
    if (rebuildSource_ == nullptr) {
        error = name_ + ": nothing was read for rebuilding";
        return false;
    }
    const int decimals = numberStyle_ == MeshNumberStyle::kFileDecimals ? decimals_ : 0;
    out = writeRebuiltObj(*rebuildSource_, rebuilt, plane,
                          decimals >= 1 && decimals <= 9 ? decimals : 0);
    return true;
}

}  // namespace talvexhost
