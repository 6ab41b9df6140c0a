// The shortest decimal text of a float that reads back as the same float,
// written as std::to_chars writes it: fixed or scientific, whichever is
// shorter (fixed on a tie). The digits come from the Ryu method (Ulf Adams,
// PLDI 2018): the float's rounding interval is scaled by a power of ten
// through 64-bit multiplications, and digits are dropped while the interval
// still holds a number with fewer. It is several times faster than the
// library's general routine, which matters when a mesh of millions of
// vertices is written, and it is checked against std::to_chars on every
// float (bench/float_text_check.cpp) and on many in the unit tests.
#include "io/shortest_float.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace talvexhost {

namespace {

constexpr int kMantissaBits = 23;
constexpr int kExponentBias = 127;
constexpr int kPow5InverseBits = 59;
constexpr int kPow5Bits = 61;

// floor(2^(59 + pow5bits(i) - 1) / 5^i) + 1 for i in [0, 31).
constexpr std::uint64_t kPow5InverseSplit[31] = {
    576460752303423489u, 461168601842738791u, 368934881474191033u, 295147905179352826u,
    472236648286964522u, 377789318629571618u, 302231454903657294u, 483570327845851670u,
    386856262276681336u, 309485009821345069u, 495176015714152110u, 396140812571321688u,
    316912650057057351u, 507060240091291761u, 405648192073033409u, 324518553658426727u,
    519229685853482763u, 415383748682786211u, 332306998946228969u, 531691198313966350u,
    425352958651173080u, 340282366920938464u, 544451787073501542u, 435561429658801234u,
    348449143727040987u, 557518629963265579u, 446014903970612463u, 356811923176489971u,
    570899077082383953u, 456719261665907162u, 365375409332725730u};

// floor(5^i / 2^(pow5bits(i) - 61)) for i in [0, 47).
constexpr std::uint64_t kPow5Split[47] = {
    1152921504606846976u, 1441151880758558720u, 1801439850948198400u, 2251799813685248000u,
    1407374883553280000u, 1759218604441600000u, 2199023255552000000u, 1374389534720000000u,
    1717986918400000000u, 2147483648000000000u, 1342177280000000000u, 1677721600000000000u,
    2097152000000000000u, 1310720000000000000u, 1638400000000000000u, 2048000000000000000u,
    1280000000000000000u, 1600000000000000000u, 2000000000000000000u, 1250000000000000000u,
    1562500000000000000u, 1953125000000000000u, 1220703125000000000u, 1525878906250000000u,
    1907348632812500000u, 1192092895507812500u, 1490116119384765625u, 1862645149230957031u,
    1164153218269348144u, 1455191522836685180u, 1818989403545856475u, 2273736754432320594u,
    1421085471520200371u, 1776356839400250464u, 2220446049250313080u, 1387778780781445675u,
    1734723475976807094u, 2168404344971008868u, 1355252715606880542u, 1694065894508600678u,
    2117582368135750847u, 1323488980084844279u, 1654361225106055349u, 2067951531382569187u,
    1292469707114105741u, 1615587133892632177u, 2019483917365790221u};

// ceil(log2(5^e)) for e in [1, 46]; 1 for 0.
int pow5bits(int e) {
    return static_cast<int>((static_cast<std::uint32_t>(e) * 1217359u) >> 19) + 1;
}
// floor(log10(2^e)) and floor(log10(5^e)) for the exponents floats have.
int log10Pow2(int e) {
    return static_cast<int>((static_cast<std::uint32_t>(e) * 78913u) >> 18);
}
int log10Pow5(int e) {
    return static_cast<int>((static_cast<std::uint32_t>(e) * 732923u) >> 20);
}

int pow5Factor(std::uint32_t value) {
    int count = 0;
    while (value % 5 == 0) {
        value /= 5;
        ++count;
    }
    return count;
}
bool multipleOfPow5(std::uint32_t value, int p) {
    return pow5Factor(value) >= p;
}
bool multipleOfPow2(std::uint32_t value, int p) {
    return (value & ((1u << p) - 1)) == 0;
}

// (m * factor) >> shift, for shift in (32, 96), in 32-bit pieces so that the
// 32-bit build needs no 128-bit type.
std::uint32_t mulShift(std::uint32_t m, std::uint64_t factor, int shift) {
    const std::uint64_t low = static_cast<std::uint64_t>(m) * static_cast<std::uint32_t>(factor);
    const std::uint64_t high = static_cast<std::uint64_t>(m) * (factor >> 32);
    const std::uint64_t sum = (low >> 32) + high;
    return static_cast<std::uint32_t>(sum >> (shift - 32));
}
std::uint32_t mulPow5InverseDivPow2(std::uint32_t m, int q, int j) {
    return mulShift(m, kPow5InverseSplit[q], j);
}
std::uint32_t mulPow5DivPow2(std::uint32_t m, int i, int j) {
    return mulShift(m, kPow5Split[i], j);
}

// A float as digits * 10^exponent, with the fewest digits that read back as
// it, and of those the closest.
struct Decimal {
    std::uint32_t digits;
    int exponent;
};

Decimal shortestDecimal(std::uint32_t mantissaBits, std::uint32_t exponentBits) {
    int e2;
    std::uint32_t m2;
    if (exponentBits == 0) {
        e2 = 1 - kExponentBias - kMantissaBits - 2;
        m2 = mantissaBits;
    } else {
        e2 = static_cast<int>(exponentBits) - kExponentBias - kMantissaBits - 2;
        m2 = (1u << kMantissaBits) | mantissaBits;
    }
    const bool acceptBounds = (m2 & 1) == 0;
    // The value and its interval's ends, times 4 (the lower end nearer at
    // a power of two).
    const std::uint32_t mv = 4 * m2;
    const std::uint32_t mp = 4 * m2 + 2;
    const std::uint32_t mmShift = mantissaBits != 0 || exponentBits <= 1 ? 1 : 0;
    const std::uint32_t mm = 4 * m2 - 1 - mmShift;

    std::uint32_t vr, vp, vm;
    int e10;
    bool vmTrailingZeros = false;
    bool vrTrailingZeros = false;
    std::uint32_t lastRemovedDigit = 0;
    if (e2 >= 0) {
        const int q = log10Pow2(e2);
        e10 = q;
        const int k = kPow5InverseBits + pow5bits(q) - 1;
        const int i = -e2 + q + k;
        vr = mulPow5InverseDivPow2(mv, q, i);
        vp = mulPow5InverseDivPow2(mp, q, i);
        vm = mulPow5InverseDivPow2(mm, q, i);
        if (q != 0 && (vp - 1) / 10 <= vm / 10) {
            // The digit just below those kept decides the rounding even when
            // the loop below removes none.
            const int l = kPow5InverseBits + pow5bits(q - 1) - 1;
            lastRemovedDigit = mulPow5InverseDivPow2(mv, q - 1, -e2 + q - 1 + l) % 10;
        }
        if (q <= 9) {
            if (mv % 5 == 0)
                vrTrailingZeros = multipleOfPow5(mv, q);
            else if (acceptBounds)
                vmTrailingZeros = multipleOfPow5(mm, q);
            else
                vp -= multipleOfPow5(mp, q) ? 1 : 0;
        }
    } else {
        const int q = log10Pow5(-e2);
        e10 = q + e2;
        const int i = -e2 - q;
        const int k = pow5bits(i) - kPow5Bits;
        int j = q - k;
        vr = mulPow5DivPow2(mv, i, j);
        vp = mulPow5DivPow2(mp, i, j);
        vm = mulPow5DivPow2(mm, i, j);
        if (q != 0 && (vp - 1) / 10 <= vm / 10) {
            j = q - 1 - (pow5bits(i + 1) - kPow5Bits);
            lastRemovedDigit = mulPow5DivPow2(mv, i + 1, j) % 10;
        }
        if (q <= 1) {
            vrTrailingZeros = true;
            if (acceptBounds)
                vmTrailingZeros = mmShift == 1;
            else
                --vp;
        } else if (q < 31) {
            vrTrailingZeros = multipleOfPow2(mv, q - 1);
        }
    }

    int removed = 0;
    auto dropDigit = [&] {
        lastRemovedDigit = vr % 10;
        vr /= 10;
        vp /= 10;
        vm /= 10;
        ++removed;
    };
    std::uint32_t output;
    if (vmTrailingZeros || vrTrailingZeros) {
        // Rare: exact ties and interval ends need the removed digits' zeros.
        while (vp / 10 > vm / 10) {
            vmTrailingZeros = vmTrailingZeros && vm % 10 == 0;
            vrTrailingZeros = vrTrailingZeros && lastRemovedDigit == 0;
            dropDigit();
        }
        while (vmTrailingZeros && vm % 10 == 0) {
            vrTrailingZeros = vrTrailingZeros && lastRemovedDigit == 0;
            dropDigit();
        }
        // Exactly half way: round to even.
        if (vrTrailingZeros && lastRemovedDigit == 5 && vr % 2 == 0) lastRemovedDigit = 4;
        const bool up = (vr == vm && (!acceptBounds || !vmTrailingZeros)) || lastRemovedDigit >= 5;
        output = vr + (up ? 1 : 0);
    } else {
        while (vp / 10 > vm / 10) dropDigit();
        output = vr + ((vr == vm || lastRemovedDigit >= 5) ? 1 : 0);
    }
    return {output, e10 + removed};
}

// A float's shortest digits are at most nine.
int digitCount(std::uint32_t v) {
    return v < 10          ? 1
           : v < 100       ? 2
           : v < 1000      ? 3
           : v < 10000     ? 4
           : v < 100000    ? 5
           : v < 1000000   ? 6
           : v < 10000000  ? 7
           : v < 100000000 ? 8
                           : 9;
}

constexpr char kTwoDigits[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes the digits of `v`, `count` of them (its own number), at `out`, two
// at a time.
void writeDigits(std::uint32_t v, int count, char* out) {
    char* p = out + count;
    while (v >= 100) {
        p -= 2;
        std::memcpy(p, kTwoDigits + (v % 100) * 2, 2);
        v /= 100;
    }
    if (v >= 10) {
        std::memcpy(p - 2, kTwoDigits + v * 2, 2);
    } else {
        p[-1] = static_cast<char>('0' + v);
    }
}

std::size_t writeScientific(const Decimal& d, int length, char* out) {
    // The digits one place on, then the first moved before the point.
    writeDigits(d.digits, length, out + 1);
    out[0] = out[1];
    char* p = out + 1;
    if (length > 1) {
        *p = '.';
        p += length;
    }
    int exponent = d.exponent + length - 1;
    p[0] = 'e';
    p[1] = exponent < 0 ? '-' : '+';
    if (exponent < 0) exponent = -exponent;
    std::memcpy(p + 2, kTwoDigits + exponent * 2, 2);
    return static_cast<std::size_t>(p + 4 - out);
}

std::size_t writeFixed(float magnitude, const Decimal& d, int length, char* out) {
    const int point = length + d.exponent;  // digits before the point
    if (d.exponent >= 0) {
        // An integer. Of the texts this long, the float's exact value is the
        // closest; fixed is chosen only below about 10^14, well inside 64 bits.
        std::uint64_t exact = static_cast<std::uint64_t>(magnitude);
        std::uint64_t smallest = 1;
        for (int i = 1; i < point; ++i) smallest *= 10;
        if (exact >= smallest && exact < smallest * 10) {
            for (int i = point - 1; i >= 0; --i, exact /= 10)
                out[i] = static_cast<char>('0' + exact % 10);
        } else {
            writeDigits(d.digits, length, out);
            for (int i = length; i < point; ++i) out[i] = '0';
        }
        return static_cast<std::size_t>(point);
    }
    if (point > 0) {
        writeDigits(d.digits, length, out);
        for (int i = length; i > point; --i) out[i] = out[i - 1];
        out[point] = '.';
        return static_cast<std::size_t>(length + 1);
    }
    out[0] = '0';
    out[1] = '.';
    for (int i = 0; i < -point; ++i) out[2 + i] = '0';
    writeDigits(d.digits, length, out + 2 - point);
    return static_cast<std::size_t>(2 - point + length);
}

}  // namespace

std::size_t formatShortestFloat(float value, char* out) noexcept {
    if (!std::isfinite(value)) {
        const auto result = std::to_chars(out, out + kShortestFloatMax, value);
        return static_cast<std::size_t>(result.ptr - out);
    }
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    std::size_t sign = 0;
    if (bits >> 31) {
        *out = '-';
        sign = 1;
    }
    const std::uint32_t mantissaBits = bits & ((1u << kMantissaBits) - 1);
    const std::uint32_t exponentBits = (bits >> kMantissaBits) & 0xFF;
    if (mantissaBits == 0 && exponentBits == 0) {
        out[sign] = '0';
        return sign + 1;
    }
    const Decimal d = shortestDecimal(mantissaBits, exponentBits);
    const int length = digitCount(d.digits);
    // d.ddde+XX: a float's exponent always takes two digits.
    const int scientific = length + (length > 1 ? 1 : 0) + 4;
    const int point = length + d.exponent;
    const int fixed = d.exponent >= 0 ? point : point > 0 ? length + 1 : 2 - point + length;
    if (fixed <= scientific) return sign + writeFixed(std::fabs(value), d, length, out + sign);
    return sign + writeScientific(d, length, out + sign);
}

}  // namespace talvexhost
