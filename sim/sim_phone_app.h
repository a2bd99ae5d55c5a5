// The phone application "com.orvel.app.phone" as the voice-command service's
// user interface: subscribes with "registerUI", forwards key and touch events
// with "UIevent", and writes every reply it receives to standard output as
// one JSON line: {"method": ..., "error": code, "reply": {...}}.
//
// Script commands:
//   register             call "registerUI" (a subscription; an earlier one is
//                        cancelled once the new call has gone out)
//   event EVENT INDEX    call "UIevent" with {"event": EVENT, "index": INDEX}
//   cancel               cancel the "registerUI" subscription
#pragma once

#include "platform/bus/wex_service_request.h"
#include "sim/sim_peer.h"

#include <cstdio>

class SimPhoneApp : public SimPeer {
public:
    static constexpr const char* BusName = "com.orvel.app.phone";
    static constexpr const char* ServiceName = "com.orvel.merrowind";

    explicit SimPhoneApp(FILE* out = stdout);
    ~SimPhoneApp() override;

    const char* busName() const override { return BusName; }
    WexErr start(WexService& service) override;
    WexErr command(const std::vector<std::string>& words) override;
    void stop() override;

    // What "register" does.
    WexErr registerUI();

private:
    class Replies;
    WexErr call(const char* method, const WexObject& params, int replies, bool subscription);

    FILE* m_out;
    WexService* m_service = nullptr;
    WexRefCountedPtr<Replies> m_registerUi;  // the current subscription's slot
    WexRefCountedPtr<Replies> m_events;
};
