// "vcm_changeModeComplete": announces the mode the phone was switched to,
// showing and saying its name.
#include "vcmbase_gen/common/dvk_gen_vcm_common.h"

#include "core/utils/dvk_ucs2.h"

namespace {

enum : int32_t {
    MODE_SCREEN = 50,
    MODE_TITLE = 591,
    MODE_BODY = 202,
    MODE_PROMPT = 292,
    MODE_EARCON = 6,
};

const dvk_ucs2_Char* modeName(dvk_vcm_Session* vcms)
{
    auto* name = static_cast<const dvk_ucs2_Char*>(dvk_vcm_currentContext(vcms));
    DVK_GEN_VCM_ASSERT(dvk_gen_vcm_descriptor(vcms)->unit, name != DVK_NULL);
    return name;
}

const dvk_ucs2_Char kParagraph[] = {'\n', '\n', 0};

int changeModeCompleteInit(dvk_vcm_Session* vcms)
{
    dvk_ucs2_Char* lead = dvk_string_getString(dvk_vcm_stringTable(vcms), MODE_BODY);
    dvk_ucs2_Char* body =
        lead != nullptr ? dvk_ucs2_createConcat(lead, kParagraph, modeName(vcms), static_cast<dvk_ucs2_Char*>(nullptr))
                        : nullptr;
    dvk_ucs2_destroy(&lead);
    if (body == nullptr)
        return 1;
    return dvk_vcm_ui_displayTextBodyStr(vcms, MODE_SCREEN, MODE_TITLE, body, dvk_gen_vcm_announcementKeys,
                                         dvk_gen_vcm_announcementEvents, DVK_GEN_ANNOUNCEMENT_TIME);
}

int changeModeCompleteGetPrompt(dvk_vcm_Session* vcms, dvk_prompt_List* prompts, dvk_prompt_Table*)
{
    dvk_vcm_prompt_addPrompt(prompts, dvk_vcm_promptTable(vcms), MODE_PROMPT, 2);
    dvk_vcm_prompt_addText(prompts, modeName(vcms), 3);
    dvk_vcm_prompt_addEarcon(prompts, MODE_EARCON);
    return dvk_prompt_checkErrorFlag(prompts);
}

const dvk_gen_vcm_Descriptor changeModeComplete = {
    {"vcm_changeModeComplete", changeModeCompleteInit, changeModeCompleteGetPrompt, nullptr, nullptr, nullptr,
     nullptr, nullptr, nullptr, dvk_vcm_defaultContextDestructor},
    "vcm_changemodecomplete/dvk_gen_vcm_changemodecomplete.cpp",
    nullptr,
    nullptr,
    {DVK_UI_EVENT_NONE, 0},
    nullptr,
};
const dvk_vcm_Vtable& changeModeCompleteVtable = changeModeComplete.vtable;

const dvk_vcm_Etable changeModeCompleteEtable[] = {
    {DVK_UI_EVENT_TIMEOUT, dvk_vcm_defaultEventTimeoutExitHandler},
    {DVK_UI_EVENT_OK, dvk_gen_vcm_announcementOkHandler},
    {DVK_UI_EVENT_BACK, dvk_gen_vcm_announcementBackHandler},
    {DVK_UI_EVENT_NONE, nullptr},
};

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newChangeModeComplete(dvk_vcm_Session* vcms, const dvk_ucs2_Char* modeName)
{
    DVK_GEN_VCM_ASSERT(changeModeComplete.unit, vcms != DVK_NULL);
    DVK_GEN_VCM_ASSERT(changeModeComplete.unit, modeName != DVK_NULL);
    dvk_vcm_Module* vcm = dvk_vcm_newVCM(vcms, &changeModeCompleteVtable, changeModeCompleteEtable);
    if (vcm == nullptr)
        return nullptr;
    vcm->context = dvk_ucs2_createCopy(modeName);
    if (vcm->context == nullptr)
        dvk_vcm_destroy(vcms, &vcm);
    return vcm;
}
