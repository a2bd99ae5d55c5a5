#include "src/MediaRecorderService.h"

#include "platform/core/wex_root.h"
#include "src/QrVoiceCmdServiceApp.h"
#include "src/QrvAudioUi.h"
#include "src/QrvLog.h"
#include "src/QrvServiceEnd.h"
#include "src/QrvWorkQueues.h"

#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace {

WexLogger& recordLog()
{
    return QrvLog::UIthread::qrvLogRecord;
}

WexLogger& managerLog()
{
    return QrvLog::UIthread::qrvLog;
}

constexpr const char* kWaveMime = "audio/vnd.wave";
constexpr uint32_t kRate = 8000;
constexpr float kCaptureSeconds = 600.0f;

std::shared_ptr<MediaRecorderSornaConnector> mediaRecorderSornaConnector;
std::shared_ptr<MediaRecorderService> mediaRecorderService;
MediaRecorderManager::DoneCallback mediaServerDoneCallback = nullptr;

std::string pipePath()
{
    return wexRootPath(MediaRecorderService::namedPipeFileName);
}

template <class F>
int asInt(F* pointer)
{
    return static_cast<int>(reinterpret_cast<intptr_t>(pointer));
}

} // namespace

// ---- connector ----

void MediaRecorderSornaConnector::connected()
{
    if (m_service != nullptr)
        m_service->connected();
}

QbOrvelService* MediaRecorderSornaConnector::connectToBus()
{
    return m_service != nullptr ? m_service->connectToBus() : nullptr;
}

void MediaRecorderSornaConnector::disconnected()
{
    QrvExecuteInUiThread(MediaRecorderManager::shutdownCallback, nullptr, QRV_THREAD_ALWAYS_POST);
}

// ---- client ----

void MediaRecorderService::Pending::run()
{
    Callback callback = fn;
    void* argument = context;
    fn = nullptr;
    context = nullptr;
    if (callback != nullptr)
        callback(argument);
}

MediaRecorderService::MediaRecorderService(std::shared_ptr<MediaRecorderSornaConnector> connector)
    : m_connector(std::move(connector))
{
    WexSornaService* service = QrVoiceCmdServiceApp::getSornaService();
    m_bus = service != nullptr ? service->getService() : nullptr;
    if (m_bus == nullptr)
        recordLog().log(WexLogError, "Attempt to create Media object before service is ready");
    m_loadOptions = std::make_shared<media::LoadOptions>();
    m_loadOptions->imageFormat = std::make_shared<media::CaptureFormat>();
    m_loadOptions->videoFormat = std::make_shared<media::CaptureFormat>();
}

MediaRecorderService::~MediaRecorderService()
{
    if (m_connector)
        m_connector->registerMediaRecorderService(nullptr);
    // A start that never came to run owns its record.
    if (m_init.fn == InitAndStartCallbackContext::initAndStartCallback)
        delete static_cast<InitAndStartCallbackContext*>(m_init.context);
    ::unlink(pipePath().c_str());
}

void MediaRecorderService::init(Callback cb, void* context)
{
    recordLog().log(WexLogInfo, "%s", __func__);
    if (mSornaMediaCapture) {
        // A second capture object would leave the first one writing.
        recordLog().log(WexLogDebug, "%s: capture object exists already", __func__);
        if (m_init.fn == nullptr)
            m_init = Pending{cb, context};
        return;
    }
    m_init = Pending{cb, context};
    mSornaMediaCapture = media::MediaClient::createSornaMediaCapture(m_connector);
    if (mSornaMediaCapture)
        mSornaMediaCapture->addListener(this);
    captureDevicesChanged();
}

void MediaRecorderService::start(Callback startDone, void* startDoneContext, Callback started, void* startedContext)
{
    recordLog().log(WexLogInfo, "%s", __func__);
    m_startDone = Pending{startDone, startDoneContext};
    m_started = Pending{started, startedContext};
    m_startRequested = true;
    if (m_state == STATE_READY_TO_CAPTURE)
        startHelper();
}

