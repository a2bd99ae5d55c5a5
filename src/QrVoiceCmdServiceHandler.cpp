#include "src/QrVoiceCmdServiceHandler.h"

#include "oem/dvk_oem_settings.h"
#include "oem/dvk_oem_watchdog.h"
#include "platform/bus/wex_service_request.h"
#include "platform/core/wex_errlog.h"
#include "src/QrvBringupStart.h"
#include "src/QrvInitCheck.h"
#include "src/QrvLangSettingGetter.h"
#include "src/QrvLangPackDownloadStart.h"
#include "src/QrvLog.h"
#include "src/QrvServiceEnd.h"
#include "src/QrvSettings.h"
#include "src/QrvSuiteUiEvent.h"
#include "src/QrvUiStateChange.h"
#include "src/QrvWatchdog.h"

#include <new>
#include <string>

WexRefCountedPtr<QrVoiceCmdServiceHandler> QrVoiceCmdServiceHandler::s_qrVoiceCmdServiceHandler;

namespace {

WexLogger& uiLog()
{
    return QrvLog::UIthread::qrvLog;
}

using Handler = QrVoiceCmdServiceHandler;

const WexService::CategoryHandler::Method s_methods[] = {
    WexService::CategoryHandler::method("syncDone", &Handler::syncDone),
    WexService::CategoryHandler::method("startVoiceCommand", &Handler::StartVoiceCommand),
    WexService::CategoryHandler::method("stopVoiceCommand", &Handler::StopVoiceCommand),
    WexService::CategoryHandler::method("registerUI", &Handler::registerUI),
    WexService::CategoryHandler::method("UIevent", &Handler::UIevent),
    {},
};

// Every method logs what it was sent before acting.
void logReceived(WexServiceMessage* message)
{
    QrvLog::printObject(uiLog(), WexLogInfo, message->method(), "message received", message->payload());
}

} // namespace

const char* QrVoiceCmdServiceHandler::stateName(int state)
{
    switch (state) {
    case STATE_INITIALIZED: return "STATE_INITIALIZED";
    case STATE_LANGPACK_DOWNLOAD_FOREGROUND: return "STATE_LANGPACK_DOWNLOAD_FOREGROUND";
    case STATE_LANGPACK_DOWNLOAD_BACKGROUND: return "STATE_LANGPACK_DOWNLOAD_BACKGROUND";
    case STATE_RUNNING: return "STATE_RUNNING";
    }
    return "unknown";
}

QrVoiceCmdServiceHandler::QrVoiceCmdServiceHandler(WexSornaService& service) : m_service(&service) {}

QrVoiceCmdServiceHandler::~QrVoiceCmdServiceHandler()
{
    // The subscription refers to this handler: it must not report to it later.
    if (m_uiSubscription)
        m_uiSubscription->cancel();
}

WexRefCountedPtr<QrVoiceCmdServiceHandler> QrVoiceCmdServiceHandler::newService(WexSornaService& service)
{
    if (s_qrVoiceCmdServiceHandler) {
        uiLog().log(WexLogError, "Service already running");
        QrvServiceEnd::get().shutdownStart();
    }
    auto* handler = new (std::nothrow) QrVoiceCmdServiceHandler(service);
    if (handler == nullptr)
        return {};
    s_qrVoiceCmdServiceHandler = WexRefCountedPtr<QrVoiceCmdServiceHandler>(handler);
    return s_qrVoiceCmdServiceHandler;
}

WexRefCountedPtr<QrVoiceCmdServiceHandler> QrVoiceCmdServiceHandler::S_getQrVoiceCmdServiceHandler()
{
    return s_qrVoiceCmdServiceHandler;
}

WexErr QrVoiceCmdServiceHandler::Init()
{
    if (WexErr err = addMethods(s_methods, false))
        return WEX_CHECKED(uiLog(), err);
    // The porting layer's long file work counts as a sign of life.
    dvkOemSetAlivePing(&QrvWatchdog::iAmAlive);
    // The porting layer's settings follow the session's language.
    dvkOemSettingsSetLanguageSource(&QrvLangSettingGetter::getCurrentLanguage);
    QrvWatchdog::start();
    return WexErrNone;
}

