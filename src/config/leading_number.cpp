#include "config/leading_number.h"

#include <charconv>
#include <cstring>
#include <limits>

namespace {

bool isCSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

const char* skipSpace(const char* p) {
    while (isCSpace(*p)) ++p;
    return p;
}

}  // namespace

std::int32_t leadingInteger(const char* text) noexcept {
    const char* p = skipSpace(text);
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    // Accumulate towards the sign's end of the range so that INT32_MIN fits.
    constexpr std::int64_t kLimit = std::int64_t(std::numeric_limits<std::int32_t>::max()) + 1;
    std::int64_t magnitude = 0;
    for (; isDigit(*p); ++p) {
        magnitude = magnitude * 10 + (*p - '0');
        if (magnitude > kLimit) magnitude = kLimit;
    }
    if (negative) return static_cast<std::int32_t>(-magnitude);
    return magnitude >= kLimit ? std::numeric_limits<std::int32_t>::max()
                               : static_cast<std::int32_t>(magnitude);
}

namespace {

// The power of ten of a decimal number's leading digit, with its exponent,
// to tell an overflow from an underflow. Needs only to get the sign right.
std::int64_t decimalMagnitude(const char* p, const char* end) {
    std::int64_t leading = 0;
    bool seenNonZero = false;
    bool afterPoint = false;
    for (; p < end && *p != 'e' && *p != 'E'; ++p) {
        if (*p == '.') {
            afterPoint = true;
        } else if (!seenNonZero && *p != '0') {
            seenNonZero = true;
            if (afterPoint) --leading;
        } else if (!seenNonZero && afterPoint) {
            --leading;
        } else if (seenNonZero && !afterPoint) {
            ++leading;
        }
    }
    if (p < end) leading += leadingInteger(p + 1);
    return leading;
}

}  // namespace

double leadingDouble(const char* text) noexcept {
    const char* p = skipSpace(text);
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    // Only digits or a point and a digit start a number: from_chars would
    // also take "inf" and "nan", and another sign.
    if (!isDigit(*p) && !(*p == '.' && isDigit(p[1]))) return 0.0;
    double value = 0.0;
    const auto result = std::from_chars(p, p + std::strlen(p), value, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        // strtod's answers: infinity for too large a magnitude, 0 for too small.
        value = decimalMagnitude(p, result.ptr) > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    } else if (result.ec != std::errc()) {
        value = 0.0;
    }
    return negative ? -value : value;
}
