#include "core/brevit/runtime/dvk_unicode.h"
#include "core/brevit/runtime/dvk_unicode_str.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

struct CaseRow {
    uint16_t ch;
    bool isLower;
    bool isUpper;
    uint16_t lower;
    uint16_t upper;
};

TEST(UnicodeChars, CaseOfEveryCasedBlock)
{
    const CaseRow rows[] = {
        {'A', false, true, 'a', 'A'},
        {'z', true, false, 'z', 'Z'},
        {0x00C0, false, true, 0x00E0, 0x00C0},
        {0x00D7, false, false, 0x00D7, 0x00D7},   // multiplication sign
        {0x00F7, false, false, 0x00F7, 0x00F7},   // division sign
        {0x00DF, true, false, 0x00DF, 0x00DF},    // sharp s has no upper case
        {0x00FF, true, false, 0x00FF, 0x0178},    // y diaeresis leaves Latin-1
        {0x0178, false, true, 0x00FF, 0x0178},
        {0x0100, false, true, 0x0101, 0x0100},
        {0x0130, false, true, 'i', 0x0130},
        {0x0131, true, false, 0x0131, 'I'},
        {0x0138, true, false, 0x0138, 0x0138},
        {0x0149, true, false, 0x0149, 0x0149},
        {0x017F, true, false, 0x017F, 0x017F},    // long s keeps no upper case
        {0x0391, false, true, 0x03B1, 0x0391},
        {0x03C2, true, false, 0x03C2, 0x03A3},    // final sigma
        {0x03D2, false, true, 0x03C5, 0x03D2},
        {0x03D3, false, true, 0x03CD, 0x03D3},
        {0x03D4, false, true, 0x03CB, 0x03D4},
        {0x03D6, false, false, 0x03D6, 0x03D6},
        {0x03F5, false, false, 0x03F5, 0x03F5},
        {0x03F3, true, false, 0x03F3, 0x03F3},    // Unicode 5.1: no upper case yet
        {0x037F, false, false, 0x037F, 0x037F},   // assigned after 5.1
        {0x03CF, false, true, 0x03D7, 0x03CF},
        {0x03D7, true, false, 0x03D7, 0x03CF},
        {0x0376, false, true, 0x0377, 0x0376},
        {0x0410, false, true, 0x0430, 0x0410},
        {0x0451, true, false, 0x0451, 0x0401},
        {0x04C0, false, true, 0x04CF, 0x04C0},
        {0x04CF, true, false, 0x04CF, 0x04C0},
        {0x0482, false, false, 0x0482, 0x0482},
        {0xFF21, false, true, 0xFF41, 0xFF21},
        {0xFF5A, true, false, 0xFF5A, 0xFF3A},
        {0xFF10, false, false, 0xFF10, 0xFF10},
        {0x0180, false, false, 0x0180, 0x0180},   // Latin Extended-B: no block
        {0x0531, false, false, 0x0531, 0x0531},   // Armenian: no block
        {0x3042, false, false, 0x3042, 0x3042},
    };
    for (const CaseRow& row : rows) {
        SCOPED_TRACE(testing::Message() << std::hex << row.ch);
        EXPECT_EQ(DVKUnicode_IsLower(row.ch), row.isLower);
        EXPECT_EQ(DVKUnicode_IsUpper(row.ch), row.isUpper);
        EXPECT_EQ(DVKUnicode_ToLower(row.ch), row.lower);
        EXPECT_EQ(DVKUnicode_ToUpper(row.ch), row.upper);
    }
}

// In-place UTF-8 case change relies on this: no mapping needs more bytes.
TEST(UnicodeChars, NoMappingLengthensTheUtf8Form)
{
    auto bytes = [](uint32_t c) { return c < 0x80 ? 1 : (c < 0x800 ? 2 : 3); };
    for (uint32_t c = 1; c <= 0xFFFF; ++c) {
        const auto ch = static_cast<uint16_t>(c);
        ASSERT_LE(bytes(DVKUnicode_ToLower(ch)), bytes(c)) << std::hex << c;
        ASSERT_LE(bytes(DVKUnicode_ToUpper(ch)), bytes(c)) << std::hex << c;
        ASSERT_NE(DVKUnicode_ToLower(ch), 0);
        if (DVKUnicode_GetScript(ch, 0) != kDVKScriptLatin &&
            !DVKUnicode_ScriptHasCase(DVKUnicode_GetScript(ch, 0)) &&
            DVKUnicode_GetScript(ch, 0) != kDVKScriptWidthForms) {
            ASSERT_EQ(DVKUnicode_ToLower(ch), ch) << std::hex << c;
            ASSERT_EQ(DVKUnicode_ToUpper(ch), ch) << std::hex << c;
            ASSERT_FALSE(DVKUnicode_IsAlpha(ch)) << std::hex << c;
        }
    }
}

struct ScriptRow {
    uint16_t ch;
    uint32_t previous;
    uint32_t script;
};

