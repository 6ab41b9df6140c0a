#include "io/obj/obj_reader.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>

#if defined(__SSE2__) && UINTPTR_MAX <= 0xFFFFFFFFu
#include <emmintrin.h>
#endif

#include "hostsim/large_pages.h"
#include "io/number_text.h"
#include "io/obj/obj_tokens.h"
#include "io/ordered_work.h"

namespace talvexhost {

namespace {

bool isBlank(char c) {
    return isObjBlank(c);
}
bool isLineEnd(char c) {
    return c == '\n' || c == '\r';
}

// Which byte of a word holds its lowest set bit (the first byte is byte 0).
std::size_t lowestFlaggedByte(std::uint64_t flags) {
#if defined(__GNUC__) || defined(__clang__)
    return static_cast<std::size_t>(__builtin_ctzll(flags)) / 8;
#else
    std::size_t byte = 0;
    while ((flags & 0xFF) == 0) {
        flags >>= 8;
        ++byte;
    }
    return byte;
#endif
}

void tokenize(std::string_view line, std::vector<std::string_view>& tokens,
              std::vector<std::size_t>& starts) {
    tokenizeObjLine(line, tokens, &starts);
}

// A token shown in a message, cut short when long.
std::string shown(std::string_view token) {
    constexpr std::size_t kShown = 40;
    return std::string(token.substr(0, kShown)) + (token.size() > kShown ? "..." : "");
}
std::string quoted(std::string_view token) {
    return "\"" + shown(token) + "\"";
}

// The offset of the first control byte (below 0x20, or 0x7F) from `begin`
// on, found 8 bytes at a time (16 in a 32-bit build); from the last 8-byte
// word on, the offset of that word, leaving its bytes to the caller.
std::size_t skipPlainBytes(std::string_view text, std::size_t begin) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ull;
    constexpr std::uint64_t kHighs = 0x8080808080808080ull;
    std::size_t i = begin;
#if defined(__SSE2__) && UINTPTR_MAX <= 0xFFFFFFFFu
    // A 32-bit build works the 64-bit words below in pairs of registers,
    // short of registers; sixteen bytes are compared at once instead. A
    // byte is flagged where it is at most 0x1F (unsigned) or is 0x7F.
    const __m128i kLastControl = _mm_set1_epi8(0x1F);
    const __m128i kDelete = _mm_set1_epi8(0x7F);
    for (; i + 16 <= text.size(); i += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
        const __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(block, kLastControl), block);
        const __m128i flagged = _mm_or_si128(control, _mm_cmpeq_epi8(block, kDelete));
        const unsigned flags = static_cast<unsigned>(_mm_movemask_epi8(flagged));
        if (flags != 0) return i + static_cast<std::size_t>(__builtin_ctz(flags));
    }
#endif
    for (; i + 8 <= text.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + i, 8);
        // The borrows that flag a byte only run upwards, so the lowest flag
        // is exact even where the ones above it are not.
        const std::uint64_t deletes = word ^ (kOnes * 0x7F);
        const std::uint64_t below = (word - kOnes * 0x20) & ~word & kHighs;
        const std::uint64_t isDelete = (deletes - kOnes) & ~deletes & kHighs;
        const std::uint64_t flags = below | isDelete;
        if (flags != 0) return i + lowestFlaggedByte(flags);
    }
    return i;
}

constexpr int kUnused = INT_MAX;

// `count` copies of `fill`, in memory asked for in large pages when it is new.
template <typename T>
void fillFresh(std::vector<T>& values, std::size_t count, const T& fill) {
    if (values.capacity() < count) {
        std::vector<T> fresh;
        fresh.reserve(count);
        hostsim::preferLargePages(fresh.data(), count * sizeof(T));
        values.swap(fresh);
    }
    values.assign(count, fill);
}

// Above any count a file can have (those stay below 2^31): an index of more
// digits is held here, so reading it cannot overflow.
constexpr std::int64_t kIndexCeiling = std::int64_t(1) << 40;

// A reference's index, [+-]digits, its magnitude capped at kIndexCeiling
// however many digits it has. False for anything else.
bool readIndex(std::string_view text, std::int64_t& value) {
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) return false;
    std::int64_t magnitude = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        magnitude = std::min(magnitude * 10 + (c - '0'), kIndexCeiling);
    }
    value = negative ? -magnitude : magnitude;
    return true;
}

