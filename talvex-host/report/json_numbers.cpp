#include "report/json_numbers.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <nlohmann/json.hpp>

#include "io/number_text.h"

namespace talvexhost {

namespace {

// The powers of ten a double holds exactly.
constexpr double kExactPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kMaxExactPower = 22;

// a * b as hi + lo exactly (Dekker's product: no fused multiply-add).
void exactProduct(double a, double b, double& hi, double& lo) {
    constexpr double kSplitter = 134217729.0;  // 2^27 + 1
    const auto split = [](double x, double& high, double& low) {
        const double t = kSplitter * x;
        high = t - (t - x);
        low = x - high;
    };
    double ah, al, bh, bl;
    split(a, ah, al);
    split(b, bh, bl);
    hi = a * b;
    lo = ((ah * bh - hi) + ah * bl + al * bh) + al * bl;
}

// The decimal a float's shortest text gives: digits (no leading or trailing
// zeros), how many, and the power of ten of the last one. False for zero,
// for texts not finite and for more digits than a double holds exactly.
struct Decimal {
    bool negative = false;
    std::uint64_t digits = 0;
    int count = 0;
    int exponent = 0;
};

bool readDecimal(const char* p, const char* end, Decimal& d) {
    if (p < end && *p == '-') {
        d.negative = true;
        ++p;
    }
    const char* dot = nullptr;
    int written = 0;  // digits, leading zeros included
    int leading = 0;  // leading zeros
    for (; p < end && *p != 'e'; ++p) {
        if (*p == '.') {
            dot = p;
            continue;
        }
        const unsigned digit = unsigned(*p - '0');
        if (digit > 9 || written == 19) return false;
        leading += d.digits == 0 && digit == 0 ? 1 : 0;
        d.digits = d.digits * 10 + digit;
        ++written;
    }
    int exponent = 0;
    if (p < end) {
        std::int64_t e = 0;
        if (!parseInteger(std::string_view(p + 1, std::size_t(end - p - 1)), e) || e < -400 ||
            e > 400)
            return false;
        exponent = int(e);
    }
    if (d.digits == 0) return false;
    d.count = written - leading;
    d.exponent = exponent - (dot != nullptr ? int(p - dot - 1) : 0);
    while (d.digits % 10 == 0) {
        d.digits /= 10;
        --d.count;
        ++d.exponent;
    }
    return d.digits < (std::uint64_t(1) << 53);
}

// The double nearest the decimal, when one correctly rounded operation on
// exact doubles gives it; `wellInside` when the decimal lies within 0.45 of
// the value's last place of it (so well inside its rounding interval), with
// both neighbours a whole last place away.
bool nearestDouble(const Decimal& d, double& value, bool& wellInside) {
    if (d.exponent < -kMaxExactPower || d.exponent > kMaxExactPower) return false;
    const double digits = double(d.digits);
    const double power = kExactPowers[d.exponent < 0 ? -d.exponent : d.exponent];
    value = d.exponent >= 0 ? digits * power : digits / power;
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    const std::uint64_t biased = (bits >> 52) & 0x7FF;
    // A power of two has a nearer neighbour below, and a value below the
    // normal range a wider last place.
    wellInside = false;
    if ((bits & ((std::uint64_t(1) << 52) - 1)) == 0 || biased <= 52) return true;
    const std::uint64_t lastPlaceBits = (biased - 52) << 52;
    double lastPlace = 0.0;
    std::memcpy(&lastPlace, &lastPlaceBits, sizeof lastPlace);
    double hi, lo;
    if (d.exponent >= 0) {
        exactProduct(digits, power, hi, lo);  // the decimal is hi + lo, the value hi
        wellInside = std::fabs(lo) < 0.45 * lastPlace;
    } else {
        // decimal - value = (digits - value * power) / power
        exactProduct(value, power, hi, lo);
        wellInside = std::fabs((digits - hi) - lo) < 0.45 * lastPlace * power;
    }
    return true;
}

// The decimal's digits as text; how many.
int writeDigits(std::uint64_t digits, int count, char* out) {
    for (int i = count - 1; i >= 0; --i) {
        out[i] = char('0' + digits % 10);
        digits /= 10;
    }
    return count;
}

}  // namespace

std::size_t jsonDoubleText(double value, char* out) noexcept {
    if (!std::isfinite(value)) {
        std::memcpy(out, "null", 4);
        return 4;
    }
    return std::size_t(nlohmann::detail::to_chars(out, out + kJsonNumberMax, value) - out);
}

double plainFloat(float value) noexcept {
    char text[kFloatTextMax];
    const std::size_t size = formatFloatInto(value, text);
    Decimal d;
    double result = 0.0;
    bool wellInside = false;
    if (readDecimal(text, text + size, d) && nearestDouble(d, result, wellInside))
        return d.negative ? -result : result;
    parseDouble(std::string_view(text, size), result);
    return result;
}

std::size_t plainFloatText(float value, char* out) noexcept {
    char text[kFloatTextMax];
    const std::size_t size = formatFloatInto(value, text);
    Decimal d;
    double nearest = 0.0;
    bool wellInside = false;
    // The library's shortest digits of the double are found within an
    // interval it narrows by a little to stay safe: a decimal of at most 17
    // digits well inside the double's rounding interval is the only one of
    // its length there, and so exactly what it prints. Near the interval's
    // edge it may print more digits: those take the library's own way.
    if (readDecimal(text, text + size, d) && nearestDouble(d, nearest, wellInside) && wellInside) {
        char* p = out;
        if (d.negative) *p++ = '-';
        writeDigits(d.digits, d.count, p);
        return std::size_t(nlohmann::detail::dtoa_impl::format_buffer(
                               p, d.count, d.exponent, -4, std::numeric_limits<double>::digits10) -
                           out);
    }
    return jsonDoubleText(plainFloat(value), out);
}

}  // namespace talvexhost
