// "vcm_settings_complete": the short "saved" popup after a setting changed;
// ok or its time-out goes back the given number of states.
#include "vcmbase_gen/common/dvk_gen_vcm_common.h"

#include "sdk/common/dvk_mem.h"

namespace {

const char kUnit[] = "vcm_settings/dvk_gen_vcm_settings_complete.cpp";

enum : int32_t {
    COMPLETE_POPUP_TYPE = 1,
    COMPLETE_DISPLAY_TIME = 2000,
};

struct CompleteContext {
    int32_t screen;
    int32_t string;
    int32_t numPops;
};

const CompleteContext* context(dvk_vcm_Session* vcms)
{
    const auto* ctx = static_cast<const CompleteContext*>(dvk_vcm_currentContext(vcms));
    DVK_GEN_VCM_ASSERT(kUnit, ctx != DVK_NULL);
    return ctx;
}

int completeInit(dvk_vcm_Session* vcms)
{
    const CompleteContext* ctx = context(vcms);
    return dvk_vcm_ui_displayPopup(vcms, ctx->screen, ctx->string, COMPLETE_POPUP_TYPE, COMPLETE_DISPLAY_TIME);
}

int completeGetPrompt(dvk_vcm_Session* vcms, dvk_prompt_List* prompts, dvk_prompt_Table*)
{
    const CompleteContext* ctx = context(vcms);
    DVK_GEN_VCM_ASSERT(kUnit, prompts != DVK_NULL);
    dvk_vcm_prompt_addStringId(prompts, dvk_vcm_stringTable(vcms), ctx->string, 1);
    return dvk_prompt_checkErrorFlag(prompts);
}

int completeEventOkHandler(dvk_vcm_Session* vcms, dvk_ui_Event, int32_t, dvk_msg_Message**)
{
    const int32_t numPops = context(vcms)->numPops;
    for (int32_t i = 0; i < numPops; i++) {
        dvk_vcm_pop(vcms);
        if (dvk_vcm_current(vcms) == nullptr)
            return i + 1 < numPops ? 1 : 0;
    }
    return 0;
}

void* completeCopy(void* from)
{
    DVK_GEN_VCM_ASSERT(kUnit, from != DVK_NULL);
    auto* copy = static_cast<CompleteContext*>(dvk_mem_alloc(sizeof(CompleteContext)));
    if (copy != nullptr)
        *copy = *static_cast<const CompleteContext*>(from);
    return copy;
}

const dvk_gen_vcm_Descriptor complete = {
    {"vcm_settings_complete", completeInit, completeGetPrompt, nullptr, nullptr, nullptr, nullptr, nullptr,
     completeCopy, dvk_vcm_defaultContextDestructor},
    kUnit,
    nullptr,
    nullptr,
    {DVK_UI_EVENT_NONE, 0},
    nullptr,
};
const dvk_vcm_Vtable& completeVtable = complete.vtable;

const dvk_vcm_Etable completeEtable[] = {
    {DVK_UI_EVENT_OK, completeEventOkHandler},
    {DVK_UI_EVENT_TIMEOUT, completeEventOkHandler},
    {DVK_UI_EVENT_NONE, nullptr},
};

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newSettingsComplete(dvk_vcm_Session* vcms, int32_t screenId, int32_t stringId,
                                                int32_t numPops)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcms != DVK_NULL);
    DVK_GEN_VCM_ASSERT(kUnit, numPops > 0);
    dvk_vcm_Module* vcm = dvk_vcm_newVCM(vcms, &completeVtable, completeEtable);
    if (vcm == nullptr)
        return nullptr;
    auto* ctx = static_cast<CompleteContext*>(dvk_mem_alloc(sizeof(CompleteContext)));
    if (ctx == nullptr) {
        dvk_vcm_destroy(vcms, &vcm);
        return nullptr;
    }
    *ctx = {screenId, stringId, numPops};
    vcm->context = ctx;
    return vcm;
}
