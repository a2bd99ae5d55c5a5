#include "core/brevit/runtime/dvk_num_utf16.h"

#include "tests/brevit/runtime/utf16_text.h"
#include "tests/support/comma_locale.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <string>

namespace {

using utf16_text::Hex;
using utf16_text::U;

struct IntegralRow {
    std::u16string text;
    bool signedOk;
    int32_t signedValue;
    uint32_t unsignedValue;  // 0 when the unsigned parser refuses it
};

TEST(UnicodeNumbers, DecimalParsers)
{
    const IntegralRow rows[] = {
        {u"  -2147483648", true, INT32_MIN, 0},
        {u"2147483647", true, INT32_MAX, 2147483647u},
        {u"2147483648", false, 0, 2147483648u},
        {u"4294967295", false, 0, 4294967295u},
        {u"4294967296", false, 0, 0},
        {u"\uFF11\uFF12\uFF13", true, 123, 123},             // full-width digits
        {u"\uFEFF42", true, 42, 42},                         // byte-order mark skipped
        {u"42\uFEFFrest", true, 42, 42},                     // and it ends a number
        {u"\uFF0D7", true, -7, 0},                           // full-width minus
        {u"\uFF0B7", true, 7, 7},
        {u"+7", true, 7, 7},
        {u"12 apples", true, 12, 12},
        {u"12apples", false, 0, 0},
        {u"1.5", false, 0, 0},
        {u"1\uFF15", true, 15, 15},
        {u"\u00A012", false, 0, 0},                          // only ASCII white space
        {u"\u300012", false, 0, 0},
        {u"12\u3000", false, 0, 0},
        {u"\u0661", false, 0, 0},                            // Arabic-Indic one
        {u"-", false, 0, 0},
        {u"+", false, 0, 0},
        {u"", false, 0, 0},
        {u" \t", false, 0, 0},
    };
    for (const IntegralRow& row : rows) {
        SCOPED_TRACE(Hex(row.text));
        std::vector<uint16_t> s = U(row.text);
        EXPECT_EQ(DVKNum_UnicodeIsIntegral(s.data()), row.signedOk);
        EXPECT_EQ(DVKNum_UnicodeToInt(s.data()), row.signedValue);
        EXPECT_EQ(DVKNum_UnicodeToLong(s.data()), row.signedValue);
        EXPECT_EQ(DVKNum_UnicodeToUnsignedInt(s.data()), row.unsignedValue);
        EXPECT_EQ(DVKNum_UnicodeToUnsignedLong(s.data()), row.unsignedValue);
    }
    EXPECT_FALSE(DVKNum_UnicodeIsIntegral(nullptr));
    EXPECT_EQ(DVKNum_UnicodeToInt(nullptr), 0);
}

TEST(UnicodeNumbers, NarrowTypes)
{
    EXPECT_EQ(DVKNum_UnicodeToShort(U(u"-32768").data()), -32768);
    EXPECT_EQ(DVKNum_UnicodeToShort(U(u"32768").data()), 0);
    EXPECT_EQ(DVKNum_UnicodeToUnsignedShort(U(u"65535").data()), 65535);
    EXPECT_EQ(DVKNum_UnicodeToUnsignedShort(U(u"65536").data()), 0);
    EXPECT_EQ(DVKNum_UnicodeToUnsignedChar(U(u"\uFF12\uFF15\uFF15").data()), 255);
    EXPECT_EQ(DVKNum_UnicodeToUnsignedChar(U(u"256").data()), 0);
}

struct HexRow {
    std::u16string text;
    bool ok;
    uint32_t value;
};

TEST(UnicodeNumbers, Hexadecimal)
{
    const HexRow rows[] = {
        {u"0", true, 0},
        {u"00", true, 0},
        {u"\uFF10", true, 0},
        {u"0x", false, 0},
        {u"x", false, 0},
        {u"0x1F", true, 0x1F},
        {u"000x1F", true, 0x1F},
        {u"\uFF10\uFF58\uFF11\uFF26", true, 0x1F},     // full-width 0x1F
        {u"\uFF38\uFF41\uFF42", true, 0xAB},           // full-width X and a-b folded
        {u"\uFF47", false, 0},                          // full-width g
        {u"1fZ", false, 0},
        {u" ff rest", true, 0xFF},
        {u"\uFEFFff", true, 0xFF},
        {u"FFFFFFFF", true, 0xFFFFFFFF},
        {u"100000000", false, 0},
        {u"000000000000000000000001", true, 1},
        {u"", false, 0},
    };
    for (const HexRow& row : rows) {
        SCOPED_TRACE(Hex(row.text));
        std::vector<uint16_t> s = U(row.text);
        EXPECT_EQ(DVKNum_UnicodeHexToUnsignedInt(s.data()), row.value);
        EXPECT_EQ(DVKNum_UnicodeHexToUnsignedLong(s.data()), row.value);
    }
    EXPECT_EQ(DVKNum_UnicodeHexToUnsignedShort(U(u"FFFF").data()), 0xFFFF);
    EXPECT_EQ(DVKNum_UnicodeHexToUnsignedShort(U(u"10000").data()), 0);
    EXPECT_EQ(DVKNum_UnicodeHexToUnsignedShort(nullptr), 0);
}

struct RealRow {
    std::u16string text;
    bool ok;
    double value;
};

TEST(UnicodeNumbers, Reals)
{
    const RealRow rows[] = {
        {u"007.5", true, 7.5},
        {u"-.5", true, -0.5},
        {u"1e", false, 0},
        {u"e5", true, 0},
        {u"-", true, 0},
        {u"12.", true, 12},
        {u".", false, 0},
        {u"\uFF11\uFF0E\uFF15\uFF25\uFF0B\uFF12", true, 150},  // full-width 1.5E+2
        {u"\uFF0D\uFF10\uFF10\uFF12", true, -2},
        {u"2.5e-1", true, 0.25},
        {u"  3 rest", true, 3},
        {u"3\uFEFF", false, 0},             // only an exponent may be followed by it
        {u"3e1\uFEFF", true, 30},
        {u"1e5x", false, 0},
        {u"1.5x", false, 0},
        {u"\uFEFF1", false, 0},             // leading white space is ASCII only
        {u"000000000000000000000000000000000000000000000000000000000000000000001", true, 1},
        {u"", false, 0},
    };
    for (const RealRow& row : rows) {
        SCOPED_TRACE(Hex(row.text));
        std::vector<uint16_t> s = U(row.text);
        EXPECT_EQ(DVKNum_UnicodeIsReal(s.data()), row.ok);
        EXPECT_DOUBLE_EQ(DVKNum_UnicodeToReal(s.data()), row.value);
    }
    EXPECT_TRUE(std::signbit(DVKNum_UnicodeToReal(U(u"-.0").data())));
    EXPECT_FALSE(DVKNum_UnicodeIsReal(nullptr));
    EXPECT_EQ(DVKNum_UnicodeToReal(nullptr), 0.0);
}

// The ASCII copy has 64 bytes: a longer number is refused, never overrun.
TEST(UnicodeNumbers, LongRealsAreRefusedNotOverrun)
{
    const std::u16string digits63(63, u'1');
    EXPECT_TRUE(DVKNum_UnicodeIsReal(U(digits63).data()));
    EXPECT_DOUBLE_EQ(DVKNum_UnicodeToReal(U(digits63).data()), std::stod(std::string(63, '1')));
    EXPECT_FALSE(DVKNum_UnicodeIsReal(U(digits63 + u"1").data()));
    EXPECT_EQ(DVKNum_UnicodeToReal(U(u"0." + std::u16string(100000, u'5')).data()), 0.0);
    EXPECT_FALSE(DVKNum_UnicodeIsReal(U(u"1e" + std::u16string(100, u'0') + u"1").data()));
    // Integral parsers fail early on long digit runs.
    EXPECT_EQ(DVKNum_UnicodeToInt(U(std::u16string(100000, u'9')).data()), 0);
    EXPECT_EQ(DVKNum_UnicodeHexToUnsignedInt(U(std::u16string(100000, u'f')).data()), 0u);
    EXPECT_EQ(DVKNum_UnicodeToInt(U(std::u16string(100000, u'0') + u"7").data()), 7);
}

// The ASCII copy is parsed in the "C" locale whatever the process has set.
TEST(UnicodeNumbers, RealsIgnoreTheProcessLocale)
{
    if (!selectCommaDecimalLocale())
        GTEST_SKIP() << "no comma-decimal locale available (package locales)";
    const double value = DVKNum_UnicodeToReal(U(u"2.5").data());
    const bool valid = DVKNum_UnicodeIsReal(U(u"\uFF12\uFF0E\uFF15").data());
    std::setlocale(LC_NUMERIC, "C");
    EXPECT_EQ(value, 2.5);
    EXPECT_TRUE(valid);
}

TEST(UnicodeNumbers, Booleans)
{
    const std::pair<std::u16string, int32_t> rows[] = {
        {u"true", 1}, {u"TRUE", 1}, {u"Yes", 1},  {u"1", 1},     {u"false", 0},
        {u"No", 0},   {u"0", 0},    {u" true", 0}, {u"01", 0},   {u"", 0},
        {u"\uFF54\uFF52\uFF55\uFF45", 0},
    };
    for (const auto& [text, value] : rows)
        EXPECT_EQ(DVKNum_UnicodeToBoolean(U(text).data()), value) << Hex(text);
    EXPECT_EQ(DVKNum_UnicodeToBoolean(nullptr), 0);
}

TEST(UnicodeNumbers, WarningHookTakesAnyText)
{
    DVKNum_WarnNotANumber("String %s is not a real number..", nullptr);
    DVKNum_WarnNotANumber("String %s is not a real number..", U(std::u16string(5000, u'\u20AC')).data());
}

} // namespace
