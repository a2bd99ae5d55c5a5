// Until the recorder and the player exist neither ever runs: every stop
// completes at once, and a playback ends as soon as it starts, having
// played nothing. The capture client is the media recorder manager's.
#include "oem/dvk_oem_ui.h"
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

// The UI function table's slots 12 and 17.
class TableAudioUi : public QrvAudioUi {
public:
    void stateChangeToRecording() override { dvkOemUiFuncs_p->uiStateChangeToRecording(nullptr); }
    void audioLevelUpdate(uint32_t level) override { dvkOemUiFuncs_p->audioLevelUpdate(static_cast<int32_t>(level)); }
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
    static TableAudioUi impl;
    return impl;
}
