// "vcm_tutorial": the spoken tutorial, shown once (or whenever the user asks
// for it) and skipped otherwise; it turns its setting off when it ends.
#include "vcmbase_gen/common/dvk_gen_vcm_common.h"

#include "sdk/common/dvk_mem.h"
#include "sdk/common/dvk_settings.h"

namespace {

const char kUnit[] = "vcm_tutorial/dvk_gen_vcm_tutorial.cpp";

enum : int32_t {
    TUTORIAL_SCREEN = 0,
    TUTORIAL_TITLE = 644,
    TUTORIAL_IMAGE = 2,
    TUTORIAL_PROMPT = 418,
    TUTORIAL_SOFTKEY_NEXT = 510,
};

struct TutorialContext {
    int32_t forced;  // shown even with the setting off
    int32_t imageId;
    int32_t promptId;
    dvk_vcm_Etable firstScreenEtable[3];  // the module's own copy, its event table
};

TutorialContext* context(dvk_vcm_Session* vcms)
{
    auto* ctx = static_cast<TutorialContext*>(dvk_vcm_currentContext(vcms));
    DVK_GEN_VCM_ASSERT(kUnit, ctx != DVK_NULL);
    return ctx;
}

int tutorialInit(dvk_vcm_Session* vcms)
{
    TutorialContext* ctx = context(vcms);
    if (ctx->forced == 0 && dvk_settings_getTutorialEnabled() == 0) {
        if (dvk_gen_vcm_replaceStack(vcms, dvk_gen_vcm_newUpdateContacts(vcms), false) != 0)
            return 1;
        return dvk_vcm_init(vcms);
    }
    const int32_t softkeys[3] = {TUTORIAL_SOFTKEY_NEXT, DVK_STR_NULL, DVK_STR_NULL};
    const dvk_ui_Event events[3] = {DVK_UI_EVENT_NEXT, DVK_UI_EVENT_NONE, DVK_UI_EVENT_NONE};
    return dvk_vcm_ui_displayBitmap(vcms, TUTORIAL_SCREEN, TUTORIAL_TITLE, ctx->imageId, softkeys, events,
                                    DVK_GEN_NO_TIME);
}

int tutorialGetPrompt(dvk_vcm_Session* vcms, dvk_prompt_List* prompts, dvk_prompt_Table* promptTable)
{
    DVK_GEN_VCM_ASSERT(kUnit, prompts != DVK_NULL);
    // Level 3: the tutorial speaks in every prompt mode.
    dvk_vcm_prompt_addPrompt(prompts, promptTable, context(vcms)->promptId, 3);
    return dvk_prompt_checkErrorFlag(prompts);
}

int tutorialGetContinuation(dvk_vcm_Session*, dvk_msg_Message** message, dvk_msg_Address* recipient,
                            dvk_msg_Address)
{
    return dvk_gen_vcm_postEvent(DVK_UI_EVENT_NEXT, 0, message, recipient);
}

int tutorialEventSkipHandler(dvk_vcm_Session* vcms, dvk_ui_Event, int32_t, dvk_msg_Message**)
{
    dvk_settings_setTutorialEnabled(0);
    return dvk_gen_vcm_replaceStack(vcms, dvk_gen_vcm_newUpdateContacts(vcms), false);
}

void tutorialDestructor(dvk_vcm_Module* vcm, dvk_vcm_Module**)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcm != DVK_NULL);
    dvk_mem_dealloc(&vcm->context);
}

const dvk_gen_vcm_Descriptor tutorial = {
    {"vcm_tutorial", tutorialInit, tutorialGetPrompt, nullptr, nullptr, tutorialGetContinuation, nullptr,
     nullptr, nullptr, tutorialDestructor},
    kUnit,
    nullptr,
    nullptr,
    {DVK_UI_EVENT_NEXT, 0},
    nullptr,
};
const dvk_vcm_Vtable& tutorialVtable = tutorial.vtable;

const dvk_vcm_Etable firstScreenEtable[3] = {
    {DVK_UI_EVENT_NEXT, tutorialEventSkipHandler},
    {DVK_UI_EVENT_SKIP, tutorialEventSkipHandler},
    {DVK_UI_EVENT_NONE, nullptr},
};

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newTutorial(dvk_vcm_Session* vcms, int32_t forced)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcms != DVK_NULL);
    auto* ctx = static_cast<TutorialContext*>(dvk_mem_alloc(sizeof(TutorialContext)));
    if (ctx == nullptr)
        return nullptr;
    ctx->forced = forced;
    ctx->imageId = TUTORIAL_IMAGE;
    ctx->promptId = TUTORIAL_PROMPT;
    for (int i = 0; i < 3; i++)
        ctx->firstScreenEtable[i] = firstScreenEtable[i];
    dvk_vcm_Module* vcm = dvk_vcm_newVCM(vcms, &tutorialVtable, ctx->firstScreenEtable);
    if (vcm == nullptr) {
        dvk_mem_dealloc(&ctx);
        return nullptr;
    }
    vcm->context = ctx;
    return vcm;
}
