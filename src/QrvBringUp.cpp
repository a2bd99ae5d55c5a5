#include "src/QrvBringUp.h"

#include "src/DownChirpAndExit.h"
#include "src/QrVoiceCmdServiceApp.h"
#include "src/QrVoiceCmdServiceHandler.h"
#include "src/QrvBringupStart.h"
#include "src/QrvInitCheck.h"
#include "src/QrvLog.h"
#include "src/QrvServiceEnd.h"
#include "src/QrvSettings.h"
#include "src/QrvUiStateChange.h"

#include "platform/core/wex_errlog.h"

#include <exception>
#include <stdexcept>

namespace {

WexLogger& uiLog()
{
    return QrvLog::UIthread::qrvLog;
}

using Handler = QrVoiceCmdServiceHandler;

bool background()
{
    return QrvSettings::getBackgroundProcessingFlag();
}

const char* readiness(bool ready)
{
    return ready ? "ready" : "not ready";
}

// The handler, or null (logged) when the service has been shut down.
WexRefCountedPtr<Handler> singleton(const char* caller)
{
    WexRefCountedPtr<Handler> handler = Handler::S_getQrVoiceCmdServiceHandler();
    if (!handler)
        uiLog().log(WexLogWarning, "%s: no request handler (shut down).  Ignoring.", caller);
    return handler;
}

// Once the session is closing, the bring-up starts nothing more: a UI
// launched or a suite created now would only be torn down under the chirp.
bool sessionEnding(const char* caller)
{
    if (!DownChirpAndExit::closingRequested() && !QrVoiceCmdServiceApp::s_shutdownActive.load())
        return false;
    uiLog().log(WexLogDebug, "%s: the session is ending.  Nothing more starts.", caller);
    return true;
}

void languagePackUnavailable(const char* caller)
{
    uiLog().log(WexLogError, "%s: language pack unavailable.  Exiting", caller);
    DownChirpAndExit::supressDownChirp();
    QrvServiceEnd::get().closingSequence();
}

// The handler's seams for the start of the bring-up and for initCheck.
class BringupStart : public QrvBringupStart {
public:
    void begin(Handler& handler) override { QrvBringUp::begin(handler); }
};

class InitCheck : public QrvInitCheck {
public:
    WexErr initCheck(Handler& handler) override { return QrvBringUp::initCheck(handler); }
};

} // namespace

template <>
QrvBringupStart& QrvSeam<QrvBringupStart>::defaultImpl()
{
    static BringupStart impl;
    return impl;
}

template <>
QrvInitCheck& QrvSeam<QrvInitCheck>::defaultImpl()
{
    static InitCheck impl;
    return impl;
}

void QrvBringUp::begin(Handler& handler)
{
    WEX_TRACE_FUNCTION(uiLog());
    QrvLanguageStep& language = QrvLanguageStep::get();
    if (!language.languageKnown())
        language.identify(handler.service());
    else
        languageSettingIdentified(handler);
}

void QrvBringUp::languageSettingIdentifiedStatic()
{
    if (WexRefCountedPtr<Handler> handler = singleton(__func__))
        languageSettingIdentified(*handler);
}

void QrvBringUp::languageSettingIdentified(Handler& handler)
{
    WEX_TRACE_FUNCTION(uiLog());
    if (QrvLanguagePackStep::get().languagePacksInstalled()) {
        // A new count replaces one still running.
        QrvContactCountsStep::get().release();
        QrvContactCountsStep::get().start(handler.service());
        return;
    }
    QrvContactCountsStep::get().forgetVoiceData();
    watermarksSynced(handler);
}

void QrvBringUp::contactCountsDone(long long previous, long long newCount)
{
    uiLog().log(WexLogDebug, "%s: %lld %lld", __func__, previous, newCount);
    if (WexRefCountedPtr<Handler> handler = singleton(__func__))
        watermarksSynced(*handler);
}

