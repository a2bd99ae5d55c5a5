#include "sdk/common/dvk_timer.h"

#include "oem/dvk_oem_timer.h"
#include "sdk/common/dvk_assert.h"
#include "sdk/common/dvk_mem.h"

#include <cstdint>

namespace {

// Touched on the suite thread only.
dvk_timer_Record* timerList[DVK_TIMER_MAX];
int active[DVK_TIMER_MAX];

void* idData(int timerID)
{
    return reinterpret_cast<void*>(static_cast<intptr_t>(timerID));
}

long idOf(void* msgData)
{
    return static_cast<long>(reinterpret_cast<intptr_t>(msgData));
}

void freeRecord(dvk_timer_Record** record)
{
    dvk_msg_destroy(&(*record)->expiryMsg);
    dvk_msg_destroy(&(*record)->stopMsg);
    dvk_mem_dealloc(record);
}

// On the thread that started the OEM timer: the expiry travels as a message,
// so a stop issued meanwhile can still overtake it.
void timerExpiredCallback(dvk_oem_timer_TimerId timerID)
{
    DVK_ASSERT(timerID >= 0);
    DVK_ASSERT(timerID < DVK_TIMER_MAX);
    dvk_timer_Record* record = timerList[timerID];
    if (active[timerID] != 0 && record != nullptr && record->expiryMsg != nullptr)
        dvk_msg_send(record->expiryMsg, dvk_msg_getDvkAddr());
}

void timerHandler(void* msgData, dvk_msg_Address /*sender*/)
{
    const long timerID = idOf(msgData);
    DVK_ASSERT(timerID >= 0);
    DVK_ASSERT(timerID < (long) DVK_TIMER_MAX);
    dvk_timer_Record* record = timerList[timerID];
    if (record == nullptr)
        return;
    // The expiry message was freed on receipt.
    record->expiryMsg = nullptr;
    if (active[timerID] == 0)
        return;  // stale: stopped after the expiry was posted; the stop message frees it
    // Leave the slot idle before the callback runs, so that the callback may
    // start or stop its own timer.
    const dvk_timer_Callback callback = record->callback;
    void* const userData = record->userData;
    freeRecord(&record);
    timerList[timerID] = nullptr;
    active[timerID] = 0;
    callback(static_cast<int>(timerID), userData);
}

void timerDestroyHandler(void* msgData, dvk_msg_Address /*sender*/)
{
    const long timerID = idOf(msgData);
    DVK_ASSERT(timerID >= 0);
    DVK_ASSERT(timerID < (long) DVK_TIMER_MAX);
    DVK_ASSERT(timerList[timerID] != DVK_NULL);
    DVK_ASSERT(active[timerID] == 0);
    dvk_timer_Record* record = timerList[timerID];
    // The stop message was freed on receipt.
    record->stopMsg = nullptr;
    dvk_timer_Record* pending = record->restartPending != 0 ? record->pendingTimer : nullptr;
    freeRecord(&record);
    timerList[timerID] = pending;
    if (pending != nullptr) {
        active[timerID] = 1;
        dvk_oem_timer_startTimer(static_cast<int>(timerID), pending->expiration,
                                 timerExpiredCallback);
    }
}

void checkSuiteThread()
{
    DVK_ASSERT(dvk_msg_getDvkAddr() == dvk_msg_getMyAddr());
}

} // namespace

int dvk_timer_startTimer(int timerID, long expiration, dvk_timer_Callback callback,
                         void* userData)
{
    DVK_ASSERT(timerID >= 0);
    DVK_ASSERT(timerID < DVK_TIMER_MAX);
    DVK_ASSERT(expiration > 0);
    DVK_ASSERT(callback != DVK_NULL);
    checkSuiteThread();

    dvk_timer_Record* current = timerList[timerID];
    if (current != nullptr && current->restartPending != 0) {
        dvk_timer_Record* pending = current->pendingTimer;
        pending->callback = callback;
        pending->expiration = expiration;
        pending->userData = userData;
        return 0;
    }

    auto* record = static_cast<dvk_timer_Record*>(dvk_mem_alloc(sizeof(dvk_timer_Record)));
    if (record == nullptr)
        return 1;
    *record = dvk_timer_Record{callback, nullptr, nullptr, userData, 0, 0, nullptr, expiration};
    record->expiryMsg = dvk_msg_create(idData(timerID), timerHandler, nullptr);
    record->stopMsg = dvk_msg_create(idData(timerID), timerDestroyHandler, nullptr);
    if (record->expiryMsg == nullptr || record->stopMsg == nullptr) {
        freeRecord(&record);
        return 1;
    }

    if (active[timerID] != 0)
        dvk_timer_stopTimer(timerID);
    current = timerList[timerID];
    if (current != nullptr && current->stopping != 0) {
        current->restartPending = 1;
        current->pendingTimer = record;
        return 0;
    }
    active[timerID] = 1;
    dvk_oem_timer_startTimer(timerID, expiration, timerExpiredCallback);
    timerList[timerID] = record;
    return 0;
}

void dvk_timer_stopTimer(int timerID)
{
    DVK_ASSERT(timerID >= 0);
    DVK_ASSERT(timerID < DVK_TIMER_MAX);
    DVK_ASSERT(active[timerID] == 0 || timerList[timerID] != DVK_NULL);
    checkSuiteThread();

    dvk_timer_Record* record = timerList[timerID];
    if (record != nullptr && record->restartPending != 0) {
        record->restartPending = 0;
        freeRecord(&record->pendingTimer);
        return;
    }
    if (active[timerID] != 0) {
        active[timerID] = 0;
        dvk_oem_timer_stopTimer(timerID);
        if (record->stopMsg != nullptr) {
            dvk_msg_send(record->stopMsg, dvk_msg_getDvkAddr());
            record->stopping = 1;
            record->stopMsg = nullptr;
        }
    }
}

dvk_timer_SlotState dvk_timer_getSlotState(int timerID)
{
    DVK_ASSERT(timerID >= 0);
    DVK_ASSERT(timerID < DVK_TIMER_MAX);
    const dvk_timer_Record* record = timerList[timerID];
    dvk_timer_SlotState state{record != nullptr, active[timerID], 0, 0, -1};
    if (record != nullptr) {
        state.stopping = record->stopping;
        state.restartPending = record->restartPending;
        if (record->pendingTimer != nullptr)
            state.pendingExpiration = record->pendingTimer->expiration;
    }
    return state;
}
