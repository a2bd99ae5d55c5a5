// The named-pipe recorder: the capture client (on "UI") starts a capture
// into the pipe; this side, on the recorder thread, reads it.
#include "platform/core/wex_root.h"
#include "platform/media/media_wav.h"
#include "src/MediaRecorderService.h"
#include "src/QrvAudioUi.h"
#include "src/QrvLog.h"
#include "src/QrvSemaphore.h"
#include "src/QrvWorkQueues.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

WexLogger& log()
{
    return QrvLog::multiThread::qrvLogRecorder();
}

template <class T>
int asInt(T* pointer)
{
    return static_cast<int>(reinterpret_cast<intptr_t>(pointer));
}

void pimplDone(void* semaphore)
{
    static_cast<QrvSemaphore*>(semaphore)->signal();
}

void uiStateChangeToRecording(void*)
{
    QrvAudioUi::get().stateChangeToRecording();
}

void startPimplHwStartedRecording(void*)
{
    QrvExecuteInUiThread(uiStateChangeToRecording, nullptr, QRV_THREAD_ALWAYS_POST);
}

void startPimpl(void* semaphore)
{
    MediaRecorderManager::start(pimplDone, semaphore, startPimplHwStartedRecording, nullptr);
}

void stopPimpl(void* semaphore)
{
    MediaRecorderManager::stop(pimplDone, semaphore);
}

} // namespace

class MediaRecorderPimpl {
public:
    MediaRecorderPimpl()
        : m_semaphore(new QrvSemaphore)
    {
        QrvExecuteInUiThread(startPimpl, m_semaphore, QRV_THREAD_ALWAYS_POST);
        m_semaphore->wait();
        const std::string path = wexRootPath(MediaRecorderManager::namedPipeFileName());
        m_stream = std::fopen(path.c_str(), "rb");
    }

    ~MediaRecorderPimpl()
    {
        if (m_stream != nullptr) {
            std::fclose(m_stream);
            m_stream = nullptr;
        }
        QrvExecuteInUiThread(stopPimpl, m_semaphore, QRV_THREAD_ALWAYS_POST);
        m_semaphore->wait();
        delete m_semaphore;
    }

    MediaRecorderPimpl(const MediaRecorderPimpl&) = delete;
    MediaRecorderPimpl& operator=(const MediaRecorderPimpl&) = delete;

    int32_t read(Recorder::RecordBufInfo& info)
    {
        if (info.buffer == nullptr || m_stream == nullptr) {
            log().log(WexLogError, "%s: read error.  %d %d", "read", asInt(info.buffer), asInt(m_stream));
            if (info.buffer != nullptr && info.numFrames > 0)
                std::memset(info.buffer, 0, sizeof(int16_t) * static_cast<size_t>(info.numFrames));
            return 0;
        }
        if (!m_headerChecked) {
            readHeader();
            m_headerChecked = true;
        }
        const size_t wanted = sizeof(int16_t) * static_cast<size_t>(info.numFrames > 0 ? info.numFrames : 0);
        const size_t got = std::fread(info.buffer, 1, wanted, m_stream);
        if (got == wanted)
            return info.numFrames;
        if (std::feof(m_stream))
            log().log(WexLogInfo, "%s: Pipe thread read EOF", "read");
        else
            log().log(WexLogError, "%s: Pipe thread read error, code=%x", "read", std::ferror(m_stream));
        std::fclose(m_stream);
        m_stream = nullptr;
        // A half sample is no sample.
        const size_t whole = got / sizeof(int16_t);
        std::memset(info.buffer + whole, 0, wanted - whole * sizeof(int16_t));
        return static_cast<int32_t>(whole);
    }

private:
    void readHeader()
    {
        uint8_t header[44] = {};
        if (std::fread(header, 1, sizeof header, m_stream) < sizeof header)
            log().log(WexLogError, "%s: can't read header", "readHeader");
        for (size_t i = 0; i < sizeof header; ++i) {
            if (header[i] != media::kCaptureWavHeader[i]) {
                log().log(WexLogWarning, "mismatch %d", static_cast<int>(i));
                break;
            }
        }
        char text[8 + 3 * sizeof header + 1] = "header: ";
        size_t used = 8;
        for (uint8_t byte : header)
            used += static_cast<size_t>(std::snprintf(text + used, sizeof text - used, "%02x ", byte));
        log().log(WexLogDebug, "%s", text);
    }

    QrvSemaphore* m_semaphore;
    FILE* m_stream = nullptr;
    bool m_headerChecked = false;
};

MediaRecorder::MediaRecorder()
    : m_pimpl(std::make_unique<MediaRecorderPimpl>())
{
}

MediaRecorder::~MediaRecorder() = default;

int32_t MediaRecorder::read(RecordBufInfo& info)
{
    return m_pimpl->read(info);
}
