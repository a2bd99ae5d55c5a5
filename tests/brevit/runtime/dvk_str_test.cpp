#include "core/brevit/runtime/dvk_ctype.h"
#include "core/brevit/runtime/dvk_str.h"
#include "tests/support/counting_allocator.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

TEST(CtypeTable, ClassesOfSampleCharacters)
{
    const struct {
        int ch;
        uint8_t bits;
    } cases[] = {
        {'a', kDVKCtypeLower | kDVKCtypeHexDigit | kDVKCtypePrint},
        {'g', kDVKCtypeLower | kDVKCtypePrint},
        {'F', kDVKCtypeUpper | kDVKCtypeHexDigit | kDVKCtypePrint},
        {'7', kDVKCtypeDigit | kDVKCtypeHexDigit | kDVKCtypePrint},
        {' ', kDVKCtypeSpace | kDVKCtypePrint},
        {'\t', kDVKCtypeSpace},
        {'\r', kDVKCtypeSpace},
        {'!', kDVKCtypePunct | kDVKCtypePrint},
        {'~', kDVKCtypePunct | kDVKCtypePrint},
        {0x00, 0},
        {0x08, 0},
        {0x1F, 0},
        {0x7F, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(kDVKCtypeTable[static_cast<size_t>(c.ch)], c.bits) << c.ch;
    EXPECT_FALSE(DVKCtype_Is(0xC4, 0xFF));
    EXPECT_EQ(DVKChar_ToLower('Q'), 'q');
    EXPECT_EQ(DVKChar_ToUpper('q'), 'Q');
    EXPECT_EQ(DVKChar_ToUpper(0xE4), 0xE4);
    EXPECT_EQ(DVKChar_ToLower('['), '[');
}

TEST(Strings, BoundedCopyAndConcat)
{
    char buffer[8];
    EXPECT_TRUE(DVKStr_NCopy(buffer, "abc", 8));
    EXPECT_STREQ(buffer, "abc");
    EXPECT_FALSE(DVKStr_NCopy(buffer, "abcdefgh", 8));
    EXPECT_STREQ(buffer, "abcdefg");
    EXPECT_TRUE(DVKStr_NCopy(buffer, "", 1));
    EXPECT_FALSE(DVKStr_NCopy(buffer, "x", 1));
    EXPECT_STREQ(buffer, "");
    std::strcpy(buffer, "keep");
    EXPECT_FALSE(DVKStr_NCopy(buffer, nullptr, 8));
    EXPECT_STREQ(buffer, "");

    std::strcpy(buffer, "ab");
    EXPECT_TRUE(DVKStr_NConcat(buffer, "cdefghij", 8));  // cut, still true
    EXPECT_STREQ(buffer, "abcdefg");
    EXPECT_FALSE(DVKStr_NConcat(buffer, "x", 8));  // full
    EXPECT_FALSE(DVKStr_NConcat(buffer, nullptr, 8));
    std::strcpy(buffer, "ab");
    EXPECT_TRUE(DVKStr_ConcatChar(buffer, 'c', 4));
    EXPECT_FALSE(DVKStr_ConcatChar(buffer, 'd', 4));
    EXPECT_STREQ(buffer, "abc");
}

TEST(Strings, InPlaceEdits)
{
    char text[] = "Hello World \t\n";
    EXPECT_STREQ(DVKStr_RTrim(text), "Hello World");
    EXPECT_STREQ(DVKStr_Reverse(text), "dlroW olleH");
    EXPECT_STREQ(DVKStr_Upper(text), "DLROW OLLEH");
    EXPECT_STREQ(DVKStr_Lower(text), "dlrow olleh");
    char high[] = "\xC4x";
    EXPECT_STREQ(DVKStr_Upper(high), "\xC4X");
    EXPECT_EQ(DVKStr_Reverse(nullptr), nullptr);
}

TEST(Strings, SearchAndLength)
{
    const char* s = "one two";
    EXPECT_EQ(DVKStr_Length(s), 7);
    EXPECT_EQ(DVKStr_Length(nullptr), 0);
    EXPECT_EQ(DVKStr_Chr(s, 't'), s + 4);
    EXPECT_EQ(DVKStr_Chr(s, 'z'), nullptr);
    EXPECT_EQ(DVKStr_Chr("", 'a'), nullptr);
    EXPECT_EQ(DVKStr_Str(s, "two"), s + 4);
    EXPECT_EQ(DVKStr_Str(s, "twos"), nullptr);
    EXPECT_EQ(DVKStr_Str(s, ""), nullptr);
    EXPECT_EQ(DVKStr_Str(nullptr, "a"), nullptr);

    const int32_t values[] = {3, 9, 12, 40, 41};
    int32_t key = 12;
    EXPECT_EQ(DVKStr_LinearSearch(&key, 4, values, 5), 2);
    EXPECT_EQ(DVKStr_LinearSearch(&key, 4, values, 0), -1);
    auto compare = [](const void* k, const void* e) {
        const int32_t a = *static_cast<const int32_t*>(k);
        const int32_t b = *static_cast<const int32_t*>(e);
        return a < b ? -1 : a > b ? 1 : 0;
    };
    for (int32_t i = 0; i < 5; ++i)
        EXPECT_EQ(DVKStr_BinarySearch(&values[i], 4, values, 5, compare), i);
    key = 10;
    EXPECT_EQ(DVKStr_BinarySearch(&key, 4, values, 5, compare), -1);
    EXPECT_EQ(DVKStr_BinarySearch(&key, 4, values, 0, compare), -1);
}

struct CompareCase {
    const char* a;
    const char* b;
    int32_t exact;
    int32_t noCase;
};

TEST(Strings, Comparisons)
{
    const CompareCase cases[] = {
        {"abc", "abc", 0, 0},
        {"abc", "abd", 'c' - 'd', 'c' - 'd'},
        {"ab", "abc", -'c', -'c'},
        {"abc", "ab", 'c', 'c'},
        {"ABC", "abc", 'A' - 'a', 0},
        {"ab", "abC", -'C', -'C'},  // a ends first: minus b's unfolded byte
        {"\xE4", "a", 0xE4 - 'a', 0xE4 - 'a'},
    };
    for (const CompareCase& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " / " + c.b);
        EXPECT_EQ(DVKStr_Compare(c.a, c.b), c.exact);
        EXPECT_EQ(DVKStr_CompareNoCase(c.a, c.b), c.noCase);
    }
    EXPECT_EQ(DVKStr_NCompare("abcX", "abcY", 3), 0);
    EXPECT_EQ(DVKStr_NCompare("ab", "ab", 10), 0);
    EXPECT_EQ(DVKStr_NCompare("a", "b", 0), 0);
    EXPECT_EQ(DVKStr_NCompareNoCase("HELLO", "help", 3), 0);
    EXPECT_EQ(DVKStr_NCompareNoCase("HELLO", "help", 4), -1);
    EXPECT_EQ(DVKStr_NCompareNoCase("ab", "abc", 5), -1);
    EXPECT_EQ(DVKStr_NCompareNoCase("abc", "AB", 5), 1);
    EXPECT_EQ(DVKStr_NCompareNoCase(nullptr, nullptr, 5), 0);
    EXPECT_EQ(DVKStr_NCompareNoCase(nullptr, "a", 5), -1);
    EXPECT_EQ(DVKStr_NCompareNoCase("a", nullptr, 5), 1);
    EXPECT_EQ(DVKStr_NCompareNoCase("a", "b", 0), 0);
}

TEST(Strings, Tokens)
{
    char text[] = ",,a,,b,";
    char* next = nullptr;
    std::vector<std::string> tokens;
    for (char* t = DVKStr_NextToken(text, ",", &next); t != nullptr;
         t = DVKStr_NextToken(nullptr, ",", &next))
        tokens.emplace_back(t);
    EXPECT_EQ(tokens, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(DVKStr_NextToken(nullptr, ",", &next), nullptr);

    const char* spanNext = nullptr;
    int32_t length = -1;
    const char* line = "  to be ";
    const char* token = DVKStr_FindToken(line, " ", &spanNext, &length);
    EXPECT_EQ(token, line + 2);
    EXPECT_EQ(length, 2);
    EXPECT_EQ(spanNext, line + 5);
    token = DVKStr_NextTokenSpan(nullptr, " ", &spanNext, &length);
    EXPECT_EQ(token, line + 5);
    EXPECT_EQ(spanNext, line + 8);
    EXPECT_EQ(DVKStr_NextTokenSpan(nullptr, " ", &spanNext, &length), nullptr);
    EXPECT_EQ(spanNext, nullptr);
    EXPECT_EQ(length, 0);
    EXPECT_EQ(DVKStr_NextTokenSpan(nullptr, " ", &spanNext, &length), nullptr);

    EXPECT_EQ(DVKStr_CountTokens(",,a,,b,", ","), 2);
    EXPECT_EQ(DVKStr_CountTokens("a b;c", " ;"), 3);
    EXPECT_EQ(DVKStr_CountTokens(",,,", ","), 0);
    EXPECT_EQ(DVKStr_CountTokens("", ","), 0);
}

class AllocatedStrings : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(m_allocator.liveBlocks(), 0u); }
    CountingAllocator m_allocator;
    ScopedEngineContext m_context{m_allocator};
};

