// The named-pipe recorder: on its own thread it starts a capture through the
// client on "UI" and reads what a writer puts into the pipe.
#include "platform/core/wex_root.h"
#include "platform/media/media_wav.h"
#include "src/MediaRecorderService.h"
#include "src/QrvLog.h"
#include "src/Recorder.h"
#include "tests/src/media_recording.h"
#include "tests/support/log_capture.h"
#include "tests/support/scripted_media_capture.h"
#include "tests/support/wav_fixture.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <thread>

namespace {

std::string streamHeader()
{
    return std::string(media::kCaptureWavHeader.begin(), media::kCaptureWavHeader.end());
}

// Capture object whose "capture service" writes the given bytes into the
// pipe and closes it; the capture ends when asked to stop.
class PipeFeed {
public:
    explicit PipeFeed(std::string bytes) : m_bytes(std::move(bytes))
    {
        ensureWorkQueues();
        MediaRecorderManager::resetForTesting();
        ::mkdir(wexRootPath("/tmp").c_str(), 0755);
        capture.onStart = [this](const std::string& path) {
            m_writer = std::thread([this, path] {
                const int fd = ::open(path.c_str(), O_WRONLY);
                if (fd >= 0) {
                    EXPECT_EQ(::write(fd, m_bytes.data(), m_bytes.size()), static_cast<ssize_t>(m_bytes.size()));
                    ::close(fd);
                }
            });
            g_idle_add(
                [](gpointer self) -> gboolean {
                    static_cast<PipeFeed*>(self)->capture.setCapturing(true);
                    return G_SOURCE_REMOVE;
                },
                this);
        };
        capture.onStop = [this] {
            g_idle_add(
                [](gpointer self) -> gboolean {
                    static_cast<PipeFeed*>(self)->capture.setCapturing(false);
                    return G_SOURCE_REMOVE;
                },
                this);
        };
        MediaRecorderManager::init();
        capture.connectAndLoad();
    }
    ~PipeFeed()
    {
        if (m_writer.joinable())
            m_writer.join();
        MediaRecorderManager::resetForTesting();
    }

    std::vector<int32_t> record(int reads) { return recordBuffers(reads, samples); }

    ScriptedMediaCapture capture;
    std::vector<int16_t> samples;

private:
    std::string m_bytes;
    std::thread m_writer;
};

class MediaRecorderPipe : public ::testing::Test {
protected:
    void SetUp() override { QrvLog::multiThread::qrvLogRecorder().setLevel(WexLogDebug); }
    LogCapture logs;
};

TEST_F(MediaRecorderPipe, ReadsSamplesAfterTheHeaderUntilTheEnd)
{
    const std::vector<int16_t> sent = rampSamples(240, 100);
    PipeFeed feed(streamHeader() + rawBytes(sent));
    EXPECT_EQ(feed.record(3), (std::vector<int32_t>{160, 80, 0}));
    std::vector<int16_t> expected = sent;
    expected.resize(320, 0); // the rest of the short buffer is zeroed
    expected.resize(480, 0); // nothing read: zeros
    EXPECT_EQ(feed.samples, expected);
    EXPECT_FALSE(logs.contains("mismatch"));
    EXPECT_EQ(logs.count("read: Pipe thread read EOF"), 1u);
    EXPECT_TRUE(logs.contains("read: read error."));
    EXPECT_TRUE(logs.contains("header: 52 49 46 46 24 00 ff 7f 57 41 56 45 "));
    EXPECT_EQ(feed.capture.stops, 1);
    EXPECT_EQ(MediaRecorderManager::serviceForTesting()->getState(), MediaRecorderService::STATE_READY_TO_CAPTURE);
}

TEST_F(MediaRecorderPipe, AnOrdinaryWavHeaderIsOnlyLogged)
{
    const std::vector<int16_t> sent = rampSamples(160, -40);
    PipeFeed feed(wavImage(sent));
    EXPECT_EQ(feed.record(1), (std::vector<int32_t>{160}));
    EXPECT_EQ(feed.samples, sent);
    EXPECT_TRUE(logs.contains("QrvLogMTRecorder", WexLogWarning, "mismatch 4"));
}

TEST_F(MediaRecorderPipe, AShortHeaderEndsTheStream)
{
    PipeFeed feed(streamHeader().substr(0, 10));
    EXPECT_EQ(feed.record(2), (std::vector<int32_t>{0, 0}));
    EXPECT_TRUE(logs.contains("readHeader: can't read header"));
    EXPECT_EQ(logs.count("read: Pipe thread read EOF"), 1u);
    EXPECT_EQ(feed.samples, std::vector<int16_t>(320, 0));
}

} // namespace
