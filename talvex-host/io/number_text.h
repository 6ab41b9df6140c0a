// Reading and writing the decimal numbers of mesh files and scripts. Reading
// goes through fast_float, writing floats through the host's own shortest
// printer (the text std::to_chars gives, checked on every float), doubles
// through std::to_chars: all locale-free and correctly rounded, so the native
// build and the Windows build read and print every float identically.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace talvexhost {

enum class NumberStatus { kOk, kNotANumber, kOutOfRange };

// Parses a whole token as a decimal float, correctly rounded from the text; a
// leading '+' is accepted. kNotANumber for anything else (empty, trailing
// characters, nan, inf, hexadecimal); kOutOfRange when the value is beyond
// the largest float. A value below the smallest float rounds to it or to
// zero, as every decimal rounds to its nearest float.
NumberStatus readFloat(std::string_view text, float& value) noexcept;

// The plain number (digits with an optional '-', point and exponent; no '+',
// inf or nan) at `begin`, when it ends at a blank or at `end`: the position
// after it, with `value` set; null for anything else, which readFloat then
// judges. Reads the common case without first cutting the token out.
const char* readPlainFloat(const char* begin, const char* end, float& value) noexcept;
// The same, also giving fixedDecimals() of the number read (worked out on
// the way for the common short numbers, so their text is looked at once).
// Bytes up to `readable` (at least `end`) may be loaded, eight at a time: a
// reader passes the end of its whole text, its lines ending at a byte that is
// no digit.
const char* readPlainFloat(const char* begin, const char* end, const char* readable, float& value,
                           int& decimals) noexcept;

// The run of decimal digits at `begin` (none when it starts with anything
// else), read as an integer: its end, with `value` and `digits` set. Null
// when the run holds more than `maxDigits` digits (at most 19, so that it
// cannot overflow), its value is above `ceiling`, or it runs past `end`.
// Bytes up to `readable` (at least `end`) may be loaded.
const char* readDigitRun(const char* begin, const char* end, const char* readable, int maxDigits,
                         std::uint64_t ceiling, std::uint64_t& value, int& digits) noexcept;

// readFloat(...) == kOk.
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
// The same text into `out` (room for kFloatTextMax characters); its length.
constexpr std::size_t kFloatTextMax = 32;
std::size_t formatFloatInto(float value, char* out) noexcept;

// How many digits follow the point of a number token written in fixed
// notation ("-1.250": 3, "7" and "7.": 0); -1 for a token with an exponent
// or that is no plain number.
int fixedDecimals(std::string_view token) noexcept;

// `value` in fixed notation with exactly `decimals` digits after the point
// (none and no point for 0), correctly rounded from its exact binary value,
// into `out` (room for kFloatTextMax characters); its length, or 0 when the
// text would not fit.
std::size_t formatFloatFixedInto(float value, int decimals, char* out) noexcept;
// The same, with the float that text reads back as in `readsBack`, found
// without reading the text in most cases; 0 also when it reads back as none.
std::size_t formatFloatFixedInto(float value, int decimals, char* out, float& readsBack) noexcept;

// A double with `decimals` digits after the point, for reports.
std::string formatFixed(double value, int decimals);

// Appends the text of the number `token` negated, exactly: the sign changed,
// the digits kept, a zero kept as written. Mirrors about an axis plane at 0
// write their coordinates this way.
void appendNegated(std::string_view token, std::string& out);

}  // namespace talvexhost
