#include "number_text.h"

#include <charconv>
#include <cmath>
#include <system_error>

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

template <typename T>
bool parseReal(std::string_view text, T& value) noexcept {
    if (!stripPlus(text)) return false;
    T parsed{};
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, parsed, std::chars_format::general);
    if (result.ec != std::errc() || result.ptr != end || !std::isfinite(parsed)) return false;
    value = parsed;
    return true;
}

}  // namespace

bool parseFloat(std::string_view text, float& value) noexcept { return parseReal(text, value); }

bool parseDouble(std::string_view text, double& value) noexcept { return parseReal(text, value); }

bool parseInteger(std::string_view text, std::int64_t& value) noexcept {
    if (!stripPlus(text)) return false;
    std::int64_t parsed = 0;
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, parsed);
    if (result.ec != std::errc() || result.ptr != end) return false;
    value = parsed;
    return true;
}

std::string formatFloat(float value) {
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

std::string formatFixed(double value, int decimals) {
    char text[400];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    if (result.ec != std::errc()) return "?";
    return std::string(text, result.ptr);
}

}  // namespace talvexhost
