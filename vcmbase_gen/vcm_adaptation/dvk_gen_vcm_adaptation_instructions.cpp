// "vcm_adaptation_instructions": what adaptation asks of the user; start
// replaces it with the phrases, so back from them returns to the menu.
#include "vcmbase_gen/common/dvk_gen_vcm_common.h"
#include "vcmbase_gen/vcm_adaptation/dvk_gen_vcm_adaptation_phrases.h"

#include "platform/core/wex_logger.h"

namespace {

const char kUnit[] = "vcm_adaptation/dvk_gen_vcm_adaptation_instructions.cpp";

WexLogger s_log("DvkGenVcmAdaptation");

enum : int32_t {
    INSTRUCTIONS_SCREEN = 103,
    INSTRUCTIONS_TITLE = 532,
    INSTRUCTIONS_BODY = 149,
    INSTRUCTIONS_SOFTKEY_START = 512,
    INSTRUCTIONS_DISPLAY_TIME = 30000,
};

int instructionsEventStartHandler(dvk_vcm_Session* vcms, dvk_ui_Event, int32_t, dvk_msg_Message**)
{
    // A language without phrases has nothing to read: no adaptation is
    // started and the user stays at the menu.
    if (dvk_gen_vcm_adaptationPhraseCount(vcms) == 0) {
        s_log.log(WexLogWarning, "%s: no adaptation phrases in this language", __func__);
        dvk_vcm_pop(vcms);
        return dvk_vcm_current(vcms) == nullptr ? 1 : 0;
    }
    dvk_vcm_Module* phrases = dvk_gen_vcm_newAdaptationPleaseSay(vcms);
    if (phrases == nullptr)
        return 1;
    dvk_vcm_pop(vcms);
    return dvk_vcm_push(vcms, phrases);
}

const dvk_gen_vcm_Screen instructionsScreen = {
    DVK_GEN_SCREEN_TEXT, INSTRUCTIONS_SCREEN, INSTRUCTIONS_TITLE, INSTRUCTIONS_BODY, -1, 0,
    {INSTRUCTIONS_SOFTKEY_START, DVK_STR_NULL, DVK_GEN_STR_SOFTKEY_BACK},
    {DVK_UI_EVENT_START, DVK_UI_EVENT_NONE, DVK_UI_EVENT_BACK},
    INSTRUCTIONS_DISPLAY_TIME,
};

const dvk_gen_vcm_PromptItem instructionsPrompts[] = {
    {DVK_GEN_PROMPT_STRING, INSTRUCTIONS_TITLE, 1, DVK_GEN_WHEN_ALWAYS},
    {DVK_GEN_PROMPT_STRING, INSTRUCTIONS_BODY, 0, DVK_GEN_WHEN_ALWAYS},
    {DVK_GEN_PROMPT_END, 0, 0, DVK_GEN_WHEN_ALWAYS},
};

const dvk_gen_vcm_Descriptor instructions = {
    {"vcm_adaptation_instructions", dvk_gen_vcm_screenInit, dvk_gen_vcm_scriptGetPrompt, nullptr, nullptr, nullptr,
     nullptr, nullptr, nullptr, nullptr},
    kUnit,
    &instructionsScreen,
    instructionsPrompts,
    {DVK_UI_EVENT_NONE, 0},
    nullptr,
};
const dvk_vcm_Vtable& instructionsVtable = instructions.vtable;

const dvk_vcm_Etable instructionsEtable[] = {
    {DVK_UI_EVENT_START, instructionsEventStartHandler},
    {DVK_UI_EVENT_TIMEOUT, dvk_vcm_defaultEventTimeoutExitHandler},
    {DVK_UI_EVENT_NONE, nullptr},
};

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newAdaptationInstructions(dvk_vcm_Session* vcms)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcms != DVK_NULL);
    return dvk_vcm_newVCM(vcms, &instructionsVtable, instructionsEtable);
}
