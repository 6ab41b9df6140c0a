// The whitespace-separated tokens of the text formats' bodies (ASCII PLY
// and STL), with the line each is on, for messages.
#pragma once

#include <cstddef>
#include <string_view>

namespace talvexhost {

inline bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// Walks the tokens of `text` from `at`, counting lines in `line`.
struct Tokens {
    std::string_view text;
    std::size_t at;
    std::size_t line;

    bool next(std::string_view& token) {
        while (at < text.size() && isSpace(text[at])) {
            if (text[at] == '\n') ++line;
            ++at;
        }
        if (at >= text.size()) return false;
        const std::size_t start = at;
        while (at < text.size() && !isSpace(text[at])) ++at;
        token = text.substr(start, at - start);
        return true;
    }
    // The rest of the current line, trimmed.
    std::string_view restOfLine() {
        while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
        std::size_t end = at;
        while (end < text.size() && text[end] != '\n') ++end;
        std::size_t last = end;
        while (last > at && isSpace(text[last - 1])) --last;
        const std::string_view rest = text.substr(at, last - at);
        at = end;
        return rest;
    }
};

}  // namespace talvexhost
