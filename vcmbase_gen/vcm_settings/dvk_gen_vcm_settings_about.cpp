// "vcm_settings_about": the about screen, its text shown and said.
#include "vcmbase_gen/common/dvk_gen_vcm_common.h"

namespace {

const char kUnit[] = "vcm_settings/dvk_gen_vcm_settings_about.cpp";

enum : int32_t {
    ABOUT_SCREEN = 132,
    ABOUT_TEXT = 528,
    ABOUT_IMAGE = 0,
    ABOUT_DISPLAY_TIME = 30000,
};

const dvk_gen_vcm_Screen aboutScreen = {
    DVK_GEN_SCREEN_BITMAP, ABOUT_SCREEN, ABOUT_TEXT, ABOUT_IMAGE, -1, 0,
    {DVK_STR_NULL, DVK_STR_NULL, DVK_GEN_STR_SOFTKEY_BACK}, {DVK_UI_EVENT_NONE, DVK_UI_EVENT_NONE, DVK_UI_EVENT_BACK},
    ABOUT_DISPLAY_TIME,
};

const dvk_gen_vcm_PromptItem aboutPrompts[] = {
    {DVK_GEN_PROMPT_STRING, ABOUT_TEXT, 1, DVK_GEN_WHEN_ALWAYS},
    {DVK_GEN_PROMPT_END, 0, 0, DVK_GEN_WHEN_ALWAYS},
};

const dvk_gen_vcm_Descriptor about = {
    {"vcm_settings_about", dvk_gen_vcm_screenInit, dvk_gen_vcm_scriptGetPrompt, nullptr, nullptr, nullptr, nullptr,
     nullptr, nullptr, nullptr},
    kUnit,
    &aboutScreen,
    aboutPrompts,
    {DVK_UI_EVENT_NONE, 0},
    nullptr,
};
const dvk_vcm_Vtable& aboutVtable = about.vtable;

const dvk_vcm_Etable aboutEtable[] = {
    {DVK_UI_EVENT_TIMEOUT, dvk_vcm_defaultEventTimeoutExitHandler},
    {DVK_UI_EVENT_NONE, nullptr},
};

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newSettingsAbout(dvk_vcm_Session* vcms)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcms != DVK_NULL);
    return dvk_vcm_newVCM(vcms, &aboutVtable, aboutEtable);
}