TEST_F(AllocatedStrings, JoinRules)
{
    const struct {
        const char* a;
        const char* b;
        const char* separator;
        const char* expected;
    } cases[] = {
        {"ab", "cd", "-", "ab-cd"}, {"ab", "cd", "", "abcd"},  {"ab", "cd", nullptr, "abcd"},
        {nullptr, "cd", "-", "-cd"}, {"ab", nullptr, "-", "ab-"}, {nullptr, "cd", nullptr, "cd"},
    };
    for (const auto& c : cases) {
        char* joined = DVKStr_JoinWith(c.a, c.b, c.separator);
        EXPECT_STREQ(joined, c.expected);
        DVKStr_Free(joined);
    }
    char* copy = DVKStr_Duplicate("text");
    EXPECT_STREQ(copy, "text");
    EXPECT_EQ(DVKMem_GetSize(copy), 5u);
    DVKStr_Free(copy);
    char* both = DVKStr_ConcatAlloc("x", "y");
    EXPECT_STREQ(both, "xy");
    DVKStr_Free(both);
    EXPECT_EQ(DVKStr_Duplicate(nullptr), nullptr);
    EXPECT_EQ(DVKStr_ConcatAlloc(nullptr, nullptr), nullptr);
    DVKStr_Free(nullptr);
}

TEST_F(AllocatedStrings, AllocationFailureRaises)
{
    m_allocator.failNext();
    char* copy = nullptr;
    EXPECT_EQ(DVKErr_Protect([&] { copy = DVKStr_Duplicate("text"); }), 1);
    EXPECT_EQ(copy, nullptr);
}

} // namespace
