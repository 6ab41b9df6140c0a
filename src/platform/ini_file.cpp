#include "platform/ini_file.h"

#include <cstdio>
#include <new>
#include <string>

#include "platform/code_page_1252.h"

namespace platform {

namespace {

// The API works in UTF-16 inside: ANSI files and names are widened through
// code page 1252 and values narrowed back, with the API's best-fit choices for
// space and letter case rules Unicode ones.
using Text = std::u16string;

Text widen(const char* text) {
    Text wide;
    for (; *text != '\0'; ++text) wide += widenAnsi(static_cast<unsigned char>(*text));
    return wide;
}

// The API's blanks: Unicode white space, and ^Z, the old end-of-file mark.
bool isBlank(char16_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x1A;
}

// Names match without regard to the case of ASCII letters only: 'É' and 'é'
// are different names to the API.
char16_t foldCase(char16_t c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char16_t>(c + 32) : c;
}

// A view of part of the file or of a name.
struct Span {
    const char16_t* begin;
    const char16_t* end;
    std::size_t size() const { return static_cast<std::size_t>(end - begin); }
};

Span trimmed(Span s) {
    while (s.begin < s.end && isBlank(*s.begin)) ++s.begin;
    while (s.end > s.begin && isBlank(s.end[-1])) --s.end;
    return s;
}

// A NUL ends names and values, as in the API's zero-terminated strings.
Span cutAtNul(Span s) {
    for (const char16_t* p = s.begin; p < s.end; ++p) {
        if (*p == 0) return Span{s.begin, p};
    }
    return s;
}

bool sameName(Span a, Span b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (foldCase(a.begin[i]) != foldCase(b.begin[i])) return false;
    }
    return true;
}

// Where forward slashes are the separator, the Windows path's backslashes
// become slashes. A bare file name names the Windows folder, which is absent.
bool localPath(const char* path, std::string& local) {
    local.clear();
    bool hasSeparator = false;
    for (const char* p = path; *p != '\0'; ++p) {
        const char c = *p == '\\' ? '/' : *p;
        hasSeparator = hasSeparator || c == '/';
        local += c;
    }
    return hasSeparator;
}

// The whole file as UTF-16 units; false when it cannot be opened or read.
bool loadText(const char* path, Text& text) {
    std::string local;
    if (!localPath(path, local)) return false;
    std::FILE* file = std::fopen(local.c_str(), "rb");
    if (file == nullptr) return false;
    std::string bytes;
    char chunk[65536];
    bool readable = true;
    for (;;) {
        const std::size_t got = std::fread(chunk, 1, sizeof chunk, file);
        bytes.append(chunk, got);
        if (got < sizeof chunk) {
            readable = std::ferror(file) == 0;
            break;
        }
    }
    std::fclose(file);
    if (!readable) return false;

    const auto byte = [&bytes](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    text.clear();
    if (bytes.size() >= 2 &&
        ((byte(0) == 0xFF && byte(1) == 0xFE) || (byte(0) == 0xFE && byte(1) == 0xFF))) {
        const bool littleEndian = byte(0) == 0xFF;
        text.reserve(bytes.size() / 2);
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
            text += littleEndian ? char16_t(byte(i) | byte(i + 1) << 8)
                                 : char16_t(byte(i) << 8 | byte(i + 1));
        }
        return true;
    }
    text.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) text += widenAnsi(byte(i));
    return true;
}

enum class Lookup { missing, noValue, value };

// Finds `key` in the first section named `section`; `value` is set when the
// key line has an '='.
Lookup findValue(const Text& text, Span section, Span key, Span& value) {
    const char16_t* p = text.data();
    const char16_t* const end = p + text.size();
    bool inSection = false;
    while (p < end) {
        const char16_t* lineEnd = p;
        while (lineEnd < end && *lineEnd != '\n' && *lineEnd != '\r') ++lineEnd;
        const Span line = trimmed(Span{p, lineEnd});
        p = lineEnd < end ? lineEnd + 1 : end;
        if (line.size() == 0) continue;

        if (*line.begin == '[') {
            const char16_t* close = line.end;
            while (close > line.begin && close[-1] != ']') --close;
            if (close > line.begin) {
                if (inSection) return Lookup::missing;
                const Span name = cutAtNul(trimmed(Span{line.begin + 1, close - 1}));
                inSection = sameName(name, section);
                continue;
            }
        }
        if (!inSection) continue;

        const char16_t* equals = line.begin;
        while (equals < line.end && *equals != '=') ++equals;
        const Span name = cutAtNul(trimmed(Span{line.begin, equals}));
        if (!sameName(name, key)) continue;
        if (equals == line.end) return Lookup::noValue;
        value = cutAtNul(trimmed(Span{equals + 1, line.end}));
        return Lookup::value;
    }
    return Lookup::missing;
}

// Copies an entry as the API does: one pair of matching quotes removed when
// the closing one fits, cut to size - 1 units, then narrowed.
std::uint32_t copyEntry(Span entry, char* buffer, std::uint32_t size) {
    bool quoted = false;
    if (entry.size() >= 2 && (*entry.begin == '"' || *entry.begin == '\'') &&
        entry.end[-1] == *entry.begin) {
        quoted = true;
        ++entry.begin;
    }
    std::size_t count = entry.size() < size - 1 ? entry.size() : size - 1;
    // The API drops the last character it copied whenever the rest after the
    // opening quote was no longer than the buffer, even if that character
    // was not the closing quote: kept on purpose.
    if (quoted && entry.size() <= size && count > 0) --count;
    for (std::size_t i = 0; i < count; ++i)
        buffer[i] = static_cast<char>(narrowToAnsi(entry.begin[i]));
    buffer[count] = '\0';
    return static_cast<std::uint32_t>(count);
}

}  // namespace

std::uint32_t readIniString(const char* section, const char* key, const char* fallback,
                            char* buffer, std::uint32_t size, const char* path) noexcept {
    if (buffer == nullptr || size == 0) return 0;
    try {
        Text fallbackText = widen(fallback != nullptr ? fallback : "");
        // Trailing blanks of the fallback go, unless it is nothing but one.
        while (fallbackText.size() > 1 && fallbackText.back() == ' ') fallbackText.pop_back();
        const Span fallbackSpan{fallbackText.data(), fallbackText.data() + fallbackText.size()};

        Text text;
        if (section == nullptr || key == nullptr || path == nullptr || !loadText(path, text)) {
            return copyEntry(fallbackSpan, buffer, size);
        }
        const Text sectionText = widen(section);
        const Text keyText = widen(key);
        Span value{nullptr, nullptr};
        const Lookup found = findValue(
            text, trimmed(Span{sectionText.data(), sectionText.data() + sectionText.size()}),
            trimmed(Span{keyText.data(), keyText.data() + keyText.size()}), value);
        return copyEntry(found == Lookup::value ? value : fallbackSpan, buffer, size);
    } catch (const std::bad_alloc&) {
        buffer[0] = '\0';
        return 0;
    }
}

}  // namespace platform