// Where the line from `begin` ends (its CR or LF, or the end of the text),
// looking no closer at the bytes: the reading proper refuses what is wrong.
std::size_t endOfLine(std::string_view text, std::size_t begin) {
    for (std::size_t i = skipPlainBytes(text, begin); i < text.size(); ++i) {
        if (isLineEnd(text[i])) return i;
    }
    return text.size();
}

// Boundaries of pieces of about `pieceBytes`, each ending just after a LF.
std::vector<std::pair<std::size_t, std::size_t>> cutText(std::string_view text,
                                                         std::size_t pieceBytes) {
    std::vector<std::pair<std::size_t, std::size_t>> pieces;
    std::size_t begin = firstLineStart(text);
    while (begin < text.size()) {
        std::size_t end = text.size();
        if (text.size() - begin > pieceBytes) {
            const std::size_t lf = text.find('\n', begin + pieceBytes - 1);
            if (lf != std::string_view::npos) end = lf + 1;
        }
        pieces.push_back({begin, end});
        begin = end;
    }
    return pieces;
}

// What a piece holds, by the first word of each line.
struct PieceCounts {
    std::int64_t lines = 0;
    std::int64_t vertices = 0;
    std::int64_t textures = 0;
    std::int64_t normals = 0;
    std::int64_t objects = 0;  // "o" lines
    std::int64_t groups = 0;   // "g" lines
    std::uint64_t checksum = 0;
};

void countWord(std::string_view word, PieceCounts& counts) {
    if (word == "v")
        ++counts.vertices;
    else if (word == "vt")
        ++counts.textures;
    else if (word == "vn")
        ++counts.normals;
    else if (word == "o")
        ++counts.objects;
    else if (word == "g")
        ++counts.groups;
}

// The first word of the line at `pos` (up to a blank or a line end).
std::string_view firstWord(std::string_view text, std::size_t pos, std::size_t end) {
    while (pos < end && isBlank(text[pos])) ++pos;
    std::size_t wordEnd = pos;
    while (wordEnd < end && !isBlank(text[wordEnd]) && !isLineEnd(text[wordEnd])) ++wordEnd;
    return text.substr(pos, wordEnd - pos);
}

// Counts the line at `pos` by its first word. Most lines open with a word of
// one letter ("v", "f") right at their start, told by two bytes alone.
void countLine(std::string_view text, std::size_t pos, std::size_t end, PieceCounts& counts) {
    if (pos + 1 < end && !isBlank(text[pos]) && isBlank(text[pos + 1])) {
        const char letter = text[pos];
        counts.vertices += letter == 'v';
        counts.objects += letter == 'o';
        counts.groups += letter == 'g';
        return;
    }
    countWord(firstWord(text, pos, end), counts);
}

PieceCounts countPiece(std::string_view text, std::size_t begin, std::size_t end, bool checksum) {
    PieceCounts counts;
    if (checksum) counts.checksum = textChecksum(text.substr(begin, end - begin));
    const char* data = text.data();
    if (std::memchr(data + begin, '\r', end - begin) == nullptr) {
        // Lines end at LF alone, which the C library finds fastest.
        for (std::size_t pos = begin; pos < end; ++counts.lines) {
            countLine(text, pos, end, counts);
            const void* lf = std::memchr(data + pos, '\n', end - pos);
            pos = lf == nullptr ? end : static_cast<const char*>(lf) - data + 1;
        }
        return counts;
    }
    for (std::size_t pos = begin; pos < end; ++counts.lines) {
        countLine(text, pos, end, counts);
        pos = pastLineEnd(text, endOfLine(text, pos));
    }
    return counts;
}

// Each piece counted, on every core, with its checksum unless told not to;
// `passed`, when given, is told the offset counted up to.
std::vector<PieceCounts> countEach(std::string_view text,
                                   const std::vector<std::pair<std::size_t, std::size_t>>& bounds,
                                   const std::function<void(std::size_t)>& passed = {},
                                   bool checksums = true) {
    std::vector<PieceCounts> counts;
    counts.reserve(bounds.size());
    makeInOrder<PieceCounts>(
        bounds.size(),
        [&](std::size_t k) {
            return countPiece(text, bounds[k].first, bounds[k].second, checksums);
        },
        [&](std::size_t k, PieceCounts& c) {
            counts.push_back(c);
            if (passed) passed(bounds[k].second);
            return true;
        });
    return counts;
}

}  // namespace

