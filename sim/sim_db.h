// The platform's object database "com.orvel.db" on the desktop: answers
// "find", "get", "put", "del", "putKind", "delKind" and "batch" from a
// SimDbStore (see sim_db_store.h), and "watch" and "find" with "watch": the
// first reply at once, a second {"fired": true} when an object of the
// query's kind changes. Error replies carry the database's codes and texts
// ("db: ...").
//
//
// Script commands:
//   db-dump KIND    print the kind's objects (deleted ones too) as one JSON line
#pragma once

#include "platform/core/wex_ref_counted.h"
#include "sim/sim_db_store.h"
#include "sim/sim_peer.h"

#include <cstdio>
#include <string>

class SimDb : public SimPeer {
public:
    static constexpr const char* BusName = "com.orvel.db";

    // The built-in data set: the sim's data directory, read only.
    static const char* defaultDataDir();

    // `out` receives the script's dumps.
    explicit SimDb(int pageSize = SimDbStore::DefaultPageSize, FILE* out = stdout);
    ~SimDb() override;

    // Reads the kinds of `dir`; with `writeBack` every change is written
    // back to it.
    WexErr load(const std::string& dir, bool writeBack, std::string& why);

    const char* busName() const override { return BusName; }
    WexErr start(WexService& service) override;
    WexErr command(const std::vector<std::string>& words) override;
    void stop() override;
    std::vector<std::string> methods() const override;
    WexErr invoke(WexServiceMessage* message) override;

    SimDbStore& store() { return m_store; }

private:
    class Handler;

    SimDbStore m_store;
    FILE* m_out;
    WexRefCountedPtr<Handler> m_handler;
};
