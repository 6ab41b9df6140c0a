#include "obj_document.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string_view>

#include "number_text.h"

namespace talvexhost {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Splits a line into tokens separated by blanks; `starts` gets each token's
// offset in the line.
void tokenize(std::string_view line, std::vector<std::string_view>& tokens, std::vector<std::size_t>& starts) {
    tokens.clear();
    starts.clear();
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && isBlank(line[i])) ++i;
        if (i >= line.size()) break;
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

// Where an element's index must be checked once the whole file is read.
struct PendingIndex {
    int line;
    std::int64_t index;  // 1-based, already resolved
    char kind;           // 'v', 't' (texture) or 'n' (normal)
};

}  // namespace

bool ObjDocument::load(const std::string& path, std::string& error) {
    std::string bytes;
    if (!readWholeFile(path, bytes, error)) return false;
    return parse(std::move(bytes), path, error);
}

bool ObjDocument::parse(std::string text, const std::string& name, std::string& error) {
    text_ = std::move(text);
    lines_.clear();
    vertices_.clear();
    objects_.clear();
    elements_.clear();

    int lineNumber = 0;
    auto fail = [&](const std::string& message) {
        error = name + ":" + std::to_string(lineNumber + 1) + ": " + message;
        return false;
    };

    // Split into lines, refusing what no text file holds.
    std::size_t pos = 0;
    while (pos < text_.size()) {
        lineNumber = static_cast<int>(lines_.size());
        std::size_t end = text_.find('\n', pos);
        std::size_t endingLength = 1;
        if (end == std::string::npos) {
            end = text_.size();
            endingLength = 0;
        }
        std::size_t length = end - pos;
        if (length > 0 && text_[end - 1] == '\r') {
            --length;
            ++endingLength;
        }
        if (length > kMaxLineLength)
            return fail("line too long (" + std::to_string(length) + " bytes; at most " +
                        std::to_string(kMaxLineLength) + " are accepted)");
        for (std::size_t i = pos; i < pos + length; ++i) {
            const auto c = static_cast<unsigned char>(text_[i]);
            if ((c < 0x20 && c != '\t') || c == 0x7F) {
                char byte[8];
                std::snprintf(byte, sizeof byte, "0x%02X", c);
                return fail(std::string("binary data (byte ") + byte + " at column " + std::to_string(i - pos + 1) +
                            "); not a text OBJ file");
            }
        }
        lines_.push_back({pos, length, endingLength});
        pos = endingLength > 0 ? end + 1 : end;
    }

    std::vector<std::string_view> tokens;
    std::vector<std::size_t> starts;

    // Files with `o` lines take their objects from them alone; `g` lines are
    // then groups inside an object (materials, smoothing), not objects.
    bool hasObjectLines = false;
    for (const Line& line : lines_) {
        tokenize(std::string_view(text_).substr(line.begin, line.length), tokens, starts);
        if (!tokens.empty() && tokens[0] == "o") {
            hasObjectLines = true;
            break;
        }
    }

    std::vector<std::string> groupNames;
    int currentGroup = -1;
    std::vector<int> definedIn;
    std::vector<int> usedBy;
    std::int64_t textureCount = 0;
    std::int64_t normalCount = 0;
    std::vector<PendingIndex> pending;
    std::vector<int> elementGroups;  // the group current at each element

    for (lineNumber = 0; lineNumber < static_cast<int>(lines_.size()); ++lineNumber) {
        const Line& line = lines_[lineNumber];
        const std::string_view content = std::string_view(text_).substr(line.begin, line.length);
        tokenize(content, tokens, starts);
        // A comment may end any line.
        for (std::size_t t = 0; t < tokens.size(); ++t) {
            if (tokens[t].front() == '#') {
                tokens.resize(t);
                break;
            }
        }
        if (tokens.empty()) continue;
        const std::string_view keyword = tokens[0];

        if (keyword == "v" || keyword == "vt" || keyword == "vn" || keyword == "vp") {
            const std::size_t needed = keyword == "v" || keyword == "vn" ? 3 : 1;
            if (tokens.size() - 1 < needed)
                return fail("\"" + std::string(keyword) + "\" needs " + std::to_string(needed) +
                            (needed == 1 ? " number" : " numbers") + ", found " + std::to_string(tokens.size() - 1));
            float values[3] = {0.0f, 0.0f, 0.0f};
            for (std::size_t t = 1; t < tokens.size(); ++t) {
                float value = 0.0f;
                if (!parseFloat(tokens[t], value))
                    return fail("bad number " + quoted(tokens[t]) + " (a finite decimal number is expected)");
                if (t <= 3) values[t - 1] = value;
            }
            if (keyword == "vt") ++textureCount;
            if (keyword == "vn") ++normalCount;
            if (keyword != "v") continue;
            const ObjPosition p{values[0], values[1], values[2]};
            vertices_.push_back({p, p, lineNumber, starts[3] + tokens[3].size()});
            if (currentGroup < 0) {
                groupNames.push_back("default");
                currentGroup = 0;
            }
            definedIn.push_back(currentGroup);
            usedBy.push_back(-1);
        } else if (keyword == "f" || keyword == "l" || keyword == "p") {
            const ObjElement::Kind kind =
                keyword == "f" ? ObjElement::kFace : keyword == "l" ? ObjElement::kLine : ObjElement::kPoint;
            const std::size_t needed = kind == ObjElement::kFace ? 3 : kind == ObjElement::kLine ? 2 : 1;
            if (tokens.size() - 1 < needed)
                return fail("\"" + std::string(keyword) + "\" needs at least " + std::to_string(needed) +
                            (needed == 1 ? " vertex" : " vertices") + ", found " + std::to_string(tokens.size() - 1));
            if (currentGroup < 0) {
                groupNames.push_back("default");
                currentGroup = 0;
            }
            ObjElement element{kind, {}};
            for (std::size_t t = 1; t < tokens.size(); ++t) {
                // v, v/vt, v/vt/vn or v//vn
                std::string_view parts[3];
                std::string_view rest = tokens[t];
                int partCount = 0;
                while (partCount < 3) {
                    const std::size_t slash = rest.find('/');
                    parts[partCount++] = rest.substr(0, slash);
                    if (slash == std::string_view::npos) {
                        rest = {};
                        break;
                    }
                    rest = rest.substr(slash + 1);
                    if (partCount == 3) return fail("bad vertex reference " + quoted(tokens[t]));
                }
                const std::int64_t counts[3] = {static_cast<std::int64_t>(vertices_.size()), textureCount,
                                                normalCount};
                const char kinds[3] = {'v', 't', 'n'};
                for (int k = 0; k < partCount; ++k) {
                    if (k > 0 && parts[k].empty()) continue;
                    std::int64_t index = 0;
                    if (!parseInteger(parts[k], index)) return fail("bad vertex reference " + quoted(tokens[t]));
                    if (index == 0) return fail("vertex reference " + quoted(tokens[t]) + " uses index 0");
                    if (index < 0) {
                        // Relative to the entries defined so far.
                        if (-index > counts[k])
                            return fail("vertex reference " + quoted(tokens[t]) + " points before the first " +
                                        (k == 0 ? "vertex" : k == 1 ? "texture coordinate" : "normal"));
                        index = counts[k] + index + 1;
                    }
                    pending.push_back({lineNumber, index, kinds[k]});
                    if (k == 0) element.vertices.push_back(static_cast<int>(index - 1));
                }
            }
            for (int v : element.vertices) {
                if (v < static_cast<int>(usedBy.size()) && usedBy[v] < 0) usedBy[v] = currentGroup;
            }
            // Forward references are resolved once every vertex is known.
            element.vertices.shrink_to_fit();
            elements_.push_back(std::move(element));
            elementGroups.push_back(currentGroup);
        } else if (keyword == "o" || (keyword == "g" && !hasObjectLines)) {
            std::string_view objectName =
                tokens.size() > 1 ? content.substr(starts[1]) : std::string_view("unnamed");
            while (!objectName.empty() && isBlank(objectName.back())) objectName.remove_suffix(1);
            groupNames.emplace_back(objectName);
            currentGroup = static_cast<int>(groupNames.size()) - 1;
        }
    }

    for (const PendingIndex& p : pending) {
        const std::int64_t count =
            p.kind == 'v' ? static_cast<std::int64_t>(vertices_.size()) : p.kind == 't' ? textureCount : normalCount;
        if (p.index > count) {
            lineNumber = p.line;
            const char* what = p.kind == 'v' ? "vertex" : p.kind == 't' ? "texture coordinate" : "normal";
            return fail(std::string(what) + " index " + std::to_string(p.index) + " is out of range (the file has " +
                        std::to_string(count) + ")");
        }
    }
    // Elements that referred forward give their vertices an owner now.
    for (std::size_t e = 0; e < elements_.size(); ++e) {
        for (int v : elements_[e].vertices) {
            if (usedBy[v] < 0) usedBy[v] = elementGroups[e];
        }
    }

    std::vector<ObjObject> byGroup(groupNames.size());
    for (std::size_t g = 0; g < groupNames.size(); ++g) byGroup[g].name = groupNames[g];
    for (std::size_t v = 0; v < vertices_.size(); ++v) {
        const int owner = usedBy[v] >= 0 ? usedBy[v] : definedIn[v];
        byGroup[owner].vertices.push_back(static_cast<int>(v));
    }
    for (ObjObject& object : byGroup) {
        if (!object.vertices.empty()) objects_.push_back(std::move(object));
    }
    return true;
}

