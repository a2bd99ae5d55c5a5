#include "core/brevit/runtime/dvk_utf8.h"

#include "tests/brevit/runtime/utf16_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using utf16_text::S;
using utf16_text::U;

struct ValidityRow {
    const char* text;
    bool valid;
    int32_t count;
};

TEST(Utf8, ValidityAndLength)
{
    const ValidityRow rows[] = {
        {"", true, 0},
        {"abc", true, 3},
        {"a\xC3\xA9\xE2\x82\xAC", true, 3},
        {"\xED\xA0\x80", true, 1},           // an encoded surrogate is let through
        {"\xC0\x80", false, 0},              // overlong NUL
        {"\xC1\xBF", false, 0},
        {"\xE0\x80\x80", false, 0},
        {"\xE0\x9F\xBF", false, 0},
        {"\xE0\xA0\x80", true, 1},
        {"\xF0\x9F\x98\x80", false, 0},      // 4 bytes: outside the engine's text
        {"\xE2\x82", false, 0},              // cut short by the terminator
        {"\xE2\x82" "A", false, 0},
        {"\x80", false, 0},
        {"a\xFF", false, 1},
        {"\xFE\x80\x80\x80\x80\x80\x80", false, 0},
    };
    for (const ValidityRow& row : rows) {
        SCOPED_TRACE(testing::PrintToString(std::string(row.text)));
        int32_t count = -7;
        EXPECT_EQ(DVKUTF8_IsValid(row.text, &count), row.valid);
        if (row.valid) {
            EXPECT_EQ(count, row.count);
            EXPECT_EQ(DVKUTF8_Length(row.text), row.count);
        } else {
            EXPECT_EQ(DVKUTF8_Length(row.text), -1);
        }
    }
    EXPECT_TRUE(DVKUTF8_IsValid(nullptr, nullptr));
    EXPECT_EQ(DVKUTF8_Length(nullptr), 0);
}

struct SequenceRow {
    const char* text;
    int32_t length;
    uint16_t value;
};

TEST(Utf8, OneSequenceAtATime)
{
    const SequenceRow rows[] = {
        {"", 0, 0},
        {"A", 1, 'A'},
        {"\xC3\xA9z", 2, 0xE9},
        {"\xE2\x82\xAC", 3, 0x20AC},
        {"\xC0\x80", 2, 0},                       // decodes; only validation refuses it
        {"\xF0\x9F\x98\x80", 4, 0xF600},          // bits above 16 are lost
        {"\xFE\x80\x80\x80\x80\x81\x82", 7, 0x0042},
        {"\x80", -1, 0},
        {"\xFF", -1, 0},
        {"\xE2\x82", -1, 0},                      // never reads past the terminator
        {"\xE2" "A\x82", -1, 0},
    };
    for (const SequenceRow& row : rows) {
        SCOPED_TRACE(testing::PrintToString(std::string(row.text)));
        uint16_t value = 0xAAAA;
        EXPECT_EQ(DVKUTF8_ToUnicodeChar(row.text, &value), row.length);
        EXPECT_EQ(value, row.value);
        char out[8];
        std::memset(out, 'x', sizeof out);
        EXPECT_EQ(DVKUTF8_GetChar(row.text, out), row.length);
        if (row.length > 0) {
            EXPECT_EQ(std::string(out), std::string(row.text, static_cast<size_t>(row.length)));
        } else {
            EXPECT_EQ(out[0], '\0');
        }
    }
}

TEST(Utf8, EveryCodeUnitRoundTrips)
{
    for (uint32_t c = 1; c <= 0xFFFF; ++c) {
        char bytes[4] = {};
        const int32_t length = DVKUTF8_FromUnicodeChar(static_cast<uint16_t>(c), bytes);
        ASSERT_EQ(length, c < 0x80 ? 1 : (c < 0x800 ? 2 : 3));
        uint16_t back = 0;
        ASSERT_EQ(DVKUTF8_ToUnicodeChar(bytes, &back), length);
        ASSERT_EQ(back, c);
        int32_t count = 0;
        ASSERT_TRUE(DVKUTF8_IsValid(bytes, &count));
        ASSERT_EQ(count, 1);
    }
    char none[2] = {'x', 'x'};
    EXPECT_EQ(DVKUTF8_FromUnicodeChar(0, none), 0);
    EXPECT_EQ(none[0], 'x');
}

