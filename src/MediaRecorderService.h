// The media capture client: the platform's capture service writes 8 kHz
// 16-bit mono WAV into a named pipe that the client creates, and its VU
// reports become the UI's audio level. Everything here runs on "UI".
#pragma once

#include "platform/media/media_capture.h"
#include "src/Recorder.h"

#include <cstdint>
#include <memory>

class MediaRecorderService;

class MediaRecorderSornaConnector : public media::SornaConnector {
public:
    void connected() override;
    QbOrvelService* connectToBus() override;
    void disconnected() override;
    void registerMediaRecorderService(MediaRecorderService* service) { m_service = service; }

private:
    MediaRecorderService* m_service = nullptr;
};

class MediaRecorderService : public media::MediaCaptureV3ChangeListener {
public:
    using Callback = void (*)(void*);

    enum State : int32_t {
        STATE_INITIAL = 0,
        STATE_LOADING = 1,
        STATE_READY_TO_CAPTURE = 2,
        STATE_CAPTURE_PRIMING = 3,
        STATE_CAPTURING = 4,
    };

    static constexpr const char* namedPipeFileName = "/tmp/com.orvel.service.merrowind_record_pipe";

    explicit MediaRecorderService(std::shared_ptr<MediaRecorderSornaConnector> connector);
    ~MediaRecorderService() override;
    MediaRecorderService(const MediaRecorderService&) = delete;
    MediaRecorderService& operator=(const MediaRecorderService&) = delete;

    void init(Callback cb, void* context);
    void start(Callback startDone, void* startDoneContext, Callback started, void* startedContext);
    void stop(Callback cb, void* context);
    void shutdown();
    void connected();
    QbOrvelService* connectToBus();
    int32_t getState() const { return m_state; }

    void readyChanged() override;
    void supportedAudioFormatsChanged() override;
    void audioCaptureChanged() override;
    void elapsedTimeChanged() override;
    void vuDataChanged() override;
    void captureDevicesChanged() override;
    void errorChanged() override;

    // The level 0..11 shown for a VU report (0 and 4..11).
    static uint32_t levelFromVu(double rms, double peak, double* linear = nullptr);

private:
    struct Pending {
        Callback fn = nullptr;
        void* context = nullptr;
        // Calls the callback once and forgets it.
        void run();
    };

    void startHelper();

    std::shared_ptr<MediaRecorderSornaConnector> m_connector;
    int32_t m_state = STATE_INITIAL;
    QbOrvelService* m_bus = nullptr;
    std::shared_ptr<media::MediaCaptureV3> mSornaMediaCapture;
    std::shared_ptr<media::LoadOptions> m_loadOptions;
    bool m_startRequested = false;
    Pending m_init;
    Pending m_startDone;
    Pending m_started;
    Pending m_stop;
};

class MediaRecorderManager {
public:
    using Callback = MediaRecorderService::Callback;
    using DoneCallback = void (*)();

    static void init();
    static void start(Callback startDone, void* startDoneContext, Callback started, void* startedContext);
    static void stop(Callback cb, void* context);
    static void shutdownStart(DoneCallback cb);
    static void shutdownCallback(void*);
    static const char* namedPipeFileName() { return MediaRecorderService::namedPipeFileName; }
    static void read(Recorder::RecordBufInfo& info);

    // Tests: the client (null when there is none).
    static MediaRecorderService* serviceForTesting();
    // Tests: forgets the shut-down, so a new process life can begin.
    static void resetForTesting();

private:
    static void initPimpl();
    static void initCallback(void*);
};

// The start of a client that did not exist yet, run by its init callback.
struct InitAndStartCallbackContext {
    MediaRecorderService::Callback startDone;
    void* startDoneContext;
    MediaRecorderService::Callback started;
    void* startedContext;

    static void initAndStartCallback(void* context);
};

// The level helpers of the audio level vocabulary.
int SCVolumeConvertPercentToTic(int percent);
void interpretLevel(double level, int& bars, int& band);
