// The text of glTF URIs: base64 in data URIs, percent escapes in file names.
// Small enough to write here rather than take a library for; a data URI's
// bytes are patched group by group, which no codec offers.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace talvexhost {

// Decodes base64 (standard alphabet, '=' padding optional); false on any
// other character.
bool decodeBase64(std::string_view text, std::string& out);

// The base64 characters of bytes [3 g, 3 g + 3) of `bytes`: four, or two or
// three for a short last group (its padding stays as written).
std::string encodeGroup(std::string_view bytes, std::size_t group);

// "%20" and the like decoded; `ok` false for a '%' without two hex digits.
std::string percentDecoded(std::string_view uri, bool& ok);

// A file name as a URI: letters, digits, "-._~/" kept, every other byte as %XX.
std::string percentEncoded(const std::string& name);

}  // namespace talvexhost
