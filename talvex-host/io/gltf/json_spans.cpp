#include "io/gltf/json_spans.h"

namespace talvexhost {

namespace {

bool isJsonSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Past the string whose opening quote is at `at`.
std::size_t stringEnd(std::string_view text, std::size_t at) {
    for (std::size_t i = at + 1; i < text.size(); ++i) {
        if (text[i] == '\\')
            ++i;
        else if (text[i] == '"')
            return i + 1;
    }
    return text.size();
}

std::size_t skipSpace(std::string_view text, std::size_t at) {
    while (at < text.size() && isJsonSpace(text[at])) ++at;
    return at;
}

}  // namespace

std::size_t jsonValueAt(std::string_view text, std::size_t at) {
    at = skipSpace(text, at);
    return at < text.size() ? at : kNoJsonValue;
}

std::size_t jsonValueEnd(std::string_view text, std::size_t at) {
    if (at >= text.size()) return text.size();
    const char first = text[at];
    if (first == '"') return stringEnd(text, at);
    if (first != '{' && first != '[') {
        while (at < text.size() && !isJsonSpace(text[at]) && text[at] != ',' && text[at] != '}' &&
               text[at] != ']')
            ++at;
        return at;
    }
    // Containers are skipped by counting brackets outside strings, without
    // recursion, so nesting depth costs no stack.
    std::size_t depth = 0;
    for (std::size_t i = at; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            i = stringEnd(text, i) - 1;
        } else if (c == '{' || c == '[') {
            ++depth;
        } else if (c == '}' || c == ']') {
            if (--depth == 0) return i + 1;
        }
    }
    return text.size();
}

std::size_t jsonMember(std::string_view text, std::size_t object, std::string_view key) {
    if (object >= text.size() || text[object] != '{') return kNoJsonValue;
    std::size_t at = object + 1;
    for (;;) {
        at = skipSpace(text, at);
        if (at >= text.size() || text[at] != '"') return kNoJsonValue;
        const std::size_t keyEnd = stringEnd(text, at);
        const std::string_view name = text.substr(at + 1, keyEnd - at - 2);
        at = skipSpace(text, keyEnd);
        if (at >= text.size() || text[at] != ':') return kNoJsonValue;
        const std::size_t value = skipSpace(text, at + 1);
        if (name == key) return value;
        at = skipSpace(text, jsonValueEnd(text, value));
        if (at >= text.size() || text[at] != ',') return kNoJsonValue;
        ++at;
    }
}

std::vector<std::size_t> jsonElements(std::string_view text, std::size_t array) {
    std::vector<std::size_t> out;
    if (array >= text.size() || text[array] != '[') return out;
    std::size_t at = skipSpace(text, array + 1);
    if (at < text.size() && text[at] == ']') return out;
    while (at < text.size()) {
        out.push_back(at);
        at = skipSpace(text, jsonValueEnd(text, at));
        if (at >= text.size() || text[at] != ',') break;
        at = skipSpace(text, at + 1);
    }
    return out;
}

std::size_t jsonElement(std::string_view text, std::size_t array, std::size_t index) {
    if (array >= text.size() || text[array] != '[') return kNoJsonValue;
    std::size_t at = skipSpace(text, array + 1);
    if (at < text.size() && text[at] == ']') return kNoJsonValue;
    for (std::size_t k = 0; at < text.size(); ++k) {
        if (k == index) return at;
        at = skipSpace(text, jsonValueEnd(text, at));
        if (at >= text.size() || text[at] != ',') break;
        at = skipSpace(text, at + 1);
    }
    return kNoJsonValue;
}

std::size_t jsonDepth(std::string_view text) {
    std::size_t depth = 0, deepest = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            i = stringEnd(text, i) - 1;
        } else if (c == '{' || c == '[') {
            if (++depth > deepest) deepest = depth;
        } else if ((c == '}' || c == ']') && depth > 0) {
            --depth;
        }
    }
    return deepest;
}

}  // namespace talvexhost