TEST(Utf8, EncodedLength)
{
    std::vector<uint16_t> text = U(u"a\u00E9\u20AC");
    EXPECT_EQ(DVKUTF8_GetEncodedLength(text.data(), 0), 0);
    EXPECT_EQ(DVKUTF8_GetEncodedLength(text.data(), 1), 1);
    EXPECT_EQ(DVKUTF8_GetEncodedLength(text.data(), 3), 6);
    EXPECT_EQ(DVKUTF8_GetEncodedLength(text.data(), 4), 7);   // the terminator counts
    EXPECT_EQ(DVKUTF8_GetEncodedLength(text.data(), 100), 7);
    std::vector<uint16_t> empty = U(u"");
    EXPECT_EQ(DVKUTF8_GetEncodedLength(empty.data(), 5), 1);
}

TEST(Utf8, DecodeIntoABoundedBuffer)
{
    uint16_t dst[4];
    EXPECT_TRUE(DVKUTF8_ToUnicode("a\xC3\xA9\xE2\x82\xAC", 4, dst));
    EXPECT_EQ(S(dst), u"a\u00E9\u20AC");
    // One unit short: the first size - 1 units, terminated, and false.
    EXPECT_FALSE(DVKUTF8_ToUnicode("abcd", 4, dst));
    EXPECT_EQ(S(dst), u"abc");
    EXPECT_FALSE(DVKUTF8_ToUnicode("a\xC0\x80", 4, dst));
    EXPECT_TRUE(DVKUTF8_ToUnicode(nullptr, 4, dst));
    EXPECT_EQ(dst[0], 0);
    EXPECT_TRUE(DVKUTF8_ToUnicode("", 1, dst));
    EXPECT_FALSE(DVKUTF8_ToUnicode("a", 0, dst));
    EXPECT_FALSE(DVKUTF8_ToUnicode("a", 4, nullptr));
}

TEST(Utf8, EncodeIntoABoundedBuffer)
{
    std::vector<uint16_t> euro = U(u"\u20AC");
    char dst[8];
    EXPECT_EQ(DVKUTF8_FromUnicode(euro.data(), 3, dst), 1);   // 3 bytes and the terminator
    EXPECT_EQ(dst[0], '\0');
    EXPECT_EQ(DVKUTF8_FromUnicode(euro.data(), 4, dst), 0);
    EXPECT_STREQ(dst, "\xE2\x82\xAC");

    std::vector<uint16_t> mixed = U(u"a\u20ACb");
    std::memset(dst, 'x', sizeof dst);
    EXPECT_EQ(DVKUTF8_FromUnicode(mixed.data(), 4, dst), 1);
    EXPECT_STREQ(dst, "a");                                   // whole characters only
    EXPECT_EQ(dst[2], 'x');
    EXPECT_EQ(DVKUTF8_NFromUnicode(mixed.data(), 2, 5, dst), 0);
    EXPECT_STREQ(dst, "a\xE2\x82\xAC");
    EXPECT_EQ(DVKUTF8_NFromUnicode(mixed.data(), 2, 4, dst), 1);
    EXPECT_EQ(DVKUTF8_NFromUnicode(mixed.data(), 0, 1, dst), 0);
    EXPECT_STREQ(dst, "");
    EXPECT_EQ(DVKUTF8_FromUnicode(nullptr, 1, dst), 0);
    EXPECT_EQ(DVKUTF8_FromUnicode(mixed.data(), 0, dst), 1);
}

struct Utf8CompareRow {
    const char* a;
    const char* b;
    int32_t compare;
    int32_t noCase;
};

