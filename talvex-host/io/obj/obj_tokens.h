// How OBJ text splits into tokens, for the reader and the rebuilt-mesh
// writer alike.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace talvexhost {

inline bool isObjBlank(char c) {
    return c == ' ' || c == '\t';
}

// Splits a line into tokens separated by blanks; `starts`, when given, gets
// each token's offset in the line. A token starting with '#' ends the line.
inline void tokenizeObjLine(std::string_view line, std::vector<std::string_view>& tokens,
                            std::vector<std::size_t>* starts = nullptr) {
    tokens.clear();
    if (starts != nullptr) starts->clear();
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && isObjBlank(line[i])) ++i;
        if (i >= line.size() || line[i] == '#') break;
        const std::size_t start = i;
        while (i < line.size() && !isObjBlank(line[i])) ++i;
        tokens.push_back(line.substr(start, i - start));
        if (starts != nullptr) starts->push_back(start);
    }
}

}  // namespace talvexhost
