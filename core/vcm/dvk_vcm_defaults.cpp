#include "core/vcm/dvk_vcm.h"
#include "core/vcm/dvk_vcm_internal.h"

#include "sdk/common/dvk_assert.h"
#include "sdk/common/dvk_settings.h"

namespace {

void checkArguments(dvk_vcm_Session* vcms, dvk_msg_Message** message)
{
    DVK_ASSERT(vcms != DVK_NULL);
    DVK_ASSERT(message != DVK_NULL);
}

int restart(dvk_vcm_Session* vcms)
{
    dvk_vcm_clearStack(vcms);
    dvk_vcm_resetState(vcms);
    if (dvk_vcm_push(vcms, dvk_gen_vcm_newRoot(vcms, 0)) != 0)
        return 1;
    return dvk_vcm_saveState(vcms);
}

}  // namespace

int dvk_vcm_exitWith(dvk_vcm_Session* vcms, dvk_app_CompletionCode code, dvk_msg_Message** message)
{
    *message = dvk_app_newNotifyExitRspMsg(vcms->cmdList.notifyExit, code, vcms->userContext);
    dvk_vcm_clearStack(vcms);
    return *message == nullptr ? 1 : 0;
}

int dvk_vcm_defaultEventYesHandler(dvk_vcm_Session* vcms, dvk_ui_Event event, int32_t,
                                   dvk_msg_Message** message)
{
    checkArguments(vcms, message);
    DVK_ASSERT(event == DVK_UI_EVENT_YES);
    return dvk_vcm_handleEvent(vcms, DVK_UI_EVENT_SELECT, 0, message);
}

int dvk_vcm_defaultEventNoHandler(dvk_vcm_Session* vcms, dvk_ui_Event event, int32_t,
                                  dvk_msg_Message** message)
{
    checkArguments(vcms, message);
    DVK_ASSERT(event == DVK_UI_EVENT_NO);
    return dvk_vcm_handleEvent(vcms, DVK_UI_EVENT_SELECT, 1, message);
}

int dvk_vcm_defaultEventRepeatHandler(dvk_vcm_Session* vcms, dvk_ui_Event event, int32_t,
                                      dvk_msg_Message** message)
{
    checkArguments(vcms, message);
    DVK_ASSERT(event == DVK_UI_EVENT_REPEAT);
    DVK_ASSERT(vcms->stack != DVK_NULL);
    vcms->stack->state = 0;
    return 0;
}

int dvk_vcm_defaultEventExitHandler(dvk_vcm_Session* vcms, dvk_ui_Event event, int32_t,
                                    dvk_msg_Message** message)
{
    checkArguments(vcms, message);
    DVK_ASSERT(event == DVK_UI_EVENT_EXIT || event == DVK_UI_EVENT_CANCEL || event == DVK_UI_EVENT_BACK);
    dvk_app_CompletionCode code = vcms->aacExit != 0 ? DVK_APP_ALWAYS_AVAILABLE_EXIT : DVK_APP_SUCCESS;
    vcms->aacExit = 0;
    return dvk_vcm_exitWith(vcms, code, message);
}

int dvk_vcm_defaultEventRestartHandler(dvk_vcm_Session* vcms, dvk_ui_Event event, int32_t,
                                       dvk_msg_Message** message)
{
    checkArguments(vcms, message);
    DVK_ASSERT(event == DVK_UI_EVENT_RESTART);
    return restart(vcms);
}

int dvk_vcm_defaultEventBackHandler(dvk_vcm_Session* vcms, dvk_ui_Event event, int32_t,
                                    dvk_msg_Message** message)
{
    checkArguments(vcms, message);
    DVK_ASSERT(event == DVK_UI_EVENT_BACK);
    if (vcms->savedSession != nullptr) {
        if (dvk_vcm_revertState(vcms) != 0)
            return 1;
    } else if (vcms->stack != nullptr) {
        dvk_vcm_pop(vcms);
    }
    // Back never ends a session silently: nothing left to go back to is the root.
    if (vcms->stack == nullptr)
        return restart(vcms);
    vcms->stack->state = 0;
    return 0;
}

int dvk_vcm_defaultEventTutorialHandler(dvk_vcm_Session* vcms, dvk_ui_Event event, int32_t,
                                        dvk_msg_Message** message)
{
    checkArguments(vcms, message);
    DVK_ASSERT(event == DVK_UI_EVENT_TUTORIAL || event == DVK_UI_EVENT_HELP);
    dvk_vcm_clearStack(vcms);
    dvk_vcm_resetState(vcms);
    dvk_settings_setTutorialEnabled(1);
    return dvk_vcm_push(vcms, dvk_gen_vcm_newTutorial(vcms, 1));
}

int dvk_vcm_defaultEventSettingsHandler(dvk_vcm_Session* vcms, dvk_ui_Event event, int32_t index,
                                        dvk_msg_Message** message)
{
    checkArguments(vcms, message);
    DVK_ASSERT(event == DVK_UI_EVENT_SETTINGS);
    if (index > 0)
        return dvk_gen_vcm_pushSettingsMenuItem(vcms, index);
    dvk_vcm_clearStack(vcms);
    dvk_vcm_resetState(vcms);
    return dvk_vcm_push(vcms, dvk_gen_vcm_newSettings(vcms));
}

int dvk_vcm_defaultEventHelpHandler(dvk_vcm_Session* vcms, dvk_ui_Event event, int32_t,
                                    dvk_msg_Message** message)
{
    checkArguments(vcms, message);
    DVK_ASSERT(event == DVK_UI_EVENT_HELP);
    int32_t title = 0;
    int32_t body = 0;
    int32_t screen = 0;
    if (dvk_vcm_getGateCmdHelpText(vcms, &title, &body, &screen) != 0)
        return 1;
    return dvk_vcm_push(vcms, dvk_gen_vcm_newHelp(vcms, screen, title, body, 513, DVK_UI_EVENT_RESTART));
}
