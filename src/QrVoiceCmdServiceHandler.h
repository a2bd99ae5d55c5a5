// The single request handler of the bus service "com.orvel.merrowind": owns
// the service state, answers the bus methods, holds the UI's "registerUI"
// subscription (over which every display request travels) and the flags from
// which the bring-up decides when the suite may start. Everything here runs
// on "UI".
#pragma once

#include "platform/bus/wex_service.h"
#include "platform/bus/wex_sorna_service.h"
#include "platform/core/wex_object.h"
#include "platform/core/wex_ref_counted.h"
#include "platform/core/wex_signal.h"
#include "src/QrvUiSubscription.h"

class QrVoiceCmdServiceHandler : public WexService::CategoryHandler {
public:
    // Service states; the names are the texts the logs use.
    enum State {
        STATE_INITIALIZED = 0,                  // no request has started anything
        STATE_LANGPACK_DOWNLOAD_FOREGROUND = 1, // a pack downloads while the UI shows it
        STATE_LANGPACK_DOWNLOAD_BACKGROUND = 2, // the download goes on without a UI
        STATE_RUNNING = 3,                      // a session or a background update
    };
    static const char* stateName(int state);

    // Makes a new handler the process's one handler (releasing an earlier
    // one, which also starts the shut-down) and returns it.
    static WexRefCountedPtr<QrVoiceCmdServiceHandler> newService(WexSornaService& service);
    // A new reference to the one handler (null when none).
    static WexRefCountedPtr<QrVoiceCmdServiceHandler> S_getQrVoiceCmdServiceHandler();

    // Registers the bus methods, then starts the watchdog.
    WexErr Init();

    // Bus methods ("syncDone", "startVoiceCommand", "stopVoiceCommand",
    // "registerUI", "UIevent").
    WexErr syncDone(WexServiceMessage* message);
    WexErr StartVoiceCommand(WexServiceMessage* message);
    WexErr StopVoiceCommand(WexServiceMessage* message);
    WexErr registerUI(WexServiceMessage* message);
    WexErr UIevent(WexServiceMessage* message);

    // Operations with the same conventions that no bus method reaches.
    WexErr setLogLevel(WexServiceMessage* message);
    WexErr rebuild(WexServiceMessage* message);
    WexErr downloadTicket(WexServiceMessage* message);

    // The bus cancelled the UI's subscription.
    WexErr UIexited();
    // Ends the UI's subscription after the suite reported its exit.
    static WexErr UISubscriptionCancel();
    // Sends one display request as a reply on the UI's subscription.
    static WexErr uiRequestNoNesting(WexObject& request, const char* command);

    // A request to another bus service whose replies are only logged.
    WexErr serviceSend(const char* service, const char* method, const WexObject& params, int replies);
    static WexErr serviceSendStatic(const char* service, const char* method, const WexObject& params);
    static void LogError(WexErr err);

    // Audio routing ended the session: later UI events are not passed on.
    static void S_setExitEventReceived();
    // Part of the final shut-down: ends the subscriptions, drops the handler.
    static void shutdown();

    // The suite reported a successful start.
    void setVRThreadActiveFlag() { m_suiteReady = true; }
    // States 1 and 3: a session the user sees.
    bool isRunningInForeground() const;

    int state() const { return m_state; }
    WexService* service() const { return m_service; }
    bool languageReady() const { return m_languageReady; }
    bool uiRegistered() const { return m_uiRegistered; }
    bool suiteReady() const { return m_suiteReady; }
    bool exitEventReceived() const { return m_exitEventReceived; }
    QrvUiSubscription* uiSubscription() const { return m_uiSubscription.get(); }

    static WexRefCountedPtr<QrVoiceCmdServiceHandler> s_qrVoiceCmdServiceHandler;

    // Sends a request and logs its replies.
    class SendHandler : public WexSignalHandler {
    public:
        WexErr SendResult(WexObject& reply, WexErr err);
        void handleCancel(const WexSlotBase& slot) override;
        WexReplySlot m_slot{this, &SendHandler::SendResult};
    };

protected:
    explicit QrVoiceCmdServiceHandler(WexSornaService& service);
    ~QrVoiceCmdServiceHandler() override;

private:
    // The bring-up's steps keep their state in the flags below.
    friend class QrvBringUp;

    // Shared by "syncDone" and "startVoiceCommand"; `foreground` clears the
    // background flag once the request is accepted.
    WexErr StartCommon(WexServiceMessage* message, bool foreground);
    // A method called in the wrong state: error 13, then the shut-down.
    WexErr badState(WexServiceMessage* message, const char* caller);
    // Stops listening to a subscription and lets it go.
    void releaseUiSubscription();
    // Releases the subscription and sends its subscriber the closing reply
    // (errorCode 0), so that it stops waiting for display requests.
    void closeUiSubscription();

    WexService* m_service;
    int m_state = STATE_INITIALIZED;
    bool m_languageReady = false;
    bool m_uiRegistered = false;
    bool m_uiLaunchRequested = false;
    bool m_suiteStarting = false;
    bool m_suiteReady = false;
    bool m_cmdRecogStarted = false;
    bool m_audioReady = false;
    bool m_exitEventReceived = false;
    WexRefCountedPtr<QrvUiSubscription> m_uiSubscription;
};