std::uint64_t textChecksum(std::string_view bytes) noexcept {
    // Word at a time, each word mixed in with a multiply and a shift: a
    // changed byte changes the result, wherever it is. Lanes of words mix
    // independently, so the multiplies overlap instead of waiting on each
    // other; the lanes are folded in order at the end. The sum is only ever
    // compared within one run, so each build mixes the words it multiplies
    // fastest.
    std::size_t i = 0;
#if UINTPTR_MAX > 0xFFFFFFFFu
    constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
    auto mix = [](std::uint64_t sum, std::uint64_t word) {
        sum = (sum ^ word) * kMultiplier;
        return sum ^ (sum >> 29);
    };
    std::uint64_t lanes[4] = {bytes.size() * kMultiplier, 1, 2, 3};
    for (; i + 32 <= bytes.size(); i += 32) {
        std::uint64_t words[4];
        std::memcpy(words, bytes.data() + i, 32);
        for (int k = 0; k < 4; ++k) lanes[k] = mix(lanes[k], words[k]);
    }
    std::uint64_t sum = lanes[0];
    for (int k = 1; k < 4; ++k) sum = mix(sum, lanes[k]);
    for (; i + 8 <= bytes.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes.data() + i, 8);
        sum = mix(sum, word);
    }
    std::uint64_t tail = 0;
    if (i < bytes.size()) std::memcpy(&tail, bytes.data() + i, bytes.size() - i);
    sum = (sum ^ tail) * kMultiplier;
    return sum ^ (sum >> 32);
#else
    // Eight lanes of 32-bit words, folded into the two halves of the sum.
    constexpr std::uint32_t kMultiplier = 0x9E3779B1u;
    auto mix = [](std::uint32_t sum, std::uint32_t word) {
        sum = (sum ^ word) * kMultiplier;
        return sum ^ (sum >> 15);
    };
    std::uint32_t lanes[8] = {
        static_cast<std::uint32_t>(bytes.size()) * kMultiplier, 1, 2, 3, 4, 5, 6, 7};
    for (; i + 32 <= bytes.size(); i += 32) {
        std::uint32_t words[8];
        std::memcpy(words, bytes.data() + i, 32);
        for (int k = 0; k < 8; ++k) lanes[k] = mix(lanes[k], words[k]);
    }
    std::uint32_t high = lanes[0];
    std::uint32_t low = lanes[4];
    for (int k = 1; k < 4; ++k) {
        high = mix(high, lanes[k]);
        low = mix(low, lanes[k + 4]);
    }
    for (; i + 4 <= bytes.size(); i += 4) {
        std::uint32_t word;
        std::memcpy(&word, bytes.data() + i, 4);
        high = mix(high, word);
    }
    std::uint32_t tail = 0;
    if (i < bytes.size()) std::memcpy(&tail, bytes.data() + i, bytes.size() - i);
    high = mix(high, tail);
    low = mix(low, high);
    return (std::uint64_t(high) << 32) | low;
#endif
}

std::vector<ObjTextPiece> cutIntoPieces(std::string_view text, std::size_t pieceBytes) {
    const auto bounds = cutText(text, pieceBytes > 0 ? pieceBytes : 1);
    const std::vector<PieceCounts> counts = countEach(text, bounds);
    std::vector<ObjTextPiece> pieces;
    std::int64_t vertices = 0;
    for (std::size_t k = 0; k < bounds.size(); ++k) {
        pieces.push_back({bounds[k].first, bounds[k].second, static_cast<int>(vertices),
                          static_cast<int>(counts[k].vertices), counts[k].checksum});
        vertices += counts[k].vertices;
    }
    return pieces;
}

// A piece with the counts of everything before it.
struct ObjReader::Piece {
    std::size_t begin;
    std::size_t end;
    std::int64_t firstLine;
    std::int64_t firstVertex;
    std::int64_t vertices;  // in the piece
    std::int64_t firstTexture;
    std::int64_t firstNormal;
    int groupsBefore;  // object lines before it: the object current at its start
    std::uint64_t checksum;
};

// What reading a piece leaves for the caller to join, in file order.
struct ObjReader::PieceOutcome {
    std::string error;  // empty when the piece read well
    std::vector<std::string> groupNames;
    std::vector<Pending> pending;
    std::vector<ObjElement> elements;
    std::vector<ObjEdge> edges;
    bool loneCarriageReturns = false;
    int decimals = 0;
    // The lowest and highest object an element left unread stood in.
    int skippedLow = INT_MAX;
    int skippedHigh = -1;
};

