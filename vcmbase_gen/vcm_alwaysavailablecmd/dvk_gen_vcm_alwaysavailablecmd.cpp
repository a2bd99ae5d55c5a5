// "vcm_alwaysavailable": carries out an always-available phrase (go back,
// repeat, cancel, start over, exit, help ...) heard in a listening state. It
// lives for one step: says nothing, removes itself and posts its event to
// the suite, so the state the user was in handles it as a pressed softkey.
#include "vcmbase_gen/common/dvk_gen_vcm_common.h"

#include "sdk/common/dvk_mem.h"

#include <cstring>

namespace {

const char kUnit[] = "vcm_alwaysavailablecmd/dvk_gen_vcm_alwaysavailablecmd.cpp";

enum : int32_t { PHRASE_START_OVER_ROOT = 82 };

struct AlwaysAvailableContext {
    dvk_ui_Event event;
    int32_t phraseStringId;
    int32_t savedState;
};

AlwaysAvailableContext* context(dvk_vcm_Session* vcms)
{
    auto* ctx = static_cast<AlwaysAvailableContext*>(dvk_vcm_currentContext(vcms));
    DVK_GEN_VCM_ASSERT(kUnit, ctx != DVK_NULL);
    return ctx;
}

int alwaysAvailableCmdGetPrompt(dvk_vcm_Session*, dvk_prompt_List* prompts, dvk_prompt_Table*)
{
    DVK_GEN_VCM_ASSERT(kUnit, prompts != DVK_NULL);
    return 0;
}

int alwaysAvailableCmdEventBackHandler(dvk_vcm_Session* vcms, dvk_ui_Event, int32_t, dvk_msg_Message**)
{
    // The flag says a state was saved when the module was made; a session
    // whose saved state has gone since has nothing to revert to.
    if (context(vcms)->savedState != 0 && dvk_vcm_savedStateExists(vcms) == 1)
        return dvk_vcm_revertState(vcms);
    dvk_vcm_pop(vcms);
    return 0;
}

int alwaysAvailableCmdGetContinuation(dvk_vcm_Session* vcms, dvk_msg_Message** message, dvk_msg_Address* recipient,
                                      dvk_msg_Address)
{
    DVK_GEN_VCM_ASSERT(kUnit, message != DVK_NULL);
    DVK_GEN_VCM_ASSERT(kUnit, recipient != DVK_NULL);
    const AlwaysAvailableContext ctx = *context(vcms);
    if (alwaysAvailableCmdEventBackHandler(vcms, DVK_UI_EVENT_BACK, 0, message) != 0)
        return 1;
    dvk_vcm_Module* top = dvk_vcm_current(vcms);
    const bool root = top != nullptr && std::strcmp(top->vtable->name, "vcm_root") == 0;
    dvk_ui_Event event = ctx.event;
    if (root && ctx.phraseStringId == PHRASE_START_OVER_ROOT)
        event = DVK_UI_EVENT_RESTART;
    else if (event == DVK_UI_EVENT_EXIT || event == DVK_UI_EVENT_CANCEL || (event == DVK_UI_EVENT_BACK && root))
        dvk_vcm_setAACExit(vcms, 1);
    return dvk_gen_vcm_postEvent(event, 0, message, recipient);
}

int alwaysAvailableCmdEventSetFocusHandler(dvk_vcm_Session*, dvk_ui_Event, int32_t, dvk_msg_Message**)
{
    return 0;
}

const dvk_gen_vcm_Descriptor alwaysAvailable = {
    {"vcm_alwaysavailable", nullptr, alwaysAvailableCmdGetPrompt, nullptr, nullptr,
     alwaysAvailableCmdGetContinuation, nullptr, nullptr, nullptr, dvk_vcm_defaultContextDestructor},
    kUnit,
    nullptr,
    nullptr,
    {DVK_UI_EVENT_NONE, 0},
    nullptr,
};
const dvk_vcm_Vtable& alwaysAvailableVtable = alwaysAvailable.vtable;

const dvk_vcm_Etable alwaysAvailableEtable[] = {
    {DVK_UI_EVENT_BACK, alwaysAvailableCmdEventBackHandler},
    {DVK_UI_EVENT_SET_FOCUS, alwaysAvailableCmdEventSetFocusHandler},
    {DVK_UI_EVENT_NONE, nullptr},
};

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newAlwaysAvailableCmd(dvk_vcm_Session* vcms, int32_t event, int32_t phraseStringId,
                                                  int32_t savedState)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcms != DVK_NULL);
    dvk_vcm_Module* vcm = dvk_vcm_newVCM(vcms, &alwaysAvailableVtable, alwaysAvailableEtable);
    if (vcm == nullptr)
        return nullptr;
    auto* ctx = static_cast<AlwaysAvailableContext*>(dvk_mem_alloc(sizeof(AlwaysAvailableContext)));
    if (ctx == nullptr) {
        dvk_vcm_destroy(vcms, &vcm);
        return nullptr;
    }
    *ctx = {static_cast<dvk_ui_Event>(event), phraseStringId, savedState};
    vcm->context = ctx;
    return vcm;
}
