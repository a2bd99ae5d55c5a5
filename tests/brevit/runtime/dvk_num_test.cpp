#include "core/brevit/runtime/dvk_num.h"
#include "tests/support/comma_locale.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// One row per text: the result of each 8-bit parser (ok = parsed).
struct IntegralCase {
    const char* text;
    bool signedOk;
    int32_t signedValue;
    bool unsignedOk;
    uint32_t unsignedValue;
};

TEST(AsciiNumbers, DecimalParsersAcceptExactlyTheirRange)
{
    const IntegralCase cases[] = {
        {"  -2147483648", true, INT32_MIN, false, 0},
        {"2147483647", true, INT32_MAX, true, 2147483647u},
        {"2147483648", false, 0, true, 2147483648u},
        {"-2147483649", false, 0, false, 0},
        {"4294967295", false, 0, true, 4294967295u},
        {"4294967296", false, 0, false, 0},
        {"12 apples", true, 12, true, 12},
        {"12\tapples", true, 12, true, 12},
        {"12apples", false, 0, false, 0},
        {"1.5", false, 0, false, 0},
        {"+7", true, 7, true, 7},
        {"-7", true, -7, false, 0},
        {"\xC2\xA0" "42", true, 42, true, 42},  // high bytes before the number are skipped
        {"42\xC2", false, 0, false, 0},
        {"", false, 0, false, 0},
        {"   ", false, 0, false, 0},
        {"-", false, 0, false, 0},
        {"+-1", false, 0, false, 0},
        {"0007", true, 7, true, 7},
    };
    for (const IntegralCase& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(DVKNum_AsciiIsIntegral(c.text), c.signedOk);
        EXPECT_EQ(DVKNum_AsciiToLong(c.text), c.signedValue);
        EXPECT_EQ(DVKNum_AsciiToInt(c.text), c.signedValue);
        EXPECT_EQ(DVKNum_AsciiToUnsignedLong(c.text), c.unsignedValue);
        EXPECT_EQ(DVKNum_AsciiToUnsignedInt(c.text), c.unsignedValue);
    }
    EXPECT_FALSE(DVKNum_AsciiIsIntegral(nullptr));
    EXPECT_EQ(DVKNum_AsciiToUnsignedLong(nullptr), 0u);
}

TEST(AsciiNumbers, NarrowTypesHaveTheirOwnLimits)
{
    EXPECT_EQ(DVKNum_AsciiToShort("-32768"), -32768);
    EXPECT_EQ(DVKNum_AsciiToShort("32767"), 32767);
    EXPECT_EQ(DVKNum_AsciiToShort("32768"), 0);
    EXPECT_EQ(DVKNum_AsciiToShort("-32769"), 0);
    EXPECT_EQ(DVKNum_AsciiToUnsignedShort("65535"), 65535);
    EXPECT_EQ(DVKNum_AsciiToUnsignedShort("65536"), 0);
    EXPECT_EQ(DVKNum_AsciiToUnsignedChar("255"), 255);
    EXPECT_EQ(DVKNum_AsciiToUnsignedChar("256"), 0);
}

struct HexCase {
    const char* text;
    bool ok;
    uint32_t value;
};

TEST(AsciiNumbers, HexadecimalForms)
{
    const HexCase cases[] = {
        {"0", true, 0},         {"00", true, 0},         {"0x", false, 0},
        {"x", false, 0},        {"0x1F", true, 0x1F},    {"x1F", true, 0x1F},
        {"000x1F", true, 0x1F}, {"1fZ", false, 0},       {" ff rest", true, 0xFF},
        {"FFFFFFFF", true, 0xFFFFFFFFu},                 {"100000000", false, 0},
        {"0xx1", false, 0},     {"", false, 0},          {"1\xC0", false, 0},
    };
    for (const HexCase& c : cases) {
        SCOPED_TRACE(c.text);
        uint32_t value = 12345;
        EXPECT_EQ(DVKNum_ParseHex(c.text, UINT32_MAX, &value), c.ok);
        EXPECT_EQ(value, c.ok ? c.value : 12345u);
        EXPECT_EQ(DVKNum_HexToUnsignedInt(c.text), c.value);
        EXPECT_EQ(DVKNum_HexToUnsignedLong(c.text), c.value);
    }
    EXPECT_EQ(DVKNum_HexToUnsignedShort("FFFF"), 0xFFFF);
    EXPECT_EQ(DVKNum_HexToUnsignedShort("10000"), 0);
}

struct RealCase {
    const char* text;
    bool valid;
    double value;
};

