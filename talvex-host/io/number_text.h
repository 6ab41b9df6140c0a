// Reading and writing the decimal numbers of mesh files and scripts. Reading
// goes through fast_float, writing floats through the host's own shortest
// printer (the text std::to_chars gives, checked on every float), doubles
// through std::to_chars: all locale-free and correctly rounded, so the native
// build and the Windows build read and print every float identically.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
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

// The digit-run reading below is inline: the readers call it for every
// number of a file.
namespace digitrun {

inline constexpr std::uint64_t kOnes = 0x0101010101010101ull;

// 10^0 to 10^19, the largest that fits 64 bits.
inline constexpr std::uint64_t kPowersOfTen[] = {1ull,
                                                 10ull,
                                                 100ull,
                                                 1000ull,
                                                 10000ull,
                                                 100000ull,
                                                 1000000ull,
                                                 10000000ull,
                                                 100000000ull,
                                                 1000000000ull,
                                                 10000000000ull,
                                                 100000000000ull,
                                                 1000000000000ull,
                                                 10000000000000ull,
                                                 100000000000000ull,
                                                 1000000000000000ull,
                                                 10000000000000000ull,
                                                 100000000000000000ull,
                                                 1000000000000000000ull,
                                                 10000000000000000000ull};

// Which byte of a word holds its lowest set bit (the first byte is byte 0).
inline int lowestByte(std::uint64_t flags) noexcept {
#if defined(__GNUC__) || defined(__clang__)
    return __builtin_ctzll(flags) / 8;
#else
    int byte = 0;
    while ((flags & 0xFF) == 0) {
        flags >>= 8;
        ++byte;
    }
    return byte;
#endif
}

inline int lowestByte(std::uint32_t flags) noexcept {
#if defined(__GNUC__) || defined(__clang__)
    return __builtin_ctz(flags) / 8;
#else
    return lowestByte(std::uint64_t(flags));
#endif
}

// How many of the bytes of `word` (eight, or four in 32-bit builds; the
// first in the lowest byte) are digits before the first that is not. A
// digit's high nibble is 3 and stays 3 when 6 is added; a carry out of a
// byte (0xFA and up, never a digit) can only disturb the bytes after it,
// past the first non-digit.
template <typename Word>
inline int leadingDigits(Word word) noexcept {
    constexpr Word ones = static_cast<Word>(~Word(0)) / 0xFF;
    const Word highs = word & (ones * 0xF0);
    const Word raised = ((word + ones * 0x06) & (ones * 0xF0)) >> 4;
    const Word others = (highs | raised) ^ (ones * 0x33);
    return others == 0 ? static_cast<int>(sizeof(Word)) : lowestByte(others);
}

// The value of the first `count` (1 to 8) digits of `word`: they are moved
// to the top, behind zeros, and joined in pairs, fours and eights.
inline std::uint64_t digitsValue(std::uint64_t word, int count) noexcept {
    word = (word & (kOnes * 0x0F)) << (8 * (8 - count));
    word = (word * 10 + (word >> 8)) & 0x00FF00FF00FF00FFull;
    word = (word * 100 + (word >> 16)) & 0x0000FFFF0000FFFFull;
    return (word * 10000 + (word >> 32)) & 0xFFFFFFFFull;
}

// The same four bytes at a time, for 32-bit builds, which multiply and
// shift a 64-bit word in several instructions.
inline constexpr std::uint32_t kOnes4 = 0x01010101u;

inline std::uint32_t digitsValue4(std::uint32_t word, int count) noexcept {
    word = (word & (kOnes4 * 0x0F)) << (8 * (4 - count));
    word = (word * 10 + (word >> 8)) & 0x00FF00FFu;
    return (word * 100 + (word >> 16)) & 0xFFFFu;
}

}  // namespace digitrun

