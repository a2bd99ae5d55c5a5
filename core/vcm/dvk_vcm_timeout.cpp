// A listening timeout: the built-in module that plays earcon 4 and then
// ends the session with code 2, and the default handler that pushes it.
#include "core/vcm/dvk_vcm.h"
#include "core/vcm/dvk_vcm_internal.h"

#include "core/prompt/dvk_prompt.h"
#include "sdk/common/dvk_assert.h"

namespace {

enum : int32_t { kTimeoutEarcon = 4 };

int timeoutEarconGetPrompt(dvk_vcm_Session*, dvk_prompt_List* prompts, dvk_prompt_Table*)
{
    // Said in every prompt mode: the user must hear why the session ends.
    dvk_prompt_addEarcon(prompts, kTimeoutEarcon);
    return dvk_prompt_checkErrorFlag(prompts);
}

int timeoutEarconContinuation(dvk_vcm_Session* vcms, dvk_msg_Message** message, dvk_msg_Address* recipient,
                              dvk_msg_Address defaultRecipient)
{
    *recipient = defaultRecipient;
    return dvk_vcm_exitWith(vcms, DVK_APP_TIMED_OUT, message);
}

const dvk_vcm_Vtable timeoutEarconVtable = {
    "vcm_timeoutEarcon", nullptr, timeoutEarconGetPrompt, nullptr, nullptr, timeoutEarconContinuation,
    nullptr,             nullptr, nullptr,                nullptr,
};

const dvk_vcm_Etable timeoutEarconEtable[] = {{DVK_UI_EVENT_NONE, nullptr}};

}  // namespace

int dvk_vcm_defaultEventTimeoutExitHandler(dvk_vcm_Session* vcms, dvk_ui_Event event, int32_t,
                                           dvk_msg_Message** message)
{
    DVK_ASSERT(vcms != DVK_NULL);
    DVK_ASSERT(message != DVK_NULL);
    DVK_ASSERT(event == DVK_UI_EVENT_TIMEOUT || event == DVK_UI_EVENT_EXIT);
    if (event == DVK_UI_EVENT_EXIT)
        return dvk_vcm_exitWith(vcms, DVK_APP_CANCELLED, message);
    dvk_vcm_clearStack(vcms);
    return dvk_vcm_push(vcms, dvk_vcm_newVCM(vcms, &timeoutEarconVtable, timeoutEarconEtable));
}
