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
// zeros) and the power of ten of the last one. False for zero, for texts
// not finite and for more digits than a double holds exactly.
struct Decimal {
    bool negative = false;
    std::uint64_t digits = 0;
    int count = 0;  // how many digits
    int exponent = 0;
    char text[kFloatTextMax];  // the digits as characters
};

bool readDecimal(const char* p, const char* end, Decimal& d) {
    if (p < end && *p == '-') {
        d.negative = true;
        ++p;
    }
    int afterPoint = 0;
    bool point = false;
    int trailingZeros = 0;
    for (; p < end && *p != 'e'; ++p) {
        if (*p == '.') {
            point = true;
            continue;
        }
        if (*p < '0' || *p > '9') return false;
        if (point) ++afterPoint;
        if (d.count == 0 && *p == '0') continue;  // leading zeros
        if (d.count == 17) return false;
        d.text[d.count++] = *p;
        d.digits = d.digits * 10 + std::uint64_t(*p - '0');
        trailingZeros = *p == '0' ? trailingZeros + 1 : 0;
    }
    int exponent = 0;
    if (p < end) {
        std::int64_t e = 0;
        if (!parseInteger(std::string_view(p + 1, std::size_t(end - p - 1)), e) || e < -400 ||
            e > 400)
            return false;
        exponent = int(e);
    }
    if (d.count == 0) return false;
    for (int z = 0; z < trailingZeros; ++z) d.digits /= 10;
    d.count -= trailingZeros;
    d.exponent = exponent - afterPoint + trailingZeros;
    return d.digits < (std::uint64_t(1) << 53);
}

// The double nearest the decimal, when one correctly rounded operation on
// exact doubles gives it; `residual` is then decimal - value in units of
// the value's last place (its sign and size only roughly).
bool nearestDouble(const Decimal& d, double& value, double& residual) {
    if (d.exponent < -kMaxExactPower || d.exponent > kMaxExactPower) return false;
    const double digits = double(d.digits);
    const double power = kExactPowers[d.exponent < 0 ? -d.exponent : d.exponent];
    double hi, lo, gap;
    if (d.exponent >= 0) {
        value = digits * power;
        exactProduct(digits, power, hi, lo);
        gap = lo;  // decimal - value
    } else {
        value = digits / power;
        exactProduct(value, power, hi, lo);
        gap = ((digits - hi) - lo) / power;
    }
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    const std::uint64_t biased = (bits >> 52) & 0x7FF;
    // A power of two has a nearer neighbour below, and a value below the
    // normal range a wider last place: the test below assumes neither.
    if ((bits & ((std::uint64_t(1) << 52) - 1)) == 0 || biased <= 52) return false;
    const std::uint64_t lastPlaceBits = (biased - 52) << 52;
    double lastPlace = 0.0;
    std::memcpy(&lastPlace, &lastPlaceBits, sizeof lastPlace);
    residual = gap / lastPlace;
    return true;
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
    double result = 0.0, residual = 0.0;
    if (readDecimal(text, text + size, d) && nearestDouble(d, result, residual))
        return d.negative ? -result : result;
    parseDouble(std::string_view(text, size), result);
    return result;
}

std::size_t plainFloatText(float value, char* out) noexcept {
    char text[kFloatTextMax];
    const std::size_t size = formatFloatInto(value, text);
    Decimal d;
    double nearest = 0.0, residual = 0.0;
    // The library's shortest digits of the double are found within an
    // interval it narrows by a little to stay safe: a decimal of at most 17
    // digits well inside the double's rounding interval is the only one of
    // its length there, and so exactly what it prints. Near the interval's
    // edge it may print more digits: those take the library's own way.
    if (readDecimal(text, text + size, d) && nearestDouble(d, nearest, residual) &&
        std::fabs(residual) < 0.45) {
        char* p = out;
        if (d.negative) *p++ = '-';
        std::memcpy(p, d.text, std::size_t(d.count));
        return std::size_t(nlohmann::detail::dtoa_impl::format_buffer(
                               p, d.count, d.exponent, -4, std::numeric_limits<double>::digits10) -
                           out);
    }
    return jsonDoubleText(plainFloat(value), out);
}

}  // namespace talvexhost