// Reads one piece: its vertices go straight to their places, every other
// finding into a PieceOutcome.
class ObjReader::PieceReader {
public:
    PieceReader(ObjReader& reader, const Piece& piece, ObjPosition* positions, PieceOutcome& out)
        : reader_(reader),
          text_(reader.text_),
          piece_(piece),
          positions_(positions),
          out_(out),
          group_(piece.groupsBefore) {}

    void read();

private:
    bool readLine(std::string_view content);
    // True when `keyword` starts an element whose reading is skipped.
    bool skipped(std::string_view keyword);
    bool readPlainVertex(std::string_view content);
    // Hands a face, line or point to what the reader collects.
    void keep(ObjElement& element);
    bool readPlainFace(std::string_view content);
    bool readVertex();
    bool addVertex();
    void useVertex(std::int64_t index, ObjElement& element);
    bool readAttribute(std::string_view keyword);
    bool readElement(std::string_view keyword);
    bool readReference(std::string_view token, ObjElement& element);
    void readGroupName(std::string_view content);
    std::size_t lineEnd(std::size_t begin);
    bool fail(const std::string& message);
    std::int64_t lineNumber() const { return piece_.firstLine + line_; }

    ObjReader& reader_;
    std::string_view text_;
    const Piece& piece_;
    ObjPosition* positions_;
    PieceOutcome& out_;
    std::int64_t line_ = 0;  // in the piece, 0-based
    std::int64_t vertices_ = 0;
    std::int64_t textures_ = 0;
    std::int64_t normals_ = 0;
    int group_;
    std::vector<std::string_view> tokens_;
    std::vector<std::size_t> starts_;
    float values_[3] = {0.0f, 0.0f, 0.0f};  // the last numbers line's first three
};

bool ObjReader::PieceReader::fail(const std::string& message) {
    out_.error = reader_.name_ + ":" + std::to_string(lineNumber() + 1) + ": " + message;
    return false;
}

void ObjReader::PieceReader::read() {
    // Where lines end at LF alone, a skipped element's line is passed over
    // by the C library's search, its bytes unlooked at.
    const char* data = text_.data();
    const bool lfOnly = reader_.skipping_ && std::memchr(data + piece_.begin, '\r',
                                                         piece_.end - piece_.begin) == nullptr;
    for (std::size_t pos = piece_.begin; pos < piece_.end; ++line_) {
        if (lfOnly && pos + 1 < piece_.end && isBlank(data[pos + 1]) &&
            skipped(text_.substr(pos, 1))) {
            const void* lf = std::memchr(data + pos, '\n', piece_.end - pos);
            pos = lf == nullptr ? piece_.end : static_cast<const char*>(lf) - data + 1;
            continue;
        }
        const std::size_t end = lineEnd(pos);
        if (end == std::string_view::npos) return;
        if (!readLine(text_.substr(pos, end - pos))) return;
        const std::size_t next = pastLineEnd(text_, end);
        if (next == end + 1 && text_[end] == '\r') out_.loneCarriageReturns = true;
        pos = next;
    }
    // The first pass counted the lines of the file as it then was.
    if (vertices_ != piece_.vertices) fail("the file changed while it was read");
}

// Finds the end of the line starting at `begin`, refusing on the way what no
// text file holds; npos after a refusal.
std::size_t ObjReader::PieceReader::lineEnd(std::size_t begin) {
    std::size_t i = skipPlainBytes(text_, begin);
    for (; i < text_.size(); ++i) {
        const auto c = static_cast<unsigned char>(text_[i]);
        if (c >= 0x20 && c != 0x7F) continue;
        if (c == '\n' || c == '\r') break;
        if (c == '\t') {
            // Tabs between the words: on to the next control byte.
            i = skipPlainBytes(text_, i + 1) - 1;
            continue;
        }
        char byte[8];
        std::snprintf(byte, sizeof byte, "0x%02X", c);
        fail(std::string("binary data (byte ") + byte + " at column " +
             std::to_string(i - begin + 1) + "); not a text OBJ file");
        return std::string_view::npos;
    }
    if (i - begin > ObjDocument::kMaxLineLength) {
        fail("line too long (" + std::to_string(i - begin) + " bytes; at most " +
             std::to_string(ObjDocument::kMaxLineLength) + " are accepted)");
        return std::string_view::npos;
    }
    return i;
}

