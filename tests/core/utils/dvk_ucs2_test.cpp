#include "core/utils/dvk_ucs2.h"

#include "sdk/common/dvk_mem.h"
#include "tests/support/suite_memory.h"
#include "tests/core/utils/ucs2_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

namespace {

using Ucs2Test = SuiteMemoryTest;

// Units after an in-place conversion of text.
template <typename Convert>
Ucs2 converted(std::u16string_view text, Convert convert)
{
    Ucs2 units = ucs2(text);
    convert(units.data());
    return units;
}

TEST_F(Ucs2Test, CaseMappingCoversTheLatin1RangeAndItsPartner)
{
    struct Case {
        dvk_ucs2_Char in, upper, lower;
    };
    const Case cases[] = {
        {u'a', u'A', u'a'},     {u'Z', u'Z', u'z'},     {0xE0, 0xC0, 0xE0},
        {0xFE, 0xDE, 0xFE},     {0xC0, 0xC0, 0xE0},     {0xDE, 0xDE, 0xFE},
        {0xFF, 0x178, 0xFF},    {0x178, 0x178, 0xFF},   {0xDF, 0xDF, 0xDF},
        {0xF7, 0xF7, 0xF7},     {0xD7, 0xD7, 0xD7},     {u'1', u'1', u'1'},
        {0x100, 0x100, 0x100},  {0x3B1, 0x3B1, 0x3B1},  {u'@', u'@', u'@'},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in);
        std::u16string_view one(reinterpret_cast<const char16_t*>(&c.in), 1);
        EXPECT_EQ(converted(one, dvk_ucs2_cvtToUppercase)[0], c.upper);
        EXPECT_EQ(converted(one, dvk_ucs2_cvtToLowercase)[0], c.lower);
    }
}

TEST_F(Ucs2Test, TitleCaseRaisesOnlyTheVeryFirstUnit)
{
    EXPECT_EQ(converted(u"hELLO wORLD", dvk_ucs2_cvtToTitlecase), ucs2(u"Hello world"));
    EXPECT_EQ(converted(u"\u00FFX", dvk_ucs2_cvtToTitlecase), ucs2(u"\u0178x"));
    EXPECT_EQ(converted(u"", dvk_ucs2_cvtToTitlecase), ucs2(u""));
}

TEST_F(Ucs2Test, CopiesConcatenatesAndMeasures)
{
    Ucs2 a = ucs2(u"ab"), b = ucs2(u"cde"), c = ucs2(u"f");
    dvk_ucs2_Char* joined = dvk_ucs2_createConcat(a.data(), b.data(), c.data(), nullptr);
    ASSERT_NE(joined, nullptr);
    EXPECT_EQ(ucs2Of(joined), ucs2(u"abcdef"));
    EXPECT_EQ(dvk_ucs2_strlen(joined), 6);
    dvk_ucs2_destroy(&joined);
    EXPECT_EQ(joined, nullptr);

    joined = dvk_ucs2_createConcat(a.data(), b.data(), nullptr, c.data());
    EXPECT_EQ(ucs2Of(joined), ucs2(u"abcde"));
    dvk_ucs2_destroy(&joined);

    dvk_ucs2_Char* copy = dvk_ucs2_createCopy(b.data());
    EXPECT_EQ(ucs2Of(copy), b);
    EXPECT_NE(copy, b.data());
    dvk_ucs2_destroy(&copy);

    dvk_ucs2_Char* empty = dvk_ucs2_create(3);
    EXPECT_EQ(dvk_ucs2_strlen(empty), 0);
    dvk_ucs2_strcpy(empty, b.data());  // room for three units and the terminator
    EXPECT_EQ(ucs2Of(empty), b);
    dvk_ucs2_destroy(&empty);

    Ucs2 dst(8, 0x7777);
    dvk_ucs2_strncpy(dst.data(), b.data(), 2);
    EXPECT_EQ(ucs2Of(dst.data()), ucs2(u"cd"));
    dvk_ucs2_strncpy(dst.data(), b.data(), 0);
    EXPECT_EQ(dst[0], 0);
    dvk_ucs2_strncpy(dst.data(), a.data(), 7);
    dvk_ucs2_strcat(dst.data(), c.data());
    EXPECT_EQ(ucs2Of(dst.data()), ucs2(u"abf"));
}

TEST_F(Ucs2Test, ComparesSearches)
{
    struct Compare {
        std::u16string_view a, b;
        int sign;
    };
    const Compare compares[] = {
        {u"abc", u"abc", 0}, {u"abc", u"abd", -1}, {u"ab", u"abc", -1},
        {u"\u00E9", u"e", 1}, {u"", u"", 0},        {u"b", u"", 1},
    };
    for (const Compare& c : compares) {
        Ucs2 a = ucs2(c.a), b = ucs2(c.b);
        int result = dvk_ucs2_strcmp(a.data(), b.data());
        EXPECT_EQ((result > 0) - (result < 0), c.sign);
    }
    Ucs2 e = ucs2(u"\u00E9t\u00E9"), x = ucs2(u"\u00E9tx");
    EXPECT_EQ(dvk_ucs2_strcmpLatin1("\xE9t\xE9", e.data()), 0);
    EXPECT_EQ(dvk_ucs2_strcmpLatin1("\xE9t\xE9", x.data()), 0xE9 - 'x');
    EXPECT_EQ(dvk_ucs2_strcmp(e.data(), x.data()), 0xE9 - 'x');

    Ucs2 s = ucs2(u"banana"), empty = ucs2(u""), nan = ucs2(u"nan"), no = ucs2(u"nab");
    EXPECT_EQ(dvk_ucs2_strchr(s.data(), u'n'), s.data() + 2);
    EXPECT_EQ(dvk_ucs2_strchr(s.data(), u'z'), nullptr);
    EXPECT_EQ(dvk_ucs2_strchr(s.data(), 0), nullptr);
    EXPECT_EQ(dvk_ucs2_strchr(empty.data(), 0), empty.data());
    EXPECT_EQ(dvk_ucs2_strstr(s.data(), nan.data()), s.data() + 2);
    EXPECT_EQ(dvk_ucs2_strstr(s.data(), no.data()), nullptr);
    EXPECT_EQ(dvk_ucs2_strstr(s.data(), empty.data()), s.data());
    EXPECT_EQ(dvk_ucs2_strstr(empty.data(), nan.data()), nullptr);
}

