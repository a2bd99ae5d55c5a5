#include "core/brevit/runtime/dvk_unicode_str.h"

#include "tests/brevit/runtime/utf16_text.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using utf16_text::Hex;
using utf16_text::S;
using utf16_text::U;

TEST(UnicodeStrings, BoundedCopyAndAppend)
{
    std::vector<uint16_t> abc = U(u"abc");
    uint16_t dst[4] = {0xAAAA, 0xAAAA, 0xAAAA, 0xAAAA};
    EXPECT_TRUE(DVKUnicode_NCopy(dst, abc.data(), 4));
    EXPECT_EQ(S(dst), u"abc");
    EXPECT_FALSE(DVKUnicode_NCopy(dst, abc.data(), 3));
    EXPECT_EQ(S(dst), u"ab");
    EXPECT_FALSE(DVKUnicode_NCopy(dst, abc.data(), 1));
    EXPECT_EQ(dst[0], 0);
    EXPECT_FALSE(DVKUnicode_NCopy(dst, nullptr, 4));
    EXPECT_EQ(dst[0], 0);
    EXPECT_EQ(DVKUnicode_Length(nullptr), 0);
    EXPECT_EQ(DVKUnicode_Length(abc.data()), 3);

    uint16_t buf[6] = {'x', 0, 0xAAAA, 0xAAAA, 0xAAAA, 0xAAAA};
    EXPECT_TRUE(DVKUnicode_NConcat(buf, abc.data(), 4));  // cut short, still true
    EXPECT_EQ(S(buf), u"xab");
    EXPECT_FALSE(DVKUnicode_NConcat(buf, abc.data(), 4));  // already full
    EXPECT_EQ(S(buf), u"xab");
    EXPECT_FALSE(DVKUnicode_NConcat(buf, nullptr, 6));
    EXPECT_TRUE(DVKUnicode_NConcatAscii(buf, "\xE9z", 6));  // bytes widen as unsigned
    EXPECT_EQ(S(buf), u"xab\u00E9z");
    EXPECT_FALSE(DVKUnicode_ConcatChar(buf, '!', 6));
    buf[4] = 0;
    EXPECT_TRUE(DVKUnicode_ConcatChar(buf, 0x3042, 6));
    EXPECT_EQ(S(buf), u"xab\u00E9\u3042");

    uint16_t overlap[6] = {'a', 'b', 'c', 'd', 0, 0};
    EXPECT_TRUE(DVKUnicode_MemCopy(overlap + 1, overlap, 3));
    EXPECT_EQ(S(overlap), u"aabc");
    EXPECT_TRUE(DVKUnicode_MemCopy(overlap, overlap + 1, 0));
    EXPECT_FALSE(DVKUnicode_MemCopy(nullptr, overlap, 1));
}

struct CompareRow {
    std::u16string a;
    std::u16string b;
    int32_t compare;
    int32_t noCase;
};

