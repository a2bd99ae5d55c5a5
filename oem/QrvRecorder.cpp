#include "oem/QrvRecorder.h"

#include "oem/dvk_oem_audio.h"
#include "oem/dvk_oem_mem.h"
#include "oem/dvk_oem_watchdog.h"
#include "src/QrvAudioDumper.h"
#include "src/QrvLog.h"
#include "src/Recorder.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

namespace {

constexpr int32_t kFrames = 160;
constexpr int kBuffersPerPing = 100;

// ---- worker ----

struct BufRecord {
    int16_t* data;
    int32_t count;
};

struct WorkerContext {
    QrvRecorderBufCallback bufCallback = nullptr;
    QrvRecorderEvent initDone = nullptr;
    QrvRecorderEvent stopCallback = nullptr;
    workqueue* starter = nullptr;
    workqueue* worker = nullptr;
    Recorder* recorder = nullptr;
    std::atomic<bool> stopRequested{false};
    int delivered = 0;
};

WorkerContext s_worker;

WexLogger& workerLog()
{
    return QrvLog::multiThread::qrvLogRecorder();
}

QrvAudioDumper& workerDump()
{
    static QrvAudioDumper dumper(workerLog(), "RecordWorker.pcm", true);
    return dumper;
}

gboolean initDone(gpointer)
{
    if (s_worker.initDone != nullptr)
        s_worker.initDone();
    return G_SOURCE_REMOVE;
}

gboolean bufCbInvoker(gpointer data)
{
    auto* record = static_cast<BufRecord*>(data);
    if (++s_worker.delivered == kBuffersPerPing) {
        s_worker.delivered = 0;
        dvkOemIAmAlive();
    }
    workerDump().Write(record->data, sizeof(int16_t) * static_cast<size_t>(record->count));
    if (s_worker.bufCallback != nullptr)
        s_worker.bufCallback(record->data, record->count);
    dvk_oem_mem_free(record->data);
    dvk_oem_mem_free(record);
    return G_SOURCE_REMOVE;
}

gboolean finalizeStop(gpointer)
{
    QrvRecorderEvent callback = s_worker.stopCallback;
    if (s_worker.worker != nullptr)
        workqueue_destroy(s_worker.worker);
    s_worker.bufCallback = nullptr;
    s_worker.initDone = nullptr;
    s_worker.stopCallback = nullptr;
    s_worker.starter = nullptr;
    s_worker.worker = nullptr;
    s_worker.stopRequested = false;
    s_worker.delivered = 0;
    if (callback != nullptr)
        callback();
    return G_SOURCE_REMOVE;
}

// On "rworker", after its reading has ended.
gboolean recorderStop(gpointer)
{
    delete s_worker.recorder;
    s_worker.recorder = nullptr;
    workqueue_add(s_worker.starter, finalizeStop, nullptr, 0);
    return G_SOURCE_REMOVE;
}

// Re-run by "rworker" while it answers true.
gboolean readBuf(gpointer)
{
    if (s_worker.stopRequested)
        return G_SOURCE_REMOVE;
    if (s_worker.recorder == nullptr) {
        workerLog().log(WexLogError, "%s: recorder not present.  Not reading data", __func__);
        return G_SOURCE_REMOVE;
    }
    auto* record = static_cast<BufRecord*>(dvk_oem_mem_alloc(sizeof(BufRecord)));
    if (record == nullptr) {
        workerLog().log(WexLogError, "%s: allocation failure 1", __func__);
        return G_SOURCE_REMOVE;
    }
    record->data = static_cast<int16_t*>(dvk_oem_mem_alloc(sizeof(int16_t) * kFrames));
    if (record->data == nullptr) {
        workerLog().log(WexLogError, "%s: allocation failure 2", __func__);
        dvk_oem_mem_free(record);
        return G_SOURCE_REMOVE;
    }
    record->count = kFrames;
    Recorder::RecordBufInfo info{record->data, kFrames};
    if (s_worker.recorder->read(info) == 0) {
        // The capture has ended: nothing more will come.
        workerLog().log(WexLogInfo, "%s: no data; reading ends", __func__);
        dvk_oem_mem_free(record->data);
        dvk_oem_mem_free(record);
        return G_SOURCE_REMOVE;
    }
    workqueue_add(s_worker.starter, bufCbInvoker, record, 0);
    return G_SOURCE_CONTINUE;
}

gboolean mainInit(gpointer)
{
    s_worker.recorder = new MediaRecorder;
    workqueue_add(s_worker.starter, initDone, nullptr, 0);
    workqueue_add(s_worker.worker, readBuf, nullptr, 0);
    return G_SOURCE_REMOVE;
}

// ---- front ----

// Stop callbacks waiting for the recording's end.
class CallbackList {
public:
    void add(QrvRecorderEvent fn) { m_callbacks.push_back(fn); }
    size_t size() const { return m_callbacks.size(); }
    void invokeAll()
    {
        std::vector<QrvRecorderEvent> callbacks;
        callbacks.swap(m_callbacks);
        for (QrvRecorderEvent fn : callbacks)
            if (fn != nullptr)
                fn();
    }

private:
    std::vector<QrvRecorderEvent> m_callbacks;
};

struct Front {
    bool running = false;
    bool stopRequested = false;
    workqueue* worker = nullptr;
    dvk_oem_audio_AudioCallback callback = nullptr;
    void* context = nullptr;
    CallbackList* stops = nullptr;
};

Front s_front;

WexLogger& frontLog()
{
    return QrvLog::VRthread::qrvLogRecord;
}

QrvAudioDumper& frontDump()
{
    static QrvAudioDumper dumper(frontLog(), "QrvRecorder.pcm", false);
    return dumper;
}

} // namespace

