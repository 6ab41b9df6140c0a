// The numbers at the start of a settings value, read as the C library's atol
// and atof read them, but the same on every platform: C-locale decimal text
// only, and a 32-bit result for integers. The profile reader's integer and
// float reads use them.
#pragma once

#include <cstdint>

// Skips white space, takes an optional sign and the decimal digits after it;
// 0 when there are none ("px12" gives 0, "12px" gives 12). Values beyond the
// 32-bit range give its nearest end, as a 32-bit atol does.
std::int32_t leadingInteger(const char* text) noexcept;

// Skips white space, takes the longest decimal number there (sign, digits,
// point, exponent), correctly rounded to double; 0 when there is none. Too
// large a magnitude gives infinity with its sign, as atof does. Hexadecimal,
// "inf" and "nan" are not numbers here, whatever the local C library accepts,
// and a comma is never a decimal point.
double leadingDouble(const char* text) noexcept;