TEST(Utf8, ComparisonsByDecodedCharacter)
{
    const Utf8CompareRow rows[] = {
        {"abc", "abc", 0, 0},
        {"ab", "abc", -1, -1},
        {"\xC3\xA9", "z", 1, 1},                   // U+00E9 after 'z'
        {"\xC3\x89", "\xC3\xA9", -1, 0},           // E acute, both cases
        {"\xCE\x91\xCE\x92", "\xCE\xB1\xCE\xB2", -1, 0},
        {"\xEF\xBC\xA1", "\xEF\xBD\x81", -1, 0},  // full-width A and a
        {"\x80" "a", "\x80" "a", 0, 0},            // stray bytes compare as themselves
        {"\x80", "\xC2\x81", -1, -1},
        {"\xE2\x82", "\xE2\x82", 0, 0},
    };
    for (const Utf8CompareRow& row : rows) {
        SCOPED_TRACE(testing::PrintToString(std::string(row.a) + " / " + row.b));
        EXPECT_EQ(DVKUTF8_Compare(row.a, row.b), row.compare);
        EXPECT_EQ(DVKUTF8_Compare(row.b, row.a), -row.compare);
        EXPECT_EQ(DVKUTF8_CompareNoCase(row.a, row.b), row.noCase);
        EXPECT_EQ(DVKUTF8_NCompare(row.a, row.b, 50), row.compare);
        EXPECT_EQ(DVKUTF8_NCompareNoCase(row.a, row.b, 50), row.noCase);
    }
    EXPECT_EQ(DVKUTF8_NCompare("\xC3\xA9x", "\xC3\xA9y", 1), 0);  // n counts characters
    EXPECT_EQ(DVKUTF8_NCompare("\xC3\xA9x", "\xC3\xA9y", 2), -1);
    EXPECT_EQ(DVKUTF8_NCompare("a", "b", 0), 0);
    EXPECT_EQ(DVKUTF8_Compare(nullptr, nullptr), 0);
    EXPECT_EQ(DVKUTF8_Compare(nullptr, ""), -1);
    EXPECT_EQ(DVKUTF8_Compare("", nullptr), 1);
}

struct CaseChangeRow {
    std::string in;
    std::string lower;
    std::string upper;
};

TEST(Utf8, CaseChangeInPlaceNeverGrows)
{
    const CaseChangeRow rows[] = {
        {"aB", "ab", "AB"},
        {"\xC3\xBF", "\xC3\xBF", "\xC5\xB8"},                     // U+00FF up to U+0178
        {"\xC4\xB0x", "ix", "\xC4\xB0X"},                           // U+0130 lowers to 'i'
        {"\xC4\xB1", "\xC4\xB1", "I"},                              // dotless i
        {"\xCE\xA3\xCF\x82", "\xCF\x83\xCF\x82", "\xCE\xA3\xCE\xA3"},
        {"\xF0\x9F\x98\x80" "a", "\xF0\x9F\x98\x80" "a", "\xF0\x9F\x98\x80" "A"},
        {"\xC0\x80" "A", "\xC0\x80" "a", "\xC0\x80" "A"},           // overlong kept as it is
        {"\xC1\x81", "a", "\xC1\x81"},                               // overlong 'A' lowers
        {"\x80\xFFz\xE2\x82", "\x80\xFFz\xE2\x82", "\x80\xFFZ\xE2\x82"},
    };
    for (const CaseChangeRow& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.in));
        std::string lower = row.in;
        EXPECT_EQ(std::string(DVKUTF8_Lower(lower.data())), row.lower);
        std::string upper = row.in;
        EXPECT_EQ(std::string(DVKUTF8_Upper(upper.data())), row.upper);
    }
    EXPECT_EQ(DVKUTF8_Lower(nullptr), nullptr);
}

struct LastCharRow {
    const char* text;
    int32_t length;
    int32_t decoded;
    uint16_t value;
};

TEST(Utf8, LastCharacter)
{
    const LastCharRow rows[] = {
        {"", 0, 0, 0},
        {"ab", 1, 1, 'b'},
        {"a\xC3\xA9", 2, 2, 0xE9},
        {"\xE2\x82\xAC", 3, 3, 0x20AC},
        {"a\xC3", 1, -1, 0},                       // a lead byte at the end
        {"a\xFF", 1, -1, 0},
        {"\x82\xAC", -1, -1, 0},                   // continuation bytes without a lead
        {"a\xE2\x82", -1, -1, 0},                  // lead of 3 with one continuation
        {"a\xC3\x82\xAC", -1, -1, 0},
        {"\xF0\x9F\x98\x80", 4, 4, 0xF600},
        {"a\x80\x80\x80\x80\x80\x80\x80\x80", -1, -1, 0},
    };
    for (const LastCharRow& row : rows) {
        SCOPED_TRACE(testing::PrintToString(std::string(row.text)));
        char out[8];
        EXPECT_EQ(DVKUTF8_GetLastChar(row.text, out), row.length);
        if (row.length > 0) {
            const std::string text = row.text;
            EXPECT_EQ(std::string(out), text.substr(text.size() - static_cast<size_t>(row.length)));
        }
        uint16_t value = 0xAAAA;
        EXPECT_EQ(DVKUTF8_LastUTF8ToUnicode(row.text, &value), row.decoded);
        EXPECT_EQ(value, row.value);
    }
}

} // namespace
