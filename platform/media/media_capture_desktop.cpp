// The desktop's capture object. It needs no capture service: on its
// creator's main context it reports the bus, its formats and devices and
// `connected`, becomes ready once loaded, and each audio capture runs a
// writer thread that writes the WAV header and then samples into the pipe,
// paced in real time (160 every 20 ms), from a WAV file named by
// $MERROWIND_CAPTURE_WAV or else from the ALSA capture device "record".
#include "platform/core/wex_logger.h"
#include "platform/media/media_capture.h"
#include "platform/media/media_wav.h"

#include <alsa/asoundlib.h>
#include <glib.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace media {

namespace {

WexLogger s_log("MediaDesktopCapture");

constexpr int kBlockFrames = 160;
constexpr auto kBlockTime = std::chrono::milliseconds(20);
constexpr int kBlocksPerVu = 5; // one VU report per 100 ms
constexpr const char* kRecordDevice = "record";

std::mutex s_factoryMutex;
MediaClient::Factory s_factory;

// Where one capture's samples come from, opened afresh for each capture.
class Source {
public:
    explicit Source(std::string wavPath) : m_wavPath(std::move(wavPath)) {}
    ~Source()
    {
        if (m_pcm != nullptr)
            snd_pcm_close(m_pcm);
    }
    Source(const Source&) = delete;
    Source& operator=(const Source&) = delete;

    bool open()
    {
        std::string error;
        if (!m_wavPath.empty()) {
            if (wavRead(m_wavPath, m_samples, error))
                return true;
            s_log.log(WexLogError, "%s: %s", __func__, error.c_str());
            return false;
        }
        int rc = snd_pcm_open(&m_pcm, kRecordDevice, SND_PCM_STREAM_CAPTURE, 0);
        if (rc == 0)
            rc = snd_pcm_set_params(m_pcm, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED, 1, 8000, 1, 240000);
        if (rc != 0)
            s_log.log(WexLogError, "%s: %s: %s", __func__, kRecordDevice, snd_strerror(rc));
        return rc == 0;
    }

    // The next block (zeros where the device gave nothing); the number of
    // frames, fewer than asked at the end of a file, 0 after it.
    int next(int16_t* block)
    {
        std::fill(block, block + kBlockFrames, int16_t{0});
        if (m_wavPath.empty()) {
            const snd_pcm_sframes_t got = snd_pcm_readi(m_pcm, block, kBlockFrames);
            if (got < 0)
                snd_pcm_recover(m_pcm, static_cast<int>(got), 1);
            return kBlockFrames;
        }
        const size_t count = std::min<size_t>(kBlockFrames, m_samples.size() - m_pos);
        std::copy_n(m_samples.begin() + static_cast<std::ptrdiff_t>(m_pos), count, block);
        m_pos += count;
        return static_cast<int>(count);
    }

private:
    std::string m_wavPath;
    std::vector<int16_t> m_samples;
    size_t m_pos = 0;
    snd_pcm_t* m_pcm = nullptr;
};

// Everything of one capture object; posted work keeps it alive.
class Core : public std::enable_shared_from_this<Core> {
public:
    explicit Core(std::shared_ptr<SornaConnector> connector)
        : m_connector(std::move(connector))
    {
        m_context = g_main_context_ref_thread_default();
    }
    ~Core() { g_main_context_unref(m_context); }

    void post(std::function<void()> work)
    {
        struct Task {
            std::shared_ptr<Core> core;
            std::function<void()> work;
        };
        auto* task = new Task{shared_from_this(), std::move(work)};
        GSource* source = g_idle_source_new();
        g_source_set_callback(
            source,
            [](gpointer data) -> gboolean {
                static_cast<Task*>(data)->work();
                return G_SOURCE_REMOVE;
            },
            task, [](gpointer data) { delete static_cast<Task*>(data); });
        g_source_attach(source, m_context);
        g_source_unref(source);
    }

    void report(void (MediaCaptureV3ChangeListener::*what)())
    {
        if (m_listener != nullptr && !m_shut)
            (m_listener->*what)();
    }

