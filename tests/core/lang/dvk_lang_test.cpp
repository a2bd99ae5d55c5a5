#include "core/lang/dvk_lang.h"

#include "core/lang/dvk_dvkrc.h"
#include "oem/dvk_oem_settings.h"
#include "platform/core/wex_root.h"
#include "tests/support/suite_memory.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

using LangTest = SuiteMemoryTest;

// The name, freed.
std::string take(char* name)
{
    std::string out = name != nullptr ? name : "(null)";
    dvk_mem_dealloc(&name);
    return out;
}

TEST_F(LangTest, EveryFileNameOfALanguage)
{
    struct Case {
        char* (*make)(dvk_lang_Language);
        const char* name;
    };
    const Case cases[] = {
        {dvk_lang_getLanguageModelFileName, "lvr_enus.bin"},
        {dvk_lang_getDictationModelFileName, "lvd_enus.bin"},
        {dvk_lang_getTTSOnlyModelFileName, "lvt_enus.bin"},
        {dvk_lang_getRecognitionAdaptedModelFileName, "dvk_mdl_enus.dat"},
        {dvk_lang_getRecognitionVocabFileName, "dvk_voc_enus.dat"},
        {dvk_lang_getDictationAdaptedModelFileName, "dvk_dict_mdl_enus.dat"},
        {dvk_lang_getDictationVocabFileName, "dvk_dict_voc_enus.dat"},
        {dvk_lang_getEnrollmentDataFileName, "enr_dat_enus.bin"},
        {dvk_lang_getEnrollmentAudioFileName, "enr_aud_enus.bin"},
        {dvk_lang_getTonveraUserResFileName, "ures_enu.dat"},
        {dvk_lang_getPromptsFileName, "prm_enus.bin"},
        {dvk_lang_getStringsFileName, "str_enus.bin"},
        {dvk_lang_getImagesFileName, "img_enus.bin"},
        {dvk_lang_getVSearchPromptsFileName, "vprm_enus.bin"},
        {dvk_lang_getVSearchStringsFileName, "vstr_enus.bin"},
        {dvk_lang_getVSearchImagesFileName, "vimg_enus.bin"},
        {dvk_lang_getVSearchFontsFileName, "vfnt_enus.bin"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(take(c.make(5)), c.name);
        dvk_mem_failAfter(0);
        EXPECT_EQ(c.make(5), nullptr) << c.name;
        dvk_mem_failAfter(-1);
    }
    EXPECT_EQ(take(dvk_lang_getVSearchScriptsFileName()), "vscr_res.bin");
    EXPECT_STREQ(dvk_lang_getLanguageModelString(14), "nlnl");
    EXPECT_STREQ(dvk_lang_getTonveraLanguageString(14), "dun");
    EXPECT_EQ(take(dvk_lang_getTonveraUserResFileName(29)), "ures_mnt.dat");
}

TEST_F(LangTest, CodesSharedAndOutOfRange)
{
    for (dvk_lang_Language language : {23, 24, 27, 28})
        EXPECT_STREQ(dvk_lang_getTonveraLanguageString(language), "cah") << language;
    EXPECT_EQ(dvk_lang_getRecognitionAdaptedModelFileName(30), nullptr);
    EXPECT_EQ(dvk_lang_getTonveraUserResFileName(30), nullptr);
    EXPECT_DEATH(dvk_lang_getLanguageModelFileName(30),
                 "\\(language >= DVK_LANG_LANGUAGE_FIRST\\) && \\(language < DVK_LANG_LANGUAGE_MAX\\)");
    EXPECT_DEATH(dvk_lang_getRecognitionVocabFileName(31), "language <= DVK_LANG_LANGUAGE_MAX");
    EXPECT_DEATH(dvk_lang_getStringsFileName(-1), "language >= DVK_LANG_LANGUAGE_FIRST");
}

TEST_F(LangTest, ConfigurationNameFollowsTheBase)
{
    std::filesystem::create_directories(wexRootPath("/media/cryptofs/data"));
    const char* names[] = {"dvk_config_gen.bin", "dvk_config_raz.bin", "dvk_config_gen_uc.bin",
                           "dvk_config_raz_uc.bin"};
    for (int32_t base = 0; base < 4; ++base) {
        oemSettingsSetVCMBase(base);
        EXPECT_EQ(take(dvk_lang_getConfigMgrFileName()), names[base]);
    }
    oemSettingsSetVCMBase(4);
    EXPECT_DEATH(dvk_lang_getConfigMgrFileName(), "base <= 3");
}

TEST_F(LangTest, DescriptorsForFourteenLanguages)
{
    struct Case {
        dvk_lang_Language language;
        uint32_t encoding, textLength, audioSize;
    };
    const Case cases[] = {
        {5, 1, 16812, 311818},  {7, 0, 20311, 383214},  {4, 0, 16910, 308997},
        {9, 0, 19108, 352170},  {11, 0, 18763, 356889}, {1, 0, 20117, 364390},
        {10, 0, 19082, 292552}, {6, 0, 19655, 344747},  {17, 1, 18673, 371462},
        {18, 0, 18665, 414700}, {14, 1, 18601, 316420}, {22, 0, 7013, 443170},
        {25, 0, 6913, 422890},  {24, 0, 6915, 392548},
    };
    int described = 0;
    for (dvk_lang_Language language = 0; language < 30; ++language) {
        const dvk_dvkrc_StringTable* strings = dvk_dvkrc_getStringTable(language);
        const dvk_dvkrc_ImageTable* images = dvk_dvkrc_getImageTable(language);
        const dvk_dvkrc_PromptTable* prompts = dvk_dvkrc_getPromptTable(language);
        EXPECT_EQ(strings == nullptr, images == nullptr);
        EXPECT_EQ(strings == nullptr, prompts == nullptr);
        described += strings != nullptr;
    }
    EXPECT_EQ(described, 14);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.language);
        const dvk_dvkrc_StringTable* s = dvk_dvkrc_getStringTable(c.language);
        ASSERT_NE(s, nullptr);
        EXPECT_STREQ(s->version, "20110107.1.16");
        EXPECT_STREQ(s->locale, dvk_lang_getResourceString(c.language));
        EXPECT_EQ(s->magic, 0x12345678u);
        EXPECT_EQ(s->encoding, c.encoding);
        EXPECT_EQ(s->count, 679u);
        EXPECT_EQ(s->textLength, c.textLength);
        EXPECT_EQ(s->offsets, nullptr);
        const dvk_dvkrc_ImageTable* i = dvk_dvkrc_getImageTable(c.language);
        EXPECT_STREQ(i->locale, dvk_lang_getResourceString(c.language));
        EXPECT_EQ(i->count, 3u);
        EXPECT_EQ(i->perSizeClass, 3u);
        EXPECT_EQ(i->dataSize, 44594u);
        const dvk_dvkrc_PromptTable* p = dvk_dvkrc_getPromptTable(c.language);
        EXPECT_STREQ(p->vocoder, "AMR");
        EXPECT_EQ(p->count, 447u);
        EXPECT_EQ(p->audioSize, c.audioSize);
        EXPECT_EQ(p->encoding, 1u);
        EXPECT_EQ(p->textLength, 0u);
    }
}

} // namespace
