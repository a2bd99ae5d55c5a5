#include "core/brevit/lexicon/mwl_text_encoding.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Row {
    int32_t list;
    const char* language;
    int32_t surface;
    int32_t generator;
    int32_t spoken;
};

TEST(TextEncoding, ChoosesEncodingsByListAndLanguage)
{
    const Row rows[] = {
        {2, "enus", 3, 3, 3}, {1, "enus", 1, 2, 1}, {1, "ruru", 4, 3, 1}, {4, "enus", 4, 3, 4},
        {5, "dede", 3, 3, 3}, {3, "jajp", 3, 3, 4}, {2, "JAJP", 3, 3, 4}, {3, "RuRu", 4, 3, 3},
        {1, "jajp", 1, 3, 4}, {3, "ruruX", 3, 3, 3}, {3, "rur", 3, 3, 3}, {3, nullptr, 3, 3, 3},
    };
    for (const Row& r : rows) {
        MWLDynamicEncodings e{};
        MWLDynamic_SetLanguageEncoding(&e, r.list, r.language);
        const std::string what = std::to_string(r.list) + " " + (r.language ? r.language : "null");
        EXPECT_EQ(e.surfaceEncoding, r.surface) << what;
        EXPECT_EQ(e.generatorEncoding, r.generator) << what;
        EXPECT_EQ(e.spokenEncoding, r.spoken) << what;
    }
}

std::vector<uint8_t> encode(const std::u16string& text, const DVKSCSU& coder)
{
    uint8_t out[32] = {};
    DVKSCSU_UnicodeStringToSCSU(reinterpret_cast<const uint16_t*>(text.c_str()), sizeof(out), out,
                                &coder);
    std::vector<uint8_t> bytes;
    for (int i = 0; out[i] != 0; ++i)
        bytes.push_back(out[i]);
    return bytes;
}

TEST(TextEncoding, CodersStartInTheLanguagesWindow)
{
    struct Case {
        const char* language;
        bool spoken;
        std::u16string text;
        std::vector<uint8_t> bytes;
    };
    const Case cases[] = {
        {"RURU", false, u"дом", {0xB4, 0xBE, 0xBC}},
        {"ukua", false, u"д", {0xB4}},
        {"jajp", true, u"あい", {0x82, 0x84}},
        {"plpl", false, u"łó", {0xC2, 0x0E, 0xC3, 0xB3}},
        {"thth", false, u"\u0E01", {0x81}},
        {"vivn", false, u"\u1EA1", {0x81}},
        {"hiin", false, u"\u0915", {0x95}},
        // Other languages and texts: window 0 (Latin-1 upper half).
        {"enus", false, u"é", {0xE9}},
        {"jajp", false, u"é", {0xE9}},
    };
    for (const Case& c : cases) {
        MWLDynamicEncodings e{};
        MWLDynamic_SetLanguageEncoding(&e, 3, c.language);
        const DVKSCSU& coder = c.spoken ? e.spokenCoder : e.surfaceCoder;
        EXPECT_EQ(coder.currentWindow, coder.defaultWindow) << c.language;
        EXPECT_EQ(encode(c.text, coder), c.bytes) << c.language;
    }
    // Only window 7 moves for the languages that name it.
    MWLDynamicEncodings e{};
    MWLDynamic_SetLanguageEncoding(&e, 3, "thth");
    for (int w = 0; w < 7; ++w)
        EXPECT_EQ(e.surfaceCoder.windowOffsets[w], kSCSUDefaultOffsets[w]);
    EXPECT_EQ(e.spokenCoder.windowOffsets[7], kSCSUDefaultOffsets[7]);
}

} // namespace
