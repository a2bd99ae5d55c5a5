// The system service "com.orvel.systemservice" on the desktop: answers
// "getPreferences" with the locale and the voice-command switch. They come
// from a JSON file of its own (the --prefs option), shaped as the reply:
// {"locale": {"languageCode": "en", "countryCode": "ca"},
//  "enableVoiceCommand": true}; without one: en/US, enabled.
//
// Script commands:
//   prefs-fail    the next "getPreferences" gets an error reply
#pragma once

#include "sim/sim_peer.h"

#include <string>

class SimSystemService : public SimPeer {
public:
    static constexpr const char* BusName = "com.orvel.systemservice";

    SimSystemService();
    // Reads the preferences of `path`; false (with `why`) when unusable.
    bool load(const std::string& path, std::string& why);

    const char* busName() const override { return BusName; }
    WexErr start(WexService&) override { return WexErrNone; }
    WexErr command(const std::vector<std::string>& words) override;
    void stop() override {}
    std::vector<std::string> methods() const override { return {"getPreferences"}; }
    WexErr invoke(WexServiceMessage* message) override;

private:
    WexObject m_prefs;
    bool m_fail = false;
};
