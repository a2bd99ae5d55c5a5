#include "core/brevit/runtime/dvk_scsu.h"

#include "tests/brevit/runtime/utf16_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using utf16_text::S;
using utf16_text::U;

DVKSCSU stateWithWindow(uint32_t window)
{
    DVKSCSU state{};
    state.defaultWindow = window;
    std::memcpy(state.windowOffsets, kSCSUDefaultOffsets, sizeof state.windowOffsets);
    DVKSCSU_SCSUReset(&state);
    return state;
}

struct CodeRow {
    uint16_t ch;
    std::basic_string<uint8_t> bytes;
};

TEST(Scsu, CharactersInTheHiraganaWindow)
{
    const DVKSCSU state = stateWithWindow(5);  // offset 0x3040
    EXPECT_EQ(state.currentWindow, 5u);
    const CodeRow rows[] = {
        {0x3042, {0x82}},
        {0x30BF, {0xFF}},
        {0x30C0, {0x0E, 0xE3, 0x83, 0x80}},
        {'A', {'A'}},
        {0x7F, {0x7F}},
        {0x00E9, {0x0E, 0xC3, 0xA9}},
        {'\t', {0x0E, '\t'}},
    };
    for (const CodeRow& row : rows) {
        SCOPED_TRACE(testing::Message() << std::hex << row.ch);
        uint8_t out[4];
        const int32_t length = DVKSCSU_EncodeChar(row.ch, &state, out);
        EXPECT_EQ(std::basic_string<uint8_t>(out, static_cast<size_t>(length)), row.bytes);
        std::basic_string<uint8_t> terminated = row.bytes;
        uint16_t back = 0;
        EXPECT_EQ(DVKSCSU_DecodeChar(terminated.c_str(), &state, &back), length);
        EXPECT_EQ(back, row.ch);
    }
    uint8_t out[4];
    EXPECT_EQ(DVKSCSU_EncodeChar(0, &state, out), 0);
}

TEST(Scsu, DecodingStopsAtTheTerminatorAndBadEscapes)
{
    const DVKSCSU state = stateWithWindow(0);
    uint16_t u = 0xAAAA;
    const uint8_t end[] = {0};
    EXPECT_EQ(DVKSCSU_DecodeChar(end, &state, &u), 0);
    EXPECT_EQ(u, 0);
    const uint8_t cut[] = {0x0E, 0};
    EXPECT_EQ(DVKSCSU_DecodeChar(cut, &state, &u), 1);  // the terminator stays unread
    EXPECT_EQ(u, 0xFFFD);
    const uint8_t bad[] = {0x0E, 0x80, 'a', 0};
    EXPECT_EQ(DVKSCSU_DecodeChar(bad, &state, &u), 1);
    const uint8_t other[] = {0x01, 'a', 0};
    EXPECT_EQ(DVKSCSU_DecodeChar(other, &state, &u), 2);  // any control byte escapes
    EXPECT_EQ(u, 'a');

    DVKSCSU damaged = state;
    damaged.currentWindow = 1000;  // no such window: offset 0, still in bounds
    uint8_t out[4];
    EXPECT_EQ(DVKSCSU_EncodeChar(0x10, &damaged, out), 1);
    EXPECT_EQ(out[0], 0x90);
    EXPECT_EQ(DVKSCSU_DecodeChar(out, &damaged, &u), 1);
    EXPECT_EQ(u, 0x10);
}

TEST(Scsu, Strings)
{
    const DVKSCSU state = stateWithWindow(5);
    std::vector<uint16_t> text = U(u"a\u3042\u00E9");
    uint8_t dst[16];
    EXPECT_EQ(DVKSCSU_UnicodeStringToSCSU(text.data(), 6, dst, &state), 0);
    EXPECT_EQ(std::basic_string<uint8_t>(dst), (std::basic_string<uint8_t>{'a', 0x82, 0x0E, 0xC3, 0xA9}));
    std::memset(dst, 'x', sizeof dst);
    EXPECT_EQ(DVKSCSU_UnicodeStringToSCSU(text.data(), 5, dst, &state), 1);
    EXPECT_EQ(std::basic_string<uint8_t>(dst), (std::basic_string<uint8_t>{'a', 0x82}));
    EXPECT_EQ(dst[5], 'x');
    EXPECT_EQ(DVKSCSU_UnicodeStringNToSCSU(text.data(), 2, 3, dst, &state), 0);
    EXPECT_EQ(std::basic_string<uint8_t>(dst), (std::basic_string<uint8_t>{'a', 0x82}));
    EXPECT_EQ(DVKSCSU_UnicodeStringNToSCSU(text.data(), 2, 2, dst, &state), 1);

    // Decoding the encoded string gives the text back.
    EXPECT_EQ(DVKSCSU_UnicodeStringToSCSU(text.data(), 16, dst, &state), 0);
    std::u16string back;
    uint16_t u = 0;
    for (const uint8_t* p = dst; int32_t used = DVKSCSU_DecodeChar(p, &state, &u); p += used)
        back.push_back(static_cast<char16_t>(u));
    EXPECT_EQ(back, u"a\u3042\u00E9");
}

TEST(Scsu, Legality)
{
    const std::pair<std::basic_string<uint8_t>, bool> rows[] = {
        {{}, true},
        {{'a', 0x82, 0xFF}, true},
        {{0x0E, 0xC3, 0xA9, 'b'}, true},
        {{0x0E, 0x0E}, true},             // the escaped character is 0x0E itself
        {{0x0E}, false},
        {{0x0E, 0xC3}, false},
        {{0x0F, 'a'}, false},
        {{'a', 0x0E, 0x80}, false},
    };
    for (const auto& [bytes, legal] : rows)
        EXPECT_EQ(DVKSCSU_IsLegalSCSU(bytes.c_str()), legal)
            << testing::PrintToString(std::string(bytes.begin(), bytes.end()));
    EXPECT_FALSE(DVKSCSU_IsLegalSCSU(nullptr));
}

} // namespace
