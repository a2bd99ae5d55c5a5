#include "src/DownChirpAndExit.h"

#include "oem/dvk_oem_file.h"
#include "src/QrVoiceCmdServiceApp.h"
#include "src/QrVoiceCmdServiceHandler.h"
#include "src/QrvAudioControls.h"
#include "src/QrvFileSystem.h"
#include "src/QrvLog.h"
#include "src/QrvSettings.h"
#include "src/QrvTimeout.h"
#include "src/QrvWorkQueues.h"

#include <atomic>
#include <memory>
#include <stdexcept>
#include <string>

namespace {

WexLogger& uiLog()
{
    return QrvLog::UIthread::qrvLog;
}

std::atomic<int> s_timeoutMs{DownChirpAndExit::kTimeoutMs};
std::atomic<bool> s_downChirpSupressed{false};
std::atomic<bool> s_closingRequested{false};

// Fires when the chirp has not finished in time: the process must not hang
// on a player that never ends, so the final step runs without the stop chain.
class DownChirpTimeout : public QrvTimeout {
public:
    DownChirpTimeout() : QrvTimeout(s_timeoutMs.load(), 1) {}

    void expiredCallback() override {}
    void done() override
    {
        uiLog().log(WexLogWarning, "%s: the closing chirp did not finish in %d ms", __func__, interval());
        QrVoiceCmdServiceApp::S_finalShutDown();
    }

    // The running timeout; "UI" only. Never destroyed: a timeout that has
    // fired ends the process while it is still held here.
    static std::shared_ptr<DownChirpTimeout>& s_timeout()
    {
        static auto* timeout = new std::shared_ptr<DownChirpTimeout>;
        return *timeout;
    }
};

void startDownChirpTimeout()
{
    DownChirpTimeout::s_timeout() = std::make_shared<DownChirpTimeout>();
}

void stopDownChirpTimeout()
{
    DownChirpTimeout::s_timeout().reset();
}

// One playback of the chirp: armed timeout, open file, the player fed from it.
class DownChirpAndExitPimpl {
public:
    // Raw 16-bit mono samples, in the installation directory.
    static constexpr const char* chirpFile = "downchirp.bin";

    explicit DownChirpAndExitPimpl(std::string fileName) : m_fileName(std::move(fileName))
    {
        uiLog().log(WexLogInfo, "%s", "DownChirpAndExitPimpl");
        startDownChirpTimeout();
        m_file = dvk_oem_file_fopen(m_fileName.c_str(), DVK_OEM_FILE_MODE_READ);
        if (m_file == nullptr) {
            uiLog().log(WexLogError, "Cannot open file %s", m_fileName.c_str());
            throw std::runtime_error("file does not exist or is unreadable");
        }
    }

    ~DownChirpAndExitPimpl()
    {
        uiLog().log(WexLogInfo, "%s", "~DownChirpAndExitPimpl");
        stopDownChirpTimeout();
        if (m_file != nullptr)
            dvk_oem_file_fclose(m_file);
    }

    DownChirpAndExitPimpl(const DownChirpAndExitPimpl&) = delete;
    DownChirpAndExitPimpl& operator=(const DownChirpAndExitPimpl&) = delete;

    // Whatever played before gives way to the chirp.
    void play() { QrvPlayerControl::get().stop(playerReadyNotify, this, false); }

    static void playerReadyNotify(void* pimpl)
    {
        QrvPlayerControl::get().start(getBufCallback, doneCallback, pimpl, pimpl);
    }

    // On the player's thread: the next 160 samples of the raw file, fewer
    // when the player's buffer holds fewer.
    static int getBufCallback(int16_t* buffer, int* samples, void* context)
    {
        auto* self = static_cast<DownChirpAndExitPimpl*>(context);
        QrvLog::multiThread::qrvLogPlayer().log(WexLogDebug, "%s", __func__);
        const long room = *samples < 0 ? 0 : *samples < 160 ? *samples : 160;
        long bytes = room > 0 ? dvk_oem_file_fread(buffer, 1, room * 2, self->m_file) : 0;
        *samples = bytes > 0 ? static_cast<int>(bytes / 2) : 0;
        return *samples;
    }

    // On the player's thread when the playback has ended. The rest runs on
    // "UI", where the timeout lives: either it fired first and the process
    // is already ending, or it is released here and never fires.
    static void doneCallback(void*)
    {
        QrvLog::multiThread::qrvLogPlayer().log(WexLogInfo, "%s", __func__);
        QrvExecuteInUiThread(chirpDoneOnUi, nullptr, QRV_THREAD_ALWAYS_POST);
    }

    static void chirpDoneOnUi(void*);

    static std::atomic<bool> s_downChirpAndExitPimplStarted;

private:
    std::string m_fileName;
    dvk_oem_file_Stream* m_file = nullptr;
};

std::atomic<bool> DownChirpAndExitPimpl::s_downChirpAndExitPimplStarted{false};

// The playing chirp; "UI" only. Never destroyed: when the timeout ends the
// process, a player that never finished may still be reading from it.
std::shared_ptr<DownChirpAndExitPimpl>& s_downChirpObject = *new std::shared_ptr<DownChirpAndExitPimpl>;

void DownChirpAndExitPimpl::chirpDoneOnUi(void*)
{
    QrVoiceCmdServiceApp::S_shutdownStart();
    s_downChirpObject.reset();
}

void doDownChirpAndExitUI(void*)
{
    uiLog().log(WexLogInfo, "%s: entered", __func__);
    if (DownChirpAndExitPimpl::s_downChirpAndExitPimplStarted.exchange(true))
        return;

    WexRefCountedPtr<QrVoiceCmdServiceHandler> handler = QrVoiceCmdServiceHandler::S_getQrVoiceCmdServiceHandler();
    if (handler && handler->isRunningInForeground() && !QrvSettings::getBackgroundProcessingFlag() &&
        !s_downChirpSupressed.load()) {
        try {
            s_downChirpObject = std::make_shared<DownChirpAndExitPimpl>(
                QrvFileSystem::makeFullPathname0(DownChirpAndExitPimpl::chirpFile));
        } catch (const std::exception&) {
            // No chirp to play: end as a session without one does, at once,
            // rather than waiting for the timeout.
            stopDownChirpTimeout();
            QrVoiceCmdServiceApp::S_shutdownStart();
            return;
        }
        s_downChirpObject->play();
        return;
    }
    QrVoiceCmdServiceApp::S_shutdownStart();
}

} // namespace

void DownChirpAndExit::doDownChirpAndExit()
{
    QrvLog::multiThread::qrvLog().log(WexLogInfo, "%s: entered", __func__);
    s_closingRequested.store(true);
    QrvExecuteInUiThread(doDownChirpAndExitUI, nullptr, QRV_THREAD_ALWAYS_POST);
}

bool DownChirpAndExit::closingRequested()
{
    return s_closingRequested.load();
}

void DownChirpAndExit::supressDownChirp()
{
    QrvLog::multiThread::qrvLog().log(WexLogInfo, "%s: entered", __func__);
    s_downChirpSupressed.store(true);
}

void DownChirpAndExit::setTimeoutForTesting(int timeoutMs)
{
    s_timeoutMs.store(timeoutMs);
}
