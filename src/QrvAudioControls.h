// The audio machinery that the shut-down stops and the closing chirp plays
// through: the recorder and the player (the suite's audio owners, driven on
// "VR") and the media capture client (on "UI"). Each is reached through an
// interface so the shut-down runs whether or not the machinery is built; the
// defaults stand for machinery that is not running.
#pragma once

#include "src/QrvSeam.h"

#include <cstdint>

// The named-pipe recorder (QrvRecorderStop, QrvRecorderIsRunning).
class QrvRecorderControl : public QrvSeam<QrvRecorderControl> {
public:
    using StopDone = void (*)();

    virtual bool isRunning() = 0;
    // `done` runs once the recorder has stopped; at once when none runs.
    virtual void stop(StopDone done) = 0;
};

// The player (QrvPlayerStart, QrvPlayerStop, QrvPlayerIsRunning).
class QrvPlayerControl : public QrvSeam<QrvPlayerControl> {
public:
    // Fills up to *samples (160) 16-bit samples into buffer and returns how
    // many it wrote (also in *samples); 0 once the source is exhausted.
    using GetBuf = int (*)(int16_t* buffer, int* samples, void* context);
    using Done = void (*)(void* context);

    virtual bool isRunning() = 0;
    // Plays what getBuf gives; `done(doneContext)` when the playback has ended.
    virtual void start(GetBuf getBuf, Done done, void* context, void* doneContext) = 0;
    // `done(context)` once the player has stopped; at once when none runs.
    // With `graceful` the playback runs to its natural end.
    virtual void stop(Done done, void* context, bool graceful) = 0;
};

// The media capture client (MediaRecorderManager::init, ::shutdownStart).
class QrvMediaCaptureControl : public QrvSeam<QrvMediaCaptureControl> {
public:
    using Done = void (*)();

    // On "UI": creates the capture client and connects it.
    virtual void init() = 0;

    // `done` runs once the capture client is gone; at once when there is none.
    virtual void shutdownStart(Done done) = 0;
};

template <>
QrvRecorderControl& QrvSeam<QrvRecorderControl>::defaultImpl();
template <>
QrvPlayerControl& QrvSeam<QrvPlayerControl>::defaultImpl();
template <>
QrvMediaCaptureControl& QrvSeam<QrvMediaCaptureControl>::defaultImpl();
