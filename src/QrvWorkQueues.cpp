#include "src/QrvWorkQueues.h"

#include "oem/dvk_oem_mem.h"
#include "src/QrvLog.h"

std::atomic<workqueue*> appWorkQueue{nullptr};
std::atomic<workqueue*> dvkWorkQueue{nullptr};

namespace {

// The posted call: allocated by the poster, freed on the target thread.
struct ThreadExeRecord {
    void (*func)(void*);
    void* arg;
};

gboolean threadExeWrapperFunc(gpointer data)
{
    auto* record = static_cast<ThreadExeRecord*>(data);
    record->func(record->arg);
    dvk_oem_mem_free(record);
    return G_SOURCE_REMOVE;
}

void executeIn(workqueue* target, void (*func)(void*), void* arg, ThreadOpimizationLevel level)
{
    if (level == QRV_THREAD_CALL_IF_SAME && workqueue_self() == target) {
        func(arg);
        return;
    }
    auto* record = static_cast<ThreadExeRecord*>(dvk_oem_mem_alloc(sizeof(ThreadExeRecord)));
    if (record == nullptr) {
        QrvLog::multiThread::qrvLog().log(WexLogError, "%s: out of memory, call dropped", __func__);
        return;
    }
    record->func = func;
    record->arg = arg;
    workqueue_add(target, threadExeWrapperFunc, record, 0);
}

} // namespace

void QrvWorkQueuesInit()
{
    if (dvkWorkQueue.load() != nullptr)
        return;
    appWorkQueue = workqueue_self();
    dvkWorkQueue = workqueue_create("VR");
}

void QrvExecuteInUiThread(void (*func)(void*), void* arg, ThreadOpimizationLevel level)
{
    workqueue* ui = appWorkQueue.load();
    if (ui == nullptr) {
        // Only possible before the application's open; nothing would run it.
        QrvLog::UIthread::qrvLog.log(WexLogError, "UI thread not created yet!");
        return;
    }
    executeIn(ui, func, arg, level);
}

void QrvExecuteInVrThread(void (*func)(void*), void* arg, ThreadOpimizationLevel level)
{
    workqueue* vr = dvkWorkQueue.load();
    if (vr == nullptr) {
        QrvLog::UIthread::qrvLog.log(WexLogError, "VR thread not created yet!");
        return;
    }
    executeIn(vr, func, arg, level);
}
