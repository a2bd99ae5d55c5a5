#include "core/vcm/dvk_vcm.h"
#include "core/vcm/dvk_vcm_internal.h"

#include "sdk/common/dvk_assert.h"
#include "sdk/common/dvk_mem.h"
#include "sdk/common/dvk_settings.h"

namespace {

dvk_vcm_Module* top(dvk_vcm_Session* vcms)
{
    DVK_ASSERT(vcms != DVK_NULL);
    DVK_ASSERT(vcms->stack != DVK_NULL);
    return vcms->stack;
}

}  // namespace

int dvk_vcm_init(dvk_vcm_Session* vcms)
{
    dvk_vcm_Module* vcm = top(vcms);
    return vcm->vtable->Init != nullptr ? vcm->vtable->Init(vcms) : 0;
}

int dvk_vcm_getPrompt(dvk_vcm_Session* vcms, dvk_prompt_List* prompts)
{
    dvk_vcm_Module* vcm = top(vcms);
    int result = vcm->vtable->GetPrompt != nullptr
                     ? vcm->vtable->GetPrompt(vcms, prompts, vcms->promptTable)
                     : 0;
    vcms->alwaysAvailableReadout = 0;
    return result;
}

int dvk_vcm_getMenuReadoutPrompt(dvk_vcm_Session* vcms, dvk_prompt_List* prompts, int32_t index)
{
    dvk_vcm_Module* vcm = top(vcms);
    if (vcm->vtable->GetMenuReadoutPrompt == nullptr)
        return 0;
    return vcm->vtable->GetMenuReadoutPrompt(vcms, prompts, vcms->promptTable, index);
}

int dvk_vcm_getContinuation(dvk_vcm_Session* vcms, dvk_msg_Message** message,
                            dvk_msg_Address* recipient, dvk_msg_Address defaultRecipient)
{
    dvk_vcm_Module* vcm = top(vcms);
    DVK_ASSERT(message != DVK_NULL);
    DVK_ASSERT(recipient != DVK_NULL);
    *message = nullptr;
    if (vcm->vtable->GetContinuation == nullptr)
        return 0;
    return vcm->vtable->GetContinuation(vcms, message, recipient, defaultRecipient);
}

int dvk_vcm_completion(dvk_vcm_Session* vcms, dvk_nbest_List* nbest, int32_t index,
                       dvk_msg_Message** action)
{
    dvk_vcm_Module* vcm = top(vcms);
    DVK_ASSERT(action != DVK_NULL);
    *action = nullptr;
    if (vcm->vtable->Completion == nullptr)
        return 0;
    return vcm->vtable->Completion(vcms, nbest, index, action);
}

int dvk_vcm_getConstraints(dvk_vcm_Session* vcms, dvk_constraints_Constraint*** constraints)
{
    dvk_vcm_Module* vcm = top(vcms);
    DVK_ASSERT(constraints != DVK_NULL);
    *constraints = nullptr;
    if (vcm->vtable->GetConstraints == nullptr)
        return 0;
    dvk_constraints_Constraint** own = nullptr;
    if (vcm->vtable->GetConstraints(vcms, &own) != 0 || own == nullptr)
        return 1;
    size_t count = 0;
    while (own[count] != nullptr)
        count++;
    int32_t base = dvk_settings_getVCMBase();
    bool always = base == 0 || base == 2;
    auto** all = static_cast<dvk_constraints_Constraint**>(
        dvk_mem_alloc((count + (always ? 2 : 1)) * sizeof(dvk_constraints_Constraint*)));
    if (all == nullptr)
        return 1;
    for (size_t i = 0; i < count; i++)
        all[i] = own[i];
    if (always)
        all[count++] = &alwaysAvailable_constraint;
    all[count] = nullptr;
    *constraints = all;
    return 0;
}

int32_t dvk_vcm_checkForEventHandler(dvk_vcm_Session* vcms, dvk_ui_Event event)
{
    dvk_vcm_Module* vcm = top(vcms);
    switch (event) {
    case DVK_UI_EVENT_EXIT:
    case DVK_UI_EVENT_CANCEL:
    case DVK_UI_EVENT_BACK:
    case DVK_UI_EVENT_REPEAT:
    case 25:
    case DVK_UI_EVENT_RESTART:
    case 26:
    case DVK_UI_EVENT_HELP:
        return 1;
    default:
        break;
    }
    // An expiry that outlived its module (pushed over or popped) is stale.
    if (event == DVK_UI_EVENT_VCM_TIMER && vcms->timerRunning == 0)
        return 0;
    for (const dvk_vcm_Etable* entry = vcm->etable; entry != nullptr && entry->handler != nullptr;
         entry++)
        if (entry->event == event)
            return 1;
    return 0;
}

int dvk_vcm_handleEvent(dvk_vcm_Session* vcms, dvk_ui_Event event, int32_t index,
                        dvk_msg_Message** message)
{
    dvk_vcm_Module* vcm = top(vcms);
    DVK_ASSERT(message != DVK_NULL);
    *message = nullptr;
    if (event == DVK_UI_EVENT_VCM_TIMER)
        vcms->timerRunning = 0;
    if (event == DVK_UI_EVENT_TUTORIAL || event == DVK_UI_EVENT_HELP)
        return dvk_vcm_defaultEventTutorialHandler(vcms, event, index, message);
    for (const dvk_vcm_Etable* entry = vcm->etable; entry != nullptr && entry->handler != nullptr;
         entry++)
        if (entry->event == event)
            return entry->handler(vcms, event, index, message);
    switch (event) {
    case DVK_UI_EVENT_EXIT:
    case DVK_UI_EVENT_CANCEL:
        return dvk_vcm_defaultEventExitHandler(vcms, event, index, message);
    case DVK_UI_EVENT_RESTART:
        return dvk_vcm_defaultEventRestartHandler(vcms, event, index, message);
    case DVK_UI_EVENT_BACK:
        return dvk_vcm_defaultEventBackHandler(vcms, event, index, message);
    case DVK_UI_EVENT_REPEAT:
        return dvk_vcm_defaultEventRepeatHandler(vcms, event, index, message);
    default:
        return 0;
    }
}

int32_t dvk_vcm_done(dvk_vcm_Session* vcms)
{
    DVK_ASSERT(vcms != DVK_NULL);
    return vcms->stack == nullptr ? 1 : 0;
}
