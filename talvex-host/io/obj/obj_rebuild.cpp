#include "io/obj/obj_rebuild.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "io/number_text.h"
#include "io/obj/obj_tokens.h"

namespace talvexhost {

namespace {

bool isBlank(char c) {
    return isObjBlank(c);
}

void tokenize(std::string_view line, std::vector<std::string_view>& tokens) {
    tokenizeObjLine(line, tokens);
}

// Reads the optionally signed integer at `p` (before `end`); false when
// there is none. `p` ends after it.
bool readIndexAt(const char*& p, const char* end, std::int64_t& value) {
    const bool negative = p < end && *p == '-';
    if (p < end && (*p == '-' || *p == '+')) ++p;
    const char* digits = p;
    std::int64_t v = 0;
    while (p < end && *p >= '0' && *p <= '9' && v < (std::int64_t(1) << 40))
        v = v * 10 + (*p++ - '0');
    value = negative ? -v : v;
    return p > digits;
}

// 0-based from a 1-based index, or one counting back from the `count` items
// defined so far; -1 when it names none. A positive one may point forward:
// the caller checks it against the total once every line is read.
int indexFrom(std::int64_t value, std::size_t count) {
    const std::int64_t index = value < 0 ? std::int64_t(count) + value : value - 1;
    return index >= 0 && index < (std::int64_t(1) << 31) - 1 ? int(index) : -1;
}

// The corners of an `f`, `l` or `p` line after its keyword: v, v/t, v//n or
// v/t/n each; false for anything else.
bool readCorners(const char* p, const char* end, std::size_t vertices, const HalfMeshInput& mesh,
                 std::vector<EditCorner>& corners) {
    while (true) {
        while (p < end && isBlank(*p)) ++p;
        if (p >= end || *p == '#') return true;
        std::int64_t value = 0;
        if (!readIndexAt(p, end, value)) return false;
        EditCorner corner{indexFrom(value, vertices), -1, -1};
        if (p < end && *p == '/') {
            ++p;
            if (p < end && *p != '/') {
                if (!readIndexAt(p, end, value)) return false;
                corner.uv = indexFrom(value, mesh.uvs.size());
                if (corner.uv < 0) return false;
            }
            if (p < end && *p == '/') {
                ++p;
                if (!readIndexAt(p, end, value)) return false;
                corner.normal = indexFrom(value, mesh.normals.size());
                if (corner.normal < 0) return false;
            }
        }
        if (corner.vertex < 0 || (p < end && !isBlank(*p) && *p != '#')) return false;
        corners.push_back(corner);
    }
}

bool readVector(const std::vector<std::string_view>& tokens, int least, EditVector& out) {
    out = {{0.0f, 0.0f, 0.0f}};
    if (static_cast<int>(tokens.size()) < 1 + least) return false;
    for (std::size_t k = 1; k < tokens.size() && k <= 3; ++k)
        if (readFloat(tokens[k], out.v[k - 1]) != NumberStatus::kOk) return k > std::size_t(least);
    return true;
}

}  // namespace

bool readObjForRebuild(std::string_view text, const std::string& name, ObjRebuildSource& source,
                       std::string& error, const std::vector<EditVector>* positions) {
    source = ObjRebuildSource{};
    source.text = text;
    source.byteOrderMark = text.substr(0, 3) == "\xEF\xBB\xBF";
    const std::size_t firstEnd = text.find_first_of("\r\n");
    if (firstEnd != std::string_view::npos && text[firstEnd] == '\r')
        source.lineEnd = firstEnd + 1 < text.size() && text[firstEnd + 1] == '\n' ? "\r\n" : "\r";
    // Lines end at LF (a CR before it is part of the ending), or at a lone CR
    // in old Mac files.
    const bool loneCarriageReturns = std::string_view(source.lineEnd) == "\r";
    HalfMeshInput& mesh = source.mesh;
    std::vector<std::string_view> tokens;
    bool statementSeen = false;
    int lineNumber = 0;
    int vertices = 0;
    const char* const base = text.data();
    std::size_t pos = source.byteOrderMark ? 3 : 0;
    while (pos < text.size()) {
        std::size_t end;
        std::size_t next;
        if (loneCarriageReturns) {
            end = text.find_first_of("\r\n", pos);
            if (end == std::string_view::npos) end = text.size();
            next = end + (end < text.size() && text[end] == '\r' && end + 1 < text.size() &&
                                  text[end + 1] == '\n'
                              ? 2
                              : 1);
        } else {
            const void* lf = std::memchr(base + pos, '\n', text.size() - pos);
            end = lf == nullptr ? text.size() : static_cast<const char*>(lf) - base;
            next = end + 1;
            if (end > pos && text[end - 1] == '\r') --end;
        }
        ++lineNumber;
        const ObjLineSpan span{pos, end};
        const char* p = base + pos;
        const char* const stop = base + end;
        pos = next;
        while (p < stop && isBlank(*p)) ++p;
        const char* word = p;
        while (p < stop && !isBlank(*p)) ++p;
        const std::string_view keyword(word, std::size_t(p - word));
        auto refuse = [&](const std::string& why) {
            error = name + ":" + std::to_string(lineNumber) + ": " + why;
            return false;
        };
        if (keyword == "v") {
            statementSeen = true;
            source.vertexLines.push_back(span);
            if (positions != nullptr) {
                ++vertices;
                continue;
            }
        }
        if (keyword == "v" || keyword == "vt" || keyword == "vn") {
            statementSeen = true;
            tokenize(text.substr(span.begin, span.end - span.begin), tokens);
            EditVector value;
            if (!readVector(tokens, keyword == "vt" ? 1 : 3, value))
                return refuse("expected numbers after \"" + std::string(keyword) + "\"");
            if (keyword == "v") {
                mesh.positions.push_back(value);
            } else if (keyword == "vt") {
                mesh.uvs.push_back(value);
                source.uvLines.push_back(span);
            } else {
                mesh.normals.push_back(value);
                source.normalLines.push_back(span);
            }
            continue;
        }
        const bool face = keyword == "f";
        if (face || keyword == "l" || keyword == "p") {
            statementSeen = true;
            const int first = static_cast<int>(mesh.corners.size());
            // Indices count back from the vertices read so far.
            const std::size_t before =
                positions != nullptr ? std::size_t(vertices) : mesh.positions.size();
            if (!readCorners(p, stop, before, mesh, mesh.corners))
                return refuse("a corner that names no vertex, texture coordinates or normal");
            const EditElement element{face             ? EditElement::kFace
                                      : keyword == "l" ? EditElement::kLine
                                                       : EditElement::kPoint,
                                      first, static_cast<int>(mesh.corners.size()) - first};
            if (element.count < (face ? 3 : element.kind == EditElement::kLine ? 2 : 1))
                return refuse("too few vertices");
            source.items.push_back({span, static_cast<int>(mesh.elements.size())});
            mesh.elements.push_back(element);
            continue;
        }
        source.items.push_back({span, -1});
        const bool blank = keyword.empty() || keyword[0] == '#';
        if (!statementSeen && (blank || keyword == "mtllib"))
            source.headerItems = source.items.size();
        else
            statementSeen = true;
    }
    if (positions != nullptr) {
        if (positions->size() != std::size_t(vertices)) {
            error = name + ": the vertices read are not the ones given";
            return false;
        }
        mesh.positions = *positions;
    }
    for (const EditCorner& c : mesh.corners) {
        if (std::size_t(c.vertex) >= mesh.positions.size() ||
            (c.uv >= 0 && std::size_t(c.uv) >= mesh.uvs.size()) ||
            (c.normal >= 0 && std::size_t(c.normal) >= mesh.normals.size())) {
            error = name +
                    ": an element refers to a vertex, texture coordinate or normal that "
                    "does not exist";
            return false;
        }
    }
    return true;
}

namespace {

// The coordinate tokens of a `v`, `vt` or `vn` line and what follows them.
struct LineParts {
    std::string_view numbers[3];
    int count = 0;
    std::string_view tail;  // from the end of the last coordinate read
};

LineParts splitLine(std::string_view line, int most) {
    LineParts parts;
    std::size_t i = 0;
    while (i < line.size() && isBlank(line[i])) ++i;
    while (i < line.size() && !isBlank(line[i])) ++i;  // the keyword
    std::size_t tailFrom = i;
    while (parts.count < most) {
        while (i < line.size() && isBlank(line[i])) ++i;
        if (i >= line.size() || line[i] == '#') break;
        const std::size_t start = i;
        while (i < line.size() && !isBlank(line[i])) ++i;
        parts.numbers[parts.count++] = line.substr(start, i - start);
        tailFrom = i;
    }
    parts.tail = line.substr(tailFrom);
    return parts;
}

class ObjWriter {
public:
    ObjWriter(const ObjRebuildSource& source, const HalfPlane& plane, int decimals)
        : source_(source), plane_(plane), decimals_(decimals) {}

