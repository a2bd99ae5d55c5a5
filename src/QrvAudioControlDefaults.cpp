// The audio machinery in use: the porting layer's recorder and player
// fronts, the media recorder manager's capture client and the UI function
// table.
#include "oem/QrvPlayer.h"
#include "oem/QrvRecorder.h"
#include "oem/dvk_oem_ui.h"
#include "src/MediaRecorderService.h"
#include "src/QrvAudioControls.h"
#include "src/QrvAudioUi.h"
#include "src/QrvLog.h"

namespace {

// The recorder and player fronts of the porting layer's glue.
class RecorderFront : public QrvRecorderControl {
public:
    bool isRunning() override { return QrvRecorderIsRunning(); }
    void stop(StopDone done) override { QrvRecorderStop(done); }
};

class PlayerFront : public QrvPlayerControl {
public:
    bool isRunning() override { return QrvPlayerIsRunning(); }
    void start(GetBuf getBuf, Done done, void* context, void* doneContext) override
    {
        QrvPlayerStart(getBuf, done, context, doneContext);
    }
    void stop(Done done, void* context, bool graceful) override { QrvPlayerStop(done, context, graceful); }
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
    static RecorderFront impl;
    return impl;
}

template <>
QrvPlayerControl& QrvSeam<QrvPlayerControl>::defaultImpl()
{
    static PlayerFront impl;
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
