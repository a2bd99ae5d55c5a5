// The recorder over the ALSA capture device "record". Nothing in the
// service constructs it; it reads the device directly.
#include "src/QrvAlsa.h"
#include "src/QrvLog.h"
#include "src/QrvServiceEnd.h"
#include "src/Recorder.h"

#include <cstring>

namespace {

constexpr const char* kDevice = "record";

WexLogger& log()
{
    return QrvLog::multiThread::qrvLogRecorder();
}

} // namespace

class AlsaRecorderPimpl {
public:
    AlsaRecorderPimpl()
    {
        int rc = snd_output_buffer_open(&m_sndOutput);
        if (rc < 0) {
            fail("snd_output_buffer_open failed: %s\n", rc);
            m_sndOutput = nullptr;
        }
        rc = qrvAlsa().open(&m_handle, kDevice, SND_PCM_STREAM_CAPTURE, 0);
        if (rc < 0) {
            fail("snd_pcm_open failed: %s\n", rc);
            m_handle = nullptr;
            return;
        }
        rc = snd_pcm_set_params(m_handle, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED, 1, 8000, 1, 240000);
        if (rc < 0) {
            fail("snd_pcm_set_params failed: %s\n", rc);
            return;
        }
        rc = snd_pcm_status_malloc(&m_status);
        if (rc < 0) {
            fail("snd_pcm_status_malloc: %s\n", rc);
            m_status = nullptr;
        }
        pcmDump();
        rc = snd_pcm_get_params(m_handle, &m_bufferSize, &m_periodSize);
        if (rc < 0)
            fail("snd_pcm_get_params() failed: %s\n", rc);
    }

    ~AlsaRecorderPimpl()
    {
        if (m_status != nullptr)
            snd_pcm_status_free(m_status);
        if (m_handle != nullptr)
            snd_pcm_close(m_handle);
        if (m_sndOutput != nullptr)
            snd_output_close(m_sndOutput);
    }

    AlsaRecorderPimpl(const AlsaRecorderPimpl&) = delete;
    AlsaRecorderPimpl& operator=(const AlsaRecorderPimpl&) = delete;

    int32_t read(Recorder::RecordBufInfo& info)
    {
        if (info.buffer == nullptr || info.numFrames <= 0)
            return 0;
        // The device leaves the buffer as it was where it has nothing.
        std::memset(info.buffer, 0, sizeof(int16_t) * static_cast<size_t>(info.numFrames));
        if (m_handle == nullptr)
            return 0;
        pcmDump();
        const snd_pcm_sframes_t got =
            qrvAlsa().readi(m_handle, info.buffer, static_cast<snd_pcm_uframes_t>(info.numFrames));
        if (got < 0) {
            log().log(WexLogError, "%s: %s (%d)\n", "read", qrvAlsaErrName(got), static_cast<int>(got));
            return 0;
        }
        return static_cast<int32_t>(got);
    }

private:
    void fail(const char* format, int rc)
    {
        log().log(WexLogError, format, snd_strerror(rc));
        QrvServiceEnd::get().closingSequence();
    }

    void dumpSndBuf(const char* title)
    {
        if (qrvAlsaDumpSndBuf(log(), m_sndOutput, title) != 0)
            QrvServiceEnd::get().closingSequence();
    }

    void pcmDump()
    {
        if (m_sndOutput == nullptr || m_handle == nullptr)
            return;
        int rc = snd_pcm_dump_setup(m_handle, m_sndOutput);
        if (rc < 0)
            fail("snd_pcm_dump_setup: %s\n", rc);
        dumpSndBuf("status");
        if (m_status != nullptr) {
            rc = snd_pcm_status(m_handle, m_status);
            if (rc < 0) {
                fail("snd_pcm_status: %s\n", rc);
            } else {
                rc = snd_pcm_status_dump(m_status, m_sndOutput);
                if (rc < 0)
                    fail("snd_pcm_status_dump: %s\n", rc);
            }
        }
        dumpSndBuf("status");
    }

    snd_output_t* m_sndOutput = nullptr;
    snd_pcm_t* m_handle = nullptr;
    snd_pcm_status_t* m_status = nullptr;
    snd_pcm_uframes_t m_bufferSize = 0;
    snd_pcm_uframes_t m_periodSize = 0;
};

AlsaRecorder::AlsaRecorder()
    : m_pimpl(std::make_unique<AlsaRecorderPimpl>())
{
}

AlsaRecorder::~AlsaRecorder() = default;

int32_t AlsaRecorder::read(RecordBufInfo& info)
{
    return m_pimpl->read(info);
}
