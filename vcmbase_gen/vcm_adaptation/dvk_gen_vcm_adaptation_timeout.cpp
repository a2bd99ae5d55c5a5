// "vcm_adaptation_timeout": a phrase was rejected twice in a row; the
// adaptation is abandoned and the user is back at the menu.
#include "vcmbase_gen/common/dvk_gen_vcm_common.h"

#include "core/ce/dvk_ce_dialog.h"

namespace {

const char kUnit[] = "vcm_adaptation/dvk_gen_vcm_adaptation_timeout.cpp";

enum : int32_t {
    FAILED_SCREEN = 110,
    FAILED_STRING = 252,
    FAILED_POPUP_TYPE = 2,
    FAILED_DISPLAY_TIME = 2000,
};

int failedInit(dvk_vcm_Session* vcms)
{
    return dvk_vcm_ui_displayPopup(vcms, FAILED_SCREEN, FAILED_STRING, FAILED_POPUP_TYPE, FAILED_DISPLAY_TIME);
}

// Pops this popup and the phrases below it.
int failedEventOkHandler(dvk_vcm_Session* vcms, dvk_ui_Event, int32_t, dvk_msg_Message**)
{
    const int ended = dvk_ce_endAdaptationSession(0);
    for (int i = 0; i < 2; i++) {
        dvk_vcm_pop(vcms);
        if (dvk_vcm_current(vcms) == nullptr)
            return 1;
    }
    return ended;
}

const dvk_gen_vcm_PromptItem failedPrompts[] = {
    {DVK_GEN_PROMPT_STRING, FAILED_STRING, 1, DVK_GEN_WHEN_ALWAYS},
    {DVK_GEN_PROMPT_END, 0, 0, DVK_GEN_WHEN_ALWAYS},
};

const dvk_gen_vcm_Descriptor failed = {
    {"vcm_adaptation_timeout", failedInit, dvk_gen_vcm_scriptGetPrompt, nullptr, nullptr, nullptr, nullptr, nullptr,
     nullptr, nullptr},
    kUnit,
    nullptr,
    failedPrompts,
    {DVK_UI_EVENT_NONE, 0},
    nullptr,
};
const dvk_vcm_Vtable& failedVtable = failed.vtable;

const dvk_vcm_Etable failedEtable[] = {
    {DVK_UI_EVENT_OK, failedEventOkHandler},
    {DVK_UI_EVENT_TIMEOUT, failedEventOkHandler},
    {DVK_UI_EVENT_NONE, nullptr},
};

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newAdaptationTimeout(dvk_vcm_Session* vcms)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcms != DVK_NULL);
    return dvk_vcm_newVCM(vcms, &failedVtable, failedEtable);
}
