// "vcm_nocontacts_listen": the phonebook is empty; asks whether to add a
// contact. Yes hands the application the look-up answer with no name, no
// (or two answers not understood) goes to the state that does not listen.
#include "vcmbase_gen/common/dvk_gen_vcm_failure.h"

namespace {

const char kUnit[] = "vcm_nocontacts_listen/dvk_gen_vcm_nocontacts_listen.cpp";

enum : int32_t {
    NOCONTACTS_TITLE = 602,
    NOCONTACTS_BODY = 151,
    NOCONTACTS_PROMPT = 351,
    NOCONTACTS_QUESTION = 33,
};

int noContactsInit(dvk_vcm_Session* vcms)
{
    const int32_t softkeys[3] = {DVK_GEN_STR_SOFTKEY_HELP, DVK_STR_NULL, DVK_GEN_STR_SOFTKEY_BACK};
    const dvk_ui_Event events[3] = {DVK_UI_EVENT_HELP, DVK_UI_EVENT_NONE, DVK_UI_EVENT_BACK};
    const int32_t phrases[2] = {DVK_GEN_STR_PHRASE_YES, DVK_GEN_STR_PHRASE_NO};
    return dvk_vcm_ui_displayListen(vcms,
                                    dvk_gen_vcm_failureScreen(vcms, DVK_GEN_FAILURE_NOCONTACTS_LISTEN, kUnit),
                                    NOCONTACTS_TITLE, NOCONTACTS_BODY, -1, DVK_GEN_STR_PANEL_BAR, phrases, 2,
                                    softkeys, events, 0, DVK_GEN_FAILURE_DISPLAY_TIME);
}

int noContactsEventSelectHandler(dvk_vcm_Session* vcms, dvk_ui_Event, int32_t index, dvk_msg_Message** message)
{
    if (index == 0) {
        dvk_vcm_clearStack(vcms);
        return dvk_gen_vcm_notifyLookup(vcms, nullptr, message);
    }
    if (index != 1)
        return 0;
    dvk_vcm_Module* next = dvk_gen_vcm_newNoContactsNonListening(vcms);
    if (next == nullptr)
        return 1;
    dvk_vcm_pop(vcms);
    return dvk_vcm_push(vcms, next);
}

const dvk_gen_vcm_PromptItem noContactsPrompts[] = {
    {DVK_GEN_PROMPT_EARCON, DVK_GEN_EARCON_FAILURE, 0, DVK_GEN_WHEN_FIRST},
    {DVK_GEN_PROMPT_RECORDED, NOCONTACTS_PROMPT, 2, DVK_GEN_WHEN_FIRST},
    {DVK_GEN_PROMPT_RECORDED, NOCONTACTS_QUESTION, 2, DVK_GEN_WHEN_ALWAYS},
    {DVK_GEN_PROMPT_EARCON, DVK_GEN_EARCON_QUESTION, 0, DVK_GEN_WHEN_ALWAYS},
    {DVK_GEN_PROMPT_END, 0, 0, DVK_GEN_WHEN_ALWAYS},
};

const dvk_gen_vcm_Descriptor noContacts = {
    {"vcm_nocontacts_listen", noContactsInit, dvk_gen_vcm_scriptGetPrompt, dvk_gen_vcm_yesNoGetMenuReadoutPrompt,
     dvk_gen_vcm_yesNoGetConstraints, nullptr, dvk_gen_vcm_yesNoHandleResult, nullptr, nullptr, nullptr},
    kUnit,
    nullptr,
    noContactsPrompts,
    {DVK_UI_EVENT_NONE, 0},
    nullptr,
};
const dvk_vcm_Vtable& noContactsVtable = noContacts.vtable;

const dvk_vcm_Etable noContactsEtable[] = {
    {DVK_UI_EVENT_SELECT, noContactsEventSelectHandler},
    {DVK_UI_EVENT_YES, dvk_vcm_defaultEventYesHandler},
    {DVK_UI_EVENT_NO, dvk_vcm_defaultEventNoHandler},
    {DVK_UI_EVENT_TIMEOUT, dvk_vcm_defaultEventTimeoutExitHandler},
    {DVK_UI_EVENT_NONE, nullptr},
};

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newNoContactsAvailable(dvk_vcm_Session* vcms)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcms != DVK_NULL);
    return dvk_vcm_newVCM(vcms, &noContactsVtable, noContactsEtable);
}
