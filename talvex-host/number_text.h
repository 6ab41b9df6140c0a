// Reading and writing the decimal numbers of mesh files and scripts. Both go
// through the C++ library's locale-free conversions, so the native build and
// the Windows build read and print every float identically.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace talvexhost {

// Parses a whole token as a finite float, correctly rounded from the decimal
// text; a leading '+' is accepted. False on anything else (empty, trailing
// characters, nan, inf, a value beyond float range).
bool parseFloat(std::string_view text, float& value) noexcept;

// Same rules for a double.
bool parseDouble(std::string_view text, double& value) noexcept;

// Parses a whole token as a decimal integer (optional sign). False when the
// text is not one or does not fit in 64 bits.
bool parseInteger(std::string_view text, std::int64_t& value) noexcept;

// The shortest text that reads back as exactly `value`: fixed notation
// ("0.1", "-2", "1.0000001") unless scientific is shorter ("3e-17", "1e+20");
// negative zero prints as "-0".
std::string formatFloat(float value);

// A double with `decimals` digits after the point, for reports.
std::string formatFixed(double value, int decimals);

}  // namespace talvexhost
