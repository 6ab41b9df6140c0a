// Number text of the JSON report, written without going through the JSON
// library's trees but byte for byte as its dump gives the same numbers.
#pragma once

#include <cstddef>

namespace talvexhost {

// Room the texts below need.
constexpr std::size_t kJsonNumberMax = 40;

// A double as the JSON library's dump writes it ("null" when not finite).
std::size_t jsonDoubleText(double value, char* out) noexcept;

// The double the float's shortest text reads as (0.1f gives 0.1, not its full
// binary expansion), as jsonDoubleText writes it. Most floats need neither
// the reading nor the double's own shortest digits: their shortest digits
// are the double's, and only the layout is the library's.
std::size_t plainFloatText(float value, char* out) noexcept;

// The double the float's shortest text reads as.
double plainFloat(float value) noexcept;

}  // namespace talvexhost
