// The outside steps of a session's bring-up, each reached through an
// interface so the chain runs whatever of them is built. Every step that
// works asynchronously reports back through the chain's named completion in
// QrvBringUp, on "UI".
#pragma once

#include "core/ce/dvk_app.h"
#include "platform/core/wex_err.h"
#include "src/QrvSeam.h"

#include <cstdint>

class WexService;

// The suite's language (QrvLangSettingGetter).
class QrvLanguageStep : public QrvSeam<QrvLanguageStep> {
public:
    // The language is known already (not QrvLangSettingGetter::LANG_UNKNOWN).
    virtual bool languageKnown() = 0;
    // Starts reading the locale; completion
    // QrvBringUp::languageSettingIdentifiedStatic. Voice command disabled in
    // the preferences starts the shut-down instead.
    virtual void identify(WexService* service) = 0;
};

// The language's pack (QrvLangPackDownloadMonitor::languagePacksInstalled).
// After a pack was installed the bring-up resumes at
// QrvBringUp::loadLanguageStatic.
class QrvLanguagePackStep : public QrvSeam<QrvLanguagePackStep> {
public:
    // Every file of the current language's pack is installed with the
    // service or downloaded, and of the service's version.
    virtual bool languagePacksInstalled() = 0;
};

// The voice-data record and the two contact counts that decide between a
// full and an incremental grammar update (QrvContactsQuerySizeGetter,
// QrvMetaDbInfo).
class QrvContactCountsStep : public QrvSeam<QrvContactCountsStep> {
public:
    // Reads the record and runs the counts; completion
    // QrvBringUp::contactCountsDone. In background mode with nothing to
    // update the step ends the service itself.
    virtual void start(WexService* service) = 0;
    // Drops the step's work in progress (its result is no longer wanted).
    virtual void release() = 0;
    // No packs: the stored voice data is void (record file deleted,
    // watermark -1), so the next update is a full one.
    virtual void forgetVoiceData() = 0;
};

// The board type and the last outgoing call (BoardTypeSettingGetter,
// QrvLastOutgoingCallGetter).
class QrvPhoneInfoStep : public QrvSeam<QrvPhoneInfoStep> {
public:
    // Completion QrvBringUp::boardTypeSettingRead.
    virtual void readBoardType(WexService* service) = 0;
    // Completion QrvBringUp::outgoingCallGetterdone.
    virtual void readLastOutgoingCall(WexService* service) = 0;
};

// The audio routing service "com.orvel.audio" (AudiodServiceHandler).
class QrvAudioRoutingStep : public QrvSeam<QrvAudioRoutingStep> {
public:
    // "voiceCommand/control" {"active": true}; its reply calls
    // QrvBringUp::AudiodSubscribe. Non-zero when it could not be sent.
    virtual WexErr activate(WexService* service) = 0;
    // "voiceCommand/status" {"subscribe": true}, replacing an earlier
    // subscription; the first usable status stores the audio path, starts the
    // media capture and calls QrvBringUp::notifyAudiodSubscrReceived.
    virtual WexErr subscribe(WexService* service) = 0;
    // The final shut-down: cancels and releases the status subscription.
    virtual void cancel() = 0;
};

// The phone application as the user interface (UIServiceHandler).
class QrvUiStep : public QrvSeam<QrvUiStep> {
public:
    enum Reason_E : int32_t {
        REASON_NO_LANG = 0,
        REASON_DOWNLOADING = 1,
        REASON_SESSION_START = 2,
    };

    // Launches "com.orvel.app.phone"; it answers with "registerUI".
    virtual void launch(WexService* service, Reason_E reason) = 0;
};

// The suite's application interface (dvk_app_create, dvk_app_startCmdRecog
// with the service's notification table).
class QrvSuiteStep : public QrvSeam<QrvSuiteStep> {
public:
    // Delivered on "UI".
    using CreateNotify = dvk_app_CompletionCallback;

    // 0 when the creation request was posted.
    virtual int create(CreateNotify notify, void* context) = 0;
    // 0 when the start request was posted.
    virtual int startCmdRecog() = 0;
};

template <>
QrvLanguageStep& QrvSeam<QrvLanguageStep>::defaultImpl();
template <>
QrvLanguagePackStep& QrvSeam<QrvLanguagePackStep>::defaultImpl();
template <>
QrvContactCountsStep& QrvSeam<QrvContactCountsStep>::defaultImpl();
template <>
QrvPhoneInfoStep& QrvSeam<QrvPhoneInfoStep>::defaultImpl();
template <>
QrvAudioRoutingStep& QrvSeam<QrvAudioRoutingStep>::defaultImpl();
template <>
QrvUiStep& QrvSeam<QrvUiStep>::defaultImpl();
template <>
QrvSuiteStep& QrvSeam<QrvSuiteStep>::defaultImpl();
