// The bring-up of a session, run by the request handler on "UI" after
// "startVoiceCommand" or "syncDone": language, packs, contact counts, board
// type, last outgoing call, audio routing, the UI's launch and subscription,
// the suite's creation on "VR", and finally the one start of command
// recognition. Each step ends in a completion that starts the next; the
// handler's flags record which conditions hold, and initCheck is the one
// place that decides whether the suite may be created or started. In
// background mode audio and UI are skipped and the service ends as soon as
// the suite has started (that is, has rebuilt its grammars).
//
// The completions that outside steps call (the ...Static and the nested
// getters' completions) act on the handler singleton; after the final
// shut-down has released it they are ignored.
#pragma once

#include "core/ce/dvk_app.h"
#include "platform/core/wex_err.h"
#include "src/QrvBringupSteps.h"

#include <cstdint>

class QrVoiceCmdServiceHandler;

class QrvBringUp {
public:
    // The suite's completion codes; -1 also reports an incomplete start.
    using CompletionCode = dvk_app_CompletionCode;
    static constexpr CompletionCode DVK_APP_INCOMPLETE_START = static_cast<CompletionCode>(-1);
    static constexpr CompletionCode DVK_APP_SUCCESS = ::DVK_APP_SUCCESS;
    static constexpr CompletionCode DVK_APP_ABORTED = ::DVK_APP_ABORTED;
    static constexpr CompletionCode DVK_APP_TIMED_OUT = ::DVK_APP_TIMED_OUT;
    static constexpr CompletionCode DVK_APP_INVALID_LANGUAGE = ::DVK_APP_INVALID_LANGUAGE;
    static constexpr CompletionCode DVK_APP_NO_MEMORY = ::DVK_APP_OUT_OF_MEMORY;
    static constexpr CompletionCode DVK_APP_CANCELLED = ::DVK_APP_CANCELLED;
    static constexpr CompletionCode DVK_APP_INCOMPLETE = ::DVK_APP_INCOMPLETE;
    static constexpr CompletionCode DVK_APP_ALREADY_CREATED = ::DVK_APP_ALREADY_CREATED;
    static constexpr CompletionCode DVK_APP_USER_EXIT = ::DVK_APP_ALWAYS_AVAILABLE_EXIT;

    // Step 1: the language, known already or read from the locale.
    static void begin(QrVoiceCmdServiceHandler& handler);
    static void languageSettingIdentifiedStatic();
    static void languageSettingIdentified(QrVoiceCmdServiceHandler& handler);
    // The contact counts are in (QuerySizeGetterWrapper::getterDone): the
    // persons the stored voice data covers and those new since.
    static void contactCountsDone(long long previous, long long newCount);
    static void watermarksSynced(QrVoiceCmdServiceHandler& handler);
    static void loadLanguage(QrVoiceCmdServiceHandler& handler);
    // After a language pack was installed.
    static void loadLanguageStatic();
    // BoardGetter::boardTypeSettingRead.
    static void boardTypeSettingRead();
    // OutgoingCallGetter::outgoingCallGetterdone.
    static void outgoingCallGetterdone();
    static WexErr AudiodActivate(QrVoiceCmdServiceHandler& handler);
    // The audio routing's activation was answered.
    static WexErr AudiodSubscribe();
    // The audio routing's first usable status.
    static void notifyAudiodSubscrReceived();
    static void startUI(QrVoiceCmdServiceHandler& handler, QrvUiStep::Reason_E reason);

    // Creates the suite when it may be, starts command recognition once when
    // everything is ready, or, in background mode, ends the service once the
    // suite has started. Always success.
    static WexErr initCheck(QrVoiceCmdServiceHandler& handler);
    // Asks for the suite's creation, once per process; throws
    // std::runtime_error("failure starting Dravik") when the suite refuses.
    static void startVRThread(QrVoiceCmdServiceHandler& handler);
    static bool bringupComplete(const QrVoiceCmdServiceHandler& handler);
    // The suite's creation report, on "UI".
    static void app_create_notify(dvk_app_CompletionCode code, void* context);
};
