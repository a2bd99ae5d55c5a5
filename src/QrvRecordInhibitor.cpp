#include "src/QrvRecordInhibitor.h"

#include "oem/dvk_oem_mem.h"
#include "src/QrvLog.h"
#include "src/QrvWorkQueues.h"

#include <atomic>
#include <memory>
#include <utility>

namespace {

// Touched on "VR" only; the flag mirrors it for readers elsewhere. Never
// destroyed: an inhibitor still running at exit must not outlive the loggers.
std::shared_ptr<RecordInhibitor>& s_inhibitor = *new std::shared_ptr<RecordInhibitor>();
std::atomic<bool> s_activeFlag{false};

void setInhibitor(std::shared_ptr<RecordInhibitor> inhibitor)
{
    s_activeFlag.store(inhibitor != nullptr);
    // The previous one (if any) goes last: its destruction removes its timer.
    std::swap(s_inhibitor, inhibitor);
}

struct AddRecord {
    RecordInhibitor::Action fn;
    void* arg;
};

// No period runs: the action is not held back.
void runNow(RecordInhibitor::Action fn, void* arg)
{
    QrvLog::VRthread::qrvLogRecord.log(WexLogDebug, "%s: starting recording immediately (recordInhibitor not running)",
                                       "S_addDoneAction");
    fn(arg);
}

} // namespace

namespace {
std::atomic<int> s_intervalMs{RecordInhibitor::kIntervalMs};
}

void RecordInhibitor::setIntervalForTesting(int intervalMs)
{
    s_intervalMs.store(intervalMs);
}

RecordInhibitor::RecordInhibitor() : QrvTimeout(s_intervalMs.load(), 1) {}

RecordInhibitor::~RecordInhibitor() = default;

void RecordInhibitor::expiredCallback() {}

void RecordInhibitor::done()
{
    std::vector<Pending> actions = std::move(m_actions);
    m_actions.clear();
    // The period is over before the actions run: an action that adds
    // another, or records, is no longer held back. `self` keeps this timer
    // alive until the callback returns.
    std::shared_ptr<RecordInhibitor> self;
    if (s_inhibitor.get() == this) {
        self = s_inhibitor;
        setInhibitor(nullptr);
    }
    if (actions.empty())
        QrvLog::VRthread::qrvLogRecord.log(WexLogInfo, "%s: no action", __func__);
    for (const Pending& action : actions) {
        QrvLog::VRthread::qrvLogRecord.log(WexLogInfo, "%s: calling callback", __func__);
        action.fn(action.arg);
    }
}

void RecordInhibitor::addDoneAction(Action fn, void* arg)
{
    QrvLog::VRthread::qrvLogRecord.log(WexLogDebug, "%s: adding callback", __func__);
    m_actions.push_back(Pending{fn, arg});
}

void RecordInhibitor::startOnVr(void*)
{
    auto next = std::make_shared<RecordInhibitor>();
    // Pending work (a phone call, a recording start) must not be lost: it
    // waits for the end of the new period instead.
    if (s_inhibitor && !s_inhibitor->m_actions.empty()) {
        QrvLog::VRthread::qrvLogRecord.log(WexLogDebug, "%s: keeping %zu pending action(s)", __func__,
                                           s_inhibitor->m_actions.size());
        next->m_actions = std::move(s_inhibitor->m_actions);
    }
    setInhibitor(std::move(next));
}

void RecordInhibitor::addOnVr(void* data)
{
    AddRecord record = *static_cast<AddRecord*>(data);
    dvk_oem_mem_free(data);
    if (s_inhibitor) {
        s_inhibitor->addDoneAction(record.fn, record.arg);
        return;
    }
    runNow(record.fn, record.arg);
}

void RecordInhibitor::cancelOnVr(void*)
{
    setInhibitor(nullptr);
}

void RecordInhibitor::S_start()
{
    QrvExecuteInVrThread(startOnVr, nullptr, QRV_THREAD_CALL_IF_SAME);
}

void RecordInhibitor::S_addDoneAction(Action fn, void* arg)
{
    if (fn == nullptr)
        return;
    // Periods run on "VR" only: before it exists none can be running, and
    // the action (it may be a phone call) must not be lost.
    if (dvkWorkQueue.load() == nullptr) {
        runNow(fn, arg);
        return;
    }
    auto* record = static_cast<AddRecord*>(dvk_oem_mem_alloc(sizeof(AddRecord)));
    if (record == nullptr) {
        // Running it late beats losing it (it may be a phone call).
        QrvLog::VRthread::qrvLogRecord.log(WexLogError, "%s: out of memory, running the action now", __func__);
        fn(arg);
        return;
    }
    record->fn = fn;
    record->arg = arg;
    QrvExecuteInVrThread(addOnVr, record, QRV_THREAD_CALL_IF_SAME);
}

bool RecordInhibitor::S_active()
{
    return s_activeFlag.load();
}

void RecordInhibitor::S_cancel()
{
    QrvExecuteInVrThread(cancelOnVr, nullptr, QRV_THREAD_CALL_IF_SAME);
}
