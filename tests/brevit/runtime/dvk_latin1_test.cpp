#include "core/brevit/runtime/dvk_latin1.h"

#include "tests/brevit/runtime/utf16_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using utf16_text::S;
using utf16_text::U;

TEST(Latin1, CharacterRulesOverAllBytes)
{
    for (int b = 0; b < 256; ++b) {
        SCOPED_TRACE(b);
        const auto byte = static_cast<uint8_t>(b);
        const bool upper = (b >= 'A' && b <= 'Z') || (b >= 0xC0 && b <= 0xDE && b != 0xD7);
        const bool lower = (b >= 'a' && b <= 'z') || (b >= 0xDF && b != 0xF7);
        EXPECT_EQ(DVKLatin1_IsUpper(byte), upper);
        EXPECT_EQ(DVKLatin1_IsLower(byte), lower);
        EXPECT_EQ(DVKLatin1_IsAlpha(byte), upper || lower);
        EXPECT_EQ(DVKLatin1_IsDigit(byte), b >= '0' && b <= '9');
        EXPECT_EQ(DVKLatin1_IsAlphaNum(byte), upper || lower || (b >= '0' && b <= '9'));
        EXPECT_EQ(DVKLatin1_ToLower(byte), upper ? b + 0x20 : b);
        const int upperCase = lower && b != 0xDF && b != 0xFF ? b - 0x20 : b;
        EXPECT_EQ(DVKLatin1_ToUpper(byte), upperCase);
    }
}

TEST(Latin1, CaseFoldedComparison)
{
    EXPECT_EQ(DVKLatin1_CompareNoCase("\xC9t\xC9", "\xE9T\xE9"), 0);
    EXPECT_EQ(DVKLatin1_CompareNoCase("a", "b"), -1);
    EXPECT_EQ(DVKLatin1_CompareNoCase("ab", "abC"), -'C');  // the unfolded byte of b
    EXPECT_EQ(DVKLatin1_CompareNoCase("abc", "ab"), 'c');
    EXPECT_EQ(DVKLatin1_CompareNoCase("\xD7", "\xF7"), 0xD7 - 0xF7);
}

TEST(Latin1, CaseFoldedComparisonOfAtMostNBytes)
{
    struct Row {
        const char* a;
        const char* b;
        int32_t n;
        int32_t expected;
    };
    const Row rows[] = {
        {"\xC9xa", "\xE9xb", 2, 0},
        {"\xC9xa", "\xE9xb", 3, -1},
        {"a", "a", 10, 0},
        {"a", "b", 0, 0},
        {"", "A", 1, -'A'},      // a ends first: minus the unfolded byte of b
        {"a", "aB", 2, -'B'},
        {"a", "aB", 1, 0},
        {"aB", "a", 2, 'b'},     // b ends first: the folded byte of a
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.a) + " / " + row.b + " / " + std::to_string(row.n));
        EXPECT_EQ(DVKLatin1_NCompareNoCase(row.a, row.b, row.n), row.expected);
    }
}

TEST(Latin1, Widening)
{
    uint16_t dst[4];
    EXPECT_TRUE(DVKUnicode_FromLatin1("a\xE9\xA4", 4, dst));
    EXPECT_EQ(S(dst), u"a\u00E9\u00A4");
    EXPECT_TRUE(DVKUnicode_FromLatin9("a\xE9\xA4", 4, dst));
    EXPECT_EQ(S(dst), u"a\u00E9\u20AC");
    EXPECT_TRUE(DVKUnicode_FromLatin9("\xA6\xA8\xB4\xB8\xBC\xBD\xBE" + 4, 4, dst));
    EXPECT_EQ(S(dst), u"\u0152\u0153\u0178");
    EXPECT_FALSE(DVKUnicode_FromLatin1("abcd", 4, dst));
    EXPECT_EQ(S(dst), u"abc");
    EXPECT_TRUE(DVKUnicode_FromLatin1(nullptr, 1, dst));
    EXPECT_EQ(dst[0], 0);
    EXPECT_FALSE(DVKUnicode_FromLatin1("a", 0, dst));
}

struct NarrowRow {
    std::u16string text;
    int32_t n;     // -1: the whole string
    int32_t size;
    int32_t latin1;
    std::string latin1Out;
    int32_t latin9;
    std::string latin9Out;
};

TEST(Latin1, NarrowingNeverWritesPastSize)
{
    const NarrowRow rows[] = {
        {u"ab\u00E9", -1, 4, 0, "ab\xE9", 0, "ab\xE9"},
        {u"ab\u00E9", -1, 3, 1, "ab", 1, "ab"},
        {u"a\u20AC", -1, 8, 2, "a", 0, "a\xA4"},
        {u"a\u00A4", -1, 8, 0, "a\xA4", 2, "a"},
        {u"\u0160\u0161\u017D\u017E\u0152\u0153\u0178", -1, 8, 2, "", 0,
         "\xA6\xA8\xB4\xB8\xBC\xBD\xBE"},
        {u"\u00A6", -1, 8, 0, "\xA6", 2, ""},
        {u"\u0100", -1, 8, 2, "", 2, ""},
        {u"abcdef", 3, 4, 0, "abc", 0, "abc"},
        {u"abcdef", 3, 3, 1, "ab", 1, "ab"},       // fewer than n + 1 bytes
        {u"ab", 5, 8, 0, "ab", 0, "ab"},
        {u"ab\u0100", 2, 3, 0, "ab", 0, "ab"},     // the unit past n is never read
        {u"", -1, 1, 0, "", 0, ""},
    };
    for (const NarrowRow& row : rows) {
        SCOPED_TRACE(utf16_text::Hex(row.text) + " n=" + std::to_string(row.n) +
                     " size=" + std::to_string(row.size));
        std::vector<uint16_t> text = U(row.text);
        char dst[16];
        std::memset(dst, 'x', sizeof dst);
        const int32_t r1 = row.n < 0 ? DVKUnicode_ToLatin1(text.data(), row.size, dst)
                                     : DVKUnicode_NToLatin1(text.data(), row.n, row.size, dst);
        EXPECT_EQ(r1, row.latin1);
        EXPECT_EQ(std::string(dst), row.latin1Out);
        EXPECT_EQ(dst[row.size], 'x');
        std::memset(dst, 'x', sizeof dst);
        const int32_t r9 = row.n < 0 ? DVKUnicode_ToLatin9(text.data(), row.size, dst)
                                     : DVKUnicode_NToLatin9(text.data(), row.n, row.size, dst);
        EXPECT_EQ(r9, row.latin9);
        EXPECT_EQ(std::string(dst), row.latin9Out);
        EXPECT_EQ(dst[row.size], 'x');
    }
    char dst[2] = {'x', 'x'};
    EXPECT_EQ(DVKUnicode_ToLatin1(U(u"a").data(), 0, dst), 1);
    EXPECT_EQ(dst[0], 'x');
    EXPECT_EQ(DVKUnicode_ToLatin1(nullptr, 2, dst), 0);
    EXPECT_EQ(dst[0], '\0');
}

TEST(Latin1, Latin9RoundTripsEveryByte)
{
    for (int b = 1; b < 256; ++b) {
        const char in[2] = {static_cast<char>(b), 0};
        uint16_t wide[2];
        ASSERT_TRUE(DVKUnicode_FromLatin9(in, 2, wide));
        char back[2];
        ASSERT_EQ(DVKUnicode_ToLatin9(wide, 2, back), 0) << b;
        ASSERT_EQ(static_cast<uint8_t>(back[0]), b);
    }
}

} // namespace
