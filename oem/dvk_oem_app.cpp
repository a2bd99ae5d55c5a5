#include "oem/dvk_oem_app.h"

#include "oem/dvk_oem_ui.h"
#include "platform/core/wex_logger.h"
#include "src/DownChirpAndExit.h"
#include "src/QrVoiceCmdServiceHandler.h"
#include "src/QrvRecordInhibitor.h"
#include "src/QrvServiceEnd.h"
#include "src/QrvSettings.h"
#include "src/QrvStringConv.h"
#include "src/QrvWorkQueues.h"

#include <cstdlib>
#include <cstring>

namespace {

WexLogger s_log("DvkOemApp");

void trace(const char* function)
{
    s_log.log(WexLogDebug, "%s: enter", function);
    s_log.log(WexLogDebug, "%s: exit", function);
}

void notifyExitUIThread(void*)
{
    QrVoiceCmdServiceHandler::UISubscriptionCancel();
    QrvServiceEnd::get().closingSequence();
}

// On "UI": the number goes to the UI table's call slot, which launches the
// phone application and ends the service.
void phoneCall(void* holder)
{
    char* number = static_cast<char*>(holder);
    QrvSettings::setDialingOutFlag();
    dvkOemUiFuncs_p->notifyCallCmd(number);
    std::free(number);
}

// A done action of the record inhibitor: runs on "VR".
void phoneCallWrapper(void* holder)
{
    QrvExecuteInUiThread(phoneCall, holder, QRV_THREAD_ALWAYS_POST);
}

} // namespace

const dvk_app_Notifications dvkCallbacks = {
    dvk_notifyExit,   dvk_NotifyCallCmd,         dvk_NotifySendCmd, dvk_NotifyLookupCmd,
    dvk_NotifyConnectToCmd, dvk_NotifyGoToCmd,   dvk_NotifyGoToCalendarCmd, dvk_NotifyPlayCmd,
    nullptr,          dvk_NotifyCheckCmd,        nullptr,           nullptr,
    nullptr,          nullptr,
};

void dvk_notifyExit(dvk_app_CompletionCode code, void*)
{
    if (code != DVK_APP_SUCCESS)
        s_log.log(WexLogError, "%s: failure.  Error was \"%s\"", __func__, "Unknown error");
    QrvExecuteInUiThread(notifyExitUIThread, nullptr, QRV_THREAD_ALWAYS_POST);
}

void dvk_NotifyCallCmd(const dvk_ucs2_Char*, const dvk_ucs2_Char*, const dvk_ucs2_Char* number,
                       void*)
{
    s_log.log(WexLogInfo, "%s: Calling selected phone number...", __func__);
    W2Ch text(number);
    if (number == nullptr || text.c_str() == nullptr) {
        s_log.log(WexLogError, "%s: the number cannot be converted; no call", __func__);
        QrvExecuteInUiThread(notifyExitUIThread, nullptr, QRV_THREAD_ALWAYS_POST);
        return;
    }
    char* holder = strdup(text.c_str());
    DownChirpAndExit::supressDownChirp();
    RecordInhibitor::S_addDoneAction(phoneCallWrapper, holder);
}

void dvk_NotifySendCmd(const dvk_ucs2_Char*, const dvk_ucs2_Char*, const dvk_ucs2_Char*,
                       const dvk_ucs2_Char*, dvk_app_MessageType, void*) { trace(__func__); }
void dvk_NotifyLookupCmd(const dvk_ucs2_Char*, dvk_app_LookupMode, void*) { trace(__func__); }
void dvk_NotifyConnectToCmd(const dvk_ucs2_Char*, void*) { trace(__func__); }
void dvk_NotifyGoToCmd(const dvk_ucs2_Char*, int32_t, void*) { trace(__func__); }
void dvk_NotifyGoToCalendarCmd(dvk_app_GoToCalendarMode, void*) { trace(__func__); }
void dvk_NotifyPlayCmd(const dvk_ucs2_Char*, const dvk_ucs2_Char*, const dvk_ucs2_Char*,
                       const dvk_ucs2_Char*, int32_t, int32_t, int32_t, int32_t, void*) { trace(__func__); }
void dvk_NotifyCheckCmd(dvk_app_CheckItem, void*) { trace(__func__); }

const char* dvk_app_Version()
{
    return nullptr;
}
