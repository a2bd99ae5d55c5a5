// The platform's system properties "com.orvel.preferences" on the desktop:
// "systemProperties/Get" {"key": K} answers {K: value}; the board type
// ("com.orvel.properties.boardType") is "desktop" unless set.
//
// Script commands:
//   board-type NAME   the board type answered from now on
//   board-fail        the next "systemProperties/Get" gets an error reply
#pragma once

#include "sim/sim_peer.h"

#include <string>

class SimPreferences : public SimPeer {
public:
    static constexpr const char* BusName = "com.orvel.preferences";

    const char* busName() const override { return BusName; }
    WexErr start(WexService&) override { return WexErrNone; }
    WexErr command(const std::vector<std::string>& words) override;
    void stop() override {}
    std::vector<std::string> methods() const override { return {"systemProperties/Get"}; }
    WexErr invoke(WexServiceMessage* message) override;

private:
    std::string m_boardType = "desktop";
    bool m_fail = false;
};
