// "vcm_nocontacts_nonlisten": the phonebook is empty; shows and says so,
// and ADD_CONTACT hands the application the look-up answer with no name.
#include "vcmbase_gen/common/dvk_gen_vcm_failure.h"

namespace {

const char kUnit[] = "vcm_nocontacts_nonlisten/dvk_gen_vcm_nocontacts_nonlisten.cpp";

enum : int32_t {
    NOCONTACTS_TITLE = 602,
    NOCONTACTS_BODY = 154,
    NOCONTACTS_PROMPT = 351,
    NOCONTACTS_FEATURE = 64,
};

int noContactsNonListenInit(dvk_vcm_Session* vcms)
{
    const int32_t softkeys[3] = {DVK_GEN_STR_SOFTKEY_ADD_CONTACT, DVK_STR_NULL, DVK_GEN_STR_SOFTKEY_BACK};
    const dvk_ui_Event events[3] = {DVK_UI_EVENT_ADD_CONTACT, DVK_UI_EVENT_NONE, DVK_UI_EVENT_BACK};
    return dvk_vcm_ui_displayText(vcms,
                                  dvk_gen_vcm_failureScreen(vcms, DVK_GEN_FAILURE_NOCONTACTS_NONLISTEN, kUnit),
                                  NOCONTACTS_TITLE, NOCONTACTS_BODY, softkeys, events, DVK_GEN_FAILURE_DISPLAY_TIME);
}

const dvk_gen_vcm_PromptItem withFeature[] = {
    {DVK_GEN_PROMPT_EARCON, DVK_GEN_EARCON_FAILURE, 0, DVK_GEN_WHEN_ALWAYS},
    {DVK_GEN_PROMPT_RECORDED, NOCONTACTS_PROMPT, 2, DVK_GEN_WHEN_ALWAYS},
    {DVK_GEN_PROMPT_END, 0, 0, DVK_GEN_WHEN_ALWAYS},
};
const dvk_gen_vcm_PromptItem withoutFeature[] = {
    {DVK_GEN_PROMPT_STRING, NOCONTACTS_TITLE, 1, DVK_GEN_WHEN_ALWAYS},
    {DVK_GEN_PROMPT_STRING, NOCONTACTS_BODY, 0, DVK_GEN_WHEN_ALWAYS},
    {DVK_GEN_PROMPT_END, 0, 0, DVK_GEN_WHEN_ALWAYS},
};

int noContactsNonListenGetPrompt(dvk_vcm_Session* vcms, dvk_prompt_List* prompts, dvk_prompt_Table*)
{
    DVK_GEN_VCM_ASSERT(kUnit, prompts != DVK_NULL);
    dvk_gen_vcm_addPrompts(vcms, prompts,
                           dvk_gen_vcm_featureOn(NOCONTACTS_FEATURE) == 1 ? withFeature : withoutFeature, 0);
    return dvk_prompt_checkErrorFlag(prompts);
}

int noContactsNonListenEventAddContactHandler(dvk_vcm_Session* vcms, dvk_ui_Event, int32_t,
                                              dvk_msg_Message** message)
{
    dvk_vcm_clearStack(vcms);
    return dvk_gen_vcm_notifyLookup(vcms, nullptr, message);
}

const dvk_gen_vcm_Descriptor noContactsNonListen = {
    {"vcm_nocontacts_nonlisten", noContactsNonListenInit, noContactsNonListenGetPrompt, nullptr, nullptr, nullptr,
     nullptr, nullptr, nullptr, nullptr},
    kUnit,
    nullptr,
    nullptr,
    {DVK_UI_EVENT_NONE, 0},
    nullptr,
};
const dvk_vcm_Vtable& noContactsNonListenVtable = noContactsNonListen.vtable;

const dvk_vcm_Etable noContactsNonListenEtable[] = {
    {DVK_UI_EVENT_ADD_CONTACT, noContactsNonListenEventAddContactHandler},
    {DVK_UI_EVENT_TIMEOUT, dvk_vcm_defaultEventTimeoutExitHandler},
    {DVK_UI_EVENT_NONE, nullptr},
};

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newNoContactsNonListening(dvk_vcm_Session* vcms)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcms != DVK_NULL);
    return dvk_vcm_newVCM(vcms, &noContactsNonListenVtable, noContactsNonListenEtable);
}