bool ObjReader::PieceReader::readLine(std::string_view content) {
    // Reading a document's text again for its edges or elements: its
    // coordinates were read and checked the first time, and only their count
    // matters now.
    const bool edgesOnly = (reader_.edges_ || reader_.elementSink_) && reader_.elements_ == nullptr;
    if (edgesOnly && content.size() > 1 && content[0] == 'v' && isBlank(content[1]))
        return addVertex();
    if (reader_.skipping_ && content.size() > 1 && isBlank(content[1]) &&
        skipped(content.substr(0, 1)))
        return true;
    if (readPlainVertex(content) || readPlainFace(content)) return true;
    tokenize(content, tokens_, starts_);
    if (tokens_.empty()) return true;
    const std::string_view keyword = tokens_[0];
    if (reader_.skipping_ && skipped(keyword)) return true;
    if (keyword == "v") return edgesOnly ? addVertex() : readVertex();
    if (keyword == "vt" || keyword == "vn" || keyword == "vp") return readAttribute(keyword);
    if (keyword == "f" || keyword == "l" || keyword == "p") return readElement(keyword);
    if (keyword == "o" || (keyword == "g" && !reader_.objectLines_)) readGroupName(content);
    return true;
}

bool ObjReader::PieceReader::skipped(std::string_view keyword) {
    if (keyword != "f" && keyword != "l" && keyword != "p") return false;
    out_.skippedLow = std::min(out_.skippedLow, group_);
    out_.skippedHigh = std::max(out_.skippedHigh, group_);
    return true;
}

// The lines most files are made of, "v X Y Z" and "f A B C ..." with plain
// numbers, read without cutting them into tokens first. Anything else, and
// every error, is left to the general path: these change nothing unless they
// accept the whole line.
bool ObjReader::PieceReader::readPlainVertex(std::string_view content) {
    if (content.size() < 2 || content[0] != 'v' || !isBlank(content[1])) return false;
    const char* p = content.data() + 1;
    const char* end = content.data() + content.size();
    const char* readable = text_.data() + text_.size();
    float values[3];
    int decimals = 0;
    for (float& value : values) {
        while (p < end && isBlank(*p)) ++p;
        int places = 0;
        p = readPlainFloat(p, end, readable, value, places);
        if (p == nullptr) return false;
        decimals = std::max(decimals, places);
    }
    while (p < end && isBlank(*p)) ++p;
    if (p != end) return false;
    std::memcpy(values_, values, sizeof values_);
    out_.decimals = std::max(out_.decimals, decimals);
    return addVertex();
}

bool ObjReader::PieceReader::readPlainFace(std::string_view content) {
    if (content.size() < 2 || content[0] != 'f' || !isBlank(content[1])) return false;
    constexpr int kMaxPlain = 16;
    // Indices of more digits than this, zeros in front, take the general path.
    constexpr int kMaxDigits = 19;
    std::int64_t indices[kMaxPlain];
    int count = 0;
    const char* p = content.data() + 1;
    const char* end = content.data() + content.size();
    const char* readable = text_.data() + text_.size();
#if UINTPTR_MAX <= 0xFFFFFFFFu
    const auto inFile = static_cast<std::uint32_t>(std::min<std::int64_t>(
        reader_.totals_.vertices, std::numeric_limits<std::uint32_t>::max()));
#else
    const auto inFile = static_cast<std::uint64_t>(reader_.totals_.vertices);
#endif
    for (;;) {
        while (p < end && isBlank(*p)) ++p;
        if (p == end) break;
        if (count == kMaxPlain || *p < '0' || *p > '9') return false;
#if UINTPTR_MAX <= 0xFFFFFFFFu
        // A 32-bit build sums in one register: indices of more than nine
        // digits (leading zeros, or beyond what it can hold) take the
        // general path.
        (void)kMaxDigits;
        std::uint32_t index = 0;
        p = readShortDigitRun(p, end, readable, inFile, index);
#else
        std::uint64_t index = 0;
        int digits = 0;
        p = readDigitRun(p, end, readable, kMaxDigits, inFile, index, digits);
#endif
        if (p == nullptr || (p < end && !isBlank(*p)) || index == 0) return false;
        indices[count++] = static_cast<std::int64_t>(index);
    }
    if (count < 3) return false;
    if (reader_.edgesOnly()) {
        // No vertex is claimed then: the face's sides go straight to the
        // edges, without an element's list taken and freed for each face.
        for (int i = 0; i < count; ++i)
            out_.edges.push_back(
                {static_cast<int>(indices[i] - 1), static_cast<int>(indices[(i + 1) % count] - 1)});
        return true;
    }
    ObjElement element{ObjElement::kFace, {}};
    for (int i = 0; i < count; ++i) useVertex(indices[i], element);
    keep(element);
    return true;
}

