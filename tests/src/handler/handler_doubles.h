// Doubles of the request handler's outside steps (bring-up start, initCheck,
// UI state change, suite UI events, download monitor): each records its calls
// while it is installed.
#pragma once

#include "src/QrvBringupStart.h"
#include "src/QrvInitCheck.h"
#include "src/QrvLangPackDownloadStart.h"
#include "src/QrvSuiteUiEvent.h"
#include "src/QrvUiStateChange.h"

#include <cstdint>
#include <utility>
#include <vector>

template <class Interface>
class InstalledDouble : public Interface {
public:
    InstalledDouble() { Interface::set(static_cast<Interface*>(this)); }
    ~InstalledDouble() override { Interface::set(nullptr); }
    InstalledDouble(const InstalledDouble&) = delete;
    InstalledDouble& operator=(const InstalledDouble&) = delete;
};

class BringupStartDouble : public InstalledDouble<QrvBringupStart> {
public:
    void begin(QrVoiceCmdServiceHandler&) override { ++begins; }
    int begins = 0;
};

class InitCheckDouble : public InstalledDouble<QrvInitCheck> {
public:
    WexErr initCheck(QrVoiceCmdServiceHandler&) override
    {
        ++checks;
        return WexErrNone;
    }
    int checks = 0;
};

class UiStateChangeDouble : public InstalledDouble<QrvUiStateChange> {
public:
    void toInitializing() override { ++initializing; }
    void toNeither() override { ++neither; }
    int initializing = 0;
    int neither = 0;
};

class SuiteUiEventDouble : public InstalledDouble<QrvSuiteUiEvent> {
public:
    void sendEvent(int32_t event, int32_t index) override { events.emplace_back(event, index); }
    std::vector<std::pair<int32_t, int32_t>> events;
};

class LangPackDownloadDouble : public InstalledDouble<QrvLangPackDownloadStart> {
public:
    void run(QrVoiceCmdServiceHandler&, int64_t ticket) override { tickets.push_back(ticket); }
    bool getTicket(int64_t& ticket) override
    {
        if (tickets.empty())
            return false;
        ticket = tickets.back();
        return true;
    }
    std::vector<int64_t> tickets;
};