// The run of decimal digits at `begin` (none when it starts with anything
// else), read as an integer: its end, with `value` and `digits` set. Null
// when the run holds more than `maxDigits` digits (at most 19, so that it
// cannot overflow) or its value is above `ceiling`. Bytes up to `readable`
// (at least `end`) may be loaded; a run that goes on past `end` is cut there
// or refused.
inline const char* readDigitRun(const char* begin, const char* end, const char* readable,
                                int maxDigits, std::uint64_t ceiling, std::uint64_t& value,
                                int& digits) noexcept {
    const char* p = begin;
    std::uint64_t sum = 0;
    int count = 0;
    // A word at a time while a word can be loaded, then byte by byte. The
    // sum only grows, so checking the ceiling per word refuses what a check
    // per digit would.
#if UINTPTR_MAX > 0xFFFFFFFFu
    constexpr int kWordBytes = 8;
#else
    constexpr int kWordBytes = 4;
#endif
    while (readable - p >= kWordBytes) {
        int run;
#if UINTPTR_MAX > 0xFFFFFFFFu
        std::uint64_t word;
        std::memcpy(&word, p, sizeof word);
        run = digitrun::leadingDigits(word);
        if (run > 0) {
            count += run;
            if (count > maxDigits) return nullptr;
            sum = sum * digitrun::kPowersOfTen[run] + digitrun::digitsValue(word, run);
        }
#else
        std::uint32_t word;
        std::memcpy(&word, p, sizeof word);
        run = digitrun::leadingDigits(word);
        if (run > 0) {
            count += run;
            if (count > maxDigits) return nullptr;
            const std::uint32_t part = digitrun::digitsValue4(word, run);
            // Below 10^5, sum * 10^4 + 9999 fits 32 bits: one multiply.
            sum = sum < 100000
                      ? std::uint64_t(static_cast<std::uint32_t>(sum) *
                                          static_cast<std::uint32_t>(digitrun::kPowersOfTen[run]) +
                                      part)
                      : sum * digitrun::kPowersOfTen[run] + part;
        }
#endif
        if (run > 0) {
            if (sum > ceiling) return nullptr;
            p += run;
        }
        if (run < kWordBytes) {
            if (p > end) return nullptr;
            value = sum;
            digits = count;
            return p;
        }
    }
    if (p > end) return nullptr;
    for (; p < end && *p >= '0' && *p <= '9'; ++p) {
        if (++count > maxDigits) return nullptr;
        sum = sum * 10 + static_cast<std::uint32_t>(*p - '0');
        if (sum > ceiling) return nullptr;
    }
    value = sum;
    digits = count;
    return p;
}

#if UINTPTR_MAX <= 0xFFFFFFFFu
// readDigitRun for runs of at most nine digits, summed in 32 bits, four
// bytes at a time: what a 32-bit build reads face indices with. Null for a
// longer run or a value above `ceiling`.
inline const char* readShortDigitRun(const char* begin, const char* end, const char* readable,
                                     std::uint32_t ceiling, std::uint32_t& value) noexcept {
    constexpr int kMaxDigits = 9;  // below 2^32 whatever the digits
    const char* p = begin;
    std::uint32_t sum = 0;
    int count = 0;
    while (readable - p >= 4) {
        std::uint32_t word;
        std::memcpy(&word, p, sizeof word);
        const int run = digitrun::leadingDigits(word);
        if (run > 0) {
            count += run;
            if (count > kMaxDigits) return nullptr;
            sum = sum * static_cast<std::uint32_t>(digitrun::kPowersOfTen[run]) +
                  digitrun::digitsValue4(word, run);
            if (sum > ceiling) return nullptr;
            p += run;
        }
        if (run < 4) {
            if (p > end) return nullptr;
            value = sum;
            return p;
        }
    }
    if (p > end) return nullptr;
    for (; p < end && *p >= '0' && *p <= '9'; ++p) {
        if (++count > kMaxDigits) return nullptr;
        sum = sum * 10 + static_cast<std::uint32_t>(*p - '0');
        if (sum > ceiling) return nullptr;
    }
    value = sum;
    return p;
}
#endif

}  // namespace talvexhost