void MediaRecorderService::startHelper()
{
    recordLog().log(WexLogInfo, "%s", __func__);
    const std::string path = pipePath();
    ::unlink(path.c_str());
    if (::mkfifo(path.c_str(), 0644) != 0 && errno != EEXIST) {
        recordLog().log(WexLogError, "Could not create name pipe errno=%x name=%s", errno, path.c_str());
        ::unlink(path.c_str());
        // The recorder waits for this; it then fails to open the pipe.
        m_startDone.run();
        return;
    }
    if (mSornaMediaCapture) {
        media::AudioCaptureOptions options;
        options.maxSeconds = kCaptureSeconds;
        options.maxBytes = static_cast<uint32_t>(2.0f * kCaptureSeconds * 8000.0f);
        mSornaMediaCapture->startAudioCapture(path, options);
    }
    m_state = STATE_CAPTURE_PRIMING;
    recordLog().log(WexLogDebug, "m_state = STATE_CAPTURE_PRIMING");
    m_startDone.run();
}

void MediaRecorderService::stop(Callback cb, void* context)
{
    recordLog().log(WexLogInfo, "%s", __func__);
    m_stop = Pending{cb, context};
    m_startRequested = false;
    if (m_state == STATE_CAPTURING || m_state == STATE_CAPTURE_PRIMING) {
        recordLog().log(WexLogDebug, "stopping...");
        if (mSornaMediaCapture)
            mSornaMediaCapture->stopAudioCapture();
        return;
    }
    // No capture runs that could end.
    m_stop.run();
}

void MediaRecorderService::shutdown()
{
    recordLog().log(WexLogInfo, "%s", __func__);
    if (mSornaMediaCapture)
        mSornaMediaCapture->shutdown(this);
}

void MediaRecorderService::connected()
{
    if (m_state != STATE_INITIAL) {
        recordLog().log(WexLogWarning, "not in initialize state.  Hmmm....");
        return;
    }
    if (m_loadOptions->deviceUri.empty() || !m_loadOptions->audioFormat || !mSornaMediaCapture)
        return;
    recordLog().log(WexLogDebug, "doing load");
    mSornaMediaCapture->load(m_loadOptions);
    m_state = STATE_LOADING;
    recordLog().log(WexLogDebug, "m_state = STATE_LOADING");
}

QbOrvelService* MediaRecorderService::connectToBus()
{
    recordLog().log(WexLogDebug, "%s: %d", __func__, asInt(m_bus));
    return m_bus;
}

void MediaRecorderService::readyChanged()
{
    if (!mSornaMediaCapture || !mSornaMediaCapture->getReady() || mSornaMediaCapture->getAudioCapture())
        return;
    if (m_state == STATE_CAPTURE_PRIMING || m_state == STATE_CAPTURING) {
        // The pipe belongs to the capture under way.
        recordLog().log(WexLogDebug, "%s: ready while m_state = %d; nothing to do", __func__, m_state);
        return;
    }
    recordLog().log(WexLogDebug, "Ready to capture");
    m_state = STATE_READY_TO_CAPTURE;
    recordLog().log(WexLogDebug, "m_state = STATE_READY_TO_CAPTURE");
    m_init.run();
    if (m_startRequested && m_state == STATE_READY_TO_CAPTURE)
        startHelper();
}

void MediaRecorderService::supportedAudioFormatsChanged()
{
    if (!mSornaMediaCapture)
        return;
    std::shared_ptr<media::CaptureFormat> chosen;
    for (const auto& format : mSornaMediaCapture->getSupportedAudioFormats()) {
        if (format && format->mimeType == kWaveMime && format->sampleRate == kRate) {
            chosen = format;
            break;
        }
    }
    if (!chosen) {
        g_log("merrowind", G_LOG_LEVEL_WARNING, "No audio format found! Using fall-back format...");
        chosen = std::make_shared<media::CaptureFormat>(media::CaptureFormat{256000, kRate, kWaveMime});
    }
    m_loadOptions->audioFormat = chosen;
    g_log("merrowind", G_LOG_LEVEL_DEBUG, "Audio format: '%s', Sample Rate: %lu, Bitrate: %lu",
          chosen->mimeType.c_str(), static_cast<unsigned long>(chosen->sampleRate),
          static_cast<unsigned long>(chosen->bitrate));
}