void ObjReader::PieceReader::keep(ObjElement& element) {
    if (reader_.keepsElements())
        out_.elements.push_back(std::move(element));
    else if (reader_.edges_)
        appendEdges(element, out_.edges);
}

bool ObjReader::PieceReader::readVertex() {
    if (!readAttribute("v")) return false;
    for (std::size_t t = 1; t <= 3; ++t)
        out_.decimals = std::max(out_.decimals, fixedDecimals(tokens_[t]));
    return addVertex();
}

bool ObjReader::PieceReader::addVertex() {
    if (vertices_ == piece_.vertices) return fail("the file changed while it was read");
    const std::size_t v = static_cast<std::size_t>(piece_.firstVertex + vertices_++);
    if (positions_ == nullptr) return true;  // reading for the edges alone
    positions_[v] = {values_[0], values_[1], values_[2]};
    reader_.definedIn_[v] = group_;
    return true;
}

// A 1-based vertex index of an element, within the file's vertices. A vertex
// defined already takes the lowest object that uses it (the first, as objects
// only ever follow each other); a forward one waits for the end of the file,
// where the same rule settles it.
inline void ObjReader::PieceReader::useVertex(std::int64_t index, ObjElement& element) {
    const std::int64_t count = piece_.firstVertex + vertices_;
    if (reader_.edgesOnly()) {
        // The objects are not worked out again: no vertex is claimed.
    } else if (index > count) {
        out_.pending.push_back({index, group_});
    } else {
        reader_.claimVertex(index, group_);
    }
    if (reader_.collecting()) element.vertices.push_back(static_cast<int>(index - 1));
}

// Checks a v, vt, vn or vp line's numbers; counts texture coordinates and normals.
bool ObjReader::PieceReader::readAttribute(std::string_view keyword) {
    const std::size_t needed = keyword == "v" || keyword == "vn" ? 3 : 1;
    if (tokens_.size() - 1 < needed)
        return fail("\"" + std::string(keyword) + "\" needs " + std::to_string(needed) +
                    (needed == 1 ? " number" : " numbers") + ", found " +
                    std::to_string(tokens_.size() - 1));
    for (std::size_t t = 1; t < tokens_.size(); ++t) {
        float value = 0.0f;
        const NumberStatus status = readFloat(tokens_[t], value);
        if (t <= 3) values_[t - 1] = value;
        if (status == NumberStatus::kOutOfRange)
            return fail("number " + quoted(tokens_[t]) +
                        " is outside the single-precision range (at most 3.4028235e38 in size)");
        if (status != NumberStatus::kOk)
            return fail("bad number " + quoted(tokens_[t]) + " (a decimal number is expected)");
    }
    if (keyword == "vt") ++textures_;
    if (keyword == "vn") ++normals_;
    return true;
}

bool ObjReader::PieceReader::readElement(std::string_view keyword) {
    const ObjElement::Kind kind = keyword == "f"   ? ObjElement::kFace
                                  : keyword == "l" ? ObjElement::kLine
                                                   : ObjElement::kPoint;
    const std::size_t needed = kind == ObjElement::kFace ? 3 : kind == ObjElement::kLine ? 2 : 1;
    if (tokens_.size() - 1 < needed)
        return fail("\"" + std::string(keyword) + "\" needs at least " + std::to_string(needed) +
                    (needed == 1 ? " vertex" : " vertices") + ", found " +
                    std::to_string(tokens_.size() - 1));
    ObjElement element{kind, {}};
    for (std::size_t t = 1; t < tokens_.size(); ++t) {
        if (!readReference(tokens_[t], element)) return false;
    }
    keep(element);
    return true;
}

