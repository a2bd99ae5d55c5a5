// "vcm_splash": the opening screen and prompt of a command session, then
// the root menu.
#include "vcmbase_gen/common/dvk_gen_vcm_common.h"

namespace {

enum : int32_t {
    SPLASH_SCREEN = 3,
    SPLASH_IMAGE = 1,
};

int splashEventNextHandler(dvk_vcm_Session* vcms, dvk_ui_Event, int32_t, dvk_msg_Message**)
{
    // The root menu does not repeat the prompt just said here.
    return dvk_gen_vcm_replaceStack(vcms, dvk_gen_vcm_newRoot(vcms, 1), true);
}

const dvk_gen_vcm_Screen splashScreen = {
    DVK_GEN_SCREEN_BITMAP, SPLASH_SCREEN, DVK_STR_NULL, SPLASH_IMAGE, -1, 0,
    {DVK_STR_NULL, DVK_STR_NULL, DVK_STR_NULL}, {DVK_UI_EVENT_NONE, DVK_UI_EVENT_NONE, DVK_UI_EVENT_NONE},
    DVK_GEN_NO_TIME,
};

const dvk_gen_vcm_PromptItem splashPrompts[] = {
    {DVK_GEN_PROMPT_RECORDED, DVK_GEN_PRM_COMMAND, 2, DVK_GEN_WHEN_ALWAYS},
    {DVK_GEN_PROMPT_EARCON, DVK_GEN_EARCON_LISTEN, 0, DVK_GEN_WHEN_ALWAYS},
    {DVK_GEN_PROMPT_END, 0, 0, DVK_GEN_WHEN_ALWAYS},
};

const dvk_gen_vcm_Descriptor splash = {
    {"vcm_splash", dvk_gen_vcm_screenInit, dvk_gen_vcm_scriptGetPrompt, nullptr, nullptr,
     dvk_gen_vcm_postContinuation, nullptr, nullptr, nullptr, nullptr},
    "vcm_splash/dvk_gen_vcm_splash.cpp",
    &splashScreen,
    splashPrompts,
    {DVK_UI_EVENT_NEXT, 0},
    nullptr,
};
const dvk_vcm_Vtable& splashVtable = splash.vtable;

// BACK behaves as NEXT.
const dvk_vcm_Etable splashEtable[] = {
    {DVK_UI_EVENT_NEXT, splashEventNextHandler},
    {DVK_UI_EVENT_BACK, splashEventNextHandler},
    {DVK_UI_EVENT_NONE, nullptr},
};

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newSplash(dvk_vcm_Session* vcms)
{
    DVK_GEN_VCM_ASSERT(splash.unit, vcms != DVK_NULL);
    return dvk_vcm_newVCM(vcms, &splashVtable, splashEtable);
}