void QrvBringUp::watermarksSynced(Handler& handler)
{
    WEX_TRACE_FUNCTION(uiLog());
    QrvContactCountsStep::get().release();
    switch (handler.m_state) {
    case Handler::STATE_LANGPACK_DOWNLOAD_BACKGROUND:
        languagePackUnavailable(__func__);
        return;
    case Handler::STATE_LANGPACK_DOWNLOAD_FOREGROUND:
        break;
    default:
        if (!QrvLanguagePackStep::get().languagePacksInstalled()) {
            languagePackUnavailable(__func__);
            return;
        }
        break;
    }
    handler.m_languageReady = true;
    loadLanguage(handler);
}

void QrvBringUp::loadLanguage(Handler& handler)
{
    WEX_TRACE_FUNCTION(uiLog());
    handler.m_languageReady = true;
    if (handler.m_audioReady)
        uiLog().log(WexLogError, "event sequence error related to audiod and language packs");
    QrvPhoneInfoStep::get().readBoardType(handler.service());
}

void QrvBringUp::loadLanguageStatic()
{
    WexRefCountedPtr<Handler> handler = singleton(__func__);
    if (!handler)
        return;
    if (handler->m_state == Handler::STATE_LANGPACK_DOWNLOAD_BACKGROUND) {
        QrvServiceEnd::get().shutdownStart();
        return;
    }
    loadLanguage(*handler);
}

void QrvBringUp::boardTypeSettingRead()
{
    WEX_TRACE_FUNCTION(uiLog());
    if (WexRefCountedPtr<Handler> handler = singleton(__func__))
        QrvPhoneInfoStep::get().readLastOutgoingCall(handler->service());
}

void QrvBringUp::outgoingCallGetterdone()
{
    WEX_TRACE_FUNCTION(uiLog());
    WexRefCountedPtr<Handler> handler = singleton(__func__);
    if (!handler)
        return;
    if (background()) {
        initCheck(*handler);
        return;
    }
    if (AudiodActivate(*handler) != WexErrNone) {
        uiLog().log(WexLogError, "Audio start failure.  Exiting...");
        QrvServiceEnd::get().shutdownStart();
    }
}

WexErr QrvBringUp::AudiodActivate(Handler& handler)
{
    WEX_TRACE_FUNCTION(uiLog());
    if (WexErr err = QrvAudioRoutingStep::get().activate(handler.service()))
        return WEX_CHECKED(uiLog(), err);
    return WexErrNone;
}

WexErr QrvBringUp::AudiodSubscribe()
{
    WEX_TRACE_FUNCTION(uiLog());
    WexRefCountedPtr<Handler> handler = singleton(__func__);
    if (!handler)
        return WexErrNone;
    if (WexErr err = QrvAudioRoutingStep::get().subscribe(handler->service()))
        return WEX_CHECKED(uiLog(), err);
    return WexErrNone;
}

void QrvBringUp::notifyAudiodSubscrReceived()
{
    WEX_TRACE_FUNCTION(uiLog());
    WexRefCountedPtr<Handler> handler = singleton(__func__);
    if (!handler)
        return;
    handler->m_audioReady = true;
    startUI(*handler, QrvUiStep::REASON_SESSION_START);
}

void QrvBringUp::startUI(Handler& handler, QrvUiStep::Reason_E reason)
{
    WEX_TRACE_FUNCTION(uiLog());
    if (sessionEnding(__func__))
        return;
    if (handler.m_uiRegistered) {
        QrvUiStateChange::get().toNeither();
        initCheck(handler);
        return;
    }
    if (handler.m_uiLaunchRequested) {
        uiLog().log(WexLogError, "Internal download state inconsistency.  Ignoring startVoiceCommand primitive. %d %d",
                    1, handler.m_uiRegistered ? 1 : 0);
        return;
    }
    handler.m_uiLaunchRequested = true;
    QrvUiStep::get().launch(handler.service(), reason);
}