    void introduce()
    {
        post([this] {
            if (m_shut)
                return;
            m_connector->connectToBus();
            m_formats = {std::make_shared<CaptureFormat>(CaptureFormat{256000, 16000, "audio/vnd.wave"}),
                         std::make_shared<CaptureFormat>(CaptureFormat{128000, 8000, "audio/vnd.wave"})};
            report(&MediaCaptureV3ChangeListener::supportedAudioFormatsChanged);
            m_devices = {std::make_shared<CaptureDevice>(CaptureDevice{"voicedialsource:", "voice dial"})};
            report(&MediaCaptureV3ChangeListener::captureDevicesChanged);
            if (!m_shut)
                m_connector->connected();
        });
    }

    void load()
    {
        post([this] {
            m_ready = true;
            report(&MediaCaptureV3ChangeListener::readyChanged);
        });
    }

    void start(const std::string& path)
    {
        if (m_writer.joinable()) {
            s_log.log(WexLogWarning, "%s: a capture runs already", __func__);
            return;
        }
        m_path = path;
        m_elapsed = 0.0f;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = false;
        }
        const char* wav = g_getenv("MERROWIND_CAPTURE_WAV");
        m_writer = std::thread(&Core::writerMain, shared_from_this(), path, std::string(wav != nullptr ? wav : ""));
        post([this] {
            m_capturing = true;
            report(&MediaCaptureV3ChangeListener::audioCaptureChanged);
        });
    }

    void stop()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
        m_wake.notify_all();
    }

    void shutdown()
    {
        m_shut = true;
        m_listener = nullptr;
        if (m_writer.joinable())
            stop(); // `disconnected` follows the writer's end
        else
            post([this] { m_connector->disconnected(); });
    }

    GMainContext* m_context = nullptr;
    std::shared_ptr<SornaConnector> m_connector;
    MediaCaptureV3ChangeListener* m_listener = nullptr;
    bool m_shut = false;
    bool m_ready = false;
    bool m_capturing = false;
    std::string m_path;
    float m_elapsed = 0.0f;
    FormatList m_formats;
    DeviceList m_devices;
    VolumeList m_vu;

private:
    // Waits until the deadline or a stop; true on a stop.
    bool waitUntil(std::chrono::steady_clock::time_point deadline)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_wake.wait_until(lock, deadline, [this] { return m_stop; });
    }

    bool stopped()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_stop;
    }

    // The write end, once a reader has the pipe open; -1 on a stop or failure.
    int openPipe(const std::string& path)
    {
        for (;;) {
            const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0)
                return fd;
            if (errno != ENXIO) {
                s_log.log(WexLogError, "%s: %s: %s", __func__, path.c_str(), std::strerror(errno));
                return -1;
            }
            if (waitUntil(std::chrono::steady_clock::now() + std::chrono::milliseconds(5)))
                return -1;
        }
    }

    // Writes all bytes; false when the reader left or a stop came.
    bool writeAll(int fd, const void* bytes, size_t size)
    {
        const auto* p = static_cast<const uint8_t*>(bytes);
        while (size > 0) {
            const ssize_t n = ::write(fd, p, size);
            if (n > 0) {
                p += n;
                size -= static_cast<size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno != EAGAIN) {
                if (errno == EPIPE) {
                    // The reader left: the signal is pending on this thread only.
                    sigset_t pipeSet;
                    sigemptyset(&pipeSet);
                    sigaddset(&pipeSet, SIGPIPE);
                    const timespec none{0, 0};
                    sigtimedwait(&pipeSet, nullptr, &none);
                }
                return false;
            }
            pollfd pfd{fd, POLLOUT, 0};
            ::poll(&pfd, 1, 20);
            if (stopped())
                return false;
        }
        return true;
    }

    void postLevel(const int16_t* samples, size_t count, float elapsed)
    {
        double peak = 0.0;
        double sum = 0.0;
        for (size_t i = 0; i < count; ++i) {
            const double v = samples[i] / 32768.0;
            peak = std::max(peak, std::fabs(v));
            sum += v * v;
        }
        auto volume = std::make_shared<AudioVolume>();
        volume->peak = {static_cast<float>(peak)};
        volume->rms = {static_cast<float>(count > 0 ? std::sqrt(sum / static_cast<double>(count)) : 0.0)};
        post([this, volume, elapsed] {
            m_elapsed = elapsed;
            report(&MediaCaptureV3ChangeListener::elapsedTimeChanged);
            m_vu = {volume};
            report(&MediaCaptureV3ChangeListener::vuDataChanged);
        });
    }

    void writerMain(std::string path, std::string wavPath)
    {
        sigset_t pipeSet;
        sigemptyset(&pipeSet);
        sigaddset(&pipeSet, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipeSet, nullptr);

        Source source(std::move(wavPath));
        const bool sourceOpen = source.open();
        int fd = openPipe(path);
        if (fd >= 0 && !writeAll(fd, kCaptureWavHeader.data(), kCaptureWavHeader.size())) {
            ::close(fd);
            fd = -1;
        }
        std::vector<int16_t> window;
        const auto begin = std::chrono::steady_clock::now();
        for (long block = 1; fd >= 0; ++block) {
            if (waitUntil(begin + block * kBlockTime))
                break;
            int16_t samples[kBlockFrames];
            const int frames = sourceOpen ? source.next(samples) : 0;
            if (frames > 0 && !writeAll(fd, samples, sizeof(int16_t) * static_cast<size_t>(frames)))
                break;
            window.insert(window.end(), samples, samples + frames);
            if (block % kBlocksPerVu == 0 || frames < kBlockFrames) {
                postLevel(window.data(), window.size(), static_cast<float>(block) * 0.02f);
                window.clear();
            }
            if (frames < kBlockFrames)
                break; // the end of the file closes the pipe
        }
        if (fd >= 0)
            ::close(fd);
        // The capture stays on until it is stopped.
        while (!waitUntil(std::chrono::steady_clock::now() + std::chrono::seconds(1))) {
        }
        post([this] { ended(); });
    }

    void ended()
    {
        if (m_writer.joinable())
            m_writer.join();
        m_capturing = false;
        report(&MediaCaptureV3ChangeListener::audioCaptureChanged);
        if (m_shut)
            m_connector->disconnected();
    }

    std::thread m_writer;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
};

