// The shut-down proper: once per process, it stops the audio machinery
// thread by thread (the recorder and the player are the suite's, on "VR";
// the media capture is "UI"'s) and then ends the subscriptions and the main
// loop. Every stop step's completion runs even when the thing it stops is
// not running, so the chain always reaches the final step.
#include "src/QrVoiceCmdServiceApp.h"
#include "src/QrVoiceCmdServiceHandler.h"
#include "src/QrvAudioControls.h"
#include "src/QrvBringupSteps.h"
#include "src/QrvLog.h"
#include "src/QrvWatchdog.h"
#include "src/QrvWorkQueues.h"

#include <atomic>
#include <cstdlib>

namespace {

std::atomic<bool> s_finalShutDownDone{false};

void S_finalShutDownWrapper(void*)
{
    QrvLog::UIthread::qrvLog.log(WexLogTrace, "%s: entered", __func__);
    QrVoiceCmdServiceApp::S_finalShutDown();
}

void mediaRecorderCallback()
{
    QrvLog::UIthread::qrvLog.log(WexLogTrace, "%s: entered", __func__);
    QrvExecuteInUiThread(S_finalShutDownWrapper, nullptr, QRV_THREAD_ALWAYS_POST);
}

void S_shutdownRecorderStopDoneCbUIThread(void*)
{
    QrvLog::UIthread::qrvLog.log(WexLogInfo, "%s: entered", __func__);
    QrvMediaCaptureControl::get().shutdownStart(mediaRecorderCallback);
}

void S_playerStopDoneCb(void*)
{
    QrvExecuteInUiThread(S_shutdownRecorderStopDoneCbUIThread, nullptr, QRV_THREAD_ALWAYS_POST);
}

void S_shutdownRecorderStopDoneCb()
{
    QrvLog::VRthread::qrvLog.log(WexLogInfo, "%s: entered", __func__);
    QrvPlayerControl::get().stop(S_playerStopDoneCb, nullptr, true);
}

void stopRecorder(void*)
{
    WexLogger& log = QrvLog::VRthread::qrvLog;
    log.log(WexLogInfo, "%s: entered", __func__);
    if (QrvRecorderControl::get().isRunning())
        log.log(WexLogError,
                "%s: recorder is running.  This might be a conflict with stopping the main mediaserver service object",
                __func__);
    if (QrvPlayerControl::get().isRunning())
        log.log(WexLogWarning,
                "%s: player is running.  This might be a conflict with stopping the main QrvPlayer object", __func__);
    QrvRecorderControl::get().stop(S_shutdownRecorderStopDoneCb);
}

} // namespace

void QrVoiceCmdServiceApp::S_shutdownStart()
{
    WexLogger& log = QrvLog::multiThread::qrvLog();
    log.log(WexLogInfo, "%s: entered", __func__);
    // Callers run on several threads (the player's completion on "pworker"):
    // only the first one may begin.
    if (s_shutdownActive.exchange(true)) {
        log.log(WexLogDebug, "%s: shutdown already running.  Ignoring this request.", __func__);
        return;
    }
    if (s_app == nullptr) {
        log.log(WexLogWarning, "%s called when QrVoiceCmdServiceApp not active.  Exiting the bad way...", __func__);
        // At once: other threads may still run, and static destructors must
        // not race them.
        std::_Exit(1);
    }
    QrvWatchdog::guardShutDown();
    QrvExecuteInVrThread(stopRecorder, nullptr, QRV_THREAD_ALWAYS_POST);
}

void QrVoiceCmdServiceApp::S_finalShutDown()
{
    // Reached by the stop chain and by the closing chirp's timeout, which
    // may both be under way.
    if (s_finalShutDownDone.exchange(true)) {
        QrvLog::UIthread::qrvLog.log(WexLogDebug, "%s: already done", __func__);
        return;
    }
    QrvAudioRoutingStep::get().cancel();
    QrVoiceCmdServiceHandler::shutdown();
    if (s_app != nullptr)
        s_app->shutdown();
}
