#include "core/prompt/dvk_prompt_table.h"

#include "core/lang/dvk_dvkrc.h"
#include "core/utils/dvk_ucs2.h"
#include "oem/dvk_oem_audio_types.h"
#include "sdk/common/dvk_mmap.h"
#include "tests/support/suite_memory.h"
#include "tests/support/table_file_writers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::u16string text(const dvk_ucs2_Char* s)
{
    return s == nullptr ? u"(null)" : std::u16string(reinterpret_cast<const char16_t*>(s));
}

// Prompt i's audio: i % 40 + 1 bytes of value i.
std::string audioOf(size_t i)
{
    return std::string(i % 40 + 1, static_cast<char>(i));
}

// The main file of a described language: 447 vocoded prompts, the
// descriptor's audio size.
PromptFileWriter mainFile(dvk_lang_Language language)
{
    const dvk_dvkrc_PromptTable* d = dvk_dvkrc_getPromptTable(language);
    PromptFileWriter w;
    w.locale = d->locale;
    for (size_t i = 0; i < 447; ++i)
        w.prompts.push_back({audioOf(i), std::nullopt});
    w.audioSize = d->audioSize;
    return w;
}

// A table of the language with the range loaded (NULL when refused).
dvk_prompt_Table* loaded(dvk_lang_Language language, int range)
{
    dvk_prompt_Table* table = dvk_prompt_createPromptTable(language);
    if (table != nullptr && dvk_prompt_loadPromptTableRange(table, range) == nullptr)
        dvk_prompt_destroyPromptTable(&table);
    return table;
}

std::string promptBytes(const dvk_prompt_Prompt* p)
{
    return std::string(reinterpret_cast<const char*>(dvk_prompt_getData(p)), dvk_prompt_getDataLength(p));
}

// Both load paths: mapped, then read with buffered calls.
class PromptTableTest : public SuiteMemoryTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override
    {
        SuiteMemoryTest::SetUp();
        dvk_mmap_refuseMapping(GetParam());
    }
    void TearDown() override
    {
        dvk_mmap_refuseMapping(false);
        SuiteMemoryTest::TearDown();
    }
};

TEST_P(PromptTableTest, MainFileLoadsWithEveryPromptsAudio)
{
    const std::string bytes = mainFile(5).bytes();
    ASSERT_EQ(bytes.size(), 317254u);
    writeTableFile("prm_enus.bin", bytes);
    dvk_prompt_Table* table = loaded(5, 0);
    ASSERT_NE(table, nullptr);
    const dvk_prompt_Range* range = table->ranges[0];
    EXPECT_EQ(range->mapping != nullptr, !GetParam());
    EXPECT_EQ(range->audioBase != nullptr, !GetParam());
    size_t offset = 0;
    for (int32_t id = 0; id < 447; ++id) {
        SCOPED_TRACE(id);
        EXPECT_TRUE(dvk_prompt_isVocoded(table, id));
        EXPECT_FALSE(dvk_prompt_isTts(table, id));
        EXPECT_EQ(dvk_prompt_createTtsString(table, id), nullptr);
        dvk_prompt_Prompt* p = dvk_prompt_createPrompt(table, id);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(promptBytes(p), audioOf(static_cast<size_t>(id)));
        EXPECT_EQ(dvk_prompt_getVocoder(p), DVK_OEM_AUDIO_VOCTYPE_AMR);
        EXPECT_EQ(p->owned, GetParam() ? 1 : 0);
        if (!GetParam()) {  // points into the mapping
            EXPECT_EQ(dvk_prompt_getData(p), range->audioBase + offset);
        }
        offset += audioOf(static_cast<size_t>(id)).size();
        dvk_prompt_destroyPrompt(&p);
        EXPECT_EQ(p, nullptr);
    }
    EXPECT_DEATH(dvk_prompt_createPrompt(table, 447), "id < DVK_PROMPT_MAX");
    dvk_prompt_destroyPromptTable(&table);
    EXPECT_EQ(table, nullptr);
}