TEST(UnicodeStrings, ComparisonsGiveMinusOneZeroOrOne)
{
    const CompareRow rows[] = {
        {u"abc", u"abc", 0, 0},
        {u"abc", u"abd", -1, -1},
        {u"abd", u"abc", 1, 1},
        {u"ab", u"abc", -1, -1},            // a prefix sorts first
        {u"abc", u"ab", 1, 1},
        {u"", u"", 0, 0},
        {u"ABC", u"abc", -1, 0},
        {u"\u0391\u0392", u"\u03B1\u03B2", -1, 0},
        {u"\u00C9T\u00C9", u"\u00E9t\u00E9", -1, 0},
        {u"\u0130", u"i", 1, 0},
        {u"\uFF21", u"\uFF41", -1, 0},
        {u"\uFFFF", u"a", 1, 1},            // code units compare unsigned
        {u"\u03A3", u"\u03C2", -1, 1},      // capital sigma lowers to sigma, not final sigma
    };
    for (const CompareRow& row : rows) {
        SCOPED_TRACE(Hex(row.a) + "/ " + Hex(row.b));
        std::vector<uint16_t> a = U(row.a);
        std::vector<uint16_t> b = U(row.b);
        EXPECT_EQ(DVKUnicode_Compare(a.data(), b.data()), row.compare);
        EXPECT_EQ(DVKUnicode_CompareNoCase(a.data(), b.data()), row.noCase);
        EXPECT_EQ(DVKUnicode_NCompare(a.data(), b.data(), 100), row.compare);
        EXPECT_EQ(DVKUnicode_NCompareNoCase(a.data(), b.data(), 100), row.noCase);
        EXPECT_EQ(DVKUnicode_NCompare(a.data(), b.data(), 0), 0);
    }
    std::vector<uint16_t> abc = U(u"abc");
    std::vector<uint16_t> abd = U(u"abd");
    EXPECT_EQ(DVKUnicode_NCompare(abc.data(), abd.data(), 2), 0);
    EXPECT_EQ(DVKUnicode_NCompare(abc.data(), abd.data(), 3), -1);
    EXPECT_EQ(DVKUnicode_Compare(nullptr, nullptr), 0);
    EXPECT_EQ(DVKUnicode_Compare(nullptr, abc.data()), -1);
    EXPECT_EQ(DVKUnicode_Compare(abc.data(), nullptr), 1);
    EXPECT_EQ(DVKUnicode_CompareNoCase(nullptr, abc.data()), -1);

    EXPECT_EQ(DVKUnicode_CompareAscii(abc.data(), "abc"), 0);
    EXPECT_EQ(DVKUnicode_CompareAscii(abc.data(), "abcd"), -1);
    EXPECT_EQ(DVKUnicode_NCompareAscii(abc.data(), "abX", 2), 0);
    std::vector<uint16_t> eAcute = U(u"\u00E9");
    EXPECT_EQ(DVKUnicode_CompareAscii(eAcute.data(), "\xE9"), 0);  // a byte is its own unit
    EXPECT_EQ(DVKUnicode_CompareAscii(nullptr, "a"), -1);
}

TEST(UnicodeStrings, SearchAndSpans)
{
    std::vector<uint16_t> s = U(u"ab, cd;ef");
    std::vector<uint16_t> punct = U(u",;");
    std::vector<uint16_t> letters = U(u"abc");
    EXPECT_EQ(DVKUnicode_Chr(s.data(), ','), s.data() + 2);
    EXPECT_EQ(DVKUnicode_Chr(s.data(), 'z'), nullptr);
    EXPECT_EQ(DVKUnicode_Chr(s.data(), 0), nullptr);
    EXPECT_EQ(DVKUnicode_Chr(nullptr, 'a'), nullptr);
    EXPECT_EQ(DVKUnicode_PBrk(s.data(), punct.data()), s.data() + 2);
    EXPECT_EQ(DVKUnicode_PBrk(letters.data(), punct.data()), nullptr);
    EXPECT_EQ(DVKUnicode_Spn(s.data(), letters.data()), 2);
    EXPECT_EQ(DVKUnicode_Spn(s.data(), punct.data()), 0);
    EXPECT_EQ(DVKUnicode_Spn(nullptr, punct.data()), 0);

    // A set long enough for the bit map gives the same answers.
    std::u16string longSet = u";,";
    for (char16_t c = 0x4E00; c < 0x4E40; ++c)
        longSet.push_back(c);
    std::vector<uint16_t> bigSet = U(longSet);
    EXPECT_EQ(DVKUnicode_PBrk(s.data(), bigSet.data()), s.data() + 2);
    std::vector<uint16_t> ideographs = U(u"\u4E01\u4E3F\u4E40");
    EXPECT_EQ(DVKUnicode_Spn(ideographs.data(), bigSet.data()), 2);

    struct StrRow {
        std::u16string s;
        std::u16string t;
        int32_t at;  // -1: absent
    };
    const StrRow rows[] = {
        {u"...!?:", u"!", 3},      {u"...!?:", u"?:", 4},  {u"...!?:", u"!!", -1},
        {u"...!?:", u"", -1},      {u"", u"a", -1},        {u"aaab", u"aab", 1},
        {u"abcabd", u"abd", 3},    {u"ab", u"abc", -1},    {u"\u3042\u3044", u"\u3044", 1},
    };
    for (const StrRow& row : rows) {
        std::vector<uint16_t> hay = U(row.s);
        std::vector<uint16_t> needle = U(row.t);
        const uint16_t* found = DVKUnicode_Str(hay.data(), needle.data());
        EXPECT_EQ(found == nullptr ? -1 : found - hay.data(), row.at) << Hex(row.s) << "/ "
                                                                      << Hex(row.t);
    }
    EXPECT_EQ(DVKUnicode_Str(nullptr, s.data()), nullptr);
    EXPECT_EQ(DVKUnicode_Str(s.data(), nullptr), nullptr);
}

