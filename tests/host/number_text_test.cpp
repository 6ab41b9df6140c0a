// The number reader's fast path (one float division, for short decimals)
// against the correctly rounded reader it stands in for, at its edges: 2^24,
// ten decimals, signs, and exponents and long numbers, which fall back.
#include "io/number_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "support/seeded_random.h"

namespace talvexhost {
namespace {

bool sameBits(float a, float b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// readPlainFloat must give readFloat's float, bit for bit, and stop at the
// token's end.
void expectAsReadFloat(const std::string& token) {
    float whole = 0.0f;
    ASSERT_EQ(readFloat(token, whole), NumberStatus::kOk) << token;
    const std::string line = token + " next";
    float plain = 1.0f;
    const char* after = readPlainFloat(line.data(), line.data() + line.size(), plain);
    ASSERT_EQ(after, line.data() + token.size()) << token;
    EXPECT_TRUE(sameBits(plain, whole)) << token << ": " << plain << " instead of " << whole;
    // As a file's reader calls it: the line ends before more digits, which
    // may be loaded but never read as part of the number; its decimals come
    // with it.
    const std::string lines = token + "\n12345678901234567890";
    const char* lineEnd = lines.data() + token.size();
    int decimals = -2;
    plain = 1.0f;
    after = readPlainFloat(lines.data(), lineEnd, lines.data() + lines.size(), plain, decimals);
    ASSERT_EQ(after, lineEnd) << token;
    EXPECT_TRUE(sameBits(plain, whole)) << token << ": " << plain << " instead of " << whole;
    EXPECT_EQ(decimals, fixedDecimals(token)) << token;
}

TEST(NumberText, ShortDecimalsReadAsTheCorrectlyRoundedReaderReadsThem) {
    const char* edges[] = {
        "16777216",     "16777215",
        "16777217",     "-16777216",
        "-16777217",    "1677721.6",
        "1677721.7",    "0.16777216",
        "0.16777217",   "33554431",
        "0.000000001",  "0.0000000001",
        "1.000000001",  "0.00000000001",
        "99999999.9",   "0",
        "-0",           "-0.0",
        "0.",           ".5",
        "-.5",          "5.",
        "007",          "1e3",
        "1.5e-3",       "-2.5E+3",
        "1e-45",        "1e-50",
        "3.4028235e38", "123456789",
        "0.1",          "0.3",
        "2.675",        "8388608.5",
        "8388609.5",
    };
    for (const char* token : edges) expectAsReadFloat(token);

    // Digits up to 2^25, so both sides of the fast path's limit, with zero to
    // ten decimals placed anywhere.
    SeededRandom random{7};
    for (int i = 0; i < 200000; ++i) {
        std::string digits = std::to_string(random.next() % (std::uint64_t(1) << 25));
        const int decimals = random.below(11);
        if (int(digits.size()) <= decimals) digits.insert(0, decimals + 1 - digits.size(), '0');
        if (decimals > 0) digits.insert(digits.size() - decimals, ".");
        if (random.chance(50)) digits.insert(0, "-");
        expectAsReadFloat(digits);
    }

    // Longer numbers go through a double, rounded twice: up to 2^53 with up
    // to 22 decimals, past both limits, and decimals that land on or next to
    // a point halfway between two floats.
    for (int i = 0; i < 200000; ++i) {
        const int length = 7 + random.below(14);
        std::string digits = std::to_string(random.next() % (std::uint64_t(1) << 60));
        digits = digits.substr(0, std::min<std::size_t>(digits.size(), length));
        const int decimals = random.below(24);
        if (int(digits.size()) <= decimals) digits.insert(0, decimals + 1 - digits.size(), '0');
        if (decimals > 0) digits.insert(digits.size() - decimals, ".");
        if (random.chance(50)) digits.insert(0, "-");
        expectAsReadFloat(digits);
    }
    for (int i = 0; i < 20000; ++i) {
        // A float, and the double halfway to the next one, in full.
        const float below = static_cast<float>(random.next() % (std::uint64_t(1) << 40)) /
                            static_cast<float>(1 + random.below(1000));
        const double halfway =
            (double(below) + double(std::nextafter(below, 2.0f * below + 1.0f))) / 2.0;
        char text[64];
        for (const int precision : {17, 16, 15, 9}) {
            std::snprintf(text, sizeof text, "%.*g", precision, halfway);
            if (std::strchr(text, 'e') == nullptr) expectAsReadFloat(text);
        }
    }
}

// The fixed-notation writer against the library's correctly rounded one:
// every exponent, signs, zeros, and ties (which round half to even).
TEST(NumberText, FixedDecimalsAsTheLibraryWritesThem) {
    auto expectAsLibrary = [](float value, int decimals) {
        char library[400];
        const auto result =
            std::to_chars(library, library + sizeof library, static_cast<double>(value),
                          std::chars_format::fixed, decimals);
        ASSERT_EQ(result.ec, std::errc());
        const std::string wanted(library, result.ptr);
        char out[kFloatTextMax];
        const std::size_t length = formatFloatFixedInto(value, decimals, out);
        if (wanted.size() > kFloatTextMax) {
            EXPECT_EQ(length, 0u) << wanted;
            return;
        }
        EXPECT_EQ(std::string(out, length), wanted) << decimals << " decimals";
        // And the float it reads back as, given beside it.
        float back = 0.0f;
        float readsBack = 1.0f;
        ASSERT_EQ(formatFloatFixedInto(value, decimals, out, readsBack), length);
        ASSERT_EQ(readFloat(wanted, back), NumberStatus::kOk) << wanted;
        EXPECT_TRUE(sameBits(readsBack, back)) << wanted << " reads back as " << back;
    };
    for (const float value :
         {0.0f, -0.0f, 0.5f, 1.5f, 2.5f, -2.5f, 0.125f, 0.375f, -0.0625f, 1e-45f, -1e-30f,
          8388607.5f, 16777216.0f, 3.4028235e38f, 1e20f, -99.998669f, 0.0049999999f, 0.005f})
        for (int decimals = 0; decimals <= 9; ++decimals) expectAsLibrary(value, decimals);
    SeededRandom random{11};
    for (int i = 0; i < 300000; ++i) {
        const auto bits = static_cast<std::uint32_t>(random.next());
        float value;
        std::memcpy(&value, &bits, sizeof value);
        if (!std::isfinite(value)) continue;
        expectAsLibrary(value, random.below(10));
        // Values of the size meshes hold, where ties and rounding matter.
        const float typical =
            static_cast<float>(static_cast<std::int64_t>(random.next() % 400000001) - 200000000) /
            static_cast<float>(1 << random.below(24));
        expectAsLibrary(typical, random.below(10));
    }
}

TEST(NumberText, SignsAndEndsOfTheFastPath) {
    float value = 1.0f;
    const std::string negativeZero = "-0";
    ASSERT_NE(readPlainFloat(negativeZero.data(), negativeZero.data() + 2, value), nullptr);
    EXPECT_TRUE(value == 0.0f && std::signbit(value));
    // Not plain numbers: a '+', no digits, trailing characters, inf and nan;
    // readFloat judges them.
    for (const std::string token :
         {"+1", "-", ".", "1.5x", "1..5", "--1", "inf", "nan", "0x10", ""}) {
        value = 42.0f;
        EXPECT_EQ(readPlainFloat(token.data(), token.data() + token.size(), value), nullptr)
            << token;
        EXPECT_EQ(value, 42.0f) << token;
    }
    // A tab ends the token as a blank does.
    const std::string tabbed = "2.5\t3";
    EXPECT_EQ(readPlainFloat(tabbed.data(), tabbed.data() + tabbed.size(), value),
              tabbed.data() + 3);
    EXPECT_EQ(value, 2.5f);
}

// Digit runs eight bytes at a time against a digit at a time: every length
// up to past the 19-digit limit, followed by the bytes next to '0' and '9'
// and by bytes high enough to carry, with the run cut short by `end` or by
// `readable`, and with a ceiling on the value.
TEST(NumberText, DigitRunsAsReadOneDigitAtATime) {
    SeededRandom random{11};
    const char followers[] = {' ', '/', ':', '.', '\n', '\0', '\xFA', '\xFF', '\x7F', 'a'};
    for (int i = 0; i < 200000; ++i) {
        const int length = random.below(24);
        std::string text;
        for (int k = 0; k < length; ++k) text += static_cast<char>('0' + random.below(10));
        if (random.chance(30)) text.insert(0, static_cast<std::size_t>(random.below(12)), '0');
        text += followers[random.below(sizeof followers)];
        for (int k = random.below(10); k > 0; --k) text += static_cast<char>(random.below(256));
        const std::size_t endAt =
            random.chance(20) ? random.below(int(text.size()) + 1) : text.size();
        const std::size_t readableAt = endAt + random.below(int(text.size() - endAt) + 1);
        const int maxDigits = random.chance(50) ? 19 : random.below(20);
        const std::uint64_t ceiling =
            random.chance(50) ? ~std::uint64_t(0) : random.next() % 100000000000ull;

        // The reference, a digit at a time over [0, length): null when it
        // holds too many digits or too large a value.
        auto reference = [&](std::size_t count, std::uint64_t& value, int& digits) -> bool {
            value = 0;
            digits = 0;
            for (std::size_t k = 0; k < count; ++k) {
                if (++digits > maxDigits) return false;
                value = value * 10 + static_cast<std::uint64_t>(text[k] - '0');
                if (value > ceiling) return false;
            }
            return true;
        };
        std::size_t run = 0;
        while (run < text.size() && text[run] >= '0' && text[run] <= '9') ++run;
        std::uint64_t value = 0;
        int digits = 0;
        const char* after = readDigitRun(text.data(), text.data() + endAt, text.data() + readableAt,
                                         maxDigits, ceiling, value, digits);
        std::uint64_t expectedValue = 0;
        int expectedDigits = 0;
        if (run <= endAt) {
            if (!reference(run, expectedValue, expectedDigits)) {
                EXPECT_EQ(after, nullptr) << text;
                continue;
            }
            ASSERT_EQ(after, text.data() + run) << text;
        } else {
            // A run going on past `end` is cut there or refused.
            if (after == nullptr) continue;
            ASSERT_EQ(after, text.data() + endAt) << text;
            ASSERT_TRUE(reference(endAt, expectedValue, expectedDigits)) << text;
        }
        EXPECT_EQ(value, expectedValue) << text;
        EXPECT_EQ(digits, expectedDigits) << text;
    }
}

#if UINTPTR_MAX <= 0xFFFFFFFFu
// The 32-bit builds' face indices: runs of up to nine digits summed in 32
// bits, against a digit at a time, with every length up to past the limit,
// leading zeros, runs cut by `end` or `readable`, and ceilings up to 2^32 - 1.
TEST(NumberText, ShortDigitRunsAsReadOneDigitAtATime) {
    SeededRandom random{12};
    const char followers[] = {' ', '/', ':', '.', '\n', '\0', '\xFA', '\xFF', '\x7F', 'a'};
    for (int i = 0; i < 200000; ++i) {
        std::string text;
        for (int k = random.below(13); k > 0; --k)
            text += static_cast<char>('0' + random.below(10));
        if (random.chance(30)) text.insert(0, static_cast<std::size_t>(random.below(6)), '0');
        text += followers[random.below(sizeof followers)];
        for (int k = random.below(6); k > 0; --k) text += static_cast<char>(random.below(256));
        const std::size_t endAt =
            random.chance(20) ? random.below(int(text.size()) + 1) : text.size();
        const std::size_t readableAt = endAt + random.below(int(text.size() - endAt) + 1);
        const std::uint32_t ceiling =
            random.chance(50) ? 0xFFFFFFFFu : static_cast<std::uint32_t>(random.next());
        std::size_t run = 0;
        while (run < text.size() && text[run] >= '0' && text[run] <= '9') ++run;
        const std::size_t read = std::min(run, endAt);
        std::uint64_t expected = 0;
        bool fits = read <= 9;
        for (std::size_t k = 0; k < read && fits; ++k) {
            expected = expected * 10 + static_cast<std::uint64_t>(text[k] - '0');
            fits = expected <= ceiling;
        }
        std::uint32_t value = 7;
        const char* after = readShortDigitRun(text.data(), text.data() + endAt,
                                              text.data() + readableAt, ceiling, value);
        if (!fits) {
            EXPECT_EQ(after, nullptr) << text;
            continue;
        }
        // A run going on past `end` is cut there or refused.
        if (run > endAt && after == nullptr) continue;
        ASSERT_EQ(after, text.data() + read) << text;
        EXPECT_EQ(value, expected) << text;
    }
}
#endif

}  // namespace
}  // namespace talvexhost