TEST(UnicodeChars, ScriptsFromTheBlockTable)
{
    const ScriptRow rows[] = {
        {'A', 0, kDVKScriptLatin},          {0x00E9, 0, kDVKScriptLatin},
        {0x017F, 0, kDVKScriptLatin},       {0x0180, 0, kDVKScriptNone},
        {0x0370, 0, kDVKScriptGreek},       {0x03FF, 0, kDVKScriptGreek},
        {0x0400, 0, kDVKScriptCyrillic},    {0x0500, 0, kDVKScriptNone},
        {0x2010, 0, kDVKScriptPunctuation}, {0x20AC, 0, kDVKScriptNone},
        {0x3001, 0, kDVKScriptCJK},         {0x3042, 0, kDVKScriptHiragana},
        {0x30AB, 0, kDVKScriptKatakana},    {0x30FC, kDVKScriptHiragana, kDVKScriptHiragana},
        {0x30FC, kDVKScriptKatakana, kDVKScriptKatakana},
        {0x30FC, 0, kDVKScriptKatakana},    {0x4E00, 0, kDVKScriptCJK},
        {0x9FBF, 0, kDVKScriptCJK},         {0x9FC0, 0, kDVKScriptNone},
        {0xAC00, 0, kDVKScriptHangul},      {0xFF21, 0, kDVKScriptWidthForms},
        {0xFFEF, 0, kDVKScriptWidthForms},  {0xFFF0, 0, kDVKScriptNone},
    };
    for (const ScriptRow& row : rows)
        EXPECT_EQ(DVKUnicode_GetScript(row.ch, row.previous), row.script)
            << std::hex << row.ch << " after " << row.previous;

    const uint32_t cased[] = {1, 2, 3};
    for (uint32_t script : cased)
        EXPECT_EQ(DVKUnicode_ScriptHasCase(script), 1u) << script;
    const uint32_t uncased[] = {0, 4, 5, 6, 7, 8, 9, 10, 11, 0xFFFFFFFF};
    for (uint32_t script : uncased)
        EXPECT_EQ(DVKUnicode_ScriptHasCase(script), 0u) << script;
}

struct ClassRow {
    uint16_t ch;
    bool digit;
    bool space;
    bool grapheme;
    bool alpha;
};

TEST(UnicodeChars, DigitSpaceGraphemeAndAlpha)
{
    const ClassRow rows[] = {
        {'5', true, false, false, false},      {0x00B2, false, false, false, false},
        {0x0663, false, false, false, false},  {0xFF15, true, false, false, false},
        {' ', false, true, false, false},      {'\t', false, true, false, false},
        {0x00A0, false, false, false, false},  {0x2003, false, true, false, false},
        {0x200B, false, true, false, false},   {0x200C, false, false, false, false},
        {0x202F, false, true, false, false},   {0x205F, false, true, false, false},
        {0x3000, false, true, false, false},   {0x303F, false, true, false, false},
        {0xFEFF, false, false, false, false},  {'a', false, false, true, true},
        {0x00E9, false, false, true, true},    {0x00D7, false, false, false, false},
        {0x0100, false, false, true, true},    {0x0374, false, false, false, false},
        {0x037B, false, false, false, true},   {0x0387, false, false, false, false},
        {0x03B1, false, false, true, true},    {0x03FD, false, false, false, true},
        {0x0482, false, false, false, false},  {0x0430, false, false, true, true},
        {0x0488, false, false, false, false},  {0x2010, false, false, false, false},
        {0x3005, false, false, true, false},   {0x3001, false, false, false, false},
        {0x3040, false, false, false, false},  {0x3042, false, false, true, false},
        {0x3097, false, false, false, false},  {0x30A0, false, false, false, false},
        {0x30FB, false, false, false, false},  {0x30FC, false, false, true, false},
        {0x9FBB, false, false, true, false},   {0x9FBC, false, false, false, false},
        {0xD7A3, false, false, true, false},   {0xD7A4, false, false, false, false},
        {0xFF21, false, false, true, true},    {0xFF10, true, false, false, false},
        {0xFF66, false, false, true, false},   {0xFFA1, false, false, true, false},
        {0xFFBF, false, false, false, false},  {0xFFC2, false, false, true, false},
        {0xFFC8, false, false, false, false},  {0xFFDC, false, false, true, false},
        {0x0531, false, false, false, false},
    };
    for (const ClassRow& row : rows) {
        SCOPED_TRACE(testing::Message() << std::hex << row.ch);
        EXPECT_EQ(DVKUnicode_IsDigit(row.ch), row.digit);
        EXPECT_EQ(DVKUnicode_IsSpace(row.ch), row.space);
        EXPECT_EQ(DVKUnicode_IsGrapheme(row.ch), row.grapheme);
        EXPECT_EQ(DVKUnicode_IsAlpha(row.ch), row.alpha);

        uint32_t script = 99;
        bool lower = true, upper = true, digit = false, grapheme = false;
        EXPECT_EQ(DVKUnicode_GetCharInfo(row.ch, 0, &script, &lower, &upper, &digit, &grapheme),
                  row.grapheme);
        EXPECT_EQ(script, DVKUnicode_GetScript(row.ch, 0));
        EXPECT_EQ(lower, DVKUnicode_IsLower(row.ch));
        EXPECT_EQ(upper, DVKUnicode_IsUpper(row.ch));
        EXPECT_EQ(digit, row.digit);
        EXPECT_EQ(grapheme, row.grapheme);
    }
    EXPECT_TRUE(DVKUnicode_GetCharInfo('a', 0, nullptr, nullptr, nullptr, nullptr, nullptr));
}

TEST(UnicodeChars, WhiteSpaceSetMatchesTheSpaceTest)
{
    for (uint32_t c = 1; c <= 0xFFFF; ++c) {
        bool inSet = false;
        for (const uint16_t* p = kDVKUniWhiteSpace; *p != 0; ++p)
            inSet = inSet || *p == c;
        ASSERT_EQ(inSet, DVKUnicode_IsSpace(static_cast<uint16_t>(c))) << std::hex << c;
    }
}

TEST(UnicodeChars, Latin1CharConversions)
{
    EXPECT_EQ(DVKUnicode_FromLatin1Char(0xE9), 0x00E9);
    EXPECT_EQ(DVKUnicode_ToLatin1Char(0x00FF), 0xFF);
    EXPECT_EQ(DVKUnicode_ToLatin1Char(0x0100), 0);
    EXPECT_EQ(DVKUnicode_ToLatin1Char(0x20AC), 0);
}

} // namespace
