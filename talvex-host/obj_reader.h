// The OBJ reader behind ObjDocument: one pass over the file's bytes, a short
// function per kind of line, keeping of each vertex only its position and
// where its line starts. Line ends may be LF, CR LF or a lone CR; a UTF-8
// byte-order mark at the start is skipped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "obj_document.h"

namespace talvexhost {

struct ObjReadResult {
    std::vector<ObjPosition> positions;
    std::vector<ObjObject> objects;
    bool loneCarriageReturns = false;  // some line ends are a CR alone
};

class ObjReader {
public:
    // `text` must outlive the reader; `name` prefixes every error.
    ObjReader(std::string_view text, const std::string& name);

    // Also collect every face, line and point into `sink`.
    void collectElements(std::vector<ObjElement>* sink) { elements_ = sink; }
    // Called every few megabytes with the offset read up to.
    void onProgress(std::function<void(std::size_t)> progress) { progress_ = std::move(progress); }

    // Reads the whole text; false with "NAME:LINE: reason".
    bool read(ObjReadResult& result, std::string& error);

private:
    bool readLine(std::string_view content);
    bool readPlainVertex(std::string_view content);
    bool readPlainFace(std::string_view content);
    bool readVertex();
    void addVertex();
    void enterDefaultGroup();
    void useVertex(std::int64_t index, ObjElement& element);
    bool readAttribute(std::string_view keyword);
    bool readElement(std::string_view keyword);
    bool readReference(std::string_view token, ObjElement& element);
    void readGroupName(std::string_view content);
    std::size_t lineEnd(std::size_t begin);
    bool checkPending();
    void assignObjects();
    bool hasObjectLines() const;
    bool fail(const std::string& message);

    std::string_view text_;
    const std::string& name_;
    std::vector<ObjElement>* elements_ = nullptr;
    std::function<void(std::size_t)> progress_;
    std::string* error_ = nullptr;
    ObjReadResult* result_ = nullptr;

    int lineNumber_ = 0;  // 0-based
    std::vector<std::string_view> tokens_;
    std::vector<std::size_t> starts_;
    float values_[3] = {0.0f, 0.0f, 0.0f};  // the last numbers line's first three
    bool objectLines_ = false;
    std::vector<std::string> groupNames_;
    int currentGroup_ = -1;
    std::vector<int> definedIn_;
    std::vector<int> usedBy_;
    std::int64_t textureCount_ = 0;
    std::int64_t normalCount_ = 0;

    // An index that must be checked once the whole file is read: one that
    // pointed past the entries defined so far.
    struct Pending {
        int line;
        std::int64_t index;  // 1-based
        char kind;           // 'v', 't' (texture) or 'n' (normal)
        int group;           // the group current at the element
    };
    std::vector<Pending> pending_;
};

// Vertex lines in `text`, counted quickly (a line that starts with "v " or
// "v\t"), to size the memory a mesh needs before reading it.
std::size_t countVertexLines(std::string_view text) noexcept;

// Walks the lines of a text the reader accepted: calls visit(begin, end) for
// each, `end` before the line ending. `loneCarriageReturns` as read() found.
template <typename Visit>
void forEachLine(std::string_view text, bool loneCarriageReturns, Visit&& visit) {
    std::size_t pos = text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
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
        pos = end;
        if (pos < text.size()) pos += text.compare(pos, 2, "\r\n") == 0 ? 2 : 1;
    }
}

// True when the line [begin, end) of `text` is a `v` line.
inline bool isVertexLine(std::string_view text, std::size_t begin, std::size_t end) {
    while (begin < end && (text[begin] == ' ' || text[begin] == '\t')) ++begin;
    return begin + 1 < end && text[begin] == 'v' &&
           (text[begin + 1] == ' ' || text[begin + 1] == '\t');
}

}  // namespace talvexhost