TEST(AsciiNumbers, RealValidatorAndValue)
{
    const RealCase cases[] = {
        {"1.5", true, 1.5},   {"12.", true, 12.0},    {".5", true, 0.5},
        {".", false, 0.0},    {"-", true, 0.0},       {"e5", true, 0.0},
        {"1e", false, 1.0},   {"1e+3", true, 1000.0}, {"-2.5E-1 x", true, -0.25},
        {"1.5x", false, 1.5}, {"1e3x", false, 1000.0},
        {"  \xC2\xA0" "7.25", true, 7.25},  // skipped like white space
        {"", false, 0.0},
    };
    for (const RealCase& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(DVKNum_AsciiIsReal(c.text), c.valid);
        EXPECT_DOUBLE_EQ(DVKNum_AsciiToReal(c.text), c.value);
    }
    EXPECT_FALSE(DVKNum_AsciiIsReal(nullptr));
    EXPECT_EQ(DVKNum_AsciiToReal(nullptr), 0.0);
}

TEST(AsciiNumbers, RealParsingIgnoresTheProcessLocale)
{
    if (!selectCommaDecimalLocale())
        GTEST_SKIP() << "no comma-decimal locale available (package locales)";
    char check[16];
    std::snprintf(check, sizeof(check), "%.1f", 1.5);
    EXPECT_STREQ(check, "1,5") << "the locale really uses a comma";
    const double value = DVKNum_AsciiToReal("1.5");
    const bool valid = DVKNum_AsciiIsReal("1.5");
    const double direct = DVKNum_StrtodC("2.25");
    std::setlocale(LC_NUMERIC, "C");
    EXPECT_EQ(value, 1.5);
    EXPECT_TRUE(valid);
    EXPECT_EQ(direct, 2.25);
}

TEST(AsciiNumbers, Booleans)
{
    for (const char* yes : {"true", "TRUE", "Yes", "yEs", "1"})
        EXPECT_EQ(DVKNum_AsciiToBoolean(yes), 1) << yes;
    for (const char* no : {"false", "no", "0", "01", "1 ", "truex", "", "y"})
        EXPECT_EQ(DVKNum_AsciiToBoolean(no), 0) << no;
    EXPECT_EQ(DVKNum_AsciiToBoolean(nullptr), 0);
}

TEST(NumberHelpers, PowersOfTwo)
{
    EXPECT_TRUE(DVKNum_IsPowerOf2(0));
    EXPECT_TRUE(DVKNum_IsPowerOf2(1));
    EXPECT_TRUE(DVKNum_IsPowerOf2(0x80000000u));
    EXPECT_FALSE(DVKNum_IsPowerOf2(6));
    const struct {
        uint32_t n;
        uint32_t power;
        int32_t exponent;
    } cases[] = {{0, 0, 0}, {1, 1, 0}, {2, 2, 1}, {5, 8, 3}, {1024, 1024, 10},
                 {0x80000000u, 0x80000000u, 31}, {0x80000001u, 0, 32}};
    for (const auto& c : cases) {
        int32_t exponent = -1;
        EXPECT_EQ(DVKNum_RoundUpToPowerOf2(c.n, &exponent), c.power) << c.n;
        EXPECT_EQ(exponent, c.exponent) << c.n;
    }
    EXPECT_EQ(DVKNum_RoundUpToPowerOf2(5, nullptr), 8u);
}

TEST(NumberHelpers, RoundToDecimals)
{
    const struct {
        double x;
        int32_t digits;
        double expected;
    } cases[] = {
        {2.5, 0, 2.0},   {3.5, 0, 3.0},    {-3.5, 0, -3.0}, {0.6, 0, 1.0},
        {1.25, 1, 1.2},  {0.125, 2, 0.12}, {0.95, 1, 1.0},  {1.35, 1, 1.4},
        {1.0004, 3, 1.0}, {2.0, -1, 2.0},  {1.2345, 3, 1.234},
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(DVKNum_RoundToDecimals(c.x, c.digits), c.expected)
            << c.x << " to " << c.digits;
    double zero = DVKNum_RoundToDecimals(-0.04, 1);
    EXPECT_EQ(zero, 0.0);
    EXPECT_FALSE(std::signbit(zero));
    // More decimals than a double holds keep the value (not NaN), and
    // quickly, whatever the count.
    for (int32_t digits : {308, 309, 400, INT32_MAX}) {
        EXPECT_EQ(DVKNum_RoundToDecimals(1.25, digits), 1.25) << digits;
        EXPECT_EQ(DVKNum_RoundToDecimals(-3.0, digits), -3.0) << digits;
    }
}

TEST(NumberHelpers, RoundeKeepsDecimalsOfTheBinaryMantissa)
{
    // 1000 = 0.9765625 x 2^10; the mantissa rounds to 0.98.
    EXPECT_DOUBLE_EQ(DVKNum_Rounde(1000.0, 2), std::ldexp(0.98, 10));
    EXPECT_DOUBLE_EQ(DVKNum_Rounde(0.75, 1), std::ldexp(0.8, 0));
    EXPECT_EQ(DVKNum_Rounde(0.0, 3), 0.0);
}

} // namespace