bool ObjDocument::changed(int vertex) const {
    const Vertex& v = vertices_[vertex];
    return std::memcmp(&v.original, &v.current, sizeof(ObjPosition)) != 0;
}

std::string ObjDocument::text() const {
    std::string out;
    out.reserve(text_.size() + text_.size() / 8);
    std::size_t nextVertex = 0;
    for (std::size_t l = 0; l < lines_.size(); ++l) {
        const Line& line = lines_[l];
        while (nextVertex < vertices_.size() && vertices_[nextVertex].line < static_cast<int>(l)) ++nextVertex;
        if (nextVertex < vertices_.size() && vertices_[nextVertex].line == static_cast<int>(l) &&
            changed(static_cast<int>(nextVertex))) {
            const Vertex& v = vertices_[nextVertex];
            out += "v ";
            out += formatFloat(v.current.x);
            out += ' ';
            out += formatFloat(v.current.y);
            out += ' ';
            out += formatFloat(v.current.z);
            // Whatever followed the coordinates (w, colours, comments) stays.
            out.append(text_, line.begin + v.numbersEnd, line.length - v.numbersEnd);
            out.append(text_, line.begin + line.length, line.endingLength);
        } else {
            out.append(text_, line.begin, line.length + line.endingLength);
        }
    }
    return out;
}

bool ObjDocument::save(const std::string& path, std::string& error) const {
    return writeFileAtomically(path, text(), error);
}

bool readWholeFile(const std::string& path, std::string& bytes, std::string& error) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        error = path + ": is a folder, not a file";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot open (" + std::strerror(errno) + ")";
        return false;
    }
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) {
        error = path + ": read error";
        return false;
    }
    bytes = content.str();
    return true;
}

bool writeFileAtomically(const std::string& path, const std::string& bytes, std::string& error) {
    namespace fs = std::filesystem;
    std::random_device entropy;
    const std::string temporary = path + ".tmp" + std::to_string(entropy() % 1000000u);
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) {
            error = path + ": cannot write (" + std::strerror(errno) + ")";
            return false;
        }
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.flush();
        if (!out) {
            error = path + ": write failed (disk full?)";
            out.close();
            std::error_code ignored;
            fs::remove(temporary, ignored);
            return false;
        }
    }
    std::error_code ec;
    fs::rename(temporary, path, ec);
    if (ec) {
        error = path + ": cannot replace (" + ec.message() + ")";
        std::error_code ignored;
        fs::remove(temporary, ignored);
        return false;
    }
    return true;
}

}  // namespace talvexhost
