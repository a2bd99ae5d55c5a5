#include "oem/QrvPlayer.h"

#include "oem/dvk_oem_mem.h"
#include "oem/dvk_oem_watchdog.h"
#include "src/QrvLog.h"

#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

namespace {

constexpr int32_t kSlotFrames = 160;
constexpr int32_t kSlots = 5;
constexpr int32_t kBufFrames = kSlotFrames * kSlots;
constexpr int kBuffersPerPing = 50;
constexpr int kTrailerBuffers = 8;

enum State { RUNNING = 0, DECODING_EMPTY_BUFS = 1, WRITING_TRAILER = 2, DONE = 3 };

const char* stateName(int state)
{
    switch (state) {
    case RUNNING:
        return "RUNNING";
    case DECODING_EMPTY_BUFS:
        return "DECODING_EMPTY_BUFS";
    case WRITING_TRAILER:
        return "WRITING_TRAILER";
    case DONE:
        return "DONE";
    default:
        return "UNKNOWN";
    }
}

struct StopRequest {
    QrvPlayerCallback callback;
    void* context;
};

struct Player {
    bool running = false;
    workqueue* worker = nullptr;
    QrvPlayerGetBuf getBuf = nullptr;
    QrvPlayerCallback done = nullptr;
    void* context = nullptr;
    void* doneContext = nullptr;
    std::vector<StopRequest> stops;
    int32_t previousCount = -1;
    int emptyBufs = 0;
    int trailerBufs = 0;
    int state = RUNNING;
    int watchdogCountdown = kBuffersPerPing;
};

// Stops come from other threads (the closing chirp from "UI").
std::mutex s_mutex;
Player s_player;

WexLogger& log()
{
    return QrvLog::VRthread::qrvLogPlayer;
}

void setState(int state)
{
    if (state != s_player.state)
        log().log(WexLogDebug, "%s: state=%s", __func__, stateName(state));
    s_player.state = state;
}

void updateState()
{
    if (s_player.state == DECODING_EMPTY_BUFS && s_player.emptyBufs >= 1)
        setState(WRITING_TRAILER);
    else if (s_player.state == WRITING_TRAILER && s_player.trailerBufs >= kTrailerBuffers)
        setState(DONE);
}

} // namespace

void QrvPlayerStart(QrvPlayerGetBuf getBuf, QrvPlayerCallback done, void* context, void* doneContext)
{
    // Held until the worker is recorded: a start from another thread ("UI"
    // plays the closing chirp) must find it, not start a second worker over
    // the one playback context.
    std::lock_guard<std::mutex> lock(s_mutex);
    if (s_player.running)
        log().log(WexLogWarning, "QrvPlayer already running");
    s_player.running = true;
    s_player.previousCount = -1;
    s_player.state = RUNNING;
    s_player.emptyBufs = 0;
    s_player.trailerBufs = 0;
    if (s_player.worker != nullptr) {
        log().log(WexLogError, "Attempt to start playback while it's already running");
        return;
    }
    s_player.getBuf = getBuf;
    s_player.done = done;
    s_player.context = context;
    s_player.doneContext = doneContext;
    s_player.worker = QrvPlayerWorkerThreadStart(QrvPlayerGetNextBuf, QrvPlayerDoneCb);
}

void QrvPlayerGetNextBuf(QrvPlayerBufInfo* info)
{
    if (--s_player.watchdogCountdown <= 0) {
        s_player.watchdogCountdown = kBuffersPerPing;
        dvkOemIAmAlive();
    }
    if (info->numFrames != kBufFrames || info->pcmData == nullptr) {
        dvk_oem_mem_free(info->pcmData);
        info->pcmData = static_cast<int16_t*>(dvk_oem_mem_alloc(sizeof(int16_t) * kBufFrames));
    }
    info->numFrames = 0;
    std::unique_lock<std::mutex> lock(s_mutex);
    if (s_player.state == DONE || info->pcmData == nullptr) {
        log().log(WexLogDebug, "%s: No more data.  Returning 0.  NOT calling .getBufCb()", __func__);
        dvk_oem_mem_free(info->pcmData);
        info->pcmData = nullptr;
        return;
    }
    if (s_player.state == WRITING_TRAILER) {
        std::memset(info->pcmData, 0, sizeof(int16_t) * kBufFrames);
        ++s_player.trailerBufs;
        updateState();
        return;
    }
    const QrvPlayerGetBuf getBuf = s_player.getBuf;
    void* context = s_player.context;
    lock.unlock();
    int32_t count = 0;
    for (int32_t slot = 0; slot < kSlots && getBuf != nullptr; ++slot) {
        int samples = kSlotFrames;
        getBuf(info->pcmData + slot * kSlotFrames, &samples, context);
        if (samples != kSlotFrames)
            log().log(WexLogDebug, "%s: numFrames (%d) != pcmDataLen (%d)", __func__, samples, kSlotFrames);
        if (samples < 1)
            break;
        count += samples;
    }
    lock.lock();
    info->numFrames = count;
    if (count == 0 && s_player.previousCount == 0) {
        ++s_player.emptyBufs;
        setState(DECODING_EMPTY_BUFS);
    }
    s_player.previousCount = count;
    updateState();
}

void QrvPlayerDoneCb(void*)
{
    std::unique_lock<std::mutex> lock(s_mutex);
    const QrvPlayerCallback done = s_player.done;
    void* doneContext = s_player.doneContext;
    const std::vector<StopRequest> stops = std::move(s_player.stops);
    s_player = Player{};
    lock.unlock();
    if (stops.empty()) {
        log().log(WexLogDebug, "%s: start callback...", __func__);
        if (done != nullptr)
            done(doneContext);
        return;
    }
    int n = 0;
    for (const StopRequest& stop : stops) {
        log().log(WexLogDebug, "%s: stop callback %d...", __func__, ++n);
        if (stop.callback != nullptr)
            stop.callback(stop.context);
    }
}

void QrvPlayerStop(QrvPlayerCallback callback, void* context, bool graceful)
{
    std::unique_lock<std::mutex> lock(s_mutex);
    if (!s_player.running) {
        lock.unlock();
        if (callback != nullptr)
            callback(context);
        return;
    }
    if (s_player.state == DONE)
        log().log(WexLogDebug, "%s: stop already in progress", __func__);
    bool repeat = false;
    for (const StopRequest& stop : s_player.stops)
        repeat = repeat || (stop.callback == callback && stop.context == context);
    if (repeat)
        log().log(WexLogDebug, "%s: stop request exactly same as previous.  Ignoring this one.", __func__);
    else
        s_player.stops.push_back(StopRequest{callback, context});
    if (!graceful)
        setState(DONE);
    else
        log().log(WexLogDebug, "%s: state=%s", __func__, stateName(s_player.state));
}

bool QrvPlayerIsRunning()
{
    std::lock_guard<std::mutex> lock(s_mutex);
    return s_player.running;
}