TEST_P(PromptTableTest, TwoLanguagesAnswerEveryIdWithoutText)
{
    writeTableFile("prm_enus.bin", mainFile(5).bytes());
    writeTableFile("prm_engb.bin", mainFile(4).bytes());
    for (dvk_lang_Language language : {5, 4}) {
        dvk_prompt_Table* table = loaded(language, 0);
        ASSERT_NE(table, nullptr);
        for (int32_t id = 0; id < 447; ++id) {
            EXPECT_FALSE(dvk_prompt_isTts(table, id));
            EXPECT_EQ(dvk_prompt_createTtsString(table, id), nullptr);
        }
        dvk_prompt_destroyPromptTable(&table);
    }
}

TEST_P(PromptTableTest, MainFilesOfAnotherBuildAreRefused)
{
    struct Case {
        const char* name;
        void (*change)(PromptFileWriter&);
    };
    const Case cases[] = {
        {"version", [](PromptFileWriter& w) { w.version = "20110107.1.17"; }},
        {"language", [](PromptFileWriter& w) { w.locale = "enuk"; }},
        {"magic", [](PromptFileWriter& w) { w.magic = 0x12345679; }},
        {"count", [](PromptFileWriter& w) { w.count = 446; }},
        {"vocoder", [](PromptFileWriter& w) { w.vocoder = "EVRC"; }},
        {"audio size", [](PromptFileWriter& w) { w.audioSize = 311817; }},
        {"encoding", [](PromptFileWriter& w) { w.encoding = 0; }},
        {"text length", [](PromptFileWriter& w) { w.textLength = 1; }},
        {"one byte short", [](PromptFileWriter& w) { w.cutTo = 317253; }},
        {"header only", [](PromptFileWriter& w) { w.cutTo = 72; }},
        {"empty", [](PromptFileWriter& w) { w.cutTo = 0; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PromptFileWriter w = mainFile(5);
        c.change(w);
        writeTableFile("prm_enus.bin", w.bytes());
        EXPECT_EQ(loaded(5, 0), nullptr);
    }
    dvk_prompt_Table* table = dvk_prompt_createPromptTable(5);
    EXPECT_FALSE(dvk_prompt_isVocoded(table, 0));
    EXPECT_EQ(dvk_prompt_createPrompt(table, 0), nullptr);
    EXPECT_DEATH(dvk_prompt_loadPromptTableRange(table, 2), "\\(range == 0\\) \\|\\| \\(range == 1\\)");
    dvk_prompt_destroyPromptTable(&table);
}

TEST_P(PromptTableTest, LanguageWithoutDescriptorHasOnlyVoiceSearchPrompts)
{
    PromptFileWriter w;
    w.locale = "jajp";
    w.prompts = {{"abc", u"Konnichiwa"}};
    writeTableFile("vprm_jajp.bin", w.bytes());
    writeTableFile("prm_jajp.bin", w.bytes());
    EXPECT_EQ(loaded(12, 0), nullptr);
    dvk_prompt_Table* table = loaded(12, 1);
    ASSERT_NE(table, nullptr);
    EXPECT_TRUE(dvk_prompt_isVocoded(table, 4096));
    EXPECT_FALSE(dvk_prompt_isVocoded(table, 0));
    dvk_ucs2_Char* s = dvk_prompt_createTtsString(table, 4096);
    EXPECT_EQ(text(s), u"Konnichiwa");
    dvk_ucs2_destroy(&s);
    dvk_prompt_destroyPromptTable(&table);
}

TEST_P(PromptTableTest, VoiceSearchIdsRunFrom4096To8190)
{
    PromptFileWriter w;
    for (size_t i = 0; i < 4095; ++i)
        w.prompts.push_back({audioOf(i), std::nullopt});
    w.prompts[1] = {std::nullopt, u"Only text"};
    w.audioLengths[2] = 0xFFFFFFFF;
    writeTableFile("vprm_enus.bin", w.bytes());
    dvk_prompt_Table* table = loaded(5, 1);
    ASSERT_NE(table, nullptr);
    for (int32_t id : {4096, 8190}) {
        dvk_prompt_Prompt* p = dvk_prompt_createPrompt(table, id);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(promptBytes(p), audioOf(static_cast<size_t>(id - 4096)));
        dvk_prompt_destroyPrompt(&p);
    }
    EXPECT_FALSE(dvk_prompt_isVocoded(table, 4097));
    EXPECT_TRUE(dvk_prompt_isTts(table, 4097));
    EXPECT_EQ(dvk_prompt_createPrompt(table, 4097), nullptr);
    dvk_ucs2_Char* s = dvk_prompt_createTtsString(table, 4097);
    EXPECT_EQ(text(s), u"Only text");
    dvk_ucs2_destroy(&s);
    // A length of 0xFFFFFFFF: neither played nor spoken.
    EXPECT_FALSE(dvk_prompt_isVocoded(table, 4098));
    EXPECT_FALSE(dvk_prompt_isTts(table, 4098));
    EXPECT_EQ(dvk_prompt_createPrompt(table, 4098), nullptr);
    for (int32_t id : {-1, 447, 4095, 8191}) {
        EXPECT_FALSE(dvk_prompt_isVocoded(table, id));
        EXPECT_FALSE(dvk_prompt_isTts(table, id));
        EXPECT_EQ(dvk_prompt_createTtsString(table, id), nullptr);
    }
    EXPECT_DEATH(dvk_prompt_createPrompt(table, 8191), "DVK_PROMPT_VSEARCH_LAST");
    EXPECT_DEATH(dvk_prompt_createPrompt(table, 4095), "DVK_PROMPT_VSEARCH_FIRST");
    dvk_prompt_destroyPromptTable(&table);
}

TEST_P(PromptTableTest, IndicesPastTheCountAnswerNothing)
{
    PromptFileWriter w;
    w.prompts = {{"ab", u"x"}};
    writeTableFile("vprm_enus.bin", w.bytes());
    dvk_prompt_Table* table = loaded(5, 1);
    ASSERT_NE(table, nullptr);
    EXPECT_FALSE(dvk_prompt_isVocoded(table, 4097));
    EXPECT_FALSE(dvk_prompt_isTts(table, 4097));
    EXPECT_EQ(dvk_prompt_createPrompt(table, 4097), nullptr);
    EXPECT_EQ(dvk_prompt_createTtsString(table, 4097), nullptr);
    dvk_prompt_destroyPromptTable(&table);
}

TEST_P(PromptTableTest, TextsOfBothEncodings)
{
    for (uint32_t encoding : {0u, 1u}) {
        SCOPED_TRACE(encoding);
        PromptFileWriter w;
        w.encoding = encoding;
        w.prompts = {{std::nullopt, u"Caf\u00e9"}, {"a", encoding == 0 ? u"\u4f60\u597d" : u"Two"}};
        writeTableFile("vprm_enus.bin", w.bytes());
        dvk_prompt_Table* table = loaded(5, 1);
        ASSERT_NE(table, nullptr);
        dvk_ucs2_Char* s = dvk_prompt_createTtsString(table, 4096);
        EXPECT_EQ(text(s), u"Caf\u00e9");
        dvk_ucs2_destroy(&s);
        s = dvk_prompt_createTtsString(table, 4097);
        EXPECT_EQ(text(s), encoding == 0 ? u"\u4f60\u597d" : u"Two");
        dvk_ucs2_destroy(&s);
        dvk_prompt_destroyPromptTable(&table);
    }
    PromptFileWriter w;
    w.encoding = 2;
    w.prompts = {{"a", std::nullopt}};
    writeTableFile("vprm_enus.bin", w.bytes());
    EXPECT_EQ(loaded(5, 1), nullptr);
}

// Range-1 files are not checked against a descriptor: what they hold is
// checked against the file itself.
TEST_P(PromptTableTest, DamagedVoiceSearchFilesReadNothingOutsideTheFile)
{
    struct Case {
        const char* name;
        void (*change)(PromptFileWriter&);
        bool loads;
    };
    const Case cases[] = {
        {"offset and length past the audio", [](PromptFileWriter& w) { w.audioOffsets[1] = 4; }, true},
        {"length past the audio", [](PromptFileWriter& w) { w.audioLengths[1] = 0x7fffffff; }, true},
        {"length 0", [](PromptFileWriter& w) { w.audioLengths[1] = 0; }, true},
        {"offset 0xFFFFFFFF", [](PromptFileWriter& w) { w.audioOffsets[1] = 0xFFFFFFFF; }, true},
        {"text offset at the text length", [](PromptFileWriter& w) { w.textOffsets[1] = 8; }, true},
        {"text offset far past", [](PromptFileWriter& w) { w.textOffsets[1] = 0x7ffffff0; }, true},
        {"last text unterminated", [](PromptFileWriter& w) { w.textLength = 7; }, true},
        {"vocoder PCM", [](PromptFileWriter& w) { w.vocoder = "PCM"; }, true},
        {"count beyond the file", [](PromptFileWriter& w) { w.count = 0x7fffffff; }, false},
        {"audio size beyond the file", [](PromptFileWriter& w) { w.audioSize = 0xFFFFFFF0; }, false},
        {"text length beyond the file", [](PromptFileWriter& w) { w.textLength = 0x7fffffff; }, false},
        {"file cut in the texts", [](PromptFileWriter& w) { w.cutTo = 72 + 24 + 5 + 7; }, false},
        {"file cut in the header", [](PromptFileWriter& w) { w.cutTo = 71; }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PromptFileWriter w;
        w.prompts = {{"ab", u"One"}, {"cde", u"Two"}};  // audio 5 bytes, text length 8
        c.change(w);
        writeTableFile("vprm_enus.bin", w.bytes());
        dvk_prompt_Table* table = loaded(5, 1);
        ASSERT_EQ(table != nullptr, c.loads);
        if (table == nullptr)
            continue;
        const bool pcm = std::string(c.name) == "vocoder PCM";
        dvk_prompt_Prompt* p = dvk_prompt_createPrompt(table, 4096);
        EXPECT_EQ(p != nullptr, !pcm);
        if (p != nullptr) {
            EXPECT_EQ(promptBytes(p), "ab");
        }
        dvk_prompt_destroyPrompt(&p);
        EXPECT_EQ(dvk_prompt_isVocoded(table, 4096), !pcm);
        dvk_ucs2_Char* s = dvk_prompt_createTtsString(table, 4096);
        EXPECT_EQ(text(s), u"One");
        dvk_ucs2_destroy(&s);
        const bool audioBroken = pcm || std::string(c.name).find("offset") == 0 ||
                                 std::string(c.name).find("length") == 0;
        EXPECT_EQ(dvk_prompt_isVocoded(table, 4097), !audioBroken);
        p = dvk_prompt_createPrompt(table, 4097);
        EXPECT_EQ(p != nullptr, !audioBroken);
        dvk_prompt_destroyPrompt(&p);
        const bool textBroken = std::string(c.name).find("text") != std::string::npos;
        EXPECT_EQ(dvk_prompt_isTts(table, 4097), !textBroken);
        s = dvk_prompt_createTtsString(table, 4097);
        EXPECT_EQ(s != nullptr, !textBroken);
        dvk_ucs2_destroy(&s);
        dvk_prompt_destroyPromptTable(&table);
    }
}

TEST_P(PromptTableTest, ShortMemoryLeaksNothing)
{
    writeTableFile("prm_enus.bin", mainFile(5).bytes());
    PromptFileWriter w;
    w.prompts = {{"ab", u"One"}, {"cde", u"Two"}};
    writeTableFile("vprm_enus.bin", w.bytes());
    bool complete = false;
    for (long allowed = 0; allowed < 64 && !complete; ++allowed) {
        dvk_mem_failAfter(allowed);
        dvk_prompt_Table* table = dvk_prompt_createPromptTable(5);
        dvk_prompt_Prompt* p = nullptr;
        dvk_ucs2_Char* s = nullptr;
        if (table != nullptr) {
            dvk_prompt_loadPromptTableRange(table, 0);
            dvk_prompt_loadPromptTableRange(table, 1);
            p = dvk_prompt_createPrompt(table, 3);
            dvk_prompt_destroyPrompt(&p);
            p = dvk_prompt_createPrompt(table, 4097);
            s = dvk_prompt_createTtsString(table, 4096);
        }
        dvk_mem_failAfter(-1);
        complete = p != nullptr && s != nullptr && table->ranges[0] != nullptr;
        dvk_prompt_destroyPrompt(&p);
        dvk_ucs2_destroy(&s);
        dvk_prompt_destroyPromptTable(&table);
    }
    EXPECT_TRUE(complete);
}

INSTANTIATE_TEST_SUITE_P(LoadPaths, PromptTableTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Buffered" : "Mapped"; });

TEST(PromptTableNames, VocoderNamesCompareWithinTheirField)
{
    EXPECT_EQ(dvk_prompt_getVocoderType("EVRC"), 0);
    EXPECT_EQ(dvk_prompt_getVocoderType("AMR"), 1);
    EXPECT_EQ(dvk_prompt_getVocoderType("GSM"), 3);
    EXPECT_EQ(dvk_prompt_getVocoderType("GSMMSFT"), 4);
    EXPECT_EQ(dvk_prompt_getVocoderType("SPEEX"), 5);
    EXPECT_EQ(dvk_prompt_getVocoderType("SPEEXWB"), 6);
    const char unterminated[12] = {'S', 'P', 'E', 'E', 'X', 'U', 'W', 'B', 'Z', 'Z', 'Z', 0};
    EXPECT_EQ(dvk_prompt_getVocoderType(unterminated), 7);
    EXPECT_EQ(dvk_prompt_getVocoderType("QCELP"), 8);
    EXPECT_EQ(dvk_prompt_getVocoderType("PCM"), 9);
    EXPECT_EQ(dvk_prompt_getVocoderType("AMR2"), 9);
}

TEST(PromptTableDescriptor, RangeBuiltFromADescriptorPointsIntoIt)
{
    const long before = dvk_mem_liveBlocks();
    static const uint32_t offsets[] = {0, 0xFFFFFFFF, 2};
    static const uint32_t lengths[] = {2, 0xFFFFFFFF, 3};
    static const uint8_t audio[] = {'a', 'b', 'c', 'd', 'e'};
    static const uint32_t textOffsets[] = {0xFFFFFFFF, 0, 9};
    static const char block[] = "Hi";
    dvk_dvkrc_PromptTable d = *dvk_dvkrc_getPromptTable(5);
    d.count = 3;
    d.audioSize = 5;
    d.textLength = 3;
    d.audioOffsets = offsets;
    d.audioLengths = lengths;
    d.audio = audio;
    d.textOffsets = textOffsets;
    d.text = block;
    dvk_prompt_Table* table = dvk_prompt_createPromptTable(5);
    ASSERT_NE(table, nullptr);
    table->ranges[0] = dvk_prompt_buildRange(&d);
    ASSERT_NE(table->ranges[0], nullptr);
    dvk_prompt_Prompt* p = dvk_prompt_createPrompt(table, 2);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(dvk_prompt_getData(p), audio + 2);
    EXPECT_EQ(p->owned, 0);
    dvk_prompt_destroyPrompt(&p);
    EXPECT_FALSE(dvk_prompt_isVocoded(table, 1));
    EXPECT_TRUE(dvk_prompt_isTts(table, 1));
    dvk_ucs2_Char* s = dvk_prompt_createTtsString(table, 1);
    EXPECT_EQ(text(s), u"Hi");
    dvk_ucs2_destroy(&s);
    EXPECT_FALSE(dvk_prompt_isTts(table, 2));  // past the text
    EXPECT_FALSE(dvk_prompt_isVocoded(table, 3));  // past the count
    // Only a text block: no audio at all.
    d.audio = nullptr;
    dvk_prompt_unloadPromptTableRange(table, 0);
    table->ranges[0] = dvk_prompt_buildRange(&d);
    EXPECT_FALSE(dvk_prompt_isVocoded(table, 0));
    EXPECT_EQ(dvk_prompt_createPrompt(table, 0), nullptr);
    EXPECT_TRUE(dvk_prompt_isTts(table, 1));
    dvk_prompt_destroyPromptTable(&table);
    EXPECT_EQ(dvk_mem_liveBlocks(), before);
}

TEST(PromptTableNames, EveryDescriptorValidatesItsOwnHeader)
{
    for (dvk_lang_Language language = 0; language < 30; ++language) {
        const dvk_dvkrc_PromptTable* d = dvk_dvkrc_getPromptTable(language);
        if (d == nullptr)
            continue;
        PromptFileWriter w;
        w.locale = d->locale;
        w.count = 447;
        w.audioSize = d->audioSize;
        const std::string header = w.bytes().substr(0, 72);
        EXPECT_TRUE(dvk_prompt_validatePromptFile(d, reinterpret_cast<const uint8_t*>(header.data())));
    }
}

} // namespace
