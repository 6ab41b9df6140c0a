// The shortest text of a float that reads back exactly, as std::to_chars
// gives it, several times faster (shortest_float.cpp says how).
#pragma once

#include <cstddef>
#include <cstdint>

namespace talvexhost {

// Room a float's text may need.
constexpr std::size_t kShortestFloatMax = 32;

// Writes the text at `out` (room for kShortestFloatMax characters); its length.
std::size_t formatShortestFloat(float value, char* out) noexcept;

}  // namespace talvexhost
