// The central engine's loop as the dialog manager sees it, for tests: a
// state without constraints is asked for its continuation; a message for the
// suite comes back as the UI event it carries, one for the application is
// delivered to it (the session's notification table). Runs on the calling
// thread.
#pragma once

#include "core/vcm/dvk_vcm.h"

#include <vector>

struct VcmDriver {
    dvk_vcm_Session* vcms = nullptr;
    std::vector<int32_t> postedEvents;  // events the modules posted to the suite
    int lastResult = 0;
};

// Runs continuations until a state listens (has constraints), the session is
// done or nothing follows.
void vcmDriverRun(VcmDriver* driver);
// A UI event (as from a softkey), then the loop.
void vcmDriverEvent(VcmDriver* driver, dvk_ui_Event event, int32_t index);
// A recognition result (taken over), then the loop.
void vcmDriverResult(VcmDriver* driver, dvk_nbest_List* nbest);
