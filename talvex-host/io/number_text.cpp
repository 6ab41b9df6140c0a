#include "io/number_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
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

// Powers of ten that are exact floats, and those that are exact doubles.
constexpr float kExactPowersOfTen[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f,
                                       1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
constexpr double kExactDoublePowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                              1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                              1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
// Their reciprocals, each the double nearest 10^-n.
constexpr double kReciprocalPowersOfTen[] = {1e-0,  1e-1,  1e-2,  1e-3,  1e-4,  1e-5,  1e-6,  1e-7,
                                             1e-8,  1e-9,  1e-10, 1e-11, 1e-12, 1e-13, 1e-14, 1e-15,
                                             1e-16, 1e-17, 1e-18, 1e-19, 1e-20, 1e-21, 1e-22};

// The float nearest digits / 10^decimals, when the digits make an integer of
// at most 2^53 and there are at most 22 decimals. Both that integer and the
// power of ten are exact, so one division rounds correctly (the fast path of
// Clinger's method): in float when they are exact floats, else in double and
// then to float. Rounding twice errs only where the double lands exactly
// halfway between two floats (the midpoints are doubles, so the decimal lies
// on the same side of every other midpoint as its double does); false for
// those few and for anything out of range.
// `digits` as a double, exactly for up to 2^53. Most coordinates' digits fit
// in 31 bits, which a 32-bit build converts in one instruction; a 64-bit
// integer it converts through the x87 unit.
inline double exactDouble(std::uint64_t digits) noexcept {
    if (digits <= 0x7FFFFFFF) return static_cast<double>(static_cast<std::int32_t>(digits));
    return static_cast<double>(digits);
}

template <typename Unsigned>
inline bool decimalToFloat(Unsigned digits, int decimals, bool negative, float& value) noexcept {
    float magnitude;
    if (digits <= (1u << 24) && decimals <= 10) {
        const float whole = static_cast<float>(static_cast<std::int32_t>(digits));
        magnitude = decimals > 0 ? whole / kExactPowersOfTen[decimals] : whole;
    } else {
        if (std::uint64_t(digits) > (std::uint64_t(1) << 53) || decimals > 22) return false;
        // Zero, or at least 1e-22 and below 2^54: a normal float, never infinite.
        const double whole = exactDouble(digits);
        // The 29 bits a float drops read 1000...0 at a midpoint between two floats.
        constexpr std::uint64_t kDropped = (std::uint64_t(1) << 29) - 1;
        constexpr std::uint64_t kMidpoint = std::uint64_t(1) << 28;
        std::uint64_t bits;
        if (decimals > 0) {
            // First by a multiply with the reciprocal, which waits far less
            // than a division: the product is within 2 units in the last
            // place of the quotient, so where it lies more than 4 from every
            // midpoint the quotient lies on the same side of each and rounds
            // to the same float. Otherwise the correctly rounded division.
            const double near = whole * kReciprocalPowersOfTen[decimals];
            std::memcpy(&bits, &near, sizeof bits);
            const std::uint64_t dropped = bits & kDropped;
            const std::uint64_t apart =
                dropped > kMidpoint ? dropped - kMidpoint : kMidpoint - dropped;
            if (apart > 4) {
                magnitude = static_cast<float>(near);
                value = negative ? -magnitude : magnitude;
                return true;
            }
        }
        const double exact = decimals > 0 ? whole / kExactDoublePowersOfTen[decimals] : whole;
        std::memcpy(&bits, &exact, sizeof bits);
        if ((bits & kDropped) == kMidpoint) return false;
        magnitude = static_cast<float>(exact);
    }
    value = negative ? -magnitude : magnitude;
    return true;
}

constexpr std::uint64_t kNoCeiling = ~std::uint64_t(0);

// The common short number, [-]digits[.digits], that decimalToFloat takes,
// with its count of decimals. Null for anything else, left to the full reader.
const char* readShortFloat(const char* p, const char* end, const char* readable, float& value,
                           int& decimals) noexcept {
    const bool negative = p < end && *p == '-';
    if (negative) ++p;
#if UINTPTR_MAX <= 0xFFFFFFFFu
    // A 32-bit build first tries the numbers of nine digits at most, most
    // coordinates, in one register; the same integer and decimals as below.
    std::uint32_t whole = 0;
    if (const char* after = readShortDigitRun(p, end, readable, 0xFFFFFFFFu, whole)) {
        std::uint32_t digits = whole;
        int count = static_cast<int>(after - p);
        int places = 0;
        bool fits = true;
        if (after < end && *after == '.') {
            std::uint32_t fraction = 0;
            const char* first = after + 1;
            after = readShortDigitRun(first, end, readable, 0xFFFFFFFFu, fraction);
            places = after != nullptr ? static_cast<int>(after - first) : 0;
            count += places;
            fits = after != nullptr && count <= 9;
            if (fits)
                digits =
                    whole * static_cast<std::uint32_t>(digitrun::kPowersOfTen[places]) + fraction;
        }
        if (fits) {
            if (count == 0 || (after < end && *after != ' ' && *after != '\t')) return nullptr;
            if (!decimalToFloat(digits, places, negative, value)) return nullptr;
            decimals = places;
            return after;
        }
    }
#endif
    // 19 digits in all, leading zeros included, cannot overflow 64 bits.
    constexpr int kMaxDigits = 19;
    std::uint64_t digits = 0;
    int count = 0;
    p = readDigitRun(p, end, readable, kMaxDigits, kNoCeiling, digits, count);
    if (p == nullptr) return nullptr;
    int places = 0;
    if (p < end && *p == '.') {
        std::uint64_t fraction = 0;
        p = readDigitRun(p + 1, end, readable, kMaxDigits - count, kNoCeiling, fraction, places);
        if (p == nullptr) return nullptr;
        digits = digits * digitrun::kPowersOfTen[places] + fraction;
        count += places;
    }
    if (count == 0 || (p < end && *p != ' ' && *p != '\t')) return nullptr;
    if (!decimalToFloat(digits, places, negative, value)) return nullptr;
    decimals = places;
    return p;
}

// readPlainFloat, with the decimals when `decimals` is given.
const char* readPlain(const char* begin, const char* end, const char* readable, float& value,
                      int* decimals) noexcept {
    int places = 0;
    if (const char* after = readShortFloat(begin, end, readable, value, places)) {
        if (decimals != nullptr) *decimals = places;
        return after;
    }
    const char* first = begin < end && *begin == '-' ? begin + 1 : begin;
    if (first >= end || !(isDigit(*first) || *first == '.')) return nullptr;
    float parsed = 0.0f;
    const auto result =
        fast_float::from_chars(begin, end, parsed, fast_float::chars_format::general);
    if (result.ec != std::errc() || !std::isfinite(parsed)) return nullptr;
    if (result.ptr != end && *result.ptr != ' ' && *result.ptr != '\t') return nullptr;
    value = parsed;
    if (decimals != nullptr)
        *decimals = fixedDecimals({begin, static_cast<std::size_t>(result.ptr - begin)});
    return result.ptr;
}

}  // namespace

