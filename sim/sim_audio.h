// The audio routing service "com.orvel.audio" on the desktop. Each call's
// payload is printed as one JSON line {"method": ..., "params": ...}.
// "voiceCommand/control" {"active": B} switches voice-command mode;
// "voiceCommand/status" {"subscribe": true} is a subscription answered at
// once with one status {"scenario", "active"}, then on command. When a
// subscription is cancelled the routing reverts (mode off, back speaker).
//
// Script commands:
//   audio-status SCENARIO ACTIVE   send the status (ACTIVE true or false) to
//                                  every subscription
#pragma once

#include "platform/core/wex_ref_counted.h"
#include "sim/sim_peer.h"

#include <cstdio>
#include <string>

class SimAudio : public SimPeer {
public:
    static constexpr const char* BusName = "com.orvel.audio";
    static constexpr const char* DefaultScenario = "voice_command_back_speaker";

    explicit SimAudio(FILE* out = stdout);
    ~SimAudio() override;

    const char* busName() const override { return BusName; }
    WexErr start(WexService&) override;
    WexErr command(const std::vector<std::string>& words) override;
    void stop() override;
    std::vector<std::string> methods() const override { return {"voiceCommand/control", "voiceCommand/status"}; }
    WexErr invoke(WexServiceMessage* message) override;

private:
    class Subscriptions;
    WexObject status() const;

    FILE* m_out;
    std::string m_scenario = DefaultScenario;
    bool m_active = false;
    WexRefCountedPtr<Subscriptions> m_subscriptions;
};