bool QrvBringUp::bringupComplete(const Handler& handler)
{
    return handler.m_uiRegistered && handler.m_languageReady && handler.m_audioReady && handler.m_uiSubscription &&
           handler.m_suiteReady;
}

WexErr QrvBringUp::initCheck(Handler& handler)
{
    WEX_TRACE_FUNCTION(uiLog());
    if (sessionEnding(__func__))
        return WexErrNone;
    // The handler must outlive a closing sequence started from here.
    WexRefCountedPtr<Handler> keep(&handler);
    uiLog().log(WexLogDebug, "language:\t%s", readiness(handler.m_languageReady));
    uiLog().log(WexLogDebug, "audio:\t%s", readiness(handler.m_audioReady));
    uiLog().log(WexLogDebug, "UI(subscription):\t%s", readiness(static_cast<bool>(handler.m_uiSubscription)));
    uiLog().log(WexLogDebug, "dravik:\t%s",
                handler.m_suiteReady ? "ready" : handler.m_suiteStarting ? "starting" : "not ready");

    if (handler.m_suiteReady && background()) {
        QrvServiceEnd::get().closingSequence();
        return WexErrNone;
    }

    // Callers are bus methods and completions on the main loop: a failure to
    // start the suite must end the session here, not unwind through GLib.
    try {
        startVRThread(handler);
    } catch (const std::exception& e) {
        uiLog().log(WexLogError, "%s", e.what());
        QrvServiceEnd::get().closingSequence();
        return WexErrNone;
    }

    if (background())
        return WexErrNone;

    if (bringupComplete(handler) && !handler.m_cmdRecogStarted) {
        handler.m_cmdRecogStarted = true;
        uiLog().log(WexLogDebug, "calling dvk_app_startCmdRecog()...");
        if (QrvSuiteStep::get().startCmdRecog() != 0)
            uiLog().log(WexLogError, "dvk_app_startCmdRecog() failed.");
    }
    return WexErrNone;
}

void QrvBringUp::startVRThread(Handler& handler)
{
    if (handler.m_suiteStarting)
        return;
    handler.m_suiteStarting = true;
    uiLog().log(WexLogDebug, "initializing dravik...");
    if (QrvSuiteStep::get().create(app_create_notify, &handler) != 0)
        throw std::runtime_error("failure starting Dravik");
    uiLog().log(WexLogDebug, "dvk_app_create() done");
}

void QrvBringUp::app_create_notify(dvk_app_CompletionCode code, void*)
{
    WEX_TRACE_FUNCTION(uiLog());
    // The report may come after the final shut-down released the handler
    // its context points to: only the live singleton is used.
    WexRefCountedPtr<Handler> handler = singleton(__func__);
    if (!handler)
        return;

    const char* text = nullptr;
    switch (static_cast<int32_t>(code)) {
    case DVK_APP_INCOMPLETE_START:
    case DVK_APP_INCOMPLETE:
        uiLog().log(WexLogDebug, "INCOMPLETE.  Continuing...");
        return;
    case DVK_APP_SUCCESS:
        uiLog().log(WexLogDebug, "Dravik done starting!");
        handler->setVRThreadActiveFlag();
        initCheck(*handler);
        return;
    case DVK_APP_ABORTED: text = "ERROR: Aborted"; break;
    case DVK_APP_TIMED_OUT: text = "ERROR: timed out"; break;
    case DVK_APP_INVALID_LANGUAGE: text = "ERROR: invalid language"; break;
    case DVK_APP_NO_MEMORY: text = "ERROR: No memory"; break;
    case DVK_APP_CANCELLED: text = "ERROR: Cancelled"; break;
    case DVK_APP_ALREADY_CREATED: text = "ERROR: already created"; break;
    case DVK_APP_USER_EXIT: text = "User request to exit"; break;
    default: return;
    }
    uiLog().log(WexLogDebug, "%s", text);
    QrvServiceEnd::get().closingSequence();
}
