// The recorder glue: the "rworker" thread reads 20 ms buffers from the
// named-pipe recorder and hands each to the thread that started it; the
// recorder front owns one recording at a time, can replace the microphone by
// a test file, and queues stop callbacks.
#pragma once

#include "oem/dvk_oem_audio_types.h"
#include "src/workqueue.h"

#include <cstdint>

// Worker. The buffer callback gets (samples, count) on the starting thread.
using QrvRecorderBufCallback = void (*)(int16_t* samples, int32_t count);
using QrvRecorderEvent = void (*)();
workqueue* QrvRecorderWorkerThreadStart(QrvRecorderEvent initDone, QrvRecorderBufCallback bufCallback);
// The stop callback runs on the starting thread once the worker is gone.
void QrvRecorderWorkerThreadStop(QrvRecorderEvent stopCallback);

// Front.
void QrvRecorderStart(dvk_oem_audio_AudioCallback callback, void* context);
// The callback (may be null) runs once the recording has stopped; at once
// when none runs.
void QrvRecorderStop(QrvRecorderEvent callback);
bool QrvRecorderIsRunning();
void QrvRecorderStartDone();
void QrvRecorderBufDeliver(int16_t* samples, int32_t count);
void QrvRecorderStopCb();
