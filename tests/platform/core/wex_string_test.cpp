#include "platform/core/wex_string.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(WexString, HoldsBytesWithTheirLength)
{
    WexString s("a\0b", 3);
    EXPECT_EQ(s.length(), 3u);
    EXPECT_EQ(s.view(), std::string_view("a\0b", 3));
    EXPECT_TRUE(WexString(nullptr).empty());
    EXPECT_EQ(WexString("abc"), WexString(std::string("abc")));
}

struct Base64Case {
    std::string bytes;
    const char* text;
};

TEST(WexStringBase64, EncodesAndDecodesBack)
{
    const Base64Case cases[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {std::string("\0\xff\x10 key", 7), "AP8QIGtleQ=="},
    };
    for (const auto& c : cases) {
        WexString encoded;
        ASSERT_EQ(WexString::base64Encode(c.bytes, encoded), WexErrNone);
        EXPECT_EQ(encoded.view(), c.text);
        WexString decoded;
        ASSERT_EQ(encoded.base64Decode(decoded), WexErrNone);
        EXPECT_EQ(decoded.str(), c.bytes);
    }
}

TEST(WexStringBase64, RefusesMalformedTextAndKeepsTheOutput)
{
    for (const char* bad : {"Zg", "Zg=", "Z===", "Zm9v!A==", "Zm=v", "====", "Zm9v\n"}) {
        WexString out("kept");
        EXPECT_EQ(WexString(bad).base64Decode(out), WexErrInvalidArg) << bad;
        EXPECT_EQ(out.view(), "kept");
    }
}

TEST(WexStringBase64, DecodesIntoItself)
{
    WexString s("Zm9v");
    ASSERT_EQ(s.base64Decode(s), WexErrNone);
    EXPECT_EQ(s.view(), "foo");
}

} // namespace
