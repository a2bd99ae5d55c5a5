// "vcm_adaptation_reset": asks whether to drop the adapted models; yes
// resets them and confirms back to the menu, no returns to it.
#include "vcmbase_gen/common/dvk_gen_vcm_common.h"

#include "core/ce/dvk_ce_dialog.h"

namespace {

const char kUnit[] = "vcm_adaptation/dvk_gen_vcm_adaptation_reset.cpp";

enum : int32_t {
    RESET_SCREEN = 111,
    RESET_TITLE = 616,
    RESET_BODY = 227,
    RESET_SOFTKEY_YES = 515,
    RESET_SOFTKEY_NO = 499,
    RESET_DISPLAY_TIME = 30000,
    RESET_SAVED_SCREEN = 112,
    RESET_SAVED_STRING = 148,
};

int resetEventYesHandler(dvk_vcm_Session* vcms, dvk_ui_Event, int32_t, dvk_msg_Message**)
{
    dvk_ce_resetAdaptation();
    return dvk_vcm_push(vcms, dvk_gen_vcm_newSettingsComplete(vcms, RESET_SAVED_SCREEN, RESET_SAVED_STRING, 2));
}

int resetEventNoHandler(dvk_vcm_Session* vcms, dvk_ui_Event, int32_t, dvk_msg_Message**)
{
    dvk_vcm_pop(vcms);
    return dvk_vcm_current(vcms) == nullptr ? 1 : 0;
}

const dvk_gen_vcm_Screen resetScreen = {
    DVK_GEN_SCREEN_TEXT, RESET_SCREEN, RESET_TITLE, RESET_BODY, -1, 0,
    {RESET_SOFTKEY_YES, DVK_STR_NULL, RESET_SOFTKEY_NO}, {DVK_UI_EVENT_YES, DVK_UI_EVENT_NONE, DVK_UI_EVENT_NO},
    RESET_DISPLAY_TIME,
};

const dvk_gen_vcm_PromptItem resetPrompts[] = {
    {DVK_GEN_PROMPT_STRING, RESET_TITLE, 1, DVK_GEN_WHEN_ALWAYS},
    {DVK_GEN_PROMPT_STRING, RESET_BODY, 0, DVK_GEN_WHEN_ALWAYS},
    {DVK_GEN_PROMPT_END, 0, 0, DVK_GEN_WHEN_ALWAYS},
};

const dvk_gen_vcm_Descriptor reset = {
    {"vcm_adaptation_reset", dvk_gen_vcm_screenInit, dvk_gen_vcm_scriptGetPrompt, nullptr, nullptr, nullptr,
     nullptr, nullptr, nullptr, nullptr},
    kUnit,
    &resetScreen,
    resetPrompts,
    {DVK_UI_EVENT_NONE, 0},
    nullptr,
};
const dvk_vcm_Vtable& resetVtable = reset.vtable;

const dvk_vcm_Etable resetEtable[] = {
    {DVK_UI_EVENT_YES, resetEventYesHandler},
    {DVK_UI_EVENT_NO, resetEventNoHandler},
    {DVK_UI_EVENT_TIMEOUT, dvk_vcm_defaultEventTimeoutExitHandler},
    {DVK_UI_EVENT_NONE, nullptr},
};

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newAdaptationReset(dvk_vcm_Session* vcms)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcms != DVK_NULL);
    return dvk_vcm_newVCM(vcms, &resetVtable, resetEtable);
}