const char* readPlainFloat(const char* begin, const char* end, float& value) noexcept {
    return readPlain(begin, end, end, value, nullptr);
}

const char* readPlainFloat(const char* begin, const char* end, const char* readable, float& value,
                           int& decimals) noexcept {
    return readPlain(begin, end, readable, value, &decimals);
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

namespace {

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

constexpr std::uint32_t kPowersOfTen[] = {1,      10,      100,      1000,      10000,
                                          100000, 1000000, 10000000, 100000000, 1000000000};

// The decimal digits of `whole`, last first, two to a division; their count.
// Instantiated for 32 bits too: most coordinates fit, and a 32-bit build
// divides a 64-bit integer through a library call.
template <typename Unsigned>
int digitsLastFirst(Unsigned whole, char* digits) noexcept {
    int count = 0;
    while (whole >= 100) {
        const std::size_t pair = 2 * static_cast<std::size_t>(whole % 100);
        whole /= 100;
        digits[count++] = kDigitPairs[pair + 1];
        digits[count++] = kDigitPairs[pair];
    }
    if (whole >= 10) {
        digits[count++] = kDigitPairs[2 * whole + 1];
        digits[count++] = kDigitPairs[2 * whole];
    } else {
        digits[count++] = static_cast<char>('0' + whole);
    }
    return count;
}

// formatFloatFixedInto for up to nine decimals and values whose scaled
// magnitude stays below 2^63, in integers: the float is m * 2^e exactly, so
// m * 10^decimals * 2^e is the scaled value, its fraction exact too, rounded
// half to even as the library rounds. 0 when out of that range.
std::size_t formatFixedByIntegers(float value, int decimals, char* out, float& readsBack) noexcept {
    if (decimals < 0 || decimals > 9 || !std::isfinite(value)) return 0;
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    const bool negative = (bits >> 31) != 0;
    const int biased = static_cast<int>((bits >> 23) & 0xFF);
    std::uint64_t mantissa = bits & 0x7FFFFF;
    int exponent = biased == 0 ? -149 : biased - 150;
    if (biased != 0) mantissa |= 0x800000;
    // Below 2^54; 32 by 32 bits, one multiply in a 32-bit build too.
    const std::uint64_t scaled =
        std::uint64_t(static_cast<std::uint32_t>(mantissa)) * kPowersOfTen[decimals];
    std::uint64_t whole;
    if (exponent >= 0) {
        if (exponent >= 9 || scaled > (std::uint64_t(1) << (62 - exponent))) return 0;
        whole = scaled << exponent;
    } else if (-exponent >= 56) {
        whole = 0;  // less than a quarter of the last decimal: rounds to zero
    } else {
        const int shift = -exponent;
        whole = scaled >> shift;
        const std::uint64_t rest = scaled & ((std::uint64_t(1) << shift) - 1);
        const std::uint64_t half = std::uint64_t(1) << (shift - 1);
        if (rest > half || (rest == half && (whole & 1) != 0)) ++whole;
    }
    if (!decimalToFloat(whole, decimals, negative, readsBack)) {
        // Read the text back below.
        readsBack = std::numeric_limits<float>::quiet_NaN();
    }
    char digits[24];
    int count = whole <= 0xFFFFFFFFu ? digitsLastFirst(static_cast<std::uint32_t>(whole), digits)
                                     : digitsLastFirst(whole, digits);
    while (count <= decimals) digits[count++] = '0';  // a digit before the point
    std::size_t length = 0;
    if (negative) out[length++] = '-';
    for (int i = count - 1; i >= decimals; --i) out[length++] = digits[i];
    if (decimals > 0) {
        out[length++] = '.';
        for (int i = decimals - 1; i >= 0; --i) out[length++] = digits[i];
    }
    return length;
}

}  // namespace

std::size_t formatFloatFixedInto(float value, int decimals, char* out, float& readsBack) noexcept {
    std::size_t length = formatFixedByIntegers(value, decimals, out, readsBack);
    if (length == 0) {
        // The float widened to double is its exact binary value, which the
        // library rounds correctly and without any locale: both builds agree.
        char text[64];
        const auto result = std::to_chars(text, text + sizeof text, static_cast<double>(value),
                                          std::chars_format::fixed, decimals);
        if (result.ec != std::errc()) return 0;
        length = static_cast<std::size_t>(result.ptr - text);
        if (length > kFloatTextMax) return 0;
        std::memcpy(out, text, length);
        readsBack = std::numeric_limits<float>::quiet_NaN();
    }
    if (std::isnan(readsBack) && readPlainFloat(out, out + length, readsBack) == nullptr) return 0;
    return length;
}

std::size_t formatFloatFixedInto(float value, int decimals, char* out) noexcept {
    float readsBack;
    return formatFloatFixedInto(value, decimals, out, readsBack);
}

std::string formatFixed(double value, int decimals) {
    char text[400];
    const auto result =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    if (result.ec != std::errc()) return "?";
    return std::string(text, result.ptr);
}

void appendNegated(std::string_view token, std::string& out) {
    float value = 0.0f;
    if (readFloat(token, value) == NumberStatus::kOk && value == 0.0f) {
        out += token;
    } else if (!token.empty() && (token[0] == '-' || token[0] == '+')) {
        if (token[0] == '+') out += '-';
        out += token.substr(1);
    } else {
        out += '-';
        out += token;
    }
}

}  // namespace talvexhost
