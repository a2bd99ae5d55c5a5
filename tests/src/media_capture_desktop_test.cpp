// The desktop's capture object behind the client and the recorder: a WAV
// file or the ALSA device "record" played into the pipe in real time.
#include "platform/core/wex_root.h"
#include "src/MediaRecorderService.h"
#include "src/QrvLog.h"
#include "src/Recorder.h"
#include "tests/support/vr_thread.h"
#include "tests/src/audio_ui_double.h"
#include "tests/src/media_recording.h"
#include "tests/support/log_capture.h"
#include "tests/support/wav_fixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>

namespace {

using ::testing::ElementsAre;

class DesktopCapture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ensureWorkQueues();
        ::mkdir(wexRootPath("/tmp").c_str(), 0755);
        QrvLog::multiThread::qrvLogRecorder().setLevel(WexLogDebug);
        ::unsetenv("MERROWIND_CAPTURE_WAV");
    }
    void TearDown() override
    {
        ::unsetenv("MERROWIND_CAPTURE_WAV");
        ::unsetenv("RECORD_IN");
    }

    void useWav(const std::vector<int16_t>& samples)
    {
        const std::string path = wexRootPath("/capture.wav");
        writeBytes(path, wavImage(samples));
        ::setenv("MERROWIND_CAPTURE_WAV", path.c_str(), 1);
    }

    std::vector<int32_t> record(int reads, std::vector<int16_t>& samples) { return recordBuffers(reads, samples); }

    const std::string pipe = wexRootPath(MediaRecorderService::namedPipeFileName);
    AudioUiDouble ui;
    LogCapture logs;
};

TEST_F(DesktopCapture, PlaysTheWavFileIntoEachCaptureFromItsStart)
{
    const std::vector<int16_t> second = rampSamples(8000, -4000);
    useWav(second);
    for (int capture = 0; capture < 2; ++capture) {
        SCOPED_TRACE(capture);
        std::vector<int16_t> samples;
        const auto begin = std::chrono::steady_clock::now();
        const std::vector<int32_t> results = record(51, samples);
        EXPECT_GE(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(900)); // real time
        EXPECT_EQ(std::vector<int32_t>(results.begin(), results.end() - 1), std::vector<int32_t>(50, 160));
        EXPECT_EQ(results.back(), 0);
        samples.resize(8000);
        EXPECT_EQ(samples, second);
        EXPECT_EQ(logs.count("read: Pipe thread read EOF"), static_cast<size_t>(capture + 1));
        ASSERT_TRUE(waitFor([&] { return ui.recordings.load() == capture + 1; }));
        MediaRecorderService* client = MediaRecorderManager::serviceForTesting();
        ASSERT_NE(client, nullptr);
        EXPECT_EQ(client->getState(), MediaRecorderService::STATE_READY_TO_CAPTURE);
        struct stat st {};
        EXPECT_NE(::lstat(pipe.c_str(), &st), 0);
    }
    EXPECT_EQ(logs.count("header: 52 49 46 46 24 00 ff 7f "), 2u);
    EXPECT_FALSE(logs.contains("mismatch"));
}

TEST_F(DesktopCapture, ReadsTheRecordDeviceAfreshForEachCapture)
{
    const std::vector<int16_t> input = rampSamples(320, 1);
    const std::string path = wexRootPath("/record.raw");
    writeBytes(path, rawBytes(input));
    ::setenv("RECORD_IN", path.c_str(), 1);
    for (int capture = 0; capture < 2; ++capture) {
        SCOPED_TRACE(capture);
        std::vector<int16_t> samples;
        EXPECT_EQ(record(3, samples), (std::vector<int32_t>{160, 160, 160}));
        std::vector<int16_t> expected = input;
        expected.resize(480, 0);
        EXPECT_EQ(samples, expected);
    }
}

TEST_F(DesktopCapture, ReportsTheLevelOfWhatItCaptures)
{
    std::vector<int16_t> squares;
    for (int amplitude : {32767, 16384, 8192, 0})
        for (int i = 0; i < 800; ++i)
            squares.push_back(static_cast<int16_t>(i % 2 == 0 ? amplitude : -amplitude));
    useWav(squares);
    std::vector<int16_t> samples;
    record(21, samples);
    const std::vector<uint32_t> levels = ui.levels();
    ASSERT_GE(levels.size(), 4u);
    EXPECT_THAT(std::vector<uint32_t>(levels.begin(), levels.begin() + 4), ElementsAre(11u, 7u, 5u, 0u));
}

int s_done = 0;

TEST_F(DesktopCapture, ShutsDownAfterTheLibraryHasLetGo)
{
    MediaRecorderManager::init();
    ASSERT_TRUE(waitFor([] {
        MediaRecorderService* client = MediaRecorderManager::serviceForTesting();
        return client != nullptr && client->getState() == MediaRecorderService::STATE_READY_TO_CAPTURE;
    }));
    MediaRecorderManager::shutdownStart([] { ++s_done; });
    EXPECT_EQ(s_done, 0);
    EXPECT_TRUE(waitFor([] { return s_done == 1; }));
    waitFor([] { return false; }, std::chrono::milliseconds(100));
    EXPECT_EQ(s_done, 1);
}

} // namespace
