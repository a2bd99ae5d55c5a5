#include "src/QrvPlayerWorkerThread.h"

#include "oem/dvk_oem_mem.h"
#include "src/QrvAlsa.h"
#include "src/QrvAudioDumper.h"
#include "src/QrvFileSystem.h"
#include "src/QrvLog.h"
#include "src/QrvServiceEnd.h"
#include "src/QrvWorkQueues.h"

#include <unistd.h>

namespace {

struct Context {
    QrvPlayerBufCallback bufCallback;
    QrvPlayerDoneCallback doneCallback;
    workqueue* callerQueue;
    workqueue* workerQueue;
    snd_output_t* output;
    snd_pcm_t* handle;
    snd_pcm_status_t* status;
    snd_pcm_uframes_t bufferSize;
    snd_pcm_uframes_t periodSize;
    long framesPlayed;
};

Context cntxt{};

// The playback dump, kept open until the next playback opens its own.
int dumpFd = -1;
unsigned dumpFnIndex = 0;

WexLogger& workerLog()
{
    return QrvLog::multiThread::qrvLogPlayer();
}

WexLogger& vrLog()
{
    return QrvLog::VRthread::qrvLogPlayer;
}

gboolean QrvPlayerWorkerThreadRequestBuf(gpointer data);
gboolean QrvPlayerWorkerThreadMainPlayBuf(gpointer data);
gboolean QrvPlayerWorkerThreadMainStop(gpointer data);

void QrvPlayerWorkerThreadShutdownAll(void*)
{
    QrvServiceEnd::get().shutdownStart();
}

void dumpStartPW()
{
    if (!vrLog().isTrace())
        return;
    if (dumpFd >= 0) {
        ::close(dumpFd);
        dumpFd = -1;
    }
    const std::string name = QrvAudioDumper::fileName(dumpFnIndex++, "PlayWorker.pcm");
    dumpFd = QrvAudioDumper::openDump(vrLog(), QrvFileSystem::makeFullPathname1(name.c_str()));
}

// Each step below returns false once the device dump failed.
bool dumpSndBuf(const char* title)
{
    if (!workerLog().isTrace())
        return true;
    return qrvAlsaDumpSndBuf(workerLog(), cntxt.output, title) == 0;
}

bool failed(const char* format, int rc)
{
    workerLog().log(WexLogError, format, snd_strerror(rc));
    QrvPlayerWorkerThreadS_shutdown();
    return false;
}

bool pcmDump()
{
    if (cntxt.status != nullptr && cntxt.handle != nullptr) {
        int rc = snd_pcm_status(cntxt.handle, cntxt.status);
        if (rc < 0)
            return failed("snd_pcm_status: %s\n", rc);
        if (cntxt.output != nullptr && (rc = snd_pcm_status_dump(cntxt.status, cntxt.output)) < 0)
            return failed("snd_pcm_status_dump: %s\n", rc);
    }
    if (!dumpSndBuf("status")) {
        QrvPlayerWorkerThreadS_shutdown();
        return false;
    }
    if (!workerLog().isTrace() && cntxt.output != nullptr)
        snd_output_flush(cntxt.output); // the text nobody reads must not pile up
    return true;
}

bool pcmSetupDump()
{
    if (cntxt.output == nullptr)
        return true;
    const int rc = snd_pcm_dump_setup(cntxt.handle, cntxt.output);
    if (rc < 0)
        return failed("snd_pcm_dump_setup: %s\n", rc);
    if (!dumpSndBuf("setup")) {
        QrvPlayerWorkerThreadS_shutdown();
        return false;
    }
    if (!workerLog().isTrace())
        snd_output_flush(cntxt.output);
    return true;
}

// Opens and configures the device; false after a failure (logged, the
// shut-down started).
bool openDevice()
{
    int rc = snd_output_buffer_open(&cntxt.output);
    if (rc < 0) {
        cntxt.output = nullptr;
        workerLog().log(WexLogError, "snd_output_buffer_open failed: %s.  device=%s", snd_strerror(rc),
                        kQrvPlayerDevice);
        QrvPlayerWorkerThreadS_shutdown();
    }
    rc = qrvAlsa().open(&cntxt.handle, kQrvPlayerDevice, SND_PCM_STREAM_PLAYBACK, 0);
    if (rc < 0) {
        cntxt.handle = nullptr;
        workerLog().log(WexLogError, "snd_pcm_open failed: %s.  device=%s", snd_strerror(rc), kQrvPlayerDevice);
        QrvPlayerWorkerThreadS_shutdown();
        return false;
    }
    rc = snd_pcm_set_params(cntxt.handle, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED, 1, 8000, 0, 240000);
    if (rc < 0) {
        pcmDump();
        return failed("snd_pcm_set_params failed: %s\n", rc);
    }
    rc = snd_pcm_status_malloc(&cntxt.status);
    if (rc < 0) {
        cntxt.status = nullptr;
        return failed("snd_pcm_status_malloc: %s\n", rc);
    }
    if (!pcmSetupDump() || !pcmDump())
        return false;
    rc = snd_pcm_get_params(cntxt.handle, &cntxt.bufferSize, &cntxt.periodSize);
    if (rc < 0)
        return failed("snd_pcm_get_params() failed: %s\n", rc);
    snd_pcm_sw_params_t* swParams = nullptr;
    rc = snd_pcm_sw_params_malloc(&swParams);
    if (rc == 0)
        rc = snd_pcm_sw_params_current(cntxt.handle, swParams);
    if (rc < 0) {
        if (swParams != nullptr)
            snd_pcm_sw_params_free(swParams);
        return failed("Unable to determine current swparams for playback: %s\n", rc);
    }
    snd_pcm_uframes_t threshold = 0;
    rc = snd_pcm_sw_params_get_start_threshold(swParams, &threshold);
    snd_pcm_sw_params_free(swParams);
    if (rc < 0)
        return failed("snd_pcm_sw_params_get_start_threshold failed: %s\n", rc);
    workerLog().log(WexLogDebug, "defaults: threshold=%d bufferSize=%d periodSize=%d\n", static_cast<int>(threshold),
                    static_cast<int>(cntxt.bufferSize), static_cast<int>(cntxt.periodSize));
    snd_pcm_sframes_t delay = 0;
    rc = snd_pcm_delay(cntxt.handle, &delay);
    if (rc != 0)
        workerLog().log(WexLogError, "Failed to read audio output delay: %s", snd_strerror(rc));
    else
        workerLog().log(WexLogInfo, "Playback delay = %d", static_cast<int>(delay));
    return true;
}

void QrvPlayerWorkerThreadMainCloseChannel()
{
    workerLog().log(WexLogInfo, "-> %s", __func__);
    if (cntxt.handle != nullptr) {
        const int rc = qrvAlsa().drain(cntxt.handle);
        if (rc < 0) {
            workerLog().log(WexLogError, "failure draining sound device: %s\n", snd_strerror(rc));
            QrvPlayerWorkerThreadS_shutdown();
        }
        snd_pcm_close(cntxt.handle);
        cntxt.handle = nullptr;
    }
    if (cntxt.output != nullptr) {
        snd_output_close(cntxt.output);
        cntxt.output = nullptr;
    }
    workerLog().log(WexLogInfo, "<- %s", __func__);
}

gboolean QrvPlayerWorkerThreadMainInit(gpointer)
{
    workerLog().log(WexLogInfo, "%s", __func__);
    dumpStartPW();
    cntxt.framesPlayed = 0;
    if (!openDevice()) {
        // Nothing will be played: close what is open and let the starter
        // hear that the playback is over.
        QrvPlayerWorkerThreadMainCloseChannel();
        workqueue_add(cntxt.callerQueue, QrvPlayerWorkerThreadMainStop, nullptr, 0);
        return G_SOURCE_REMOVE;
    }
    auto* info = static_cast<QrvPlayerBufInfo*>(dvk_oem_mem_alloc(sizeof(QrvPlayerBufInfo)));
    if (info == nullptr) {
        workerLog().log(WexLogError, "%s: out of memory", __func__);
        QrvPlayerWorkerThreadMainCloseChannel();
        workqueue_add(cntxt.callerQueue, QrvPlayerWorkerThreadMainStop, nullptr, 0);
        return G_SOURCE_REMOVE;
    }
    *info = QrvPlayerBufInfo{nullptr, 0};
    workqueue_add(cntxt.callerQueue, QrvPlayerWorkerThreadRequestBuf, info, 0);
    return G_SOURCE_REMOVE;
}

gboolean QrvPlayerWorkerThreadRequestBuf(gpointer data)
{
    auto* info = static_cast<QrvPlayerBufInfo*>(data);
    if (info == nullptr) {
        vrLog().log(WexLogError, "%s: bufInfo=0", __func__);
        return G_SOURCE_REMOVE;
    }
    if (cntxt.bufCallback == nullptr) {
        vrLog().log(WexLogError, "%s: bad callback", __func__);
        return G_SOURCE_REMOVE;
    }
    cntxt.bufCallback(info);
    vrLog().log(WexLogDebug, "%s: buffer numFrames=%d", __func__, info->numFrames);
    if (cntxt.workerQueue == nullptr) {
        vrLog().log(WexLogError, "%s: cntxt.workerThread=%d", __func__, 0);
        dvk_oem_mem_free(info);
        return G_SOURCE_REMOVE;
    }
    workqueue_add(cntxt.workerQueue, QrvPlayerWorkerThreadMainPlayBuf, info, 0);
    return G_SOURCE_REMOVE;
}

gboolean QrvPlayerWorkerThreadMainPlayBuf(gpointer data)
{
    auto* info = static_cast<QrvPlayerBufInfo*>(data);
    pcmDump();
    workerLog().log(WexLogDebug, "%s: pcmData=%d numFrame=%d ", __func__,
                    static_cast<int>(reinterpret_cast<intptr_t>(info->pcmData)), info->numFrames);
    if (info->numFrames <= 0) {
        dvk_oem_mem_free(info->pcmData);
        dvk_oem_mem_free(info);
        QrvPlayerWorkerThreadMainCloseChannel();
        workqueue_add(cntxt.callerQueue, QrvPlayerWorkerThreadMainStop, nullptr, 0);
        return G_SOURCE_REMOVE;
    }
    const snd_pcm_uframes_t frames = static_cast<snd_pcm_uframes_t>(info->numFrames);
    // Short writes go on with the rest of the buffer.
    snd_pcm_sframes_t result = 0;
    snd_pcm_uframes_t done = 0;
    while (done < frames) {
        result = qrvAlsa().writei(cntxt.handle, info->pcmData + done, frames - done);
        if (result <= 0)
            break;
        done += static_cast<snd_pcm_uframes_t>(result);
    }
    if (dumpFd >= 0) {
        const ssize_t written = ::write(dumpFd, info->pcmData, sizeof(int16_t) * frames);
        (void)written;
    }
    if (result < 0) {
        workerLog().log(WexLogError, "%s: writei error %s (%d)\n", __func__, qrvAlsaErrName(result),
                        static_cast<int>(result));
        const int rc = qrvAlsa().recover(cntxt.handle, static_cast<int>(result), 0);
        if (rc < 0)
            workerLog().log(WexLogError, "%s: recorder error %s (%d)\n", __func__, qrvAlsaErrName(rc), rc);
    } else {
        result = static_cast<snd_pcm_sframes_t>(done);
    }
    cntxt.framesPlayed += info->numFrames;
    workerLog().log(WexLogDebug, "frames written=%d  frames left: %d  numPlayed=%d", static_cast<int>(result),
                    static_cast<int>(snd_pcm_avail(cntxt.handle)), static_cast<int>(cntxt.framesPlayed));
    workqueue_add(cntxt.callerQueue, QrvPlayerWorkerThreadRequestBuf, info, 0);
    return G_SOURCE_REMOVE;
}

gboolean QrvPlayerWorkerThreadMainStop(gpointer)
{
    QrvPlayerDoneCallback done = cntxt.doneCallback;
    if (cntxt.workerQueue != nullptr)
        workqueue_destroy(cntxt.workerQueue);
    if (cntxt.status != nullptr)
        snd_pcm_status_free(cntxt.status);
    cntxt = Context{};
    vrLog().log(WexLogDebug, "%s: playback over", __func__);
    if (done != nullptr)
        done(&cntxt);
    return G_SOURCE_REMOVE;
}

} // namespace

workqueue* QrvPlayerWorkerThreadStart(QrvPlayerBufCallback bufCallback, QrvPlayerDoneCallback doneCallback)
{
    cntxt.bufCallback = bufCallback;
    cntxt.doneCallback = doneCallback;
    cntxt.callerQueue = workqueue_self();
    cntxt.workerQueue = workqueue_create("pworker");
    workqueue_add(cntxt.workerQueue, QrvPlayerWorkerThreadMainInit, nullptr, 0);
    return cntxt.workerQueue;
}

void QrvPlayerWorkerThreadS_shutdown()
{
    QrvExecuteInUiThread(QrvPlayerWorkerThreadShutdownAll, nullptr, QRV_THREAD_ALWAYS_POST);
}
