// "vcm_adaptation_adapting": every phrase was read; keeps and saves the
// adapted models, then confirms with the "saved" popup back to the menu.
#include "vcmbase_gen/common/dvk_gen_vcm_common.h"

#include "core/ce/dvk_ce_dialog.h"

namespace {

const char kUnit[] = "vcm_adaptation/dvk_gen_vcm_adaptation_adapting.cpp";

enum : int32_t {
    ADAPTING_SCREEN = 106,
    ADAPTING_STRING = 517,
    ADAPTING_POPUP_TYPE = 0,
    ADAPTING_PROMPT = 31,
    SAVED_SCREEN = 108,
    SAVED_STRING = 147,
};

int adaptingInit(dvk_vcm_Session* vcms)
{
    return dvk_vcm_ui_displayPopup(vcms, ADAPTING_SCREEN, ADAPTING_STRING, ADAPTING_POPUP_TYPE, DVK_GEN_NO_TIME);
}

int adaptingGetContinuation(dvk_vcm_Session* vcms, dvk_msg_Message** message, dvk_msg_Address* recipient,
                            dvk_msg_Address)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcms != DVK_NULL);
    DVK_GEN_VCM_ASSERT(kUnit, message != DVK_NULL);
    DVK_GEN_VCM_ASSERT(kUnit, recipient != DVK_NULL);
    const int ended = dvk_ce_endAdaptationSession(1);
    if (ended != 0)
        return ended;
    return dvk_gen_vcm_postEvent(DVK_UI_EVENT_CONTINUE, 0, message, recipient);
}

int adaptingEventContinueHandler(dvk_vcm_Session* vcms, dvk_ui_Event, int32_t, dvk_msg_Message**)
{
    dvk_vcm_Module* saved = dvk_gen_vcm_newSettingsComplete(vcms, SAVED_SCREEN, SAVED_STRING, 1);
    if (saved == nullptr)
        return 1;
    dvk_vcm_pop(vcms);
    return dvk_vcm_push(vcms, saved);
}

const dvk_gen_vcm_PromptItem adaptingPrompts[] = {
    {DVK_GEN_PROMPT_RECORDED, ADAPTING_PROMPT, 3, DVK_GEN_WHEN_ALWAYS},
    {DVK_GEN_PROMPT_END, 0, 0, DVK_GEN_WHEN_ALWAYS},
};

const dvk_gen_vcm_Descriptor adapting = {
    {"vcm_adaptation_adapting", adaptingInit, dvk_gen_vcm_scriptGetPrompt, nullptr, nullptr,
     adaptingGetContinuation, nullptr, nullptr, nullptr, nullptr},
    kUnit,
    nullptr,
    adaptingPrompts,
    {DVK_UI_EVENT_NONE, 0},
    nullptr,
};
const dvk_vcm_Vtable& adaptingVtable = adapting.vtable;

const dvk_vcm_Etable adaptingEtable[] = {
    {DVK_UI_EVENT_CONTINUE, adaptingEventContinueHandler},
    {DVK_UI_EVENT_NONE, nullptr},
};

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newAdaptationAdapting(dvk_vcm_Session* vcms)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcms != DVK_NULL);
    return dvk_vcm_newVCM(vcms, &adaptingVtable, adaptingEtable);
}
