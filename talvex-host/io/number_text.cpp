#include "io/number_text.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <system_error>

#include "fast_float.h"
#include "io/shortest_float.h"

namespace talvexhost {

namespace {

// from_chars takes no '+'; one is allowed, but not before another sign.
bool stripPlus(std::string_view& text) {
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && (text.front() == '+' || text.front() == '-')) return false;
    }
    return !text.empty();
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

template <typename T>
NumberStatus readReal(std::string_view text, T& value) noexcept {
    if (!stripPlus(text)) return NumberStatus::kNotANumber;
    // A digit or a point must come first: fast_float also reads "inf" and "nan".
    const std::size_t first = text.front() == '-' ? 1 : 0;
    if (first >= text.size() || !(isDigit(text[first]) || text[first] == '.'))
        return NumberStatus::kNotANumber;
    T parsed{};
    const char* end = text.data() + text.size();
    const auto result =
        fast_float::from_chars(text.data(), end, parsed, fast_float::chars_format::general);
    if (result.ec != std::errc() || result.ptr != end) return NumberStatus::kNotANumber;
    // Decimal digits can only overflow to infinity, never give not-a-number.
    if (!std::isfinite(parsed)) return NumberStatus::kOutOfRange;
    value = parsed;
    return NumberStatus::kOk;
}

}  // namespace

NumberStatus readFloat(std::string_view text, float& value) noexcept {
    return readReal(text, value);
}

namespace {

// Powers of ten that are exact floats.
constexpr float kExactPowersOfTen[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f,
                                       1e6f, 1e7f, 1e8f, 1e9f, 1e10f};

// The common short number, [-]digits[.digits], whose digits make an integer
// of at most 2^24 and that has at most ten after the point: both that integer
// and the power of ten are exact floats, so one division rounds correctly
// (the fast path of Clinger's method). Null for anything else.
const char* readShortFloat(const char* p, const char* end, float& value) noexcept {
    const bool negative = p < end && *p == '-';
    if (negative) ++p;
    std::uint32_t digits = 0;
    int count = 0;      // digits read, leading zeros included
    int decimals = -1;  // digits after the point; -1 before it
    for (; p < end; ++p) {
        const char c = *p;
        if (isDigit(c)) {
            digits = digits * 10 + static_cast<std::uint32_t>(c - '0');
            if (++count > 9) return nullptr;
            if (decimals >= 0) ++decimals;
        } else if (c == '.' && decimals < 0) {
            decimals = 0;
        } else {
            break;
        }
    }
    if (count == 0 || digits > (1u << 24) || decimals > 10) return nullptr;
    if (p < end && *p != ' ' && *p != '\t') return nullptr;
    const float magnitude = decimals > 0 ? static_cast<float>(digits) / kExactPowersOfTen[decimals]
                                         : static_cast<float>(digits);
    value = negative ? -magnitude : magnitude;
    return p;
}

}  // namespace

const char* readPlainFloat(const char* begin, const char* end, float& value) noexcept {
    if (const char* after = readShortFloat(begin, end, value)) return after;
    const char* first = begin < end && *begin == '-' ? begin + 1 : begin;
    if (first >= end || !(isDigit(*first) || *first == '.')) return nullptr;
    float parsed = 0.0f;
    const auto result =
        fast_float::from_chars(begin, end, parsed, fast_float::chars_format::general);
    if (result.ec != std::errc() || !std::isfinite(parsed)) return nullptr;
    if (result.ptr != end && *result.ptr != ' ' && *result.ptr != '\t') return nullptr;
    value = parsed;
    return result.ptr;
}

bool parseFloat(std::string_view text, float& value) noexcept {
    return readReal(text, value) == NumberStatus::kOk;
}

bool parseDouble(std::string_view text, double& value) noexcept {
    return readReal(text, value) == NumberStatus::kOk;
}

bool parseInteger(std::string_view text, std::int64_t& value) noexcept {
    if (!stripPlus(text)) return false;
    std::int64_t parsed = 0;
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, parsed);
    if (result.ec != std::errc() || result.ptr != end) return false;
    value = parsed;
    return true;
}

std::size_t formatFloatInto(float value, char* out) noexcept {
    static_assert(kFloatTextMax >= kShortestFloatMax, "room for every float's text");
    return formatShortestFloat(value, out);
}

std::string formatFloat(float value) {
    char text[kFloatTextMax];
    return std::string(text, formatFloatInto(value, text));
}

int fixedDecimals(std::string_view token) noexcept {
    std::size_t i = !token.empty() && (token[0] == '-' || token[0] == '+') ? 1 : 0;
    while (i < token.size() && isDigit(token[i])) ++i;
    if (i == token.size()) return 0;
    if (token[i] != '.') return -1;
    const std::size_t point = i++;
    while (i < token.size() && isDigit(token[i])) ++i;
    return i == token.size() ? static_cast<int>(i - point - 1) : -1;
}

std::size_t formatFloatFixedInto(float value, int decimals, char* out) noexcept {
    // The float widened to double is its exact binary value, which the
    // library rounds correctly and without any locale: both builds agree.
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, static_cast<double>(value),
                                      std::chars_format::fixed, decimals);
    if (result.ec != std::errc()) return 0;
    const std::size_t length = static_cast<std::size_t>(result.ptr - text);
    if (length > kFloatTextMax) return 0;
    std::memcpy(out, text, length);
    return length;
}

std::string formatFixed(double value, int decimals) {
    char text[400];
    const auto result =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    if (result.ec != std::errc()) return "?";
    return std::string(text, result.ptr);
}

}  // namespace talvexhost
