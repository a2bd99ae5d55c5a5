// The audio routing service "com.orvel.audio": voice-command mode on
// ("voiceCommand/control" {"active": true}), then the voice-command status
// subscription, whose first usable reply gives the audio path and means that
// audio is ready; a later inactive status ends the session. One handler
// object per request, each the reply handler of its request. "UI" only.
#pragma once

#include "platform/bus/wex_service.h"
#include "platform/core/wex_object.h"
#include "platform/core/wex_ref_counted.h"
#include "platform/core/wex_signal.h"

class AudiodServiceHandler : public WexSignalHandler {
public:
    enum CmdType_E {
        ACTIVATE = 0,
        DEACTIVATE = 1,
        STATUS_SUBSCRIPTION = 2,
    };

    explicit AudiodServiceHandler(CmdType_E type) : m_type(type) {}

    WexErr Result(WexObject& reply, WexErr err);
    // No further reply; the subscription ends.
    void cancel() { m_slot.cancel(); }

    // The requests (the request handler's AudiodActivate, AudiodSubscribe,
    // AudiodDeactivate). The subscription's handler replaces an earlier one
    // and is kept until cancelSubscription.
    static WexErr activate(WexService* service);
    static WexErr subscribe(WexService* service);
    static WexErr deactivate(WexService* service);
    static void cancelSubscription();

    WexReplySlot m_slot{this, &AudiodServiceHandler::Result};

protected:
    ~AudiodServiceHandler() override = default;

private:
    WexErr status(WexObject& reply);

    CmdType_E m_type;
    bool m_statusReceived = false;
};
