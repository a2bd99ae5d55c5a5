// The player glue: feeds the playback worker in 100 ms buffers (five 20 ms
// slots filled by the client) and manages start, stop and done callbacks.
// Buffer requests and the end run on the thread that started the playback;
// stops may come from any thread.
#pragma once

#include "src/QrvPlayerWorkerThread.h"

#include <cstdint>

// Fills up to *samples (160) samples into buffer; returns how many (also in
// *samples), below 1 when the source is exhausted.
using QrvPlayerGetBuf = int (*)(int16_t* buffer, int* samples, void* context);
using QrvPlayerCallback = void (*)(void* context);

void QrvPlayerStart(QrvPlayerGetBuf getBuf, QrvPlayerCallback done, void* context, void* doneContext);
// Each distinct request's callback runs once, when the playback has ended
// (at once when none runs); without `graceful` the playback ends at its next
// buffer.
void QrvPlayerStop(QrvPlayerCallback callback, void* context, bool graceful);
bool QrvPlayerIsRunning();
void QrvPlayerGetNextBuf(QrvPlayerBufInfo* info);
void QrvPlayerDoneCb(void* ignored);
