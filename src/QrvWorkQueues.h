// The service's two permanent work queues and the calls that run a function
// on one of them: "UI" (the main thread: bus, database, display requests)
// and "VR" (the whole speech suite).
#pragma once

#include "src/workqueue.h"

#include <atomic>

// Written once by QrvWorkQueuesInit; "VR" is null until then.
extern std::atomic<workqueue*> appWorkQueue;
extern std::atomic<workqueue*> dvkWorkQueue;

// How a cross-thread call treats a caller that already runs on the target.
enum ThreadOpimizationLevel {
    QRV_THREAD_ALWAYS_POST = 0,     // post; the function runs after the caller returns to the loop
    QRV_THREAD_CALL_IF_SAME = 1,    // call at once when the caller runs on the target queue
};

// Called once by the application's open on the main thread: this thread
// becomes "UI" and "VR" is started.
void QrvWorkQueuesInit();

// Run func(arg) on "UI" / "VR". A call for "VR" before it exists is logged
// and dropped.
void QrvExecuteInUiThread(void (*func)(void*), void* arg, ThreadOpimizationLevel level);
void QrvExecuteInVrThread(void (*func)(void*), void* arg, ThreadOpimizationLevel level);
