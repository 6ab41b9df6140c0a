// The report's number text against the JSON library it stands in for: a
// float coordinate as the library dumps the double its shortest text reads
// as, over every kind of float, including those whose double the library
// prints with more digits than the float's text has.
#include "report/json_numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <nlohmann/json.hpp>
#include <string>

#include "io/number_text.h"
#include "support/seeded_random.h"

namespace talvexhost {
namespace {

// What the report wrote before: the text read back as a double, dumped.
std::string throughLibrary(float value) {
    double widened = 0.0;
    parseDouble(formatFloat(value), widened);
    return nlohmann::json(widened).dump();
}

std::string plainText(float value) {
    char out[kJsonNumberMax];
    return std::string(out, plainFloatText(value, out));
}

float fromBits(std::uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

TEST(JsonNumbers, FloatTextIsTheLibrarysForEveryKindOfFloat) {
    SeededRandom random{0x6a50};
    int mismatches = 0;
    int longer = 0;  // texts the library gives more digits than the float's
    const auto check = [&](float value) {
        double read = 0.0;
        parseDouble(formatFloat(value), read);
        const double plain = plainFloat(value);
        if (std::memcmp(&read, &plain, sizeof read) != 0 && ++mismatches <= 5)
            ADD_FAILURE() << formatFloat(value) << " reads as " << read << ", not " << plain;
        const std::string expected = throughLibrary(value);
        const std::string text = plainText(value);
        std::uint32_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        if (text != expected && ++mismatches <= 5)
            ADD_FAILURE() << "bits " << std::hex << bits << ": " << text << " instead of "
                          << expected;
        char shortest[kFloatTextMax];
        if (expected.size() > formatFloatInto(value, shortest) + 2) ++longer;
    };
    // Any bit pattern: every exponent, zeros, infinities, NaNs, subnormals.
    for (int i = 0; i < 400000; ++i) check(fromBits(std::uint32_t(random.next())));
    // Coordinates as meshes have them: six decimals over a few hundred units.
    for (int i = 0; i < 400000; ++i)
        check(float(std::round(random.between(-300.0, 300.0) * 1e6) / 1e6));
    for (const float value :
         {0.0f, -0.0f, 1.0f, -1.0f, 0.1f, 1e-4f, 9.99999e-5f, 1e15f, 1e16f, 123456790.0f,
          std::numeric_limits<float>::max(), std::numeric_limits<float>::min(),
          std::numeric_limits<float>::denorm_min(), std::numeric_limits<float>::infinity(),
          std::numeric_limits<float>::quiet_NaN()})
        check(value);
    EXPECT_EQ(mismatches, 0);
    // The edge the library's narrowed interval leaves is met, not only missed.
    EXPECT_GT(longer, 100);
}

TEST(JsonNumbers, DoubleTextIsTheLibrarysDump) {
    SeededRandom random{0xd0b1e};
    for (int i = 0; i < 100000; ++i) {
        double value;
        const std::uint64_t bits = random.next();
        std::memcpy(&value, &bits, sizeof value);
        char out[kJsonNumberMax];
        const std::string text(out, jsonDoubleText(value, out));
        ASSERT_EQ(text, nlohmann::json(value).dump()) << value;
    }
    EXPECT_EQ(plainFloat(0.1f), 0.1);
    EXPECT_TRUE(std::signbit(plainFloat(-0.0f)));
}

}  // namespace
}  // namespace talvexhost
