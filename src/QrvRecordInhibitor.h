// Keeps recording from starting for 200 ms after a prompt has finished
// playing. Work that must wait for that (the start of recording, the phone
// call after a call command) is queued as done actions and runs, in the
// order added, when the 200 ms are over.
//
// The inhibitor lives on "VR": the static operations may be called from any
// thread and are posted there (run at once when the caller already is on
// "VR"); S_active may be read from any thread. Done actions therefore run on
// "VR" (before "VR" exists no period can run, and an action runs at once on
// the caller's thread): an action that needs "UI" posts itself there.
#pragma once

#include "src/QrvTimeout.h"

#include <vector>

class RecordInhibitor : public QrvTimeout {
public:
    using Action = void (*)(void*);
    static constexpr int kIntervalMs = 200;

    // Starts a new 200 ms period (after a playback). Actions still pending
    // stay queued and run when the new period ends.
    static void S_start();
    // While a period runs, queues the action; otherwise runs it at once on
    // "VR" (an empty function is ignored).
    static void S_addDoneAction(Action fn, void* arg);
    // Whether a period runs.
    static bool S_active();
    // Ends the running period; its pending actions are dropped.
    static void S_cancel();

    // Tests: the length of periods started from now on.
    static void setIntervalForTesting(int intervalMs);

    RecordInhibitor();
    ~RecordInhibitor() override;

    void expiredCallback() override;
    void done() override;

    void addDoneAction(Action fn, void* arg);

private:
    struct Pending {
        Action fn;
        void* arg;
    };
    std::vector<Pending> m_actions;

    static void startOnVr(void*);
    static void addOnVr(void* record);
    static void cancelOnVr(void*);
};