TEST_F(Ucs2Test, EncodesUtf8InOneToThreeBytes)
{
    Ucs2 text = ucs2(u"A\u00E9\u07FF\u0800\u20AC?\uFFFF");
    text[5] = 0xD800;  // a lone surrogate is a unit like any other
    char* bytes = dvk_ucs2_cvtToUtf8(text.data());
    ASSERT_NE(bytes, nullptr);
    EXPECT_STREQ(bytes, "A\xC3\xA9\xDF\xBF\xE0\xA0\x80\xE2\x82\xAC\xED\xA0\x80\xEF\xBF\xBF");
    dvk_ucs2_Char* back = dvk_ucs2_cvtFromUtf8(bytes);
    EXPECT_EQ(ucs2Of(back), text);
    dvk_mem_dealloc(&bytes);
    dvk_ucs2_destroy(&back);
}

TEST_F(Ucs2Test, DecodesUtf8SkippingWhatIsNoSequence)
{
    struct Case {
        const char* name;
        std::string bytes;  // without the terminator
        std::u16string_view text;
    };
    const Case cases[] = {
        {"plain", "abc", u"abc"},
        {"two and three bytes", "\xC3\xA9\xE2\x82\xAC", u"\u00E9\u20AC"},
        {"four-byte sequence", "a\xF0\x9F\x98\x80z", u"az"},
        {"stray continuation", "\x80\xBF" "b", u"b"},
        {"truncated two at the end", "x\xC3", u"x"},
        {"truncated three at the end", "x\xE2\x82", u"x"},
        {"lead then a plain byte", "\xE2" "ab", u"ab"},
        {"lead then a second lead", "\xC3\xC3\xA9", u"\u00E9"},
        {"empty", "", u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Exactly the string and its terminator: a read past it is caught.
        std::unique_ptr<char[]> bytes(new char[c.bytes.size() + 1]);
        std::memcpy(bytes.get(), c.bytes.c_str(), c.bytes.size() + 1);
        dvk_ucs2_Char* text = dvk_ucs2_cvtFromUtf8(bytes.get());
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(ucs2Of(text), ucs2(c.text));
        dvk_ucs2_destroy(&text);
    }
}

TEST_F(Ucs2Test, Latin1WidensAndNarrowsOnlyItsRange)
{
    dvk_ucs2_Char* wide = dvk_ucs2_cvtFromLatin1("\xE9t\xFF");
    EXPECT_EQ(ucs2Of(wide), ucs2(u"\u00E9t\u00FF"));
    char* narrow = dvk_ucs2_cvtToLatin1(wide);
    EXPECT_STREQ(narrow, "\xE9t\xFF");
    dvk_mem_dealloc(&narrow);
    dvk_ucs2_cvtToUppercase(wide);  // 0xFF becomes 0x178
    EXPECT_EQ(dvk_ucs2_cvtToLatin1(wide), nullptr);
    dvk_ucs2_destroy(&wide);
}

TEST_F(Ucs2Test, CreationAnswersNullWhenMemoryIsShort)
{
    Ucs2 a = ucs2(u"ab");
    dvk_mem_failAfter(0);
    EXPECT_EQ(dvk_ucs2_create(4), nullptr);
    EXPECT_EQ(dvk_ucs2_createCopy(a.data()), nullptr);
    EXPECT_EQ(dvk_ucs2_createConcat(a.data(), a.data(), nullptr), nullptr);
    EXPECT_EQ(dvk_ucs2_cvtToUtf8(a.data()), nullptr);
    EXPECT_EQ(dvk_ucs2_cvtFromUtf8("ab"), nullptr);
    EXPECT_EQ(dvk_ucs2_cvtToLatin1(a.data()), nullptr);
    EXPECT_EQ(dvk_ucs2_cvtFromLatin1("ab"), nullptr);
}

TEST_F(Ucs2Test, MissingArgumentsAreProgrammingErrors)
{
    Ucs2 a = ucs2(u"ab");
    EXPECT_DEATH(dvk_ucs2_createConcat(a.data(), nullptr, nullptr),
                 "s2 != \\(\\(void \\*\\)0\\)");
    EXPECT_DEATH(dvk_ucs2_strlen(nullptr), "s != \\(\\(void \\*\\)0\\)");
    EXPECT_DEATH(dvk_ucs2_create(0), "n >= 1");
    EXPECT_DEATH(dvk_ucs2_strncpy(a.data(), a.data(), -1), "n >= 0");
}

} // namespace