// The linear-time search against a plain one over texts of few letters,
// where repetitions and periodic needles are common.
TEST(UnicodeStrings, SearchAgreesWithAPlainSearch)
{
    std::mt19937 random(7);
    for (int round = 0; round < 3000; ++round) {
        const int alphabet = 1 + static_cast<int>(random() % 3);
        auto text = [&](size_t length) {
            std::u16string t;
            for (size_t i = 0; i < length; ++i)
                t.push_back(static_cast<char16_t>(0xFFFD + random() % alphabet));
            return t;
        };
        const std::u16string hay = text(random() % 40);
        const std::u16string needle = text(1 + random() % 8);
        std::vector<uint16_t> h = U(hay);
        std::vector<uint16_t> n = U(needle);
        const uint16_t* found = DVKUnicode_Str(h.data(), n.data());
        const size_t expected = hay.find(needle);
        ASSERT_EQ(found == nullptr ? std::u16string::npos : static_cast<size_t>(found - h.data()),
                  expected)
            << Hex(hay) << "/ " << Hex(needle);
    }
}

// A text of 100 KB and a long needle that almost matches everywhere: the
// search, spans and tokens all stay linear.
TEST(UnicodeStrings, LongTextsStayLinear)
{
    std::u16string hay(100000, u'a');
    std::u16string needle(50000, u'a');
    needle.back() = u'b';
    std::vector<uint16_t> h = U(hay);
    std::vector<uint16_t> n = U(needle);
    EXPECT_EQ(DVKUnicode_Str(h.data(), n.data()), nullptr);
    h[h.size() - 2] = 'b';
    EXPECT_EQ(DVKUnicode_Str(h.data(), n.data()), h.data() + 50000);

    std::u16string delimiters;
    for (char16_t c = 0x3000; c < 0x3100; ++c)
        delimiters.push_back(c);
    std::vector<uint16_t> d = U(delimiters);
    std::u16string tokens;
    for (int i = 0; i < 50000; ++i)
        tokens += u"x\u3000";
    std::vector<uint16_t> t = U(tokens);
    EXPECT_EQ(DVKUnicode_CountTokens(t.data(), d.data()), 50000);
    EXPECT_EQ(DVKUnicode_Spn(h.data(), d.data()), 0);
}

