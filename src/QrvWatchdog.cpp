#include "src/QrvWatchdog.h"

#include "src/QrVoiceCmdServiceApp.h"
#include "src/QrvLog.h"
#include "src/QrvServiceEnd.h"
#include "src/QrvTimeout.h"
#include "src/QrvWorkQueues.h"

#include <atomic>
#include <memory>

namespace {

std::atomic<int> s_intervalMs{QrvWatchdog::kIntervalMs};

// One armed watchdog period; replaced on every sign of life. Lives on "UI".
class QrvWatchdogPimpl : public QrvTimeout {
public:
    QrvWatchdogPimpl() : QrvTimeout(s_intervalMs.load(), 1) {}

    void expiredCallback() override
    {
        QrvLog::UIthread::qrvLog.log(WexLogError, "%s: no sign of life for %d ms", __func__, interval());
    }

    void done() override
    {
        exiting = true;
        // Keeps this timer alive until the callback returns.
        std::shared_ptr<QrvWatchdogPimpl> self = std::move(s_watchdog);
        // A stop step whose completion never came would keep the process
        // alive for ever: asking again for the closing sequence changes
        // nothing then, so the final step runs now.
        if (QrVoiceCmdServiceApp::s_shutdownActive.load()) {
            QrvLog::UIthread::qrvLog.log(WexLogError, "%s: the shut-down did not finish.  Stopping now.", __func__);
            QrVoiceCmdServiceApp::S_finalShutDown();
            return;
        }
        QrvServiceEnd::get().closingSequence();
    }

    static void start(void*)
    {
        if (exiting)
            return;
        if (s_watchdog)
            QrvLog::UIthread::qrvLog.log(WexLogError, "Attempt to start watchdog timer second time");
        s_watchdog = std::make_shared<QrvWatchdogPimpl>();
    }

    static void iAmAlive(void*)
    {
        if (exiting)
            return;
        s_watchdog = std::make_shared<QrvWatchdogPimpl>();
    }

    static void guardShutDown(void*)
    {
        // Not fired yet: the armed period (or the next sign of life) guards.
        if (!exiting)
            return;
        s_watchdog = std::make_shared<QrvWatchdogPimpl>();
    }

    static void stop(void*)
    {
        if (exiting || !s_watchdog)
            return;
        QrvLog::UIthread::qrvLog.log(WexLogDebug, "%s: stopping watchdog timer...", __func__);
        s_watchdog.reset();
    }

    // Never destroyed: a timer still armed at exit must not outlive the
    // loggers its destruction uses.
    static std::shared_ptr<QrvWatchdogPimpl>& s_watchdog;
    static bool exiting;
};

std::shared_ptr<QrvWatchdogPimpl>& QrvWatchdogPimpl::s_watchdog = *new std::shared_ptr<QrvWatchdogPimpl>();
bool QrvWatchdogPimpl::exiting = false;

} // namespace

void QrvWatchdog::start()
{
    QrvExecuteInUiThread(QrvWatchdogPimpl::start, nullptr, QRV_THREAD_CALL_IF_SAME);
}

void QrvWatchdog::iAmAlive()
{
    QrvExecuteInUiThread(QrvWatchdogPimpl::iAmAlive, nullptr, QRV_THREAD_CALL_IF_SAME);
}

void QrvWatchdog::stop()
{
    QrvExecuteInUiThread(QrvWatchdogPimpl::stop, nullptr, QRV_THREAD_CALL_IF_SAME);
}

void QrvWatchdog::guardShutDown()
{
    QrvExecuteInUiThread(QrvWatchdogPimpl::guardShutDown, nullptr, QRV_THREAD_CALL_IF_SAME);
}

void QrvWatchdog::setIntervalForTesting(int intervalMs)
{
    s_intervalMs.store(intervalMs);
}
