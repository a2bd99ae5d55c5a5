#include "core/brevit/lexicon/mwl_code.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

const uint16_t* u16(const std::u16string& s)
{
    return reinterpret_cast<const uint16_t*>(s.c_str());
}

const uint8_t* u8(const char* s)
{
    return reinterpret_cast<const uint8_t*>(s);
}

DVKSCSU window0()
{
    DVKSCSU state{};
    std::memcpy(state.windowOffsets, kSCSUDefaultOffsets, sizeof(state.windowOffsets));
    return state;
}

// The text in an encoding (not lower-cased), as bytes.
Bytes encoded(const std::u16string& text, int32_t encoding)
{
    const DVKSCSU state = window0();
    std::vector<uint8_t> out(text.size() * 4 + 1);
    EXPECT_EQ(MWLCode_ConvertFromUnicode(out.data(), u16(text), 0, encoding, &state, nullptr), 0);
    return Bytes(out.begin(), out.begin() + static_cast<long>(std::strlen(reinterpret_cast<char*>(out.data()))));
}

std::string terminated(const Bytes& b)
{
    return std::string(b.begin(), b.end());
}

TEST(SpellingCode, FollowsTheAlgorithmForEveryPattern)
{
    struct Case {
        std::u16string text;
        int32_t code;
    };
    const Case cases[] = {
        {u"", 1},           {u"   ", 1},         {u"hello", 1},       {u"Hello", 10},
        {u"HELLO", 4},      {u"H", 14},          {u"A B", 12},        {u"hello world", 1},
        {u"Hello World", 8}, {u"McDonald", 16},   {u"hello World", 16}, {u"Hello world", 2},
        {u"123", 1},        {u"eBook", 16},      {u"HeLLo", 16},      {u"HELLO WORLD", 4},
        {u"1ABC", 16},      {u"  Hello", 10},    {u"Ébène", 10},      {u"İstanbul", 16},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MWLCode_GetCode(u16(c.text)), c.code) << std::string(c.text.begin(), c.text.end());
        // The encoded forms agree (they skip the round trip, which only İ fails).
        if (c.text == u"İstanbul")
            continue;
        for (int32_t encoding : {2, 3, 5}) {
            const std::string e = terminated(encoded(c.text, encoding));
            EXPECT_EQ(MWLCode_GetCodeE(u8(e.c_str()), encoding), c.code);
        }
    }
    EXPECT_EQ(MWLCode_GetCodeE(u8("Hello"), 5), 10);
    EXPECT_EQ(MWLCode_GetCodeE(u8("Hello"), 6), 0);
}

TEST(SpellingCode, RestoresKeysInEveryEncoding)
{
    const DVKSCSU state = window0();
    struct Case {
        int32_t code;
        std::u16string spelling;
    };
    const Case cases[] = {
        {8, u"Hello World"}, {2, u"Hello world"}, {4, u"HELLO WORLD"}, {10, u"Hello world"},
        {1, u"hello world"}, {128, u"hello world"}, {12, u"HELLO WORLD"},
    };
    for (int32_t encoding : {1, 2, 3, 4, 5}) {
        const std::string key = terminated(encoded(u"hello world", encoding));
        for (const Case& c : cases) {
            std::vector<uint16_t> out(key.size() + 1, 0xEEEE);
            EXPECT_EQ(MWLCode_RestoreSpelling(out.data(), u8(key.c_str()), static_cast<int32_t>(key.size()),
                                              c.code, encoding, &state),
                      0);
            EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(out.data())), c.spelling)
                << encoding << " " << c.code;
            uint8_t restored[32];
            EXPECT_EQ(MWLCode_RestoreSpellingE(restored, u8(key.c_str()), sizeof(restored), c.code,
                                               encoding, &state),
                      0);
            EXPECT_EQ(std::string(reinterpret_cast<char*>(restored)), terminated(encoded(c.spelling, encoding)));
            // Either form compares equal to what it restores.
            EXPECT_EQ(MWLCode_CompareWithCode(u16(c.spelling), u8(key.c_str()), c.code,
                                              static_cast<int32_t>(c.spelling.size()), encoding, &state),
                      0);
            const std::string e = terminated(encoded(c.spelling, encoding));
            EXPECT_EQ(MWLCode_CompareWithCodeE(u8(e.c_str()), u8(key.c_str()), c.code,
                                               static_cast<int32_t>(e.size()), encoding, &state),
                      0);
        }
    }
    // Leading spaces stay; the first letter after them is upper-cased.
    const std::string key = "  ab cd";
    std::vector<uint16_t> out(16);
    MWLCode_RestoreSpelling(out.data(), u8(key.c_str()), 7, 2, 3, &state);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(out.data())), u"  Ab cd");
    // A short output is cut at a whole character.
    uint8_t small[4];
    MWLCode_RestoreSpellingE(small, u8("\xC3\xA9\xC3\xA9"), sizeof(small), 4, 3, &state);
    EXPECT_STREQ(reinterpret_cast<char*>(small), "\xC3\x89");
    EXPECT_EQ(MWLCode_RestoreSpelling(out.data(), u8("a"), 1, 1, 6, &state), 2);
}