bool QrVoiceCmdServiceHandler::isRunningInForeground() const
{
    return m_state == STATE_LANGPACK_DOWNLOAD_FOREGROUND || m_state == STATE_RUNNING;
}

WexErr QrVoiceCmdServiceHandler::badState(WexServiceMessage* message, const char* caller)
{
    if (WexErr err = message->replyError(WexErrBadState, "Bad state"))
        return WEX_CHECKED(uiLog(), err);
    uiLog().log(WexLogError, "%s: bad state", caller);
    QrvServiceEnd::get().shutdownStart();
    return WexErrNone;
}

// ---- bus methods ------------------------------------------------------------

WexErr QrVoiceCmdServiceHandler::syncDone(WexServiceMessage* message)
{
    WEX_TRACE_FUNCTION(uiLog());
    logReceived(message);
    return StartCommon(message, false);
}

WexErr QrVoiceCmdServiceHandler::StartVoiceCommand(WexServiceMessage* message)
{
    WEX_TRACE_FUNCTION(uiLog());
    logReceived(message);
    std::string source;  // required, not used
    if (WexErr err = message->payload().get("source", source))
        return WEX_CHECKED(uiLog(), err);
    return StartCommon(message, true);
}

WexErr QrVoiceCmdServiceHandler::StartCommon(WexServiceMessage* message, bool foreground)
{
    if (m_state == STATE_LANGPACK_DOWNLOAD_FOREGROUND || m_state == STATE_RUNNING) {
        WexObject info = WexObject::object();
        if (WexErr err = info.put("info", "ignored: already running"))
            return WEX_CHECKED(uiLog(), err);
        if (WexErr err = message->reply(info))
            return WEX_CHECKED(uiLog(), err);
        uiLog().log(WexLogInfo, "%s: already running.  Ignoring request.", __func__);
        return WexErrNone;
    }
    if (WexErr err = message->reply())
        return WEX_CHECKED(uiLog(), err);
    // Only an accepted request makes the service a foreground session: a
    // refused one must not turn a running background update around.
    if (foreground)
        QrvSettings::setBackgroundProcessingFlag(false);
    if (m_state == STATE_INITIALIZED) {
        uiLog().log(WexLogInfo, "%s: m_state = STATE_INITIALIZED", __func__);
        m_state = STATE_RUNNING;
    } else {
        uiLog().log(WexLogInfo, "%s: m_state=%d", __func__, m_state);
    }
    QrvBringupStart::get().begin(*this);
    return WexErrNone;
}

WexErr QrVoiceCmdServiceHandler::StopVoiceCommand(WexServiceMessage* message)
{
    WEX_TRACE_FUNCTION(uiLog());
    uiLog().log(WexLogNotice, "%s", message->method());
    WexErr err = m_state != STATE_INITIALIZED ? message->reply()
                                              : message->replyError(WexErrNotRunning, "merrowind wasn't running");
    if (err)
        return WEX_CHECKED(uiLog(), err);
    QrvServiceEnd::get().closingSequence();
    return WexErrNone;
}

WexErr QrVoiceCmdServiceHandler::registerUI(WexServiceMessage* message)
{
    WEX_TRACE_FUNCTION(uiLog());
    logReceived(message);
    if (m_state == STATE_INITIALIZED)
        return badState(message, __func__);

    if (m_uiSubscription)
        uiLog().log(WexLogWarning, "UI subscription already received.  Replacing it with new subscription.");
    m_uiRegistered = true;
    auto subscription = wexMakeRefCounted<QrvUiSubscription>(*this, message);
    if (!subscription)
        return WEX_THROWN(uiLog(), WexErrNoMemory);
    // The replaced subscriber is told it is done, as at the end of a session:
    // it would otherwise wait for display requests that go to the new one.
    closeUiSubscription();
    m_uiSubscription = subscription;

    if (WexErr err = message->reply())
        return WEX_CHECKED(uiLog(), err);

    switch (m_state) {
    case STATE_LANGPACK_DOWNLOAD_FOREGROUND:
        break;
    case STATE_LANGPACK_DOWNLOAD_BACKGROUND:
        m_state = STATE_LANGPACK_DOWNLOAD_FOREGROUND;
        uiLog().log(WexLogDebug, "m_state = STATE_LANGPACK_DOWNLOAD_FOREGROUND");
        break;
    case STATE_RUNNING:
        QrvWatchdog::iAmAlive();
        QrvUiStateChange::get().toInitializing();
        QrvInitCheck::get().initCheck(*this);
        break;
    }
    return WexErrNone;
}

