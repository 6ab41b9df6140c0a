#include "edit/obj_rebuild.h"

#include <algorithm>

#include "io/number_text.h"

namespace talvexhost {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// The blank-separated tokens of a line up to a '#'.
void tokenize(std::string_view line, std::vector<std::string_view>& tokens) {
    tokens.clear();
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && isBlank(line[i])) ++i;
        if (i >= line.size() || line[i] == '#') break;
        const std::size_t start = i;
        while (i < line.size() && !isBlank(line[i])) ++i;
        tokens.push_back(line.substr(start, i - start));
    }
}

// A 1-based index, or a negative one counting back from the `count` items
// defined so far; -1 when it names none. A positive one may point forward:
// the caller checks it against the total once every line is read.
int resolveIndex(std::string_view token, std::size_t count) {
    std::int64_t value = 0;
    if (token.empty() || !parseInteger(token, value)) return -1;
    const std::int64_t index = value < 0 ? std::int64_t(count) + value : value - 1;
    return index >= 0 && index < (std::int64_t(1) << 31) - 1 ? int(index) : -1;
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
                       std::string& error) {
    source = ObjRebuildSource{};
    source.text = text;
    source.byteOrderMark = text.substr(0, 3) == "\xEF\xBB\xBF";
    const std::size_t firstEnd = text.find_first_of("\r\n");
    if (firstEnd != std::string_view::npos && text[firstEnd] == '\r')
        source.lineEnd = firstEnd + 1 < text.size() && text[firstEnd + 1] == '\n' ? "\r\n" : "\r";
    HalfMeshInput& mesh = source.mesh;
    std::vector<std::string_view> tokens;
    bool statementSeen = false;
    int lineNumber = 0;
    std::size_t pos = source.byteOrderMark ? 3 : 0;
    while (pos < text.size()) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) end = text.size();
        ++lineNumber;
        const std::string_view line = text.substr(pos, end - pos);
        const ObjLineSpan span{pos, end};
        pos = end;
        if (pos < text.size())
            pos += text[pos] == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n' ? 2 : 1;
        tokenize(line, tokens);
        const std::string_view keyword = tokens.empty() ? std::string_view() : tokens[0];
        auto refuse = [&](const std::string& why) {
            error = name + ":" + std::to_string(lineNumber) + ": " + why;
            return false;
        };
        if (keyword == "v" || keyword == "vt" || keyword == "vn") {
            statementSeen = true;
            EditVector value;
            if (!readVector(tokens, keyword == "vt" ? 1 : 3, value))
                return refuse("expected numbers after \"" + std::string(keyword) + "\"");
            if (keyword == "v") {
                mesh.positions.push_back(value);
                source.vertexLines.push_back(span);
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
            EditElement element{face             ? EditElement::kFace
                                : keyword == "l" ? EditElement::kLine
                                                 : EditElement::kPoint,
                                static_cast<int>(mesh.corners.size()),
                                static_cast<int>(tokens.size()) - 1};
            for (std::size_t k = 1; k < tokens.size(); ++k) {
                const std::string_view token = tokens[k];
                const std::size_t slash = token.find('/');
                const std::size_t slash2 =
                    slash == std::string_view::npos ? slash : token.find('/', slash + 1);
                EditCorner corner{resolveIndex(token.substr(0, slash), mesh.positions.size()), -1,
                                  -1};
                if (slash != std::string_view::npos) {
                    const std::string_view uv = token.substr(
                        slash + 1,
                        slash2 == std::string_view::npos ? token.npos : slash2 - slash - 1);
                    if (!uv.empty()) corner.uv = resolveIndex(uv, mesh.uvs.size());
                    if (!uv.empty() && corner.uv < 0)
                        return refuse("texture coordinates " + std::string(uv) + " do not exist");
                }
                if (slash2 != std::string_view::npos) {
                    corner.normal = resolveIndex(token.substr(slash2 + 1), mesh.normals.size());
                    if (corner.normal < 0) return refuse("a normal that does not exist");
                }
                if (corner.vertex < 0) return refuse("a vertex that does not exist");
                mesh.corners.push_back(corner);
            }
            if (element.count < (face ? 3 : element.kind == EditElement::kLine ? 2 : 1))
                return refuse("too few vertices");
            source.items.push_back({span, static_cast<int>(mesh.elements.size())});
            mesh.elements.push_back(element);
            continue;
        }
        source.items.push_back({span, -1});
        if (!statementSeen && (tokens.empty() || keyword == "mtllib"))
            source.headerItems = source.items.size();
        else
            statementSeen = true;
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

int vertexDecimals(const ObjRebuildSource& source) {
    int decimals = 0;
    std::vector<std::string_view> tokens;
    for (const ObjLineSpan& span : source.vertexLines) {
        tokenize(source.text.substr(span.begin, span.end - span.begin), tokens);
        for (std::size_t k = 1; k < tokens.size() && k <= 3; ++k) {
            const int d = fixedDecimals(tokens[k]);
            if (d < 0) return 0;
            decimals = std::max(decimals, d);
        }
    }
    return decimals;
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

// A mirror image about an axis plane at 0 negates one coordinate, exactly:
// its text is the original's with the sign changed (zero kept as written).
void negatedToken(std::string_view token, std::string& out) {
    float value = 0.0f;
    if (readFloat(token, value) == NumberStatus::kOk && value == 0.0f) {
        out += token;
    } else if (!token.empty() && (token[0] == '-' || token[0] == '+')) {
        if (token[0] == '+') out += '-';
        out += token.substr(1);
    } else {
        out += '-';
        out += token;
    }
}

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
                    negatedToken(parts.numbers[k], out_);
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
