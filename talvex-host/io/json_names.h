// Names from files and the command line (a mesh's path, an object's name)
// in the JSON reports. JSON text is UTF-8, but a name is whatever bytes the
// file system or the OBJ file hold, so a name that is not UTF-8 is written
// twice: readable, with U+FFFD in place of each byte that is not part of a
// valid UTF-8 sequence, and exactly, as its bytes in hexadecimal under the
// key with "Bytes" appended. Used by `check --json` and `detect --json`.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

namespace talvexhost {

// True when `text` is well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF).
bool isUtf8(std::string_view text);

// `text` with each byte outside a well-formed UTF-8 sequence replaced by
// U+FFFD; valid text comes back unchanged.
std::string readableUtf8(std::string_view text);

// Lower-case hexadecimal, two digits per byte.
std::string hexBytes(std::string_view text);

// Sets object[key] to `name`, and when it is not UTF-8 also
// object[key + "Bytes"] to its bytes in hexadecimal. For nlohmann::json and
// nlohmann::ordered_json alike.
template <typename Json>
void putName(Json& object, const std::string& key, const std::string& name) {
    if (isUtf8(name)) {
        object[key] = name;
        return;
    }
    object[key] = readableUtf8(name);
    object[key + "Bytes"] = hexBytes(name);
}

}  // namespace talvexhost
