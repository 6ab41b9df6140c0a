#include "platform/ini_file.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/code_page_1252.h"

namespace platform {

namespace {

// The API works in UTF-16 inside: an ANSI file is widened through code page
// 1252 and its values narrowed back. Nothing it looks for (blanks, brackets,
// '=', line ends, ASCII letters) lies outside ASCII, and every byte comes back
// as itself, so an ANSI file is parsed as bytes: same answers, no copy.
// A UTF-16 file is parsed as UTF-16 and its values narrowed as the API does.
using Byte = unsigned char;

template <typename Unit>
struct Span {
    const Unit* begin;
    const Unit* end;
    std::size_t size() const { return static_cast<std::size_t>(end - begin); }
};

// The API's blanks: ASCII white space and ^Z, the old end-of-file mark. No
// other Unicode space counts, not even U+00A0.
template <typename Unit>
bool isBlank(Unit c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x1A;
}

template <typename Unit>
Span<Unit> trimmed(Span<Unit> s) {
    while (s.begin < s.end && isBlank(*s.begin)) ++s.begin;
    while (s.end > s.begin && isBlank(s.end[-1])) --s.end;
    return s;
}

// A NUL ends names and values, as in the API's zero-terminated strings.
template <typename Unit>
Span<Unit> cutAtNul(Span<Unit> s) {
    for (const Unit* p = s.begin; p < s.end; ++p) {
        if (*p == 0) return Span<Unit>{s.begin, p};
    }
    return s;
}

// Names match without regard to the case of ASCII letters only: 'É' and 'é'
// are different names to the API.
template <typename Unit>
Unit foldCase(Unit c) {
    return c >= 'A' && c <= 'Z' ? static_cast<Unit>(c + 32) : c;
}

template <typename Unit>
bool sameName(Span<Unit> a, Span<Unit> b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (foldCase(a.begin[i]) != foldCase(b.begin[i])) return false;
    }
    return true;
}

// Splits text into lines ended by '\n' or '\r' (a CR LF pair gives an empty
// line between, which is skipped like any blank line).
template <typename Unit>
class LineSplitter {
public:
    explicit LineSplitter(Span<Unit> text) : p_(text.begin), end_(text.end) {}
    bool next(Span<Unit>& line) {
        if (p_ >= end_) return false;
        const Unit* lineEnd = p_;
        while (lineEnd < end_ && *lineEnd != '\n' && *lineEnd != '\r') ++lineEnd;
        line = Span<Unit>{p_, lineEnd};
        p_ = lineEnd < end_ ? lineEnd + 1 : end_;
        return true;
    }

private:
    const Unit* p_;
    const Unit* end_;
};

// Bytes, which is every ANSI file, with memchr: many-megabyte files are read
// whole on every lookup.
template <>
class LineSplitter<Byte> {
public:
    explicit LineSplitter(Span<Byte> text) : p_(text.begin), end_(text.end) {}
    bool next(Span<Byte>& line) {
        if (p_ >= end_) return false;
        if (nextLf_ < p_) nextLf_ = find('\n');
        if (nextCr_ < p_) nextCr_ = find('\r');
        const Byte* lineEnd = nextLf_ < nextCr_ ? nextLf_ : nextCr_;
        line = Span<Byte>{p_, lineEnd};
        p_ = lineEnd < end_ ? lineEnd + 1 : end_;
        return true;
    }

private:
    const Byte* find(Byte c) const {
        const void* at = std::memchr(p_, c, static_cast<std::size_t>(end_ - p_));
        return at != nullptr ? static_cast<const Byte*>(at) : end_;
    }
    const Byte* p_;
    const Byte* end_;
    const Byte* nextLf_ = nullptr;
    const Byte* nextCr_ = nullptr;
};

enum class Found { nothing, keyWithoutValue, value };

// Finds `key` in the first section named `section` (both trimmed): keys before
// the first section header belong to none, and later sections of the same
// name are never searched. `value` is set when the key's line has an '='.
template <typename Unit>
Found findValue(Span<Unit> text, Span<Unit> section, Span<Unit> key, Span<Unit>& value) {
    LineSplitter<Unit> lines(text);
    bool inSection = false;
    for (Span<Unit> raw{nullptr, nullptr}; lines.next(raw);) {
        const Span<Unit> line = trimmed(raw);
        if (line.size() == 0) continue;

        if (*line.begin == '[') {
            const Unit* close = line.end;  // the last ']' closes the name
            while (close > line.begin && close[-1] != ']') --close;
            if (close > line.begin + 1) {
                if (inSection) return Found::nothing;
                const Span<Unit> name = cutAtNul(trimmed(Span<Unit>{line.begin + 1, close - 1}));
                inSection = sameName(name, section);
                continue;
            }
            // Without a ']' the line is an ordinary key line.
        }
        if (!inSection) continue;

        const Unit* equals = line.begin;
        while (equals < line.end && *equals != '=') ++equals;
        if (!sameName(cutAtNul(trimmed(Span<Unit>{line.begin, equals})), key)) continue;
        if (equals == line.end) return Found::keyWithoutValue;
        value = cutAtNul(trimmed(Span<Unit>{equals + 1, line.end}));
        return Found::value;
    }
    return Found::nothing;
}

char toAnsi(Byte unit) {
    return static_cast<char>(unit);
}
char toAnsi(char16_t unit) {
    return static_cast<char>(narrowToAnsi(unit));
}

// Copies an entry as the API does: one pair of matching quotes removed, cut
// to size - 1 characters, always terminated.
template <typename Unit>
std::uint32_t copyEntry(Span<Unit> entry, char* buffer, std::uint32_t size) {
    bool quoted = false;
    if (entry.size() >= 2 && (*entry.begin == '"' || *entry.begin == '\'') &&
        entry.end[-1] == *entry.begin) {
        quoted = true;
        ++entry.begin;
    }
    std::size_t count = entry.size() < size - 1 ? entry.size() : size - 1;
    // The API drops the last character it copied whenever what follows the
    // opening quote is no longer than the buffer, even when that character is
    // not the closing quote but the last that fitted: kept on purpose.
    if (quoted && entry.size() <= size && count > 0) --count;
    for (std::size_t i = 0; i < count; ++i) buffer[i] = toAnsi(entry.begin[i]);
    buffer[count] = '\0';
    return static_cast<std::uint32_t>(count);
}

Span<char16_t> spanOf(const std::u16string& text) {
    return Span<char16_t>{text.data(), text.data() + text.size()};
}

Span<Byte> spanOf(const std::vector<Byte>& bytes) {
    return Span<Byte>{bytes.data(), bytes.data() + bytes.size()};
}

Span<Byte> spanOf(const char* text) {
    const auto* bytes = reinterpret_cast<const Byte*>(text);
    return Span<Byte>{bytes, bytes + std::strlen(text)};
}

// Where forward slashes are the separator, the Windows path's backslashes
// become slashes. A bare file name names the Windows folder, which is absent.
bool localPath(const char* path, std::string& local) {
    bool hasSeparator = false;
    for (const char* p = path; *p != '\0'; ++p) {
        const char c = *p == '\\' ? '/' : *p;
        hasSeparator = hasSeparator || c == '/';
        local += c;
    }
    return hasSeparator;
}

// The whole file; false when it cannot be opened or read (a directory too).
// Read in one piece when its size is known, as files can be many megabytes.
bool loadFile(const char* path, std::vector<Byte>& bytes) {
    std::string local;
    if (!localPath(path, local)) return false;
    std::FILE* file = std::fopen(local.c_str(), "rb");
    if (file == nullptr) return false;
    if (std::fseek(file, 0, SEEK_END) == 0) {
        // A directory opens too, with a nonsense size; its read then fails.
        const long size = std::ftell(file);
        if (size > 0 && size < (1L << 30)) bytes.reserve(static_cast<std::size_t>(size));
        std::rewind(file);
    }
    Byte chunk[65536];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    const bool readable = std::ferror(file) == 0;
    std::fclose(file);
    return readable;
}

// A file that starts with a UTF-16 byte-order mark, as UTF-16 units; an odd
// last byte is dropped.
std::u16string decodeUtf16(const std::vector<Byte>& bytes) {
    const bool littleEndian = bytes[0] == 0xFF;
    std::u16string text;
    text.reserve(bytes.size() / 2);
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
        const unsigned first = bytes[i];
        const unsigned second = bytes[i + 1];
        text += static_cast<char16_t>(littleEndian ? first | second << 8 : first << 8 | second);
    }
    return text;
}

