// "vcm_nomatch_listen": nothing was recognised; asks whether to try again.
// Yes goes back to the state saved before the failed attempt, no (or two
// answers not understood) to the state that does not listen.
#include "vcmbase_gen/common/dvk_gen_vcm_failure.h"

namespace {

const char kUnit[] = "vcm_nomatch_listen/dvk_gen_vcm_nomatch_listen.cpp";

enum : int32_t {
    NOMATCH_TITLE = 593,
    NOMATCH_BODY = 254,
    NOMATCH_PROMPT = 325,
    NOMATCH_PROMPT_AGAIN = 416,
};

int noMatchInit(dvk_vcm_Session* vcms)
{
    const bool root = dvk_vcm_getGateCmd(vcms) == 0;
    const int32_t softkeys[3] = {root ? int32_t{DVK_GEN_STR_SOFTKEY_TUTORIAL} : int32_t{DVK_GEN_STR_SOFTKEY_HELP}, DVK_STR_NULL,
                                 DVK_GEN_STR_SOFTKEY_BACK};
    const dvk_ui_Event events[3] = {root ? DVK_UI_EVENT_TUTORIAL : DVK_UI_EVENT_HELP, DVK_UI_EVENT_NONE,
                                    DVK_UI_EVENT_BACK};
    const int32_t phrases[2] = {DVK_GEN_STR_PHRASE_YES, DVK_GEN_STR_PHRASE_NO};
    return dvk_vcm_ui_displayListen(vcms, dvk_gen_vcm_failureScreen(vcms, DVK_GEN_FAILURE_NOMATCH_LISTEN, kUnit),
                                    NOMATCH_TITLE, NOMATCH_BODY, -1, DVK_GEN_STR_PANEL_BAR, phrases, 2, softkeys,
                                    events, 0, DVK_GEN_FAILURE_DISPLAY_TIME);
}

int noMatchEventSelectHandler(dvk_vcm_Session* vcms, dvk_ui_Event, int32_t index, dvk_msg_Message** message)
{
    if (index == 0)
        return dvk_vcm_defaultEventBackHandler(vcms, DVK_UI_EVENT_BACK, 0, message);
    if (index != 1)
        return 0;
    dvk_vcm_Module* next = dvk_gen_vcm_newNoMatchNonListening(vcms);
    if (next == nullptr)
        return 1;
    dvk_vcm_pop(vcms);
    return dvk_vcm_push(vcms, next);
}

const dvk_gen_vcm_PromptItem noMatchPrompts[] = {
    {DVK_GEN_PROMPT_EARCON, DVK_GEN_EARCON_FAILURE, 0, DVK_GEN_WHEN_FIRST},
    {DVK_GEN_PROMPT_RECORDED, NOMATCH_PROMPT, 2, DVK_GEN_WHEN_FIRST},
    {DVK_GEN_PROMPT_RECORDED, NOMATCH_PROMPT_AGAIN, 2, DVK_GEN_WHEN_RETRY},
    {DVK_GEN_PROMPT_EARCON, DVK_GEN_EARCON_QUESTION, 0, DVK_GEN_WHEN_ALWAYS},
    {DVK_GEN_PROMPT_END, 0, 0, DVK_GEN_WHEN_ALWAYS},
};

const dvk_gen_vcm_Descriptor noMatch = {
    {"vcm_nomatch_listen", noMatchInit, dvk_gen_vcm_scriptGetPrompt, dvk_gen_vcm_yesNoGetMenuReadoutPrompt,
     dvk_gen_vcm_yesNoGetConstraints, nullptr, dvk_gen_vcm_yesNoHandleResult, nullptr, nullptr, nullptr},
    kUnit,
    nullptr,
    noMatchPrompts,
    {DVK_UI_EVENT_NONE, 0},
    nullptr,
};
const dvk_vcm_Vtable& noMatchVtable = noMatch.vtable;

const dvk_vcm_Etable noMatchEtable[] = {
    {DVK_UI_EVENT_SELECT, noMatchEventSelectHandler},
    {DVK_UI_EVENT_YES, dvk_vcm_defaultEventYesHandler},
    {DVK_UI_EVENT_NO, dvk_vcm_defaultEventNoHandler},
    {DVK_UI_EVENT_TIMEOUT, dvk_vcm_defaultEventTimeoutExitHandler},
    {DVK_UI_EVENT_NONE, nullptr},
};

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newNoMatchFound(dvk_vcm_Session* vcms)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcms != DVK_NULL);
    return dvk_vcm_newVCM(vcms, &noMatchVtable, noMatchEtable);
}
