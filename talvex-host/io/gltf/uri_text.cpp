#include "io/gltf/uri_text.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

namespace talvexhost {

namespace {

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int base64Value(char c) {
    const char* found = std::strchr(kBase64, c);
    return c != '\0' && found != nullptr ? int(found - kBase64) : -1;
}

}  // namespace

bool decodeBase64(std::string_view text, std::string& out) {
    out.clear();
    out.reserve(text.size() / 4 * 3);
    while (!text.empty() && text.back() == '=') text.remove_suffix(1);
    std::uint32_t bits = 0;
    int held = 0;
    for (char c : text) {
        const int value = base64Value(c);
        if (value < 0) return false;
        bits = (bits << 6) | std::uint32_t(value);
        held += 6;
        if (held >= 8) {
            held -= 8;
            out += char((bits >> held) & 0xFF);
        }
    }
    return true;
}

// The base64 characters of bytes [3g, 3g + 3) of `bytes`, as many as the
// original text has for that group (2 or 3 for a short last group).
std::string encodeGroup(std::string_view bytes, std::size_t group) {
    const std::size_t begin = group * 3;
    const std::size_t count = std::min<std::size_t>(3, bytes.size() - begin);
    std::uint32_t bits = 0;
    for (std::size_t i = 0; i < 3; ++i)
        bits = (bits << 8) | (i < count ? static_cast<unsigned char>(bytes[begin + i]) : 0u);
    std::string out;
    for (std::size_t i = 0; i < count + 1; ++i) out += kBase64[(bits >> (18 - 6 * i)) & 63];
    return out;
}

std::string percentDecoded(std::string_view uri, bool& ok) {
    std::string out;
    ok = true;
    for (std::size_t i = 0; i < uri.size(); ++i) {
        if (uri[i] != '%') {
            out += uri[i];
            continue;
        }
        int hi = i + 2 < uri.size() ? std::isxdigit(static_cast<unsigned char>(uri[i + 1])) : 0;
        int lo = i + 2 < uri.size() ? std::isxdigit(static_cast<unsigned char>(uri[i + 2])) : 0;
        if (!hi || !lo) {
            ok = false;
            return out;
        }
        out += char(std::stoi(std::string(uri.substr(i + 1, 2)), nullptr, 16));
        i += 2;
    }
    return out;
}

std::string percentEncoded(const std::string& name) {
    std::string out;
    for (unsigned char c : name) {
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~' || c == '/') {
            out += char(c);
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            out += hex;
        }
    }
    return out;
}

}  // namespace talvexhost
