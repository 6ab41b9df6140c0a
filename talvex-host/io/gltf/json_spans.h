// Where things are in a JSON text, by byte offset: what glTF writing needs
// to patch the accessors' min and max and a buffer's data in place, leaving
// every other byte as it was. The JSON library reads values but forgets
// where they were, hence this small scanner. The text must already have
// parsed as JSON.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace talvexhost {

constexpr std::size_t kNoJsonValue = static_cast<std::size_t>(-1);

// The offset of the first value at or after `at` (white space skipped).
std::size_t jsonValueAt(std::string_view text, std::size_t at);
// The offset just past the value starting at `at`.
std::size_t jsonValueEnd(std::string_view text, std::size_t at);
// The value of member `key` of the object starting at `object`, or
// kNoJsonValue (also when `object` is not an object).
std::size_t jsonMember(std::string_view text, std::size_t object, std::string_view key);
// The `index`th value of the array starting at `array`, or kNoJsonValue.
std::size_t jsonElement(std::string_view text, std::size_t array, std::size_t index);
// The offsets of every element of the array starting at `array`.
std::vector<std::size_t> jsonElements(std::string_view text, std::size_t array);
// The deepest nesting of objects and arrays in `text`.
std::size_t jsonDepth(std::string_view text);

}  // namespace talvexhost