class DesktopCapture : public MediaCaptureV3 {
public:
    explicit DesktopCapture(std::shared_ptr<SornaConnector> connector)
        : m_core(std::make_shared<Core>(std::move(connector)))
    {
        m_core->introduce();
    }
    ~DesktopCapture() override
    {
        // Released without a shut-down: no report may reach anyone now.
        m_core->m_listener = nullptr;
        m_core->stop();
    }
    DesktopCapture(const DesktopCapture&) = delete;
    DesktopCapture& operator=(const DesktopCapture&) = delete;

    bool getReady() const override { return m_core->m_ready; }
    FormatList getSupportedAudioFormats() const override { return m_core->m_formats; }
    bool getAudioCapture() const override { return m_core->m_capturing; }
    std::string getCurrentAudioCapturePath() const override { return m_core->m_path; }
    float getElapsedTime() const override { return m_core->m_elapsed; }
    VolumeList getVuData() const override { return m_core->m_vu; }
    DeviceList getCaptureDevices() const override { return m_core->m_devices; }
    int getError() const override { return 0; }

    void load(const std::shared_ptr<LoadOptions>&) override { m_core->load(); }
    void startAudioCapture(const std::string& path, const AudioCaptureOptions&) override { m_core->start(path); }
    void stopAudioCapture() override { m_core->stop(); }
    void addListener(MediaCaptureV3ChangeListener* listener) override { m_core->m_listener = listener; }
    void shutdown(MediaCaptureV3ChangeListener*) override { m_core->shutdown(); }

private:
    std::shared_ptr<Core> m_core;
};

} // namespace

std::shared_ptr<MediaCaptureV3> MediaClient::createSornaMediaCapture(const std::shared_ptr<SornaConnector>& connector)
{
    Factory factory;
    {
        std::lock_guard<std::mutex> lock(s_factoryMutex);
        factory = s_factory;
    }
    if (factory)
        return factory(connector);
    return std::make_shared<DesktopCapture>(connector);
}

void MediaClient::setFactoryForTesting(Factory factory)
{
    std::lock_guard<std::mutex> lock(s_factoryMutex);
    s_factory = std::move(factory);
}

} // namespace media
