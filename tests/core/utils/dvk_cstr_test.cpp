#include "core/utils/dvk_cstr.h"

#include "sdk/common/dvk_mem.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

namespace {

TEST(CstrTest, FormatsNumbers)
{
    struct Case {
        const char* format;
        int value;
        const char* expected;
    };
    const Case cases[] = {
        {"%05d", -42, "-0042"},     {"%5d", -42, "  -42"},       {"%05d", 42, "00042"},
        {"%1d", 1234, "1234"},      {"%d", 0, "0"},              {"%d", INT_MIN, "-2147483648"},
        {"a%xb%d", 5, "ab5"},       // other conversions are dropped and take no argument
        {"%d%", 3, "3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        char buffer[64];
        long written = dvk_cstr_formatText(buffer, sizeof buffer, c.format, c.value);
        EXPECT_STREQ(buffer, c.expected);
        EXPECT_EQ(written, static_cast<long>(std::strlen(c.expected)));
    }
}

TEST(CstrTest, FormatsStringsAndPercentSigns)
{
    char buffer[64];
    EXPECT_EQ(dvk_cstr_formatText(buffer, sizeof buffer, "dvk_config_%s.bin", "enus"), 19);
    EXPECT_STREQ(buffer, "dvk_config_enus.bin");
    dvk_cstr_formatText(buffer, sizeof buffer, "%s=%d%%", "x", 7);
    EXPECT_STREQ(buffer, "x=7%");
}

TEST(CstrTest, NeverWritesPastTheGivenSize)
{
    char buffer[8];
    std::memset(buffer, 'Q', sizeof buffer);
    EXPECT_EQ(dvk_cstr_formatText(buffer, 5, "%s-%08d", "abc", 12), 4);
    EXPECT_STREQ(buffer, "abc-");
    EXPECT_EQ(buffer[5], 'Q');
    EXPECT_EQ(dvk_cstr_formatText(buffer, 1, "%d", 12345), 0);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(dvk_cstr_formatText(buffer, sizeof buffer, "%9999999999d", 1), 7);
    EXPECT_STREQ(buffer, "       ");
    EXPECT_DEATH(dvk_cstr_formatText(buffer, 0, "x"), "size >= 1");
}

TEST(CstrTest, DuplicatesFromTheSuiteMemory)
{
    long live = dvk_mem_liveBlocks();
    char* copy = dvk_cstr_dup("abc");
    ASSERT_NE(copy, nullptr);
    EXPECT_STREQ(copy, "abc");
    EXPECT_EQ(dvk_mem_liveBlocks(), live + 1);
    dvk_mem_dealloc(&copy);
    EXPECT_EQ(dvk_cstr_dup(nullptr), nullptr);
    dvk_mem_failAfter(0);
    EXPECT_EQ(dvk_cstr_dup("abc"), nullptr);
    dvk_mem_failAfter(-1);
    EXPECT_EQ(dvk_mem_liveBlocks(), live);
}

} // namespace
