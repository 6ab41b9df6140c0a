#include "obj_reader.h"

#include <cstdio>
#include <cstring>
#include <limits>

#include "number_text.h"

namespace talvexhost {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
bool isLineEnd(char c) {
    return c == '\n' || c == '\r';
}

// Splits a line into tokens separated by blanks; `starts` gets each token's
// offset in the line. A token starting with '#' ends the line.
void tokenize(std::string_view line, std::vector<std::string_view>& tokens,
              std::vector<std::size_t>& starts) {
    tokens.clear();
    starts.clear();
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && isBlank(line[i])) ++i;
        if (i >= line.size() || line[i] == '#') break;
        const std::size_t start = i;
        while (i < line.size() && !isBlank(line[i])) ++i;
        tokens.push_back(line.substr(start, i - start));
        starts.push_back(start);
    }
}

std::string quoted(std::string_view token) {
    constexpr std::size_t kShown = 40;
    std::string text(token.substr(0, kShown));
    if (token.size() > kShown) text += "...";
    return "\"" + text + "\"";
}

// The offset of the first 8-byte word from `begin` on that holds a control
// byte (below 0x20, or 0x7F): the bytes before it need no closer look.
std::size_t skipPlainBytes(std::string_view text, std::size_t begin) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ull;
    constexpr std::uint64_t kHighs = 0x8080808080808080ull;
    std::size_t i = begin;
    for (; i + 8 <= text.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + i, 8);
        const std::uint64_t deletes = word ^ (kOnes * 0x7F);
        const std::uint64_t below = (word - kOnes * 0x20) & ~word & kHighs;
        const std::uint64_t isDelete = (deletes - kOnes) & ~deletes & kHighs;
        if ((below | isDelete) != 0) break;
    }
    return i;
}

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";
constexpr std::size_t kProgressStep = std::size_t(4) << 20;

}  // namespace

ObjReader::ObjReader(std::string_view text, const std::string& name) : text_(text), name_(name) {}

bool ObjReader::fail(const std::string& message) {
    *error_ = name_ + ":" + std::to_string(lineNumber_ + 1) + ": " + message;
    return false;
}

bool ObjReader::read(ObjReadResult& result, std::string& error) {
    result = ObjReadResult{};
    result_ = &result;
    error_ = &error;
    objectLines_ = hasObjectLines();
    const std::size_t vertices = countVertexLines(text_);
    result.positions.reserve(vertices);
    definedIn_.reserve(vertices);
    usedBy_.reserve(vertices);
    // A byte-order mark is no part of the first line's text; the writer keeps it.
    std::size_t pos = text_.substr(0, 3) == kByteOrderMark ? 3 : 0;
    std::size_t nextProgress = kProgressStep;
    for (lineNumber_ = 0; pos < text_.size(); ++lineNumber_) {
        const std::size_t end = lineEnd(pos);
        if (end == std::string_view::npos) return false;
        if (!readLine(text_.substr(pos, end - pos))) return false;
        pos = end;
        // CR LF is one line end; a lone CR (old Mac files) is one too.
        if (pos < text_.size()) {
            const bool crlf = text_.compare(pos, 2, "\r\n") == 0;
            if (text_[pos] == '\r' && !crlf) result.loneCarriageReturns = true;
            pos += crlf ? 2 : 1;
        }
        if (progress_ && pos >= nextProgress) {
            progress_(pos);
            nextProgress = pos + kProgressStep;
        }
    }
    if (!checkPending()) return false;
    assignObjects();
    return true;
}