WexErr QrVoiceCmdServiceHandler::UIevent(WexServiceMessage* message)
{
    WEX_TRACE_FUNCTION(uiLog());
    logReceived(message);
    if (m_state == STATE_INITIALIZED || !m_suiteReady)
        return badState(message, __func__);

    QrvWatchdog::iAmAlive();
    int32_t event = 0;
    int32_t index = 0;
    if (WexErr err = message->payload().get("event", event))
        return WEX_CHECKED(uiLog(), err);
    if (WexErr err = message->payload().get("index", index))
        return WEX_CHECKED(uiLog(), err);
    uiLog().log(WexLogDebug, "event=%d index=%d", event, index);

    // The suite takes a negative item index for select or set-focus as a
    // programming error and stops the process: from the bus it is bad input.
    if (index < 0 && (event == QrvSuiteUiEvent::EVENT_SELECT || event == QrvSuiteUiEvent::EVENT_SET_FOCUS)) {
        uiLog().log(WexLogWarning, "%s: event %d needs an item index, got %d: refused", __func__, event, index);
        if (WexErr err = message->replyError(WexErrInvalidArg, "invalid index for this event"))
            return WEX_CHECKED(uiLog(), err);
        return WexErrNone;
    }

    if (m_exitEventReceived) {
        uiLog().log(WexLogNotice, "Exit event received previously.  Ignoring this event (%d %d)", event, index);
        // The event is dropped, but the UI's call still waits for its answer:
        // left unanswered it would hang there until the bus timed it out.
        WexObject info = WexObject::object();
        if (WexErr err = info.put("info", "ignored: exiting"))
            return WEX_CHECKED(uiLog(), err);
        if (WexErr err = message->reply(info))
            return WEX_CHECKED(uiLog(), err);
        return WexErrNone;
    }
    if (event == QrvSuiteUiEvent::EVENT_EXIT)
        m_exitEventReceived = true;

    QrvSuiteUiEvent::get().sendEvent(event, index);
    if (WexErr err = message->reply())
        return WEX_CHECKED(uiLog(), err);
    return WexErrNone;
}

// ---- operations no bus method reaches ---------------------------------------

WexErr QrVoiceCmdServiceHandler::setLogLevel(WexServiceMessage* message)
{
    WEX_TRACE_FUNCTION(uiLog());
    logReceived(message);
    if (m_state == STATE_INITIALIZED)
        return badState(message, __func__);
    QrvWatchdog::iAmAlive();
    std::string level;
    if (WexErr err = message->payload().get("level", level))
        return WEX_CHECKED(uiLog(), err);
    if (WexErr err = message->reply())
        return WEX_CHECKED(uiLog(), err);
    uiLog().log(WexLogDebug, "log level set to ...%s", level.c_str());
    return WexErrNone;
}

WexErr QrVoiceCmdServiceHandler::rebuild(WexServiceMessage* message)
{
    WEX_TRACE_FUNCTION(uiLog());
    logReceived(message);
    if (WexErr err = message->reply())
        return WEX_CHECKED(uiLog(), err);
    if (m_state == STATE_INITIALIZED) {
        uiLog().log(WexLogInfo, "m_state = STATE_INITIALIZED");
        m_state = STATE_RUNNING;
        QrvBringupStart::get().begin(*this);
    }
    return WexErrNone;
}

