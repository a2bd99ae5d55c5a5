#include "core/lang/dvk_lang.h"

#include "core/utils/dvk_cstr.h"
#include "sdk/common/dvk_assert.h"
#include "sdk/common/dvk_mem.h"
#include "sdk/common/dvk_settings.h"

#include <cstring>

namespace {

struct LanguageRow {
    uint32_t id;
    char model[5];
    char synthesis[4];
    char resource[7];
};
static_assert(sizeof(LanguageRow) == 20);

const LanguageRow languageTable[DVK_LANG_LANGUAGE_MAX] = {
    {0, "dadk", "dad", "dadk"},  {1, "dede", "ged", "dede"},  {2, "elgr", "grg", "elgr"},
    {3, "enau", "ena", "enau"},  {4, "engb", "eng", "engb"},  {5, "enus", "enu", "enus"},
    {6, "eses", "spe", "eses"},  {7, "esmx", "spm", "esmx"},  {8, "fifi", "fif", "fifi"},
    {9, "frca", "frc", "frca"},  {10, "frfr", "frf", "frfr"}, {11, "itit", "iti", "itit"},
    {12, "jajp", "jpj", "jajp"}, {13, "kokr", "kok", "kokr"}, {14, "nlnl", "dun", "nlnl"},
    {15, "nono", "non", "nono"}, {16, "plpl", "plp", "plpl"}, {17, "ptbr", "ptb", "ptbr"},
    {18, "ptpt", "ptp", "ptpt"}, {19, "ruru", "rur", "ruru"}, {20, "svse", "sws", "svse"},
    {21, "ukua", "uku", "ukua"}, {22, "zecn", "mnc", "zecn"}, {23, "zect", "cah", "zect"},
    {24, "zehk", "cah", "zehk"}, {25, "zetw", "mnt", "zetw"}, {26, "zhcn", "mnc", "zhcn"},
    {27, "zhct", "cah", "zhct"}, {28, "zhhk", "cah", "zhhk"}, {29, "zhtw", "mnt", "zhtw"},
};

enum Code { MODEL, SYNTHESIS, RESOURCE };

// The row whose id is the language; none for 30.
const LanguageRow* findRow(dvk_lang_Language language)
{
    for (const LanguageRow& row : languageTable)
        if (static_cast<int64_t>(row.id) == language)
            return &row;
    return nullptr;
}

const char* codeOf(const LanguageRow* row, Code code)
{
    if (row == nullptr)
        return nullptr;
    return code == MODEL ? row->model : code == SYNTHESIS ? row->synthesis : row->resource;
}

const char* checkedCode(dvk_lang_Language language, Code code)
{
    DVK_ASSERT((language >= DVK_LANG_LANGUAGE_FIRST) && (language < DVK_LANG_LANGUAGE_MAX));
    return codeOf(findRow(language), code);
}

// The five user-data names also accept 30 (no row: no name).
const char* userDataCode(dvk_lang_Language language, Code code)
{
    DVK_ASSERT((language >= DVK_LANG_LANGUAGE_FIRST) && (language <= DVK_LANG_LANGUAGE_MAX));
    return codeOf(findRow(language), code);
}

char* makeFileName(const char* prefix, const char* code, const char* suffix)
{
    if (prefix == nullptr || code == nullptr)
        return nullptr;
    size_t size = std::strlen(prefix) + std::strlen(code) + std::strlen(suffix) + 1;
    char* name = static_cast<char*>(dvk_mem_alloc(size));
    if (name == nullptr)
        return nullptr;
    std::strcpy(name, prefix);
    std::strcat(name, code);
    std::strcat(name, suffix);
    return name;
}

} // namespace

const char* dvk_lang_getLanguageModelString(dvk_lang_Language language) { return checkedCode(language, MODEL); }
const char* dvk_lang_getTonveraLanguageString(dvk_lang_Language language) { return checkedCode(language, SYNTHESIS); }
const char* dvk_lang_getResourceString(dvk_lang_Language language) { return checkedCode(language, RESOURCE); }

char* dvk_lang_getLanguageModelFileName(dvk_lang_Language l) { return makeFileName("lvr_", checkedCode(l, MODEL), ".bin"); }
char* dvk_lang_getDictationModelFileName(dvk_lang_Language l) { return makeFileName("lvd_", checkedCode(l, MODEL), ".bin"); }
char* dvk_lang_getTTSOnlyModelFileName(dvk_lang_Language l) { return makeFileName("lvt_", checkedCode(l, MODEL), ".bin"); }
char* dvk_lang_getRecognitionAdaptedModelFileName(dvk_lang_Language l) { return makeFileName("dvk_mdl_", userDataCode(l, MODEL), ".dat"); }
char* dvk_lang_getRecognitionVocabFileName(dvk_lang_Language l) { return makeFileName("dvk_voc_", userDataCode(l, MODEL), ".dat"); }
char* dvk_lang_getDictationAdaptedModelFileName(dvk_lang_Language l) { return makeFileName("dvk_dict_mdl_", userDataCode(l, MODEL), ".dat"); }
char* dvk_lang_getDictationVocabFileName(dvk_lang_Language l) { return makeFileName("dvk_dict_voc_", userDataCode(l, MODEL), ".dat"); }
char* dvk_lang_getTonveraUserResFileName(dvk_lang_Language l) { return makeFileName("ures_", userDataCode(l, SYNTHESIS), ".dat"); }
char* dvk_lang_getEnrollmentDataFileName(dvk_lang_Language l) { return makeFileName("enr_dat_", checkedCode(l, MODEL), ".bin"); }
char* dvk_lang_getEnrollmentAudioFileName(dvk_lang_Language l) { return makeFileName("enr_aud_", checkedCode(l, MODEL), ".bin"); }
char* dvk_lang_getPromptsFileName(dvk_lang_Language l) { return makeFileName("prm_", checkedCode(l, RESOURCE), ".bin"); }
char* dvk_lang_getStringsFileName(dvk_lang_Language l) { return makeFileName("str_", checkedCode(l, RESOURCE), ".bin"); }
char* dvk_lang_getImagesFileName(dvk_lang_Language l) { return makeFileName("img_", checkedCode(l, RESOURCE), ".bin"); }
char* dvk_lang_getVSearchPromptsFileName(dvk_lang_Language l) { return makeFileName("vprm_", checkedCode(l, RESOURCE), ".bin"); }
char* dvk_lang_getVSearchStringsFileName(dvk_lang_Language l) { return makeFileName("vstr_", checkedCode(l, RESOURCE), ".bin"); }
char* dvk_lang_getVSearchImagesFileName(dvk_lang_Language l) { return makeFileName("vimg_", checkedCode(l, RESOURCE), ".bin"); }
char* dvk_lang_getVSearchFontsFileName(dvk_lang_Language l) { return makeFileName("vfnt_", checkedCode(l, RESOURCE), ".bin"); }

char* dvk_lang_getConfigMgrFileName()
{
    static const char* const variants[] = {"gen", "raz", "gen_uc", "raz_uc"};
    int32_t base = dvk_settings_getVCMBase();
    DVK_ASSERT((base >= 0) && (base <= 3));
    size_t size = base < 2 ? 21 : 24;
    char* name = static_cast<char*>(dvk_mem_alloc(size));
    if (name != nullptr)
        dvk_cstr_formatText(name, size, "dvk_config_%s.bin", variants[base]);
    return name;
}

char* dvk_lang_getVSearchScriptsFileName()
{
    return makeFileName("vscr_res", "", ".bin");
}