// Finds the end of the line starting at `begin`, refusing on the way what no
// text file holds; npos after a refusal.
std::size_t ObjReader::lineEnd(std::size_t begin) {
    std::size_t i = skipPlainBytes(text_, begin);
    for (; i < text_.size(); ++i) {
        const auto c = static_cast<unsigned char>(text_[i]);
        if (c >= 0x20 && c != 0x7F) continue;
        if (c == '\n' || c == '\r') break;
        if (c == '\t') continue;
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

bool ObjReader::readLine(std::string_view content) {
    if (readPlainVertex(content) || readPlainFace(content)) return true;
    tokenize(content, tokens_, starts_);
    if (tokens_.empty()) return true;
    const std::string_view keyword = tokens_[0];
    if (keyword == "v") return readVertex();
    if (keyword == "vt" || keyword == "vn" || keyword == "vp") return readAttribute(keyword);
    if (keyword == "f" || keyword == "l" || keyword == "p") return readElement(keyword);
    if (keyword == "o" || (keyword == "g" && !objectLines_)) readGroupName(content);
    return true;
}

// The lines most files are made of, "v X Y Z" and "f A B C ..." with plain
// numbers, read without cutting them into tokens first. Anything else, and
// every error, is left to the general path: these change nothing unless they
// accept the whole line.
bool ObjReader::readPlainVertex(std::string_view content) {
    if (content.size() < 2 || content[0] != 'v' || !isBlank(content[1])) return false;
    const char* p = content.data() + 1;
    const char* end = content.data() + content.size();
    for (float& value : values_) {
        while (p < end && isBlank(*p)) ++p;
        p = readPlainFloat(p, end, value);
        if (p == nullptr) return false;
    }
    while (p < end && isBlank(*p)) ++p;
    if (p != end) return false;
    addVertex();
    return true;
}

bool ObjReader::readPlainFace(std::string_view content) {
    if (content.size() < 2 || content[0] != 'f' || !isBlank(content[1])) return false;
    constexpr int kMaxPlain = 16;
    std::int64_t indices[kMaxPlain];
    int count = 0;
    const char* p = content.data() + 1;
    const char* end = content.data() + content.size();
    for (;;) {
        while (p < end && isBlank(*p)) ++p;
        if (p == end) break;
        if (count == kMaxPlain || *p < '0' || *p > '9') return false;
        std::int64_t index = 0;
        for (; p < end && *p >= '0' && *p <= '9'; ++p) {
            index = index * 10 + (*p - '0');
            if (index > std::numeric_limits<int>::max()) return false;
        }
        if ((p < end && !isBlank(*p)) || index == 0) return false;
        indices[count++] = index;
    }
    if (count < 3) return false;
    enterDefaultGroup();
    ObjElement element{ObjElement::kFace, {}};
    for (int i = 0; i < count; ++i) useVertex(indices[i], element);
    if (elements_ != nullptr) elements_->push_back(std::move(element));
    return true;
}

bool ObjReader::readVertex() {
    if (!readAttribute("v")) return false;
    addVertex();
    return true;
}

void ObjReader::addVertex() {
    result_->positions.push_back({values_[0], values_[1], values_[2]});
    enterDefaultGroup();
    definedIn_.push_back(currentGroup_);
    usedBy_.push_back(-1);
}

// Vertices and elements before any `o` or `g` line belong to "default".
void ObjReader::enterDefaultGroup() {
    if (currentGroup_ < 0) {
        groupNames_.push_back("default");
        currentGroup_ = 0;
    }
}

// A valid 1-based vertex index of an element: the vertex gets its owner now
// if it is defined already; a forward one waits for the end of the file.
void ObjReader::useVertex(std::int64_t index, ObjElement& element) {
    const std::int64_t count = static_cast<std::int64_t>(usedBy_.size());
    if (index > count) pending_.push_back({lineNumber_, index, 'v', currentGroup_});
    if (index <= count && usedBy_[index - 1] < 0) usedBy_[index - 1] = currentGroup_;
    if (elements_ != nullptr) element.vertices.push_back(static_cast<int>(index - 1));
}

// Checks a v, vt, vn or vp line's numbers; counts texture coordinates and normals.
bool ObjReader::readAttribute(std::string_view keyword) {
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
    if (keyword == "vt") ++textureCount_;
    if (keyword == "vn") ++normalCount_;
    return true;
}

bool ObjReader::readElement(std::string_view keyword) {
    const ObjElement::Kind kind = keyword == "f"   ? ObjElement::kFace
                                  : keyword == "l" ? ObjElement::kLine
                                                   : ObjElement::kPoint;
    const std::size_t needed = kind == ObjElement::kFace ? 3 : kind == ObjElement::kLine ? 2 : 1;
    if (tokens_.size() - 1 < needed)
        return fail("\"" + std::string(keyword) + "\" needs at least " + std::to_string(needed) +
                    (needed == 1 ? " vertex" : " vertices") + ", found " +
                    std::to_string(tokens_.size() - 1));
    enterDefaultGroup();
    ObjElement element{kind, {}};
    for (std::size_t t = 1; t < tokens_.size(); ++t) {
        if (!readReference(tokens_[t], element)) return false;
    }
    if (elements_ != nullptr) elements_->push_back(std::move(element));
    return true;
}

// One v, v/vt, v/vt/vn or v//vn reference. A vertex already defined gets its
// owner now; forward references wait for the end of the file.
bool ObjReader::readReference(std::string_view token, ObjElement& element) {
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
    const std::int64_t counts[3] = {static_cast<std::int64_t>(usedBy_.size()), textureCount_,
                                    normalCount_};
    const char kinds[3] = {'v', 't', 'n'};
    for (int k = 0; k < partCount; ++k) {
        if (k > 0 && parts[k].empty()) continue;
        std::int64_t index = 0;
        if (!parseInteger(parts[k], index)) return fail("bad vertex reference " + quoted(token));
        if (index == 0) return fail("vertex reference " + quoted(token) + " uses index 0");
        if (index < 0) {
            // Relative to the entries defined so far.
            if (-index > counts[k])
                return fail("vertex reference " + quoted(token) + " points before the first " +
                            (k == 0   ? "vertex"
                             : k == 1 ? "texture coordinate"
                                      : "normal"));
            index = counts[k] + index + 1;
        }
        // Vertices are counted in int: a larger index can never be in range,
        // and cut to int it could turn negative.
        if (k == 0 && index > std::numeric_limits<int>::max())
            return fail("vertex reference " + quoted(token) + " is out of range");
        if (k == 0) {
            useVertex(index, element);
        } else if (index > counts[k]) {
            pending_.push_back({lineNumber_, index, kinds[k], currentGroup_});
        }
    }
    return true;
}

void ObjReader::readGroupName(std::string_view content) {
    std::string_view objectName =
        tokens_.size() > 1 ? content.substr(starts_[1]) : std::string_view("unnamed");
    while (!objectName.empty() && isBlank(objectName.back())) objectName.remove_suffix(1);
    groupNames_.emplace_back(objectName);
    currentGroup_ = static_cast<int>(groupNames_.size()) - 1;
}

bool ObjReader::checkPending() {
    const std::int64_t vertices = static_cast<std::int64_t>(usedBy_.size());
    for (const Pending& p : pending_) {
        const std::int64_t count = p.kind == 'v'   ? vertices
                                   : p.kind == 't' ? textureCount_
                                                   : normalCount_;
        if (p.index > count) {
            lineNumber_ = p.line;
            const char* what = p.kind == 'v'   ? "vertex"
                               : p.kind == 't' ? "texture coordinate"
                                               : "normal";
            return fail(std::string(what) + " index " + std::to_string(p.index) +
                        " is out of range (the file has " + std::to_string(count) + ")");
        }
    }
    // Elements that referred forward give their vertices an owner now, in
    // file order.
    for (const Pending& p : pending_) {
        if (p.kind == 'v' && usedBy_[p.index - 1] < 0) usedBy_[p.index - 1] = p.group;
    }
    return true;
}

void ObjReader::assignObjects() {
    std::vector<ObjObject> byGroup(groupNames_.size());
    std::vector<std::size_t> sizes(groupNames_.size(), 0);
    for (std::size_t v = 0; v < usedBy_.size(); ++v)
        ++sizes[usedBy_[v] >= 0 ? usedBy_[v] : definedIn_[v]];
    for (std::size_t g = 0; g < groupNames_.size(); ++g) {
        byGroup[g].name = std::move(groupNames_[g]);
        byGroup[g].vertices.reserve(sizes[g]);
    }
    for (std::size_t v = 0; v < usedBy_.size(); ++v) {
        const int owner = usedBy_[v] >= 0 ? usedBy_[v] : definedIn_[v];
        byGroup[owner].vertices.push_back(static_cast<int>(v));
    }
    for (ObjObject& object : byGroup) {
        if (!object.vertices.empty()) result_->objects.push_back(std::move(object));
    }
}

// Files with `o` lines take their objects from them alone; `g` lines are then
// groups inside an object (materials, smoothing), not objects.
bool ObjReader::hasObjectLines() const {
    const char* data = text_.data();
    const char* end = data + text_.size();
    for (const char* p = data;
         (p = static_cast<const char*>(std::memchr(p, 'o', end - p))) != nullptr; ++p) {
        // "o" alone as the line's first token.
        if (p + 1 < end && !isBlank(p[1]) && !isLineEnd(p[1])) continue;
        const char* q = p;
        while (q > data && isBlank(q[-1])) --q;
        if (q == data || isLineEnd(q[-1]) ||
            (q == data + 3 && text_.substr(0, 3) == kByteOrderMark))
            return true;
    }
    return false;
}

std::size_t countVertexLines(std::string_view text) noexcept {
    std::size_t count = 0;
    const char* data = text.data();
    const char* end = data + text.size();
    for (const char* p = data;
         (p = static_cast<const char*>(std::memchr(p, 'v', end - p))) != nullptr; ++p) {
        if (p + 1 < end && isBlank(p[1]) && (p == data || isLineEnd(p[-1]))) ++count;
    }
    return count;
}

}  // namespace talvexhost
