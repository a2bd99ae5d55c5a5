#include "src/QrvServiceEnd.h"

#include "platform/core/wex_service_app.h"
#include "src/QrvLog.h"
#include "src/QrvWorkQueues.h"

#include <atomic>
#include <cstdlib>

namespace {

std::atomic<WexServiceApp*> s_application{nullptr};
std::atomic<QrvServiceEnd*> s_installed{nullptr};

// Runs on "UI": stops the application's main loop once.
void shutdownOnUi(void*)
{
    static bool s_done = false;
    if (s_done) {
        QrvLog::UIthread::qrvLog.log(WexLogDebug, "%s: shutdown already running.  Ignoring this request.",
                                     __func__);
        return;
    }
    WexServiceApp* app = s_application.load();
    if (app == nullptr) {
        QrvLog::UIthread::qrvLog.log(WexLogWarning,
                                     "%s called when QrVoiceCmdServiceApp not active.  Exiting the bad way...",
                                     __func__);
        std::exit(1);
    }
    s_done = true;
    app->shutdown();
}

// The default: no chirp and no ordered stop of the audio yet.
class ApplicationShutdown : public QrvServiceEnd {
public:
    void closingSequence() override
    {
        QrvLog::multiThread::qrvLog().log(WexLogInfo, "%s: entered", __func__);
        QrvExecuteInUiThread(shutdownOnUi, nullptr, QRV_THREAD_ALWAYS_POST);
    }
    void shutdownStart() override
    {
        QrvLog::multiThread::qrvLog().log(WexLogInfo, "%s: entered", __func__);
        QrvExecuteInUiThread(shutdownOnUi, nullptr, QRV_THREAD_ALWAYS_POST);
    }
};

ApplicationShutdown s_default;

} // namespace

QrvServiceEnd& QrvServiceEnd::get()
{
    QrvServiceEnd* installed = s_installed.load();
    return installed != nullptr ? *installed : s_default;
}

void QrvServiceEnd::set(QrvServiceEnd* end)
{
    s_installed.store(end);
}

void QrvServiceEnd::setApplication(WexServiceApp* app)
{
    s_application.store(app);
}