void MediaRecorderService::audioCaptureChanged()
{
    const bool capturing = mSornaMediaCapture && mSornaMediaCapture->getAudioCapture();
    if (m_state == STATE_CAPTURE_PRIMING && capturing) {
        recordLog().log(WexLogInfo, "%s: m_state = STATE_CAPTURING", __func__);
        m_state = STATE_CAPTURING;
        m_started.run();
        return;
    }
    if (m_state == STATE_CAPTURING && !capturing) {
        recordLog().log(WexLogInfo, "%s: m_state = STATE_READY_TO_CAPTURE", __func__);
        m_state = STATE_READY_TO_CAPTURE;
        m_init.run();
        // The path comes from the capture service: only our own pipe is ours
        // to remove, never another empty file it names.
        const std::string path = mSornaMediaCapture->getCurrentAudioCapturePath();
        struct stat info {};
        if (path == pipePath() && ::stat(path.c_str(), &info) == 0 && info.st_size == 0)
            ::unlink(path.c_str());
        m_stop.run();
        return;
    }
    recordLog().log(WexLogInfo, "%s: m_state = %d mSornaMediaCapture->getAudioCapture()=%d", __func__, m_state,
                    capturing ? 1 : 0);
}

void MediaRecorderService::elapsedTimeChanged()
{
    if (mSornaMediaCapture)
        recordLog().log(WexLogDebug, "%0.3f sec", static_cast<double>(mSornaMediaCapture->getElapsedTime()));
}

uint32_t MediaRecorderService::levelFromVu(double rms, double peak, double* linearOut)
{
    double linear = 0.0;
    uint32_t level = 0;
    if (peak >= 0.99) {
        level = 11;
    } else {
        linear = (rms + 4.0 * peak) / 5.0;
        if (linear > 0.89)
            level = 10;
        else if (linear > 0.75)
            level = 9;
        else if (linear > 0.6)
            level = 8;
        else if (linear > 0.45)
            level = 7;
        else if (linear > 0.3)
            level = 6;
        else if (linear > 0.15)
            level = 5;
        else if (linear > 0.05)
            level = 4;
    }
    if (linearOut != nullptr)
        *linearOut = linear;
    return level;
}

void MediaRecorderService::vuDataChanged()
{
    if (m_state != STATE_CAPTURING || !mSornaMediaCapture) {
        recordLog().log(WexLogDebug, "%s: ignored", __func__);
        return;
    }
    const media::VolumeList data = mSornaMediaCapture->getVuData();
    if (data.empty() || !data.front() || data.front()->rms.empty() || data.front()->peak.empty())
        return;
    const double peak = data.front()->peak.front();
    const double rms = data.front()->rms.front();
    double linear = 0.0;
    const uint32_t level = levelFromVu(rms, peak, &linear);
    recordLog().log(WexLogDebug, "%s: rms=%f peak=%f levelPseudoLog=%d levelLinear=%f", __func__, rms, peak,
                    static_cast<int>(level), linear);
    QrvAudioUi::get().audioLevelUpdate(level);
}

void MediaRecorderService::captureDevicesChanged()
{
    if (mSornaMediaCapture)
        (void)mSornaMediaCapture->getCaptureDevices();
    m_loadOptions->deviceUri = "voicedialsource:";
    recordLog().log(WexLogDebug, "%s: Using audiod device '%s'", __func__, m_loadOptions->deviceUri.c_str());
}

void MediaRecorderService::errorChanged()
{
    if (mSornaMediaCapture)
        recordLog().log(WexLogDebug, "%d", mSornaMediaCapture->getError());
}

// ---- manager ----