    std::string write(const HalfMeshResult& result);

private:
    std::string_view line(const ObjLineSpan& span) const {
        return source_.text.substr(span.begin, span.end - span.begin);
    }
    void endLine() { out_ += source_.lineEnd; }
    void number(float value) {
        char text[kFloatTextMax];
        std::size_t length = 0;
        if (decimals_ > 0) length = formatFloatFixedInto(value, decimals_, text);
        if (length == 0) length = formatFloatInto(value, text);
        out_.append(text, length);
    }
    void vectorLine(const char* keyword, const EditVector& value, int count,
                    std::string_view tail) {
        out_ += keyword;
        for (int k = 0; k < count; ++k) {
            out_ += ' ';
            number(value.v[k]);
        }
        out_ += tail;
        endLine();
    }
    void vertexLines(const HalfMeshResult& result);
    void itemLines(const char* keyword, const std::vector<EditVector>& values,
                   const std::vector<EditOrigin>& origins, const std::vector<ObjLineSpan>& lines);
    void element(const HalfMeshInput& mesh, const EditElement& element);

    const ObjRebuildSource& source_;
    const HalfPlane& plane_;
    int decimals_;
    std::string out_;
};

void ObjWriter::vertexLines(const HalfMeshResult& result) {
    const HalfMeshInput& mesh = result.mesh;
    const bool textMirror = plane_.axis >= 0 && plane_.offset == 0.0;
    for (std::size_t v = 0; v < mesh.positions.size(); ++v) {
        const EditOrigin& origin = result.positionOrigins[v];
        if (origin.kind == EditOrigin::kKept && !origin.moved) {
            out_ += line(source_.vertexLines[origin.index]);
            endLine();
            continue;
        }
        // The input vertex whose extra values (w, colours) the line takes.
        int from = origin.index;
        if (origin.kind == EditOrigin::kMirror) from = result.positionOrigins[from].index;
        const LineParts parts = splitLine(line(source_.vertexLines[from]), 3);
        const EditOrigin* kept =
            origin.kind == EditOrigin::kMirror ? &result.positionOrigins[origin.index] : nullptr;
        if (textMirror && kept != nullptr && kept->kind == EditOrigin::kKept && !kept->moved) {
            out_ += 'v';
            for (int k = 0; k < 3; ++k) {
                out_ += ' ';
                if (k == plane_.axis)
                    appendNegated(parts.numbers[k], out_);
                else
                    out_ += parts.numbers[k];
            }
            out_ += parts.tail;
            endLine();
            continue;
        }
        vectorLine("v", mesh.positions[v], 3, parts.tail);
    }
}

void ObjWriter::itemLines(const char* keyword, const std::vector<EditVector>& values,
                          const std::vector<EditOrigin>& origins,
                          const std::vector<ObjLineSpan>& lines) {
    for (std::size_t k = 0; k < values.size(); ++k) {
        const EditOrigin& origin = origins[k];
        if (origin.kind == EditOrigin::kKept) {
            out_ += line(lines[origin.index]);
            endLine();
            continue;
        }
        int from = origin.index;
        if (origin.kind == EditOrigin::kMirror) from = origins[from].index;
        const LineParts parts = splitLine(line(lines[from]), 3);
        vectorLine(keyword, values[k], parts.count, parts.tail);
    }
}

void ObjWriter::element(const HalfMeshInput& mesh, const EditElement& element) {
    out_ += element.kind == EditElement::kFace   ? "f"
            : element.kind == EditElement::kLine ? "l"
                                                 : "p";
    for (int k = 0; k < element.count; ++k) {
        const EditCorner& c = mesh.corners[element.first + k];
        out_ += ' ';
        out_ += std::to_string(c.vertex + 1);
        if (c.uv < 0 && c.normal < 0) continue;
        out_ += '/';
        if (c.uv >= 0) out_ += std::to_string(c.uv + 1);
        if (c.normal >= 0) {
            out_ += '/';
            out_ += std::to_string(c.normal + 1);
        }
    }
    endLine();
}

std::string ObjWriter::write(const HalfMeshResult& result) {
    out_.reserve(source_.text.size() * 2 + 1024);
    if (source_.byteOrderMark) out_ += "\xEF\xBB\xBF";
    for (std::size_t i = 0; i < source_.headerItems; ++i) {
        out_ += line(source_.items[i].line);
        endLine();
    }
    vertexLines(result);
    itemLines("vt", result.mesh.uvs, result.uvOrigins, source_.uvLines);
    itemLines("vn", result.mesh.normals, result.normalOrigins, source_.normalLines);
    // Kept elements come first in input order, then the mirrored ones: each
    // run of input elements is followed by its own mirror images.
    const std::vector<int>& sources = result.elementSources;
    std::size_t kept = 0;
    std::size_t mirrored =
        std::find(result.elementMirrored.begin(), result.elementMirrored.end(), true) -
        result.elementMirrored.begin();
    const std::size_t keptEnd = mirrored;
    const std::size_t total = sources.size();
    const std::vector<ObjRebuildSource::Item>& items = source_.items;
    for (std::size_t i = source_.headerItems; i < items.size();) {
        if (items[i].element < 0) {
            out_ += line(items[i].line);
            endLine();
            ++i;
            continue;
        }
        std::size_t j = i;
        while (j + 1 < items.size() && items[j + 1].element >= 0) ++j;
        const int last = items[j].element;
        for (; kept < keptEnd && sources[kept] <= last; ++kept)
            element(result.mesh, result.mesh.elements[kept]);
        for (; mirrored < total && sources[mirrored] <= last; ++mirrored)
            element(result.mesh, result.mesh.elements[mirrored]);
        i = j + 1;
    }
    return std::move(out_);
}

}  // namespace

std::string writeRebuiltObj(const ObjRebuildSource& source, const HalfMeshResult& result,
                            const HalfPlane& plane, int decimals) {
    ObjWriter writer(source, plane, decimals);
    return writer.write(result);
}

}  // namespace talvexhost