WexErr QrVoiceCmdServiceHandler::downloadTicket(WexServiceMessage* message)
{
    WEX_TRACE_FUNCTION(uiLog());
    logReceived(message);
    if (m_state == STATE_INITIALIZED)
        return badState(message, __func__);
    int64_t ticket = 0;
    std::string action;
    if (WexErr err = message->payload().get("ticket", ticket))
        return WEX_CHECKED(uiLog(), err);
    if (WexErr err = message->payload().get("action", action))
        return WEX_CHECKED(uiLog(), err);

    if (action == "started") {
        uiLog().log(WexLogDebug, "Received download ticket (%lld) from UI", static_cast<long long>(ticket));
        if (WexErr err = message->reply())
            return WEX_CHECKED(uiLog(), err);
        m_state = STATE_LANGPACK_DOWNLOAD_FOREGROUND;
        uiLog().log(WexLogDebug, "m_state = STATE_LANGPACK_DOWNLOAD_FOREGROUND");
        QrvLangPackDownloadStart::get().run(*this, ticket);
        return WexErrNone;
    }
    if (action == "user canceled") {
        if (WexErr err = message->reply())
            return WEX_CHECKED(uiLog(), err);
        return WexErrNone;
    }
    if (WexErr err = message->replyError(WexErrUnexpectedAction, "expected \"started\" or \"user canceled\""))
        return WEX_CHECKED(uiLog(), err);
    return WexErrNone;
}

// ---- the UI subscription ----------------------------------------------------

void QrVoiceCmdServiceHandler::releaseUiSubscription()
{
    // The old message keeps the subscription alive while it listens for a
    // cancel: stop listening, or a later cancel of a replaced subscription
    // would end the session.
    WexRefCountedPtr<QrvUiSubscription> old = std::move(m_uiSubscription);
    if (old)
        old->cancel();
}

void QrVoiceCmdServiceHandler::closeUiSubscription()
{
    WexRefCountedPtr<QrvUiSubscription> subscription = m_uiSubscription;
    releaseUiSubscription();
    if (!subscription)
        return;
    WexServiceMessage* message = subscription->msg();
    if (message == nullptr || message->isCancelled())
        return;
    uiLog().log(WexLogDebug, "cancelling UI subscription...");
    if (WexErr err = message->replyError(WexErrNone, ""))
        WEX_CAUGHT(uiLog(), err);
}

WexErr QrVoiceCmdServiceHandler::UIexited()
{
    WEX_TRACE_FUNCTION(uiLog());
    WexRefCountedPtr<QrVoiceCmdServiceHandler> keep(this);
    if (m_state == STATE_LANGPACK_DOWNLOAD_FOREGROUND) {
        m_state = STATE_LANGPACK_DOWNLOAD_BACKGROUND;
        uiLog().log(WexLogDebug, "m_state = STATE_LANGPACK_DOWNLOAD_BACKGROUND");
        releaseUiSubscription();
    } else if (m_suiteReady) {
        QrvSuiteUiEvent::get().sendEvent(QrvSuiteUiEvent::EVENT_EXIT, 0);
    } else {
        QrvServiceEnd::get().closingSequence();
    }
    return WexErrNone;
}

WexErr QrVoiceCmdServiceHandler::UISubscriptionCancel()
{
    WexRefCountedPtr<QrVoiceCmdServiceHandler> handler = s_qrVoiceCmdServiceHandler;
    if (!handler || !handler->m_uiSubscription)
        return WexErrNone;
    handler->closeUiSubscription();
    return WexErrNone;
}