void MediaRecorderManager::initPimpl()
{
    if (mediaRecorderService) {
        managerLog().log(WexLogWarning, "Already initialized!");
        return;
    }
    mediaRecorderSornaConnector = std::make_shared<MediaRecorderSornaConnector>();
    mediaRecorderService = std::make_shared<MediaRecorderService>(mediaRecorderSornaConnector);
    mediaRecorderSornaConnector->registerMediaRecorderService(mediaRecorderService.get());
}

void MediaRecorderManager::initCallback(void*) {}

void MediaRecorderManager::init()
{
    initPimpl();
    if (!mediaRecorderService) {
        managerLog().log(WexLogError, "MediaRecorderManager initialization failed");
        QrvServiceEnd::get().shutdownStart();
        return;
    }
    mediaRecorderService->init(initCallback, nullptr);
}

void MediaRecorderManager::start(Callback startDone, void* startDoneContext, Callback started, void* startedContext)
{
    if (mediaRecorderService) {
        managerLog().log(WexLogDebug, "starting MediaRecorderService");
        mediaRecorderService->start(startDone, startDoneContext, started, startedContext);
        return;
    }
    managerLog().log(WexLogDebug, "creating new MediaRecorderService");
    initPimpl();
    auto* record = new InitAndStartCallbackContext{startDone, startDoneContext, started, startedContext};
    mediaRecorderService->init(InitAndStartCallbackContext::initAndStartCallback, record);
}

void InitAndStartCallbackContext::initAndStartCallback(void* context)
{
    auto* record = static_cast<InitAndStartCallbackContext*>(context);
    if (mediaRecorderService)
        mediaRecorderService->start(record->startDone, record->startDoneContext, record->started,
                                    record->startedContext);
    delete record;
}

void MediaRecorderManager::stop(Callback cb, void* context)
{
    if (mediaRecorderService) {
        mediaRecorderService->stop(cb, context);
        return;
    }
    if (cb != nullptr)
        cb(context);
}

void MediaRecorderManager::shutdownStart(DoneCallback cb)
{
    managerLog().log(WexLogTrace, "%s: entered", __func__);
    if (mediaServerDoneCallback != nullptr) {
        managerLog().log(WexLogError, "%s: already called.  Ignoring.  old cb = %d.  New cb = %d", __func__,
                         asInt(mediaServerDoneCallback), asInt(cb));
        return;
    }
    mediaServerDoneCallback = cb;
    if (!mediaRecorderService) {
        if (cb != nullptr)
            cb();
        return;
    }
    mediaRecorderService->shutdown();
    mediaRecorderService.reset();
}

void MediaRecorderManager::shutdownCallback(void*)
{
    mediaRecorderSornaConnector.reset();
    if (mediaServerDoneCallback != nullptr)
        mediaServerDoneCallback();
}

void MediaRecorderManager::read(Recorder::RecordBufInfo&)
{
    managerLog().log(WexLogTrace, "%s: entered", __func__);
}

MediaRecorderService* MediaRecorderManager::serviceForTesting()
{
    return mediaRecorderService.get();
}

void MediaRecorderManager::resetForTesting()
{
    mediaRecorderService.reset();
    mediaRecorderSornaConnector.reset();
    mediaServerDoneCallback = nullptr;
}

// ---- level helpers ----

int SCVolumeConvertPercentToTic(int percent)
{
    const int clamped = percent < 0 ? 0 : (percent > 100 ? 100 : percent);
    return (clamped + 6) / 11;
}

void interpretLevel(double level, int& bars, int& band)
{
    const double raw = level * 20.0 + 0.1;
    bars = !(raw >= 0.0) ? 0 : (raw >= 20.0 ? 20 : static_cast<int>(raw));
    if (level < 0.05)
        band = 0;
    else if (level < 0.2)
        band = 1;
    else if (level < 0.5)
        band = 2;
    else if (level < 0.8)
        band = 3;
    else if (level < 0.999)
        band = 4;
    else
        band = 5;
}