std::u16string widen(Span<Byte> text) {
    std::u16string wide;
    for (const Byte* p = text.begin; p < text.end; ++p) wide += widenAnsi(*p);
    return wide;
}

std::uint32_t answer(const std::vector<Byte>& file, Span<Byte> section, Span<Byte> key,
                     Span<Byte> fallback, char* buffer, std::uint32_t size) {
    const bool utf16 = file.size() >= 2 && ((file[0] == 0xFF && file[1] == 0xFE) ||
                                            (file[0] == 0xFE && file[1] == 0xFF));
    if (utf16) {
        const std::u16string text = decodeUtf16(file);
        const std::u16string sectionText = widen(section);
        const std::u16string keyText = widen(key);
        Span<char16_t> value{nullptr, nullptr};
        if (findValue(spanOf(text), trimmed(spanOf(sectionText)), trimmed(spanOf(keyText)),
                      value) == Found::value) {
            return copyEntry(value, buffer, size);
        }
        return copyEntry(fallback, buffer, size);
    }
    Span<Byte> value{nullptr, nullptr};
    if (findValue(spanOf(file), trimmed(section), trimmed(key), value) == Found::value) {
        return copyEntry(value, buffer, size);
    }
    return copyEntry(fallback, buffer, size);
}

}  // namespace

std::uint32_t readIniString(const char* section, const char* key, const char* fallback,
                            char* buffer, std::uint32_t size, const char* path) noexcept {
    if (buffer == nullptr || size == 0) return 0;
    Span<Byte> fallbackSpan = spanOf(fallback != nullptr ? fallback : "");
    // Trailing spaces of the fallback go, but never its first character.
    while (fallbackSpan.size() > 1 && fallbackSpan.end[-1] == ' ') --fallbackSpan.end;
    try {
        std::vector<Byte> file;
        if (section == nullptr || key == nullptr || path == nullptr || !loadFile(path, file)) {
            return copyEntry(fallbackSpan, buffer, size);
        }
        return answer(file, spanOf(section), spanOf(key), fallbackSpan, buffer, size);
    } catch (...) {  // out of memory for a huge file: as unreadable
        buffer[0] = '\0';
        return 0;
    }
}

}  // namespace platform
