#include "src/QrvServiceEnd.h"

#include "src/QrVoiceCmdServiceApp.h"
#include "src/QrVoiceCmdServiceHandler.h"
#include "src/QrvLog.h"
#include "src/QrvWorkQueues.h"

#include <atomic>
#include <cstdlib>

namespace {

std::atomic<QrvServiceEnd*> s_installed{nullptr};

// On "UI": the final step, once per process.
void finalShutDown(void*)
{
    QrvLog::UIthread::qrvLog.log(WexLogTrace, "%s: entered", __func__);
    QrVoiceCmdServiceHandler::shutdown();
    if (QrVoiceCmdServiceApp* app = QrVoiceCmdServiceApp::s_app)
        app->shutdown();
}

void shutdownStart()
{
    QrvLog::multiThread::qrvLog().log(WexLogInfo, "%s: entered", __func__);
    if (QrVoiceCmdServiceApp::s_shutdownActive.exchange(true)) {
        QrvLog::multiThread::qrvLog().log(WexLogDebug, "%s: shutdown already running.  Ignoring this request.",
                                          __func__);
        return;
    }
    if (QrVoiceCmdServiceApp::s_app == nullptr) {
        QrvLog::multiThread::qrvLog().log(
            WexLogWarning, "%s called when QrVoiceCmdServiceApp not active.  Exiting the bad way...", __func__);
        std::exit(1);
    }
    QrvExecuteInUiThread(finalShutDown, nullptr, QRV_THREAD_ALWAYS_POST);
}

// The default: no chirp and no ordered stop of the audio yet.
class FinalShutDown : public QrvServiceEnd {
public:
    void closingSequence() override { shutdownStart(); }
    void shutdownStart() override { ::shutdownStart(); }
};

FinalShutDown s_default;

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
