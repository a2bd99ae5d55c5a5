#include "src/AudiodServiceHandler.h"

#include "platform/bus/wex_service_request.h"
#include "platform/core/wex_errlog.h"
#include "src/QrVoiceCmdServiceHandler.h"
#include "src/QrvAudioControls.h"
#include "src/QrvBringUp.h"
#include "src/QrvBringupSteps.h"
#include "src/QrvLog.h"
#include "src/QrvServiceEnd.h"
#include "src/QrvSettings.h"

#include <cstring>

namespace {

WexLogger& uiLog()
{
    return QrvLog::UIthread::qrvLog;
}

constexpr const char* kService = "com.orvel.audio";

// The status subscription's handler; "UI" only.
WexRefCountedPtr<AudiodServiceHandler> s_subscription;

WexErr send(WexService* service, const WexRefCountedPtr<AudiodServiceHandler>& handler, const char* method,
            const char* key, bool value, int replies)
{
    if (!handler)
        return WEX_THROWN(uiLog(), WexErrNoMemory);
    WexObject params = WexObject::object();
    params.put(key, value);
    WexRefCountedPtr<WexServiceRequest> request;
    if (WexErr err = WexServiceRequest::create(service, request))
        return WEX_CHECKED(uiLog(), err);
    if (WexErr err = request->send(handler->m_slot, kService, method, params, replies))
        return WEX_CHECKED(uiLog(), err);
    return WexErrNone;
}

QrvSettings::AudioSourceType audioPath(const std::string& scenario)
{
    if (scenario == "voice_command_bluetooth_sco")
        return QrvSettings::AUDIO_SOURCE_BLUETOOTH;
    if (scenario == "voice_command_back_speaker")
        return QrvSettings::AUDIO_SOURCE_HANDSET;
    if (scenario == "voice_command_headset" || scenario == "voice_command_headset_mic")
        return QrvSettings::AUDIO_SOURCE_HEADSET;
    uiLog().log(WexLogError, "bad audiod scenario setting");
    return QrvSettings::AUDIO_SOURCE_NONE;
}

// The bring-up's audio routing step.
class AudioRouting : public QrvAudioRoutingStep {
public:
    WexErr activate(WexService* service) override { return AudiodServiceHandler::activate(service); }
    WexErr subscribe(WexService* service) override { return AudiodServiceHandler::subscribe(service); }
    void cancel() override { AudiodServiceHandler::cancelSubscription(); }
};

} // namespace

template <>
QrvAudioRoutingStep& QrvSeam<QrvAudioRoutingStep>::defaultImpl()
{
    static AudioRouting impl;
    return impl;
}

WexErr AudiodServiceHandler::activate(WexService* service)
{
    return send(service, wexMakeRefCounted<AudiodServiceHandler>(ACTIVATE), "voiceCommand/control", "active", true,
                1);
}

WexErr AudiodServiceHandler::deactivate(WexService* service)
{
    return send(service, wexMakeRefCounted<AudiodServiceHandler>(DEACTIVATE), "voiceCommand/control", "active",
                false, 1);
}

WexErr AudiodServiceHandler::subscribe(WexService* service)
{
    cancelSubscription();
    s_subscription = wexMakeRefCounted<AudiodServiceHandler>(STATUS_SUBSCRIPTION);
    return send(service, s_subscription, "voiceCommand/status", "subscribe", true, WexServiceRequest::Unlimited);
}

void AudiodServiceHandler::cancelSubscription()
{
    WexRefCountedPtr<AudiodServiceHandler> old = std::move(s_subscription);
    if (old)
        old->cancel();
}

WexErr AudiodServiceHandler::Result(WexObject& reply, WexErr err)
{
    if (err != WexErrNone) {
        QrVoiceCmdServiceHandler::LogError(err);
        return WexErrNone;
    }
    QrvLog::printObject(uiLog(), WexLogDebug, __func__, "audiod response", reply);
    switch (m_type) {
    case ACTIVATE:
        uiLog().log(WexLogInfo, "%s: audiod activated", __func__);
        return QrvBringUp::AudiodSubscribe();
    case DEACTIVATE:
        uiLog().log(WexLogInfo, "%s: audiod deactivate", __func__);
        QrvServiceEnd::get().shutdownStart();
        return WexErrNone;
    case STATUS_SUBSCRIPTION:
        return status(reply);
    }
    return WexErrNone;
}

WexErr AudiodServiceHandler::status(WexObject& reply)
{
    uiLog().log(WexLogInfo, "%s: audiod subscription response", __func__);
    std::string scenario;
    bool found = false;
    if (WexErr err = reply.getOptional("scenario", scenario, &found))
        return WEX_CHECKED(uiLog(), err);
    if (!found) {
        uiLog().log(WexLogError, "Can't find scenario field");
        return WexErrNone;
    }
    const QrvSettings::AudioSourceType path = audioPath(scenario);
    if (m_statusReceived && QrvSettings::getAudioSourceType() != path)
        uiLog().log(WexLogWarning, "Audiod changing scenario in the middle of a session.  Not supported.");
    QrvSettings::setAudioSourceType(path);

    bool active = true;
    bool activeFound = false;
    reply.getOptional("active", active, &activeFound);
    if (!m_statusReceived) {
        m_statusReceived = true;
        QrvMediaCaptureControl::get().init();
        QrvBringUp::notifyAudiodSubscrReceived();
        return WexErrNone;
    }
    if (activeFound && !active) {
        uiLog().log(WexLogDebug,
                    "Audiod requested exit of voice recognition mode.  Probably press/hold on volume button");
        QrVoiceCmdServiceHandler::S_setExitEventReceived();
        QrvServiceEnd::get().closingSequence();
        return WexErrNone;
    }
    uiLog().log(WexLogWarning, "Expecting only one audiod status response");
    return WexErrNone;
}