// One v, v/vt, v/vt/vn or v//vn reference. A vertex already defined is used
// now; forward references wait for the end of the file.
bool ObjReader::PieceReader::readReference(std::string_view token, ObjElement& element) {
    std::string_view parts[3];
    std::string_view rest = token;
    int partCount = 0;
    while (partCount < 3) {
        const std::size_t slash = rest.find('/');
        parts[partCount++] = rest.substr(0, slash);
        if (slash == std::string_view::npos) break;
        rest = rest.substr(slash + 1);
        if (partCount == 3) return fail("bad vertex reference " + quoted(token));
    }
    // Relative indices count back from the entries defined so far; others
    // may point forward, up to the file's count.
    const std::int64_t counts[3] = {piece_.firstVertex + vertices_, piece_.firstTexture + textures_,
                                    piece_.firstNormal + normals_};
    const Totals& totals = reader_.totals_;
    const std::int64_t inFile[3] = {totals.vertices, totals.textures, totals.normals};
    static const char* const kWhat[3] = {"vertex", "texture coordinate", "normal"};
    for (int k = 0; k < partCount; ++k) {
        if (k > 0 && parts[k].empty()) continue;
        std::int64_t index = 0;
        if (!readIndex(parts[k], index)) return fail("bad vertex reference " + quoted(token));
        if (index == 0) return fail("vertex reference " + quoted(token) + " uses index 0");
        if (index < 0) {
            if (-index > counts[k])
                return fail("vertex reference " + quoted(token) + " points before the first " +
                            kWhat[k] + " (" + std::to_string(counts[k]) + " defined so far)");
            index = counts[k] + index + 1;
        } else if (index > inFile[k]) {
            return fail(std::string(kWhat[k]) + " index " + shown(parts[k]) +
                        " is out of range (the file has " + std::to_string(inFile[k]) + ")");
        }
        if (k == 0) useVertex(index, element);
    }
    return true;
}

void ObjReader::PieceReader::readGroupName(std::string_view content) {
    std::string_view objectName =
        tokens_.size() > 1 ? content.substr(starts_[1]) : std::string_view("unnamed");
    while (!objectName.empty() && isBlank(objectName.back())) objectName.remove_suffix(1);
    out_.groupNames.emplace_back(objectName);
    group_ = piece_.groupsBefore + static_cast<int>(out_.groupNames.size());
}

ObjReader::ObjReader(std::string_view text, const std::string& name) : text_(text), name_(name) {}
ObjReader::~ObjReader() = default;

// The first pass: each piece counted (in parallel), then each given the
// counts before it. Files with `o` lines take their objects from them alone;
// `g` lines are then groups inside an object (materials, smoothing).
bool ObjReader::countPieces(std::vector<Piece>& pieces, Totals& totals, std::string& error) {
    const auto bounds = cutText(text_, pieceBytes_);
    // Reading for the edges alone, the text was checked when first read.
    const std::vector<PieceCounts> counts =
        countEach(text_, bounds, countedUpTo_, checksums_ && !edgesOnly());
    std::int64_t lines = 0;
    std::int64_t objects = 0;
    for (const PieceCounts& c : counts) objects += c.objects;
    objectLines_ = objects > 0;
    std::int64_t groups = 0;
    for (std::size_t k = 0; k < bounds.size(); ++k) {
        const PieceCounts& c = counts[k];
        pieces.push_back({bounds[k].first, bounds[k].second, lines, totals.vertices, c.vertices,
                          totals.textures, totals.normals, static_cast<int>(groups), c.checksum});
        lines += c.lines;
        totals.vertices += c.vertices;
        totals.textures += c.textures;
        totals.normals += c.normals;
        groups += objectLines_ ? c.objects : c.groups;
    }
    if (totals.vertices >= std::numeric_limits<int>::max() ||
        groups >= std::numeric_limits<int>::max()) {
        error = name_ + ": too many vertices or objects (" + std::to_string(totals.vertices) +
                " vertices, " + std::to_string(groups) + " objects)";
        return false;
    }
    objectStarts_ = groups;
    return true;
}

inline void ObjReader::claimVertex(std::int64_t index, int group) {
    std::atomic<int>& owner = usedBy_[index - 1];
    int seen = owner.load(std::memory_order_relaxed);
    while (group < seen && !owner.compare_exchange_weak(seen, group, std::memory_order_relaxed)) {
    }
}

bool ObjReader::read(ObjReadResult& result, std::string& error) {
    if (!readOnce(result, error)) return false;
    if (!skipping_ || skippedHigh_ < 0) return true;
    // The skipped elements would have claimed vertices only for the object
    // they stand in; when that is each vertex's own, nothing was lost.
    const int group = skippedHigh_;
    bool same = skippedLow_ == group;
    for (std::size_t v = 0; same && v < definedIn_.size(); ++v) same = definedIn_[v] == group;
    if (same) return true;
    skipElements_ = false;
    const bool read = readOnce(result, error);
    skipElements_ = true;
    return read;
}

