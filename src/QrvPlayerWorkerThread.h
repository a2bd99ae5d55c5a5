// The playback worker: a "pworker" work queue that owns the ALSA playback
// device "voicedial" for one playback. Buffers are asked for on the thread
// that started the worker and written on "pworker", one at a time; a buffer
// of 0 frames ends the playback (drain, close, worker gone) and the done
// callback runs on the starting thread. One playback at a time.
#pragma once

#include "src/workqueue.h"

#include <cstdint>

// Travels between the two threads for the whole playback. The buffer
// callback sets both fields each time; the samples are its own, but the
// worker frees the last block (dvk_oem_mem_free) at the end.
struct QrvPlayerBufInfo {
    int16_t* pcmData;
    int32_t numFrames;
};

using QrvPlayerBufCallback = void (*)(QrvPlayerBufInfo* info);
using QrvPlayerDoneCallback = void (*)(void* context);

// Returns the new worker queue.
workqueue* QrvPlayerWorkerThreadStart(QrvPlayerBufCallback bufCallback, QrvPlayerDoneCallback doneCallback);

// Any thread: the service's shut-down, started from "UI".
void QrvPlayerWorkerThreadS_shutdown();

// The ALSA device played into.
constexpr const char* kQrvPlayerDevice = "voicedial";
