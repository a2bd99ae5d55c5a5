// The suite's six one-shot timers. They belong to the suite thread: start and
// stop run there, and expiries and stops come back as messages through its
// queue, so an expiry that was already queued when its timer was stopped or
// restarted is recognised as stale and never reaches the callback.
#pragma once

#include "sdk/common/dvk_msg.h"

enum : int { DVK_TIMER_VCM = 2, DVK_TIMER_MAX = 6 };  // slot 2: the dialog manager's module timer

typedef void (*dvk_timer_Callback)(int timerID, void* userData);

struct dvk_timer_Record {
    dvk_timer_Callback callback;
    dvk_msg_Message* expiryMsg;      // prepared expiry message (data: the id)
    dvk_msg_Message* stopMsg;        // prepared stop message (data: the id)
    void* userData;
    int restartPending;              // a start waits for this record's stop
    int stopping;                    // the stop message is on its way
    dvk_timer_Record* pendingTimer;  // takes the slot over once the stop completes
    long expiration;                 // milliseconds
};

// Starts (or restarts) the slot; callback(timerID, userData) runs on the
// suite thread at most once per start. 0, or 1 when memory is short (the slot
// is then left as it was).
int dvk_timer_startTimer(int timerID, long expiration, dvk_timer_Callback callback,
                         void* userData);

// Stops the slot; an idle slot is left alone.
void dvk_timer_stopTimer(int timerID);

// Test tool: a copy of the slot's state.
struct dvk_timer_SlotState {
    bool hasRecord;
    int active;
    int stopping;
    int restartPending;
    long pendingExpiration;  // -1 without a pending record
};
dvk_timer_SlotState dvk_timer_getSlotState(int timerID);
