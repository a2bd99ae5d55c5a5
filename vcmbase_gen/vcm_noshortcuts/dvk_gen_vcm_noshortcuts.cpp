// "vcm_noshortcuts": no shortcut is set up; SETTINGS opens the settings menu.
#include "vcmbase_gen/common/dvk_gen_vcm_failure.h"

namespace {

const dvk_gen_vcm_Screen screen = {
    DVK_GEN_SCREEN_TEXT, 45, 601, 234, -1, 0,
    {509, DVK_STR_NULL, DVK_GEN_STR_SOFTKEY_BACK}, {DVK_UI_EVENT_SETTINGS, DVK_UI_EVENT_NONE, DVK_UI_EVENT_BACK},
    DVK_GEN_FAILURE_DISPLAY_TIME,
};

const dvk_gen_vcm_PromptItem prompts[] = {
    {DVK_GEN_PROMPT_EARCON, DVK_GEN_EARCON_FAILURE, 0, DVK_GEN_WHEN_ALWAYS},
    {DVK_GEN_PROMPT_RECORDED, 349, 2, DVK_GEN_WHEN_ALWAYS},
    {DVK_GEN_PROMPT_STRING, 234, 0, DVK_GEN_WHEN_ALWAYS},
    {DVK_GEN_PROMPT_END, 0, 0, DVK_GEN_WHEN_ALWAYS},
};

const dvk_gen_vcm_Descriptor descriptor = {
    {"vcm_noshortcuts", dvk_gen_vcm_screenInit, dvk_gen_vcm_scriptGetPrompt, nullptr, nullptr, nullptr, nullptr, nullptr,
     nullptr, nullptr},
    "vcm_noshortcuts/dvk_gen_vcm_noshortcuts.cpp",
    &screen,
    prompts,
    {DVK_UI_EVENT_NONE, 0},
    nullptr,
};
const dvk_vcm_Vtable& vtable = descriptor.vtable;

const dvk_vcm_Etable etable[] = {
    {DVK_UI_EVENT_SETTINGS, dvk_vcm_defaultEventSettingsHandler},
    {DVK_UI_EVENT_TIMEOUT, dvk_vcm_defaultEventTimeoutExitHandler},
    {DVK_UI_EVENT_NONE, nullptr},
};

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newNoShortcuts(dvk_vcm_Session* vcms)
{
    DVK_GEN_VCM_ASSERT(descriptor.unit, vcms != DVK_NULL);
    return dvk_vcm_newVCM(vcms, &vtable, etable);
}
