// The leading-number reads behind readInteger and readFloat: atol and atof
// as the settings need them, identical in both builds.
#include "config/leading_number.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(LeadingNumber, IntegersStopAtTheFirstNonDigitAndSaturate) {
    const struct {
        const char* text;
        std::int32_t value;
    } cases[] = {
        {"450", 450},
        {"450px", 450},
        {"px450", 0},
        {"", 0},
        {"  \t12", 12},
        {"-12", -12},
        {"+12", 12},
        {"- 12", 0},
        {"--1", 0},
        {"1.9", 1},
        {"0x1F", 0},
        {"2147483647", 2147483647},
        {"2147483648", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"-2147483649", -2147483647 - 1},
        {"4294967297", 2147483647},
        {"00000000000000000000042", 42},
        {"99999999999999999999999", 2147483647},
    };
    for (const auto& c : cases) EXPECT_EQ(leadingInteger(c.text), c.value) << '"' << c.text << '"';
}

TEST(LeadingNumber, DoublesAreDecimalOnlyAndCorrectlyRounded) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        const char* text;
        double value;
    } cases[] = {
        {"0.01", 0.01},
        {"0.1", 0.1},
        {"  1.5mm", 1.5},
        {".5", 0.5},
        {"5.", 5.0},
        {"-.25", -0.25},
        {"+2e1", 20.0},
        {"1e", 1.0},
        {"1e+", 1.0},
        {"0,3", 0.0},
        {"3,5", 3.0},
        {"abc", 0.0},
        {"", 0.0},
        {"inf", 0.0},
        {"nan", 0.0},
        {"0x10", 0.0},
        {"+-1", 0.0},
        {"1e999", inf},
        {"-1e999", -inf},
        {"1e-999", 0.0},
        {"123456789012345678901234567890", 1.2345678901234568e29},
        {"1024.0000000000001", 1024.0000000000001},
    };
    for (const auto& c : cases) EXPECT_EQ(leadingDouble(c.text), c.value) << '"' << c.text << '"';
    EXPECT_TRUE(std::signbit(leadingDouble("-0")));
}

}  // namespace
