// "vcm_enableServiceComplete": announces the service switched by the phrase
// said; a phrase that matched none shows an empty screen and plays only the
// earcon.
#include "vcmbase_gen/common/dvk_gen_vcm_common.h"

#include "core/utils/dvk_ucs2.h"

namespace {

enum : int32_t { SERVICE_SCREEN = 92, SERVICE_EARCON = 6 };

struct ServiceTexts {
    int32_t phrase;
    int32_t title;
    int32_t body;
    int32_t prompt;
};
const ServiceTexts kServiceTexts[] = {
    {88, 537, 163, 52}, {85, 536, 162, 51}, {89, 552, 193, 188},
    {86, 551, 192, 187}, {90, 649, 263, 445}, {87, 648, 262, 444},
};

const ServiceTexts* textsOf(dvk_vcm_Session* vcms)
{
    const int32_t phrase = *dvk_gen_vcm_word(vcms);
    for (const ServiceTexts& t : kServiceTexts)
        if (t.phrase == phrase)
            return &t;
    return nullptr;
}

const dvk_ucs2_Char kNoBody[] = {0};

int enableServiceCompleteInit(dvk_vcm_Session* vcms)
{
    const ServiceTexts* t = textsOf(vcms);
    // The builder takes a body text and refuses none: an unmatched phrase shows an empty one.
    dvk_ucs2_Char* body = t != nullptr ? dvk_string_getString(dvk_vcm_stringTable(vcms), t->body)
                                       : dvk_ucs2_createCopy(kNoBody);
    if (body == nullptr)
        return 1;
    return dvk_vcm_ui_displayTextBodyStr(vcms, SERVICE_SCREEN, t != nullptr ? t->title : DVK_STR_NULL, body,
                                         dvk_gen_vcm_announcementKeys, dvk_gen_vcm_announcementEvents,
                                         DVK_GEN_ANNOUNCEMENT_TIME);
}

int enableServiceCompleteGetPrompt(dvk_vcm_Session* vcms, dvk_prompt_List* prompts, dvk_prompt_Table*)
{
    const ServiceTexts* t = textsOf(vcms);
    if (t != nullptr)
        dvk_vcm_prompt_addPrompt(prompts, dvk_vcm_promptTable(vcms), t->prompt, 2);
    dvk_vcm_prompt_addEarcon(prompts, SERVICE_EARCON);
    return dvk_prompt_checkErrorFlag(prompts);
}

const dvk_gen_vcm_Descriptor enableServiceComplete = {
    {"vcm_enableServiceComplete", enableServiceCompleteInit, enableServiceCompleteGetPrompt, nullptr, nullptr,
     nullptr, nullptr, nullptr, dvk_gen_vcm_copyWord, dvk_vcm_defaultContextDestructor},
    "vcm_enableservicecomplete/dvk_gen_vcm_enableservicecomplete.cpp",
    nullptr,
    nullptr,
    {DVK_UI_EVENT_NONE, 0},
    nullptr,
};
const dvk_vcm_Vtable& enableServiceCompleteVtable = enableServiceComplete.vtable;

const dvk_vcm_Etable enableServiceCompleteEtable[] = {
    {DVK_UI_EVENT_TIMEOUT, dvk_vcm_defaultEventTimeoutExitHandler},
    {DVK_UI_EVENT_OK, dvk_gen_vcm_announcementOkHandler},
    {DVK_UI_EVENT_BACK, dvk_gen_vcm_announcementBackHandler},
    {DVK_UI_EVENT_NONE, nullptr},
};

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newEnableServiceComplete(dvk_vcm_Session* vcms, int32_t servicePhraseId)
{
    DVK_GEN_VCM_ASSERT(enableServiceComplete.unit, vcms != DVK_NULL);
    dvk_vcm_Module* vcm = dvk_vcm_newVCM(vcms, &enableServiceCompleteVtable, enableServiceCompleteEtable);
    if (vcm == nullptr)
        return nullptr;
    vcm->context = dvk_gen_vcm_newWord(servicePhraseId);
    if (vcm->context == nullptr)
        dvk_vcm_destroy(vcms, &vcm);
    return vcm;
}