workqueue* QrvRecorderWorkerThreadStart(QrvRecorderEvent initDoneCb, QrvRecorderBufCallback bufCallback)
{
    workerDump().Start();
    s_worker.bufCallback = bufCallback;
    s_worker.initDone = initDoneCb;
    s_worker.stopCallback = nullptr;
    s_worker.recorder = nullptr;
    s_worker.stopRequested = false;
    s_worker.delivered = 0;
    s_worker.starter = workqueue_self();
    s_worker.worker = workqueue_create("rworker");
    workqueue_add(s_worker.worker, mainInit, nullptr, 0);
    return s_worker.worker;
}

void QrvRecorderWorkerThreadStop(QrvRecorderEvent stopCallback)
{
    s_worker.stopCallback = stopCallback;
    s_worker.stopRequested = true;
    // Runs after the reading has ended, also when it ended by itself.
    workqueue_add(s_worker.worker, recorderStop, nullptr, 0);
}

void QrvRecorderStart(dvk_oem_audio_AudioCallback callback, void* context)
{
    if (s_front.worker != nullptr) {
        frontLog().log(WexLogError, "%s: Attempt to record when already recording", __func__);
        return;
    }
    s_front.running = true;
    s_front.stopRequested = false; // a new recording is wanted again
    frontDump().Start();
    s_front.callback = callback;
    s_front.context = context;
    s_front.worker = QrvRecorderWorkerThreadStart(QrvRecorderStartDone, QrvRecorderBufDeliver);
}

void QrvRecorderStartDone() {}

void QrvRecorderBufDeliver(int16_t* samples, int32_t count)
{
    if (s_front.stopRequested)
        return;
    std::vector<int16_t> replaced;
    if (FILE* test = dvkOemAudioTestInput(); test != nullptr) {
        frontLog().log(WexLogDebug, "Reading recording data from file");
        replaced.assign(static_cast<size_t>(count), 0);
        const size_t got = std::fread(replaced.data(), 1, replaced.size() * sizeof(int16_t), test);
        std::memset(reinterpret_cast<char*>(replaced.data()) + got, 0, replaced.size() * sizeof(int16_t) - got);
        samples = replaced.data();
    }
    frontDump().Write(samples, sizeof(int16_t) * static_cast<size_t>(count));
    int32_t frameLength = 0;
    if (s_front.callback != nullptr)
        s_front.callback(samples, nullptr, &count, &frameLength, s_front.context);
}

void QrvRecorderStopCb()
{
    s_front.running = false;
    s_front.worker = nullptr;
    s_front.callback = nullptr;
    s_front.context = nullptr;
    if (s_front.stops == nullptr) {
        frontLog().log(WexLogWarning, "%s: callback list was not initialized", __func__);
        return;
    }
    s_front.stops->invokeAll();
}

void QrvRecorderStop(QrvRecorderEvent callback)
{
    s_front.stopRequested = true;
    if (s_front.worker == nullptr) {
        if (callback != nullptr)
            callback();
        return;
    }
    if (s_front.stops == nullptr)
        s_front.stops = new CallbackList;
    s_front.stops->add(callback);
    frontLog().log(WexLogDebug, "%s: %d'th callback queued", __func__, static_cast<int>(s_front.stops->size()));
    // The first stop stops the worker; later ones only wait with it.
    if (s_front.stops->size() == 1)
        QrvRecorderWorkerThreadStop(QrvRecorderStopCb);
}

bool QrvRecorderIsRunning()
{
    return s_front.running;
}