TEST(SpellingCode, ComparesTextWithKeyUnderACode)
{
    const DVKSCSU state = window0();
    struct Case {
        std::u16string text;
        const char* key;
        int32_t code;
        int32_t length;
        int32_t result;
    };
    const Case cases[] = {
        {u"Hel", "hello", 10, 3, 0},          // a prefix within the length
        {u"Hello", "hel", 10, 5, 1},          // the key ends first
        {u"hello", "hello", 10, 5, 1},
        {u"HELLO", "hello", 4, 5, 0},
        {u"HeLLO", "hello", 4, 5, 1},
        {u" Ab", " ab", 2, 3, 0},
        {u"Ab", " ab", 2, 2, 1},              // leading spaces must agree
        {u"Ab Cd", "ab cd", 8, 6, 0},         // the terminators too
        {u"Ab Cd", "ab cde", 8, 6, 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MWLCode_CompareWithCode(u16(c.text), u8(c.key), c.code, c.length, 3, &state), c.result)
            << std::string(c.text.begin(), c.text.end()) << " / " << c.key;
}

TEST(SpellingCode, CaseSensitiveMatching)
{
    const DVKSCSU state = window0();
    struct Case {
        std::u16string text;
        std::u16string word;
        bool matches;
    };
    const Case cases[] = {
        {u"New York", u"New York", true}, {u"Hello", u"hello", false},
        {u"NEW YORK", u"New York", false}, {u"hello World", u"Hello World", false},
        {u"Ebook", u"eBook", false},      {u"eBook", u"eBook", true},
        {u"hello World", u"hello world", false}, {u"hello", u"hello", true},
    };
    for (const Case& c : cases) {
        uint8_t key[64];
        MWLCode_ConvertFromUnicode(key, u16(c.word), 1, 3, &state, nullptr);
        const int32_t wordCode = MWLCode_GetCode(u16(c.word));
        const std::string exact = terminated(encoded(c.word, 3));
        EXPECT_EQ(MWLCode_MatchesSpelling(u16(c.text), MWLCode_GetCode(u16(c.text)), key, wordCode,
                                          u8(exact.c_str()), 3, &state),
                  c.matches ? 1 : 0)
            << std::string(c.text.begin(), c.text.end()) << " / " << std::string(c.word.begin(), c.word.end());
    }
    // A caseless list shares its code with every caseless text.
    EXPECT_EQ(MWLCode_MatchesSpelling(u16(u"x"), 128, u8("x"), 128, nullptr, 3, &state), 1);
}

TEST(SpellingCode, ConvertsTextToEachEncoding)
{
    const DVKSCSU state = window0();
    struct Case {
        std::u16string text;
        int32_t encoding;
        int32_t result;
        Bytes bytes;
    };
    const Case cases[] = {
        {u"Zoë", 2, 0, {0x7A, 0x6F, 0xEB}},
        {u"Zoë", 1, 0, {0x7A, 0x6F, 0xEB}},
        {u"Zoë", 3, 0, {0x7A, 0x6F, 0xC3, 0xAB}},
        {u"Zoë", 4, 0, {0x7A, 0x6F, 0xEB}},
        {u"aд", 2, 1, {0x61}},
        {u"aд", 4, 0, {0x61, 0x0E, 0xD0, 0xB4}},
        {u"Zoë", 5, 0, {0x7A, 0x6F, 0xEB}},
        {u"Zoë", 6, 2, {}},
    };
    for (const Case& c : cases) {
        uint8_t out[32];
        EXPECT_EQ(MWLCode_ConvertFromUnicode(out, u16(c.text), 1, c.encoding, &state, nullptr), c.result);
        EXPECT_EQ(Bytes(out, out + std::strlen(reinterpret_cast<char*>(out))), c.bytes) << c.encoding;
    }
    // The prefix: characters in, bytes out.
    uint8_t out[32];
    int32_t prefix = 3;
    MWLCode_ConvertFromUnicode(out, u16(u"zoëx"), 0, 3, &state, &prefix);
    EXPECT_EQ(prefix, 4);
    prefix = 9;
    MWLCode_ConvertFromUnicode(out, u16(u"zoë"), 0, 3, &state, &prefix);
    EXPECT_EQ(prefix, 4);
}

TEST(SpellingCode, EncodedTextBecomesAnInternalKey)
{
    const DVKSCSU state = window0();
    struct Case {
        const char* text;
        int32_t lower;
        int32_t encoding;
        const char* key;
    };
    const Case cases[] = {
        {"Zo\xCB", 1, 2, "zo\xEB"},
        {"Zo\xC3\x8B", 1, 3, "zo\xC3\xAB"},
        {"Zo\xC3\x8B", 0, 3, "Zo\xC3\x8B"},
        {"Zo\xC3\x8B", 1, 4, "zo\xEB"},
        {"A\xD0\x94", 1, 4, "a\x0E\xD0\xB4"},
        {"A\xC0", 1, 3, "a\xC3\xA0"},   // an invalid byte is a character of its value
        {"A\xC0", 0, 3, "A\xC0"},
    };
    for (const Case& c : cases) {
        uint8_t out[32];
        EXPECT_EQ(MWLCode_ConvertToInternalE(out, u8(c.text), c.lower, c.encoding, &state, nullptr), 0);
        EXPECT_STREQ(reinterpret_cast<char*>(out), c.key) << c.text;
    }
    uint8_t out[32];
    int32_t prefix = 2;
    MWLCode_ConvertToInternalE(out, u8("\xC3\x8B\xC3\x8Bx"), 1, 3, &state, &prefix);
    EXPECT_EQ(prefix, 4);
    EXPECT_EQ(MWLCode_ConvertToInternalE(out, u8("a"), 1, 6, &state, nullptr), 2);
}

TEST(SpellingCode, MeasuresTextInUTF8)
{
    const DVKSCSU state = window0();
    EXPECT_EQ(MWLCode_GetUTF8Length(u8("zo\xEB"), 2, &state), 4);
    EXPECT_EQ(MWLCode_GetUTF8Length(u8("zo\xEB"), 1, &state), 4);
    EXPECT_EQ(MWLCode_GetUTF8Length(u8("zo\xC3\xAB"), 3, &state), 4);
    EXPECT_EQ(MWLCode_GetUTF8Length(u8("zo\xEB\x0E\xD0\xB4"), 4, &state), 6);
    EXPECT_EQ(MWLCode_GetUTF8Length(u8(""), 4, &state), 0);
    EXPECT_EQ(MWLCode_GetUTF8Length(u8("abc"), 6, &state), 0);
    EXPECT_EQ(MWLCode_GetUTF8Length(u8("\xA4\xBD\xE9"), 5, &state), 3 + 2 + 2);
}

TEST(SpellingCode, Latin9BytesAreItsCharactersAndFoldOnThem)
{
    const DVKSCSU state = window0();
    struct Case {
        std::u16string text;
        int32_t result;
        Bytes key;
    };
    const Case cases[] = {
        {u"Œuvre", 0, {0xBD, 'u', 'v', 'r', 'e'}},
        {u"ŠAL", 0, {0xA8, 'a', 'l'}},
        {u"ŽŸ", 0, {0xB8, 0xFF}},
        {u"€5", 0, {0xA4, '5'}},
        {u"a¤", 1, {'a'}},   // the Latin-1 sign Latin-9 gave to the euro
        {u"aд", 1, {'a'}},
    };
    for (const Case& c : cases) {
        uint8_t out[32];
        EXPECT_EQ(MWLCode_ConvertFromUnicode(out, u16(c.text), 1, 5, &state, nullptr), c.result);
        EXPECT_EQ(Bytes(out, out + std::strlen(reinterpret_cast<char*>(out))), c.key);
    }
    struct Restore {
        const char* key;
        int32_t code;
        std::u16string text;
    };
    const Restore restores[] = {{"\xBDuvre", 10, u"Œuvre"}, {"\xA8""al", 4, u"ŠAL"}, {"\xFF\xB8", 8, u"Ÿž"},
                                {"\xA8""al", 1, u"šal"}};
    for (const Restore& r : restores) {
        std::vector<uint16_t> out(16);
        const auto n = static_cast<int32_t>(std::strlen(r.key));
        EXPECT_EQ(MWLCode_RestoreSpelling(out.data(), u8(r.key), n, r.code, 5, &state), 0);
        EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(out.data())), r.text);
        EXPECT_EQ(MWLCode_CompareWithCode(u16(r.text), u8(r.key), r.code, n, 5, &state), 0);
        uint8_t encodedOut[16];
        MWLCode_RestoreSpellingE(encodedOut, u8(r.key), sizeof(encodedOut), r.code, 5, &state);
        EXPECT_EQ(Bytes(encodedOut, encodedOut + std::strlen(reinterpret_cast<char*>(encodedOut))), encoded(r.text, 5));
    }
    uint8_t key[16];
    EXPECT_EQ(MWLCode_ConvertToInternalE(key, u8("\xBCUVRE\xBE"), 1, 5, &state, nullptr), 0);
    EXPECT_STREQ(reinterpret_cast<char*>(key), "\xBDuvre\xFF");
    EXPECT_EQ(MWLCode_GetCodeE(u8("\xBCuvre"), 5), 10);
    EXPECT_EQ(MWLCode_GetCodeE(u8("\xA6\xB4"), 5), 4);
    EXPECT_EQ(MWLCode_MatchesSpelling(u16(u"šal"), 1, u8("\xA8""al"), 1, nullptr, 5, &state), 1);
    EXPECT_EQ(MWLCode_MatchesSpelling(u16(u"ŠAL"), 4, u8("\xA8""al"), 1, nullptr, 5, &state), 0);
    EXPECT_EQ(MWLCode_MatchesSpelling(u16(u"Œuvre"), 10, u8("\xBDuvre"), 16, u8("\xBCuvre"), 5, &state), 1);
}

} // namespace
