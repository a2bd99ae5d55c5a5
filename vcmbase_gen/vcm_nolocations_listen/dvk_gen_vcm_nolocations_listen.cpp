// "vcm_nolocations_listen": the contact has no number of the kind the
// command needs; asks whether to add one. Yes hands the application the
// look-up answer with the name; no (or two answers not understood) goes to
// the state that does not listen, with the same name.
#include "vcmbase_gen/common/dvk_gen_vcm_failure.h"

namespace {

const char kUnit[] = "vcm_nolocations_listen/dvk_gen_vcm_nolocations_listen.cpp";

enum : int32_t {
    LOOKUP_GATE = 13,
    NOLOCATIONS_TITLE = 596,
    NOLOCATIONS_TITLE_LOOKUP = 594,
    NOLOCATIONS_BODY = 153,
    NOLOCATIONS_BODY_LOOKUP = 156,
    NOLOCATIONS_PROMPT = 330,
    NOLOCATIONS_PROMPT_LOOKUP = 327,
    NOLOCATIONS_QUESTION = 34,
    NOLOCATIONS_QUESTION_LOOKUP = 35,
};

bool lookup(dvk_vcm_Session* vcms)
{
    return dvk_vcm_getGateCmd(vcms) == LOOKUP_GATE;
}

int noLocationsInit(dvk_vcm_Session* vcms)
{
    const dvk_gen_vcm_NameContext* ctx = dvk_gen_vcm_nameContext(vcms);
    const bool l = lookup(vcms);
    const int32_t softkeys[3] = {DVK_GEN_STR_SOFTKEY_HELP, DVK_STR_NULL, DVK_GEN_STR_SOFTKEY_BACK};
    const dvk_ui_Event events[3] = {DVK_UI_EVENT_HELP, DVK_UI_EVENT_NONE, DVK_UI_EVENT_BACK};
    const int32_t phrases[2] = {DVK_GEN_STR_PHRASE_YES, DVK_GEN_STR_PHRASE_NO};
    const dvk_ui_ScreenId screen = dvk_gen_vcm_failureScreen(vcms, DVK_GEN_FAILURE_NOLOCATIONS_LISTEN, kUnit);
    dvk_ucs2_Char* body =
        dvk_gen_vcm_nameAndString(vcms, ctx->name, l ? NOLOCATIONS_BODY_LOOKUP : NOLOCATIONS_BODY);
    if (body == nullptr)
        return 1;
    return dvk_vcm_ui_displayListenBodyStr(vcms, screen, l ? NOLOCATIONS_TITLE_LOOKUP : NOLOCATIONS_TITLE, body, -1,
                                           DVK_GEN_STR_PANEL_BAR, phrases, 2, softkeys, events, 0,
                                           DVK_GEN_FAILURE_DISPLAY_TIME);
}

int noLocationsGetPrompt(dvk_vcm_Session* vcms, dvk_prompt_List* prompts, dvk_prompt_Table*)
{
    const dvk_gen_vcm_NameContext* ctx = dvk_gen_vcm_nameContext(vcms);
    DVK_GEN_VCM_ASSERT(kUnit, prompts != DVK_NULL);
    const bool l = lookup(vcms);
    if (dvk_vcm_current(vcms)->state == 0) {
        dvk_vcm_prompt_addEarcon(prompts, DVK_GEN_EARCON_FAILURE);
        if (dvk_vcm_getConfirmType(vcms) == 0)
            dvk_vcm_prompt_addWords(prompts, ctx->wordIds, ctx->wordIdCount, 3);
        dvk_vcm_prompt_addPrompt(prompts, dvk_vcm_promptTable(vcms),
                                 l ? NOLOCATIONS_PROMPT_LOOKUP : NOLOCATIONS_PROMPT, 2);
    }
    dvk_vcm_prompt_addPrompt(prompts, dvk_vcm_promptTable(vcms),
                             l ? NOLOCATIONS_QUESTION_LOOKUP : NOLOCATIONS_QUESTION, 2);
    dvk_vcm_prompt_addEarcon(prompts, DVK_GEN_EARCON_QUESTION);
    return dvk_prompt_checkErrorFlag(prompts);
}

int noLocationsEventSelectHandler(dvk_vcm_Session* vcms, dvk_ui_Event, int32_t index, dvk_msg_Message** message)
{
    const dvk_gen_vcm_NameContext* ctx = dvk_gen_vcm_nameContext(vcms);
    if (index == 0) {
        const int result = dvk_gen_vcm_notifyLookup(vcms, ctx->name, message);
        dvk_vcm_clearStack(vcms);
        return result;
    }
    if (index != 1)
        return 0;
    dvk_vcm_Module* next = dvk_gen_vcm_newNoLocationsNonListening(
        vcms, ctx->name, reinterpret_cast<const uint32_t*>(ctx->wordIds), ctx->wordIdCount);
    if (next == nullptr)
        return 1;
    dvk_vcm_pop(vcms);
    return dvk_vcm_push(vcms, next);
}

const dvk_gen_vcm_Descriptor noLocations = {
    {"vcm_nolocations_listen", noLocationsInit, noLocationsGetPrompt, dvk_gen_vcm_yesNoGetMenuReadoutPrompt,
     dvk_gen_vcm_yesNoGetConstraints, nullptr, dvk_gen_vcm_yesNoHandleResult, nullptr, nullptr,
     dvk_gen_vcm_nameContextDestructor},
    kUnit,
    nullptr,
    nullptr,
    {DVK_UI_EVENT_NONE, 0},
    nullptr,
};
const dvk_vcm_Vtable& noLocationsVtable = noLocations.vtable;

const dvk_vcm_Etable noLocationsEtable[] = {
    {DVK_UI_EVENT_SELECT, noLocationsEventSelectHandler},
    {DVK_UI_EVENT_YES, dvk_vcm_defaultEventYesHandler},
    {DVK_UI_EVENT_NO, dvk_vcm_defaultEventNoHandler},
    {DVK_UI_EVENT_TIMEOUT, dvk_vcm_defaultEventTimeoutExitHandler},
    {DVK_UI_EVENT_NONE, nullptr},
};

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newNoLocations(dvk_vcm_Session* vcms, const dvk_ucs2_Char* name,
                                           const uint32_t* wordIds, int32_t wordIdCount)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcms != DVK_NULL);
    dvk_vcm_Module* vcm = dvk_vcm_newVCM(vcms, &noLocationsVtable, noLocationsEtable);
    if (!dvk_gen_vcm_attachNameContext(vcms, &vcm, name, wordIds, wordIdCount, DVK_STR_NULL))
        return nullptr;
    return vcm;
}
