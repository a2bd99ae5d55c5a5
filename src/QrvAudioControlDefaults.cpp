// Until the recorder, the player and the capture client exist none of them
// ever runs: every stop completes at once, and a playback ends as soon as it
// starts, having played nothing.
#include "src/QrvAudioControls.h"
#include "src/QrvLog.h"

namespace {

class IdleRecorder : public QrvRecorderControl {
public:
    bool isRunning() override { return false; }
    void stop(StopDone done) override
    {
        if (done != nullptr)
            done();
    }
};

class IdlePlayer : public QrvPlayerControl {
public:
    bool isRunning() override { return false; }
    void start(GetBuf, Done done, void*, void* doneContext) override
    {
        QrvLog::multiThread::qrvLogPlayer().log(WexLogWarning, "%s: no player; nothing played", __func__);
        if (done != nullptr)
            done(doneContext);
    }
    void stop(Done done, void* context, bool) override
    {
        if (done != nullptr)
            done(context);
    }
};

class NoMediaCapture : public QrvMediaCaptureControl {
public:
    void shutdownStart(Done done) override
    {
        if (done != nullptr)
            done();
    }
};

} // namespace

template <>
QrvRecorderControl& QrvSeam<QrvRecorderControl>::defaultImpl()
{
    static IdleRecorder impl;
    return impl;
}

template <>
QrvPlayerControl& QrvSeam<QrvPlayerControl>::defaultImpl()
{
    static IdlePlayer impl;
    return impl;
}

template <>
QrvMediaCaptureControl& QrvSeam<QrvMediaCaptureControl>::defaultImpl()
{
    static NoMediaCapture impl;
    return impl;
}
