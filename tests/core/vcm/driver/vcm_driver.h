// The central engine's loop as the dialog manager sees it, for tests: a
// state without constraints is asked for its continuation; a message for the
// suite comes back as the UI event it carries, one for the application is
// delivered to it (the session's notification table). Runs on the calling
// thread.
#pragma once

#include "core/vcm/dvk_vcm.h"

#include <functional>
#include <vector>

struct VcmDriver {
    dvk_vcm_Session* vcms = nullptr;
    std::vector<int32_t> postedEvents;  // events the modules posted to the suite
    int lastResult = 0;
    // When set, run at the start of every dialog step (the module on top
    // shows its screen and says its prompt there); false ends the loop, as a
    // failed step ends the session.
    std::function<bool(VcmDriver*)> beginStep;
    // A failed handler ends the session as out of memory: nothing more runs.
    bool stopOnFailure = false;
};

// Runs continuations until a state listens (has constraints), the session is
// done or nothing follows.
void vcmDriverRun(VcmDriver* driver);
// Starts a dialog step on the module on top (beginStep), then the loop.
void vcmDriverStep(VcmDriver* driver);
// A UI event (as from a softkey), then the loop; a handled event other than
// SET_FOCUS (20) and the module timer (32) starts a new step.
void vcmDriverEvent(VcmDriver* driver, dvk_ui_Event event, int32_t index);
// A recognition result (taken over), then a new step and the loop.
void vcmDriverResult(VcmDriver* driver, dvk_nbest_List* nbest);