WexErr QrVoiceCmdServiceHandler::uiRequestNoNesting(WexObject& request, const char* command)
{
    WexRefCountedPtr<QrVoiceCmdServiceHandler> handler = s_qrVoiceCmdServiceHandler;
    if (!handler) {
        uiLog().log(WexLogError, "s_qrVoiceCmdServiceHandler is 0");
        return WexErrNone;
    }
    if (!handler->m_uiSubscription) {
        std::string json;
        if (request.toJson(json) != WexErrNone)
            json = "?";
        uiLog().log(WexLogError, "s_qrVoiceCmdServiceHandler->m_uiSubscription is 0.  command=%s {%s}",
                    command != nullptr ? command : "", json.c_str());
        return WexErrNone;
    }
    WexRefCountedPtr<QrvUiSubscription> subscription = handler->m_uiSubscription;
    WexServiceMessage* message = subscription->msg();
    if (message == nullptr) {
        uiLog().log(WexLogError, "s_qrVoiceCmdServiceHandler->m_uiSubscription->msg() is 0");
        return WexErrNone;
    }
    if (WexErr err = request.put(WexServiceMessage::ReturnValueKey, true))
        return WEX_CHECKED(uiLog(), err);
    if (WexErr err = request.put("command", command != nullptr ? command : ""))
        return WEX_CHECKED(uiLog(), err);
    QrvLog::printObject(uiLog(), WexLogDebug, __func__, request);
    if (WexErr err = message->reply(request))
        return WEX_CHECKED(uiLog(), err);
    return WexErrNone;
}

// ---- outgoing requests ------------------------------------------------------

WexErr QrVoiceCmdServiceHandler::serviceSend(const char* service, const char* method, const WexObject& params,
                                             int replies)
{
    WexRefCountedPtr<WexServiceRequest> request;
    if (WexErr err = WexServiceRequest::create(m_service, request))
        return WEX_CHECKED(uiLog(), err);
    if (uiLog().isEnabled(WexLogDebug)) {
        WexObject what = WexObject::object();
        what.put("service", service != nullptr ? service : "");
        what.put("method", method != nullptr ? method : "");
        what.put("params", params);
        QrvLog::printObject(uiLog(), WexLogDebug, __func__, what);
    }
    auto handler = wexMakeRefCounted<SendHandler>();
    if (!handler)
        return WEX_THROWN(uiLog(), WexErrNoMemory);
    if (WexErr err = request->send(handler->m_slot, service, method, params, replies))
        return WEX_CHECKED(uiLog(), err);
    return WexErrNone;
}

WexErr QrVoiceCmdServiceHandler::serviceSendStatic(const char* service, const char* method, const WexObject& params)
{
    WexRefCountedPtr<QrVoiceCmdServiceHandler> handler = s_qrVoiceCmdServiceHandler;
    if (!handler) {
        uiLog().log(WexLogError, "ERROR in %s: s_qrVoiceCmdServiceHandler is 0", __func__);
        return WexErrNone;
    }
    return handler->serviceSend(service, method, params, 1);
}

WexErr QrVoiceCmdServiceHandler::SendHandler::SendResult(WexObject& reply, WexErr err)
{
    if (err != WexErrNone) {
        LogError(err);
        return WexErrNone;
    }
    if (uiLog().isEnabled(WexLogDebug)) {
        std::string json;
        if (reply.toJson(json) != WexErrNone)
            json = "?";
        uiLog().log(WexLogDebug, "send success, response: %s", json.c_str());
    }
    return WexErrNone;
}

void QrVoiceCmdServiceHandler::SendHandler::handleCancel(const WexSlotBase&)
{
    uiLog().log(WexLogDebug, "%s: request ended without a reply", __func__);
}

void QrVoiceCmdServiceHandler::LogError(WexErr err)
{
    uiLog().log(WexLogDebug, "send failed: %s", wexErrText(err));
}

// ---- statics of the session's end -------------------------------------------

void QrVoiceCmdServiceHandler::S_setExitEventReceived()
{
    if (s_qrVoiceCmdServiceHandler)
        s_qrVoiceCmdServiceHandler->m_exitEventReceived = true;
}

void QrVoiceCmdServiceHandler::shutdown()
{
    uiLog().log(WexLogTrace, "%s: entered", __func__);
    WexRefCountedPtr<QrVoiceCmdServiceHandler> handler = std::move(s_qrVoiceCmdServiceHandler);
    if (!handler)
        return;
    // The service is going away: a UI still subscribed gets the same closing
    // reply as after the suite's exit. Callers do not notice a service that
    // leaves the bus, so without it the UI would wait on the subscription
    // (and go on showing the session) for ever.
    handler->closeUiSubscription();
}
