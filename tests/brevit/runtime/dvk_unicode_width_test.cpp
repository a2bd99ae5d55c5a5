#include "core/brevit/runtime/dvk_unicode_width.h"

#include "tests/brevit/runtime/utf16_text.h"

#include <gtest/gtest.h>

namespace {

using utf16_text::Hex;
using utf16_text::S;
using utf16_text::U;

TEST(UnicodeWidth, FoldsEachForm)
{
    const std::pair<uint16_t, uint16_t> rows[] = {
        {0x3000, ' '},    {0x2003, ' '},    {0x200B, ' '},    {0x202F, ' '},
        {0x205F, ' '},    {0x303F, ' '},    {0x2010, '-'},    {0x2015, '-'},
        {0x2016, 0x2016}, {0x2018, '\''},   {0x201B, '\''},   {0x201C, '"'},
        {0x201F, '"'},    {0xFF01, '!'},    {0xFF21, 'A'},    {0xFF5E, '~'},
        {0xFF5F, 0x2985}, {0xFF61, 0x3002}, {0xFF65, 0x30FB}, {0xFF70, 0x30FC},
        {0xFF76, 0x30AB}, {0xFF9E, 0x3099}, {0xFF9F, 0x309A}, {0xFFA0, 0x3164},
        {0xFFA1, 0x3131}, {0xFFBE, 0x314E}, {0xFFBF, 0x314F}, {0xFFC0, 0xFFC0},
        {0xFFC2, 0x314F}, {0xFFDC, 0x3163}, {0xFFE0, 0x00A2}, {0xFFE6, 0x20A9},
        {0xFFE8, 0x2502}, {0xFFED, 0x25A0}, {0xFFEE, 0x25CB}, {0xFFEF, 0xFFEF},
        {0xFF00, 0xFF00}, {'a', 'a'},       {0x30AB, 0x30AB}, {0x4E00, 0x4E00},
    };
    for (const auto& [in, out] : rows)
        EXPECT_EQ(DVKUnicode_NormalizeWidth(in), out) << std::hex << in;
}

struct KanaRow {
    std::u16string in;
    std::u16string out;
};

TEST(UnicodeWidth, KanaToFullWidthKatakanaWithComposedMarks)
{
    const KanaRow rows[] = {
        {u"\u304B\u3099", u"\u30AC"},          // hiragana ka + voiced mark
        {u"\uFF8A\uFF9F", u"\u30D1"},          // half-width ha + semi-voiced mark
        {u"\u3046\u309B", u"\u30F4"},          // u + spacing voiced mark
        {u"\uFF76\uFF9E", u"\u30AC"},
        {u"\u304B", u"\u30AB"},
        {u"\u3041\u3096", u"\u30A1\u30F6"},
        {u"\u309D\u309E", u"\u30FD\u30FE"},
        {u"\u309D\u3099", u"\u30FE"},
        {u"\u3098\u309F\u3097", u"\u3098\u309F\u3097"},  // copied as they are
        {u"\u30EF\u3099", u"\u30F7"},
        {u"\u30F2\u309B", u"\u30FA"},
        {u"\u30C4\u3099\u30C6\u3099", u"\u30C5\u30C7"},
        {u"\u30C2\u3099", u"\u30C2"},          // even code: no voiced form by this rule
        {u"\u30DB\u309A", u"\u30DD"},
        {u"\u30AB\u309A", u"\u30AB"},          // no semi-voiced form: the mark goes
        {u"\u3099ab\u309C", u"ab"},            // marks alone are dropped
        {u"\u3042\u30FC", u"\u30A2\u30FC"},
        {u"\uFF66\uFF70", u"\u30F2\u30FC"},
        {u"A\u4E00", u"A\u4E00"},
    };
    for (const KanaRow& row : rows) {
        std::vector<uint16_t> in = U(row.in);
        std::vector<uint16_t> out(in.size() + 4, 0xAAAA);
        const int32_t written = DVKUnicode_NormalizeKana(in.data(), static_cast<int32_t>(in.size()),
                                                         out.data());
        EXPECT_EQ(S(out.data()), row.out) << Hex(row.in);
        EXPECT_EQ(written, static_cast<int32_t>(row.out.size())) << Hex(row.in);
    }
}

TEST(UnicodeWidth, KanaRefusesTooSmallOrMissingOutput)
{
    std::vector<uint16_t> in = U(u"\u304B\u3099");
    uint16_t out[4] = {0xAAAA, 0xAAAA, 0xAAAA, 0xAAAA};
    EXPECT_EQ(DVKUnicode_NormalizeKana(in.data(), 2, out), -1);  // size must exceed the length
    EXPECT_EQ(out[2], 0xAAAA);
    EXPECT_EQ(DVKUnicode_NormalizeKana(in.data(), 3, out), 1);
    EXPECT_EQ(DVKUnicode_NormalizeKana(in.data(), 0, out), -1);
    EXPECT_EQ(DVKUnicode_NormalizeKana(in.data(), -5, out), -1);
    EXPECT_EQ(DVKUnicode_NormalizeKana(in.data(), 3, nullptr), -1);
    out[0] = 0xAAAA;
    EXPECT_EQ(DVKUnicode_NormalizeKana(nullptr, 1, out), 0);
    EXPECT_EQ(out[0], 0);
    const uint16_t empty[] = {0};
    out[0] = 0xAAAA;
    EXPECT_EQ(DVKUnicode_NormalizeKana(empty, 1, out), 0);
    EXPECT_EQ(out[0], 0);
}

} // namespace
