#include "src/QrvStringConv.h"
#include "tests/support/log_capture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct W2ChCase {
    const char* label;
    std::vector<dvk_ucs2_Char> units;  // without the terminator
    const char* utf8;                  // null: the conversion fails
};

class W2ChConversion : public ::testing::TestWithParam<W2ChCase> {};

TEST_P(W2ChConversion, GivesUtf8OrNull)
{
    std::vector<dvk_ucs2_Char> text = GetParam().units;
    text.push_back(0);
    LogCapture capture;
    W2Ch converted(text.data());
    if (GetParam().utf8 == nullptr) {
        EXPECT_EQ(converted.c_str(), nullptr);
        // The GLib error text follows the constructor's name.
        EXPECT_TRUE(capture.contains("QrvLogMT", WexLogError, "W2Ch: "));
    } else {
        ASSERT_NE(converted.c_str(), nullptr);
        EXPECT_STREQ(converted.c_str(), GetParam().utf8);
        EXPECT_EQ(capture.lines().size(), 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, W2ChConversion,
    ::testing::Values(W2ChCase{"empty", {}, ""},
                      W2ChCase{"ascii", {'c', 'a', 'l', 'l'}, "call"},
                      W2ChCase{"latin", {'J', 0xfc, 'r', 'g', 'e', 'n'}, "J\xc3\xbcrgen"},
                      W2ChCase{"pair", {0xd83d, 0xde00}, "\xf0\x9f\x98\x80"},
                      W2ChCase{"loneHigh", {'a', 0xd83d, 'b'}, nullptr},
                      W2ChCase{"loneLow", {0xde00}, nullptr},
                      W2ChCase{"highAtEnd", {'a', 0xd83d}, nullptr}),
    [](const ::testing::TestParamInfo<W2ChCase>& info) { return info.param.label; });

TEST(W2ChConversion, NullInputIsEmpty)
{
    W2Ch converted(nullptr);
    ASSERT_NE(converted.c_str(), nullptr);
    EXPECT_STREQ(converted.c_str(), "");
}

struct Ch2WCase {
    const char* label;
    std::string utf8;
    std::vector<dvk_ucs2_Char> units;  // without the terminator
    bool ok;
};

class Ch2WConversion : public ::testing::TestWithParam<Ch2WCase> {};

TEST_P(Ch2WConversion, GivesUcs2OrNull)
{
    LogCapture capture;
    Ch2W converted{WexString(GetParam().utf8)};
    if (!GetParam().ok) {
        EXPECT_EQ(converted.c_str(), nullptr);
        EXPECT_TRUE(capture.contains("QrvLogMT", WexLogError, "Ch2W: "));
        return;
    }
    ASSERT_NE(converted.c_str(), nullptr);
    std::vector<dvk_ucs2_Char> units;
    for (const dvk_ucs2_Char* p = converted.c_str(); *p != 0; ++p)
        units.push_back(*p);
    EXPECT_EQ(units, GetParam().units);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Ch2WConversion,
    ::testing::Values(Ch2WCase{"empty", "", {}, true},
                      Ch2WCase{"ascii", "home", {'h', 'o', 'm', 'e'}, true},
                      Ch2WCase{"latin", "J\xc3\xbcrgen", {'J', 0xfc, 'r', 'g', 'e', 'n'}, true},
                      Ch2WCase{"astral", "\xf0\x9f\x98\x80", {0xd83d, 0xde00}, true},
                      Ch2WCase{"badByte", "a\xff", {}, false},
                      Ch2WCase{"truncated", "\xc3", {}, false}),
    [](const ::testing::TestParamInfo<Ch2WCase>& info) { return info.param.label; });

TEST(Ch2WConversion, UsesTheLengthNotATerminator)
{
    const char bytes[] = {'a', 'b', 'c', 'd'};
    Ch2W converted{WexString(bytes, 2)};
    ASSERT_NE(converted.c_str(), nullptr);
    EXPECT_EQ(converted.c_str()[0], 'a');
    EXPECT_EQ(converted.c_str()[1], 'b');
    EXPECT_EQ(converted.c_str()[2], 0);
}

} // namespace
