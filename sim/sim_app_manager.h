// The application manager "com.orvel.applicationManager" on the desktop:
// answers "launch" with one success reply and writes each launch's payload
// to its output as one JSON line: {"method": "launch", "params": {...}}.
// A launch of the phone application for voice command ({"id":
// "com.orvel.app.phone", "params": {"action": "voicecommand", ...}}) also
// runs the phone application's "register".
#pragma once

#include "sim/sim_peer.h"

#include <cstdio>
#include <functional>

class SimAppManager : public SimPeer {
public:
    static constexpr const char* BusName = "com.orvel.applicationManager";

    // `onVoiceCommand` runs for each launch of the phone application for
    // voice command.
    explicit SimAppManager(std::function<void()> onVoiceCommand, FILE* out = stdout);

    const char* busName() const override { return BusName; }
    WexErr start(WexService&) override { return WexErrNone; }
    WexErr command(const std::vector<std::string>&) override { return WexErrNotFound; }
    void stop() override {}
    std::vector<std::string> methods() const override { return {"launch"}; }
    WexErr invoke(WexServiceMessage* message) override;

private:
    std::function<void()> m_onVoiceCommand;
    FILE* m_out;
};