TEST(UnicodeStrings, TokenisersOverCodeUnits)
{
    std::vector<uint16_t> text = U(u",,a,,b,");
    std::vector<uint16_t> comma = U(u",");
    uint16_t* next = nullptr;
    uint16_t* token = DVKUnicode_NextToken(text.data(), comma.data(), &next);
    ASSERT_NE(token, nullptr);
    EXPECT_EQ(S(token), u"a");
    token = DVKUnicode_NextToken(nullptr, comma.data(), &next);
    ASSERT_NE(token, nullptr);
    EXPECT_EQ(S(token), u"b");
    EXPECT_EQ(DVKUnicode_NextToken(nullptr, comma.data(), &next), nullptr);
    EXPECT_EQ(DVKUnicode_NextToken(nullptr, comma.data(), &next), nullptr);

    std::vector<uint16_t> words = U(u"  one\u3000two\u2003 three ");
    EXPECT_EQ(DVKUnicode_CountTokens(words.data(), kDVKUniWhiteSpace), 3);
    const uint16_t* span = nullptr;
    int32_t length = -1;
    const uint16_t* at = DVKUnicode_FindToken(words.data(), kDVKUniWhiteSpace, &span, &length);
    EXPECT_EQ(at, words.data() + 2);
    EXPECT_EQ(length, 3);
    EXPECT_EQ(span, words.data() + 6);  // after the delimiter that ends it
    at = DVKUnicode_NextTokenSpan(nullptr, kDVKUniWhiteSpace, &span, &length);
    EXPECT_EQ(S(at).substr(0, static_cast<size_t>(length)), u"two");
    at = DVKUnicode_NextTokenSpan(nullptr, kDVKUniWhiteSpace, &span, &length);
    EXPECT_EQ(S(at).substr(0, static_cast<size_t>(length)), u"three");
    at = DVKUnicode_NextTokenSpan(nullptr, kDVKUniWhiteSpace, &span, &length);
    EXPECT_EQ(at, nullptr);
    EXPECT_EQ(length, 0);
    EXPECT_EQ(span, nullptr);
    EXPECT_EQ(DVKUnicode_NextTokenSpan(nullptr, kDVKUniWhiteSpace, &span, &length), nullptr);

    std::vector<uint16_t> last = U(u"ab");
    at = DVKUnicode_FindToken(last.data(), comma.data(), &span, &length);
    EXPECT_EQ(length, 2);
    EXPECT_EQ(span, nullptr);  // runs to the end
    EXPECT_EQ(DVKUnicode_CountTokens(comma.data(), comma.data()), 0);
    EXPECT_EQ(DVKUnicode_CountTokens(nullptr, comma.data()), 0);
    EXPECT_EQ(DVKUnicode_CountTokens(last.data(), nullptr), 1);
}

TEST(UnicodeStrings, InPlaceChanges)
{
    std::vector<uint16_t> s = U(u"Ab\u00FF\u0391\u03C2\uFF41\u3042");
    EXPECT_EQ(S(DVKUnicode_Upper(s.data())), u"AB\u0178\u0391\u03A3\uFF21\u3042");
    EXPECT_EQ(S(DVKUnicode_Lower(s.data())), u"ab\u00FF\u03B1\u03C3\uFF41\u3042");
    EXPECT_EQ(S(DVKUnicode_Reverse(s.data())), u"\u3042\uFF41\u03C3\u03B1\u00FFba");
    EXPECT_EQ(DVKUnicode_Reverse(nullptr), nullptr);

    std::vector<uint16_t> trailing = U(u"ab \t\r\n");
    EXPECT_EQ(S(DVKUnicode_RTrim(trailing.data())), u"ab");
    std::vector<uint16_t> wide = U(u"ab\u3000");
    EXPECT_EQ(S(DVKUnicode_RTrim(wide.data())), u"ab\u3000");
    std::vector<uint16_t> spaces = U(u"   ");
    EXPECT_EQ(S(DVKUnicode_RTrim(spaces.data())), u"");

    std::vector<uint16_t> lead = U(u" \u3000\u2003x y");
    uint16_t first = 0xAAAA;
    EXPECT_EQ(DVKUnicode_SkipSpace(lead.data(), &first), 3);
    EXPECT_EQ(first, 'x');
    EXPECT_EQ(DVKUnicode_SkipSpace(spaces.data(), &first), 0);  // trimmed to empty above
    EXPECT_EQ(first, 0);
    std::vector<uint16_t> blank = U(u" \t");
    EXPECT_EQ(DVKUnicode_SkipSpace(blank.data(), &first), 2);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(DVKUnicode_SkipSpace(nullptr, &first), 0);
}

} // namespace
