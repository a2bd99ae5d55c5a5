#include "core/brevit/runtime/dvk_char_encoding.h"

#include "tests/brevit/runtime/utf16_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using utf16_text::S;
using utf16_text::U;

TEST(CharEncoding, NamesAndCodes)
{
    const std::pair<uint32_t, const char*> named[] = {
        {0, ""}, {1, "8Bit"}, {2, "Latin1"}, {3, "UTF8"}, {4, "SCSU"},
    };
    for (const auto& [code, name] : named) {
        ASSERT_NE(CharEncoding_ValueToName(code), nullptr) << code;
        EXPECT_STREQ(CharEncoding_ValueToName(code), name);
        EXPECT_EQ(CharEncoding_NameToValue(name), code);
    }
    EXPECT_EQ(CharEncoding_ValueToName(5), nullptr);
    EXPECT_EQ(CharEncoding_ValueToName(6), nullptr);
    EXPECT_EQ(CharEncoding_NameToValue("latin1"), 0u);  // names compare exactly
    EXPECT_EQ(CharEncoding_NameToValue("UTF-8"), 0u);
    EXPECT_EQ(CharEncoding_NameToValue(nullptr), 0u);
}

TEST(CharEncoding, ValidityByCode)
{
    EXPECT_TRUE(CharEncoding_IsValidEncoding(3, "\xC3\xA9"));
    EXPECT_FALSE(CharEncoding_IsValidEncoding(3, "\xC3"));
    EXPECT_TRUE(CharEncoding_IsValidEncoding(2, "\xC3"));
    EXPECT_TRUE(CharEncoding_IsValidEncoding(5, "\xFF"));
    for (uint32_t code : {0u, 1u, 4u, 6u})
        EXPECT_FALSE(CharEncoding_IsValidEncoding(code, "a")) << code;
}

TEST(CharEncoding, ConversionsByCode)
{
    uint16_t wide[8];
    EXPECT_TRUE(CharEncoding_DecodeToUnicode(3, "\xE2\x82\xAC", 8, wide));
    EXPECT_EQ(S(wide), u"\u20AC");
    EXPECT_TRUE(CharEncoding_DecodeToUnicode(5, "\xA4", 8, wide));
    EXPECT_EQ(S(wide), u"\u20AC");
    EXPECT_TRUE(CharEncoding_DecodeToUnicode(2, "\xA4", 8, wide));
    EXPECT_EQ(S(wide), u"\u00A4");
    for (uint32_t code : {0u, 1u, 4u, 9u})
        EXPECT_FALSE(CharEncoding_DecodeToUnicode(code, "a", 8, wide)) << code;

    std::vector<uint16_t> euro = U(u"x\u20AC");
    char bytes[8];
    EXPECT_EQ(CharEncoding_EncodeFromUnicode(3, euro.data(), 8, bytes), 0);
    EXPECT_STREQ(bytes, "x\xE2\x82\xAC");
    EXPECT_EQ(CharEncoding_EncodeFromUnicode(5, euro.data(), 8, bytes), 0);
    EXPECT_STREQ(bytes, "x\xA4");
    EXPECT_EQ(CharEncoding_EncodeFromUnicode(2, euro.data(), 8, bytes), 2);
    EXPECT_EQ(CharEncoding_EncodeFromUnicode(3, euro.data(), 4, bytes), 1);
    EXPECT_EQ(CharEncoding_EncodeNFromUnicode(3, euro.data(), 1, 2, bytes), 0);
    EXPECT_STREQ(bytes, "x");
    EXPECT_EQ(CharEncoding_EncodeNFromUnicode(2, euro.data(), 1, 2, bytes), 0);
    EXPECT_EQ(CharEncoding_EncodeNFromUnicode(5, euro.data(), 2, 3, bytes), 0);
    EXPECT_STREQ(bytes, "x\xA4");
    for (uint32_t code : {0u, 1u, 4u, 9u}) {
        EXPECT_EQ(CharEncoding_EncodeFromUnicode(code, euro.data(), 8, bytes), 3) << code;
        EXPECT_EQ(CharEncoding_EncodeNFromUnicode(code, euro.data(), 1, 8, bytes), 3) << code;
    }
}

TEST(CharEncoding, EncodedByteLengths)
{
    std::vector<uint16_t> text = U(u"a\u20AC");
    std::vector<uint16_t> empty = U(u"");
    EXPECT_EQ(CharEncoding_GetEncodedByteLength(3, text.data(), 10), 5);
    EXPECT_EQ(CharEncoding_GetEncodedByteLength(3, text.data(), 1), 1);
    // Latin-1 and Latin-9 count as UTF-8 does: a byte per unit, the
    // terminator when it lies within n.
    for (uint32_t code : {2u, 5u}) {
        EXPECT_EQ(CharEncoding_GetEncodedByteLength(code, text.data(), 10), 3) << code;
        EXPECT_EQ(CharEncoding_GetEncodedByteLength(code, text.data(), 2), 2) << code;
        EXPECT_EQ(CharEncoding_GetEncodedByteLength(code, empty.data(), 10), 1) << code;
        EXPECT_EQ(CharEncoding_GetEncodedByteLength(code, text.data(), 0), 0) << code;
    }
    for (uint32_t code : {0u, 1u, 4u, 9u})
        EXPECT_EQ(CharEncoding_GetEncodedByteLength(code, text.data(), 10), -1) << code;
}

} // namespace
