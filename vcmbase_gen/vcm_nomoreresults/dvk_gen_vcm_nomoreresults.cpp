// "vcm_nomoreresults": every candidate of a confirmation was refused. Says
// so over the confirmation screen, then steps back twice: to the state
// saved before the attempt, and once more from there.
#include "vcmbase_gen/common/dvk_gen_vcm_common.h"

#include "core/ce/dvk_ce_requests.h"

namespace {

// Back to the saved state; with none saved (pushed alone) there is nothing
// to revert and the BACK that follows steps back on its own.
int revert(dvk_vcm_Session* vcms)
{
    return dvk_vcm_savedStateExists(vcms) == 1 ? dvk_vcm_revertState(vcms) : 0;
}

const char kUnit[] = "vcm_nomoreresults/dvk_gen_vcm_nomoreresults.cpp";

enum : int32_t { NOMORE_PROMPT = 332 };

int noMoreResultsGetContinuation(dvk_vcm_Session* vcms, dvk_msg_Message** message, dvk_msg_Address* recipient,
                                 dvk_msg_Address)
{
    DVK_GEN_VCM_ASSERT(kUnit, message != DVK_NULL);
    DVK_GEN_VCM_ASSERT(kUnit, recipient != DVK_NULL);
    if (revert(vcms) != 0)
        return 1;
    return dvk_gen_vcm_postEvent(DVK_UI_EVENT_BACK, 0, message, recipient);
}

int noMoreResultsEventBackHandler(dvk_vcm_Session* vcms, dvk_ui_Event event, int32_t index,
                                  dvk_msg_Message** message)
{
    if (revert(vcms) != 0)
        return 1;
    return dvk_vcm_defaultEventBackHandler(vcms, event, index, message);
}

int noMoreResultsEventSetFocusHandler(dvk_vcm_Session*, dvk_ui_Event, int32_t, dvk_msg_Message**)
{
    return 0;
}

const dvk_gen_vcm_PromptItem noMoreResultsPrompts[] = {
    {DVK_GEN_PROMPT_RECORDED, NOMORE_PROMPT, 3, DVK_GEN_WHEN_ALWAYS},
    {DVK_GEN_PROMPT_END, 0, 0, DVK_GEN_WHEN_ALWAYS},
};

const dvk_gen_vcm_Descriptor noMoreResults = {
    {"vcm_nomoreresults", nullptr, dvk_gen_vcm_scriptGetPrompt, nullptr, nullptr, noMoreResultsGetContinuation,
     nullptr, nullptr, nullptr, nullptr},
    kUnit,
    nullptr,
    noMoreResultsPrompts,
    {DVK_UI_EVENT_NONE, 0},
    nullptr,
};
const dvk_vcm_Vtable& noMoreResultsVtable = noMoreResults.vtable;

const dvk_vcm_Etable noMoreResultsEtable[] = {
    {DVK_UI_EVENT_BACK, noMoreResultsEventBackHandler},
    {DVK_UI_EVENT_SET_FOCUS, noMoreResultsEventSetFocusHandler},
    {DVK_UI_EVENT_NONE, nullptr},
};

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newNoMoreResults(dvk_vcm_Session* vcms)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcms != DVK_NULL);
    return dvk_vcm_newVCM(vcms, &noMoreResultsVtable, noMoreResultsEtable);
}