bool ObjReader::readOnce(ObjReadResult& result, std::string& error) {
    result = ObjReadResult{};
    skippedLow_ = INT_MAX;
    skippedHigh_ = -1;
    std::vector<Piece> pieces;
    totals_ = Totals{};
    Totals& totals = totals_;
    if (!countPieces(pieces, totals, error)) return false;
    // With several objects the elements are likely to decide owners: read
    // them at once rather than again.
    skipping_ = skipElements_ && objectStarts_ <= 1;
    if (counted_ && !counted_(totals.vertices, error)) return false;
    const std::size_t vertices = static_cast<std::size_t>(totals.vertices);
    // Reading for the edges alone keeps no positions and works out no objects.
    const bool edgesOnly = this->edgesOnly();
    if (!edgesOnly) {
        fillFresh(result.positions, vertices, ObjPosition{});
        fillFresh(definedIn_, vertices, 0);
    }
    // Without elements no vertex is claimed: each keeps the object it is defined in.
    usedBy_.reset(skipping_ || edgesOnly ? nullptr : new std::atomic<int>[vertices]);
    if (usedBy_) hostsim::preferLargePages(usedBy_.get(), vertices * sizeof(std::atomic<int>));
    for (std::size_t v = 0; usedBy_ && v < vertices; ++v)
        usedBy_[v].store(kUnused, std::memory_order_relaxed);
    groupNames_.assign(1, "default");
    pending_.clear();
    ObjPosition* positions = edgesOnly ? nullptr : result.positions.data();
    const bool read = makeInOrder<PieceOutcome>(
        pieces.size(),
        [&](std::size_t k) {
            PieceOutcome out;
            PieceReader(*this, pieces[k], positions, out).read();
            return out;
        },
        [&](std::size_t k, PieceOutcome& out) {
            if (!out.error.empty()) {
                error = std::move(out.error);
                return false;
            }
            for (std::string& name : out.groupNames) groupNames_.push_back(std::move(name));
            pending_.insert(pending_.end(), out.pending.begin(), out.pending.end());
            if (elements_ != nullptr)
                for (ObjElement& e : out.elements) elements_->push_back(std::move(e));
            if (elementSink_)
                for (const ObjElement& e : out.elements) elementSink_(e);
            if (edges_) edges_(out.edges.data(), out.edges.size());
            result.loneCarriageReturns = result.loneCarriageReturns || out.loneCarriageReturns;
            result.decimals = std::max(result.decimals, out.decimals);
            if (out.skippedHigh >= 0) {
                skippedLow_ = std::min(skippedLow_, out.skippedLow);
                skippedHigh_ = std::max(skippedHigh_, out.skippedHigh);
            }
            if (progress_) progress_(pieces[k].end);
            return true;
        });
    if (!read) return false;
    // Elements that referred forward claim their vertices now, by the same
    // rule as the others, so the order the pieces settle in decides nothing.
    for (const Pending& p : pending_) claimVertex(p.index, p.group);
    if (!edgesOnly) assignObjects(result, totals.vertices);
    for (const Piece& piece : pieces)
        result.pieces.push_back({piece.begin, piece.end, static_cast<int>(piece.firstVertex),
                                 static_cast<int>(piece.vertices), piece.checksum});
    return true;
}

void ObjReader::assignObjects(ObjReadResult& result, std::int64_t vertices) {
    const std::size_t count = static_cast<std::size_t>(vertices);
    auto ownerOf = [&](std::size_t v) {
        const int used = usedBy_ ? usedBy_[v].load(std::memory_order_relaxed) : kUnused;
        return used != kUnused ? used : definedIn_[v];
    };
    std::vector<ObjObject> byGroup(groupNames_.size());
    std::vector<std::size_t> sizes(groupNames_.size(), 0);
    for (std::size_t v = 0; v < count; ++v) ++sizes[ownerOf(v)];
    for (std::size_t g = 0; g < groupNames_.size(); ++g) {
        byGroup[g].name = std::move(groupNames_[g]);
        byGroup[g].vertices.reserve(sizes[g]);
    }
    for (std::size_t v = 0; v < count; ++v)
        byGroup[ownerOf(v)].vertices.push_back(static_cast<int>(v));
    for (ObjObject& object : byGroup) {
        if (!object.vertices.empty()) result.objects.push_back(std::move(object));
    }
}

}  // namespace talvexhost
