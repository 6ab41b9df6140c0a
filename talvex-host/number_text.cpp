#include "number_text.h"

#include <charconv>
#include <cmath>
#include <system_error>

#include "fast_float.h"
#include "shortest_float.h"

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

const char* readPlainFloat(const char* begin, const char* end, float& value) noexcept {
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

std::string formatFixed(double value, int decimals) {
    char text[400];
    const auto result =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    if (result.ec != std::errc()) return "?";
    return std::string(text, result.ptr);
}

}  // namespace talvexhost
