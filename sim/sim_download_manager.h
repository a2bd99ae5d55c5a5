// The download manager "com.orvel.downloadmanager" on the desktop: follows
// the download of a language pack by ticket, with no network. A ticket is
// registered by script with a local file, which "downloadStatusQuery"
// {"ticket", "subscribe": true} copies chunk by chunk, one chunk per
// interval, to "/media/internal/downloads/voiceCommandLanguagePack.ipk"
// under the root: each chunk is answered {"amountReceived", "completed":
// false}, the end {"completed": true, "completionStatusCode": 0,
// "amountReceived"}. A failing ticket answers {"completionStatusCode": CODE};
// an unknown one gets an error reply; a cancelled query stops its copy. Each
// call's payload is printed as one JSON line {"method": ..., "params": ...}.
//
// Script commands:
//   download-ticket TICKET FILE [CHUNKS [INTERVAL_MS]]   (4 chunks, 100 ms)
//   download-fail TICKET CODE                            (CODE negative)
//   download-twice TICKET     the end is answered twice
//   download-then-fail TICKET CODE   the end is followed by a failure
//                                    {"completionStatusCode": CODE}
#pragma once

#include "platform/core/wex_ref_counted.h"
#include "sim/sim_peer.h"

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

class SimDownloadManager : public SimPeer {
public:
    static constexpr const char* BusName = "com.orvel.downloadmanager";
    static constexpr const char* TargetPath = "/media/internal/downloads/voiceCommandLanguagePack.ipk";

    explicit SimDownloadManager(FILE* out = stdout);
    ~SimDownloadManager() override;

    const char* busName() const override { return BusName; }
    WexErr start(WexService&) override { return WexErrNone; }
    WexErr command(const std::vector<std::string>& words) override;
    void stop() override;
    std::vector<std::string> methods() const override { return {"downloadStatusQuery"}; }
    WexErr invoke(WexServiceMessage* message) override;

    struct Ticket {
        std::string file;
        int chunks = 4;
        int intervalMs = 100;
        int failure = 0;    // negative: the completion code answered
        bool twice = false;
        int lateFailure = 0;  // negative: answered after the end
    };
    class Transfer;

private:
    void finished(Transfer* transfer);

    FILE* m_out;
    std::map<int64_t, Ticket> m_tickets;
    std::vector<WexRefCountedPtr<Transfer>> m_transfers;
};
