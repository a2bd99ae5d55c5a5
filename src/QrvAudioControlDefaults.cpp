// Until the recorder and the player exist neither ever runs: every stop
// completes at once, and a playback ends as soon as it starts, having
// played nothing. The capture client is the media recorder manager's.
#include "src/MediaRecorderService.h"
#include "src/QrvAudioControls.h"
#include "src/QrvAudioUi.h"
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

class MediaCapture : public QrvMediaCaptureControl {
public:
    void init() override { MediaRecorderManager::init(); }
    void shutdownStart(Done done) override { MediaRecorderManager::shutdownStart(done); }
};

// Until the UI function table is there, the audio's UI calls are logged.
class NoAudioUi : public QrvAudioUi {
public:
    void stateChangeToRecording() override
    {
        QrvLog::UIthread::qrvLog.log(WexLogDebug, "%s: no UI table", __func__);
    }
    void audioLevelUpdate(uint32_t level) override
    {
        QrvLog::UIthread::qrvLog.log(WexLogDebug, "%s: no UI table for level %u", __func__, level);
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
    static MediaCapture impl;
    return impl;
}

template <>
QrvAudioUi& QrvSeam<QrvAudioUi>::defaultImpl()
{
    static NoAudioUi impl;
    return impl;
}
