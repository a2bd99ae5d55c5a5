// The media capture client against a scripted capture object: the format
// choice, the state table, the pipe, the audio level and the shut-down.
#include "platform/core/wex_root.h"
#include "src/MediaRecorderService.h"
#include "src/QrvLog.h"
#include "tests/support/vr_thread.h"
#include "tests/src/audio_ui_double.h"
#include "tests/support/log_capture.h"
#include "tests/support/scripted_media_capture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace {

using State = MediaRecorderService::State;
using ::testing::ElementsAre;

std::shared_ptr<media::CaptureFormat> format(const char* mime, uint32_t rate, uint32_t bitrate)
{
    return std::make_shared<media::CaptureFormat>(media::CaptureFormat{bitrate, rate, mime});
}

struct Counter {
    int calls = 0;
    static void bump(void* self) { ++static_cast<Counter*>(self)->calls; }
};

bool exists(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

class MediaRecorderServiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ensureWorkQueues();
        MediaRecorderManager::resetForTesting();
        ::mkdir(wexRootPath("/tmp").c_str(), 0755);
        QrvLog::UIthread::qrvLogRecord.setLevel(WexLogDebug);
        QrvLog::UIthread::qrvLog.setLevel(WexLogTrace);
    }
    void TearDown() override { MediaRecorderManager::resetForTesting(); }

    MediaRecorderService& client()
    {
        MediaRecorderService* service = MediaRecorderManager::serviceForTesting();
        EXPECT_NE(service, nullptr);
        return *service;
    }
    int state() { return client().getState(); }
    void start() { MediaRecorderManager::start(Counter::bump, &startDone, Counter::bump, &started); }

    const std::string pipe = wexRootPath(MediaRecorderService::namedPipeFileName);
    ScriptedMediaCapture capture;
    AudioUiDouble ui;
    LogCapture logs;
    Counter startDone;
    Counter started;
    Counter stopped;
};

struct FormatCase {
    const char* name;
    media::FormatList offered;
    uint32_t bitrate;
    bool fallBack;
};

TEST_F(MediaRecorderServiceTest, ChoosesTheFirstEightKilohertzWaveFormat)
{
    const FormatCase cases[] = {
        {"first 8 kHz wave wins",
         {format("audio/vnd.wave", 16000, 256000), format("audio/vnd.wave", 8000, 128000),
          format("audio/vnd.wave", 8000, 64000)},
         128000, false},
        {"none offered", {}, 256000, true},
        {"no wave at 8 kHz", {format("audio/amr", 8000, 12200), format("audio/vnd.wave", 16000, 1)}, 256000, true},
    };
    int warnings = 0;
    const guint handler = g_log_set_handler(
        "merrowind", static_cast<GLogLevelFlags>(G_LOG_LEVEL_WARNING),
        [](const gchar*, GLogLevelFlags, const gchar* message, gpointer count) {
            if (std::string(message) == "No audio format found! Using fall-back format...")
                ++*static_cast<int*>(count);
        },
        &warnings);
    MediaRecorderManager::init();
    for (const FormatCase& c : cases) {
        SCOPED_TRACE(c.name);
        warnings = 0;
        capture.offerFormats(c.offered);
        capture.connector->connected();
        ASSERT_TRUE(capture.loaded);
        EXPECT_EQ(capture.loaded->audioFormat->bitrate, c.bitrate);
        EXPECT_EQ(capture.loaded->audioFormat->sampleRate, 8000u);
        EXPECT_EQ(capture.loaded->audioFormat->mimeType, "audio/vnd.wave");
        EXPECT_EQ(capture.loaded->deviceUri, "voicedialsource:");
        EXPECT_EQ(warnings, c.fallBack ? 1 : 0);
        MediaRecorderManager::resetForTesting();
        capture.loaded.reset();
        MediaRecorderManager::init();
    }
    g_log_remove_handler("merrowind", handler);
}

TEST_F(MediaRecorderServiceTest, ConnectedBeforeTheFormatsLoadsNothing)
{
    MediaRecorderManager::init();
    capture.connector->connected();
    capture.offerFormats({format("audio/vnd.wave", 8000, 128000)});
    capture.setReady(false);
    EXPECT_EQ(capture.loads, 0);
    EXPECT_EQ(state(), State::STATE_INITIAL);
    capture.connector->connected();
    EXPECT_EQ(capture.loads, 1);
    capture.connector->connected();
    EXPECT_TRUE(logs.contains("not in initialize state.  Hmmm...."));
    EXPECT_EQ(capture.loads, 1);
}

TEST_F(MediaRecorderServiceTest, RunsOneCaptureThroughEveryState)
{
    MediaRecorderManager::init();
    capture.offerFormats({format("audio/vnd.wave", 8000, 128000)});
    capture.connector->connected();
    EXPECT_EQ(state(), State::STATE_LOADING);

    start(); // while loading: remembered only
    EXPECT_EQ(capture.starts, 0);
    capture.setReady(true);
    EXPECT_EQ(state(), State::STATE_CAPTURE_PRIMING);
    EXPECT_EQ(capture.starts, 1);
    EXPECT_EQ(capture.path, pipe);
    EXPECT_FLOAT_EQ(capture.options.maxSeconds, 600.0f);
    EXPECT_EQ(capture.options.maxBytes, 9600000u);
    EXPECT_EQ(startDone.calls, 1);
    struct stat st {};
    ASSERT_EQ(::stat(pipe.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));

    // Ready and idle again while priming: the capture under way is kept.
    ::unlink(pipe.c_str());
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    capture.setReady(true);
    EXPECT_EQ(capture.starts, 1);
    EXPECT_EQ(startDone.calls, 1);
    EXPECT_EQ(state(), State::STATE_CAPTURE_PRIMING);
    EXPECT_TRUE(exists(pipe));

    capture.setCapturing(true);
    EXPECT_EQ(state(), State::STATE_CAPTURING);
    EXPECT_EQ(started.calls, 1);
    capture.setCapturing(true);
    EXPECT_EQ(started.calls, 1);
    EXPECT_TRUE(logs.contains("audioCaptureChanged: m_state = 4 mSornaMediaCapture->getAudioCapture()=1"));

    MediaRecorderManager::stop(Counter::bump, &stopped);
    EXPECT_EQ(capture.stops, 1);
    EXPECT_EQ(stopped.calls, 0);
    EXPECT_EQ(state(), State::STATE_CAPTURING);
    capture.setCapturing(false);
    EXPECT_EQ(state(), State::STATE_READY_TO_CAPTURE);
    EXPECT_EQ(stopped.calls, 1);
    EXPECT_FALSE(exists(pipe)); // empty: removed

    // The start request went with the stop.
    capture.setReady(true);
    EXPECT_EQ(capture.starts, 1);
}

TEST_F(MediaRecorderServiceTest, AnEndOfCaptureRemovesOnlyItsOwnPipe)
{
    // The capture service names the path of the capture that ended; an
    // empty file elsewhere is not the client's to remove.
    const std::string other = wexRootPath("/tmp/not-the-pipe");
    MediaRecorderManager::init();
    capture.connectAndLoad();
    start();
    capture.setCapturing(true);
    ASSERT_TRUE(g_file_set_contents(other.c_str(), "", 0, nullptr));
    capture.path = other;
    capture.setCapturing(false);
    EXPECT_EQ(state(), State::STATE_READY_TO_CAPTURE);
    EXPECT_TRUE(exists(other));
    ::unlink(other.c_str());
}

TEST_F(MediaRecorderServiceTest, StopsCompleteAtOnceWithoutACapture)
{
    MediaRecorderManager::stop(Counter::bump, &stopped); // no client at all
    EXPECT_EQ(stopped.calls, 1);

    MediaRecorderManager::init();
    capture.offerFormats({format("audio/vnd.wave", 8000, 128000)});
    capture.connector->connected();
    start();
    MediaRecorderManager::stop(Counter::bump, &stopped);
    EXPECT_EQ(stopped.calls, 2);
    capture.setReady(true);
    EXPECT_EQ(state(), State::STATE_READY_TO_CAPTURE);
    EXPECT_EQ(capture.starts, 0);
    EXPECT_EQ(startDone.calls, 0);

    // Priming: the capture is asked to stop, the callback waits for its end.
    start();
    EXPECT_EQ(state(), State::STATE_CAPTURE_PRIMING);
    MediaRecorderManager::stop(Counter::bump, &stopped);
    EXPECT_EQ(capture.stops, 1);
    EXPECT_EQ(stopped.calls, 2);
    capture.setCapturing(true);
    capture.setCapturing(false);
    EXPECT_EQ(stopped.calls, 3);
}

TEST_F(MediaRecorderServiceTest, AStartWithoutAClientCapturesAtTheFirstReady)
{
    start();
    EXPECT_TRUE(logs.contains("creating new MediaRecorderService"));
    ASSERT_EQ(capture.creations, 1);
    capture.connectAndLoad();
    EXPECT_EQ(capture.starts, 1);
    EXPECT_EQ(startDone.calls, 1);
    EXPECT_EQ(state(), State::STATE_CAPTURE_PRIMING);
    // The manager's own init now finds everything in place.
    MediaRecorderManager::init();
    EXPECT_EQ(capture.creations, 1);
    start();
    EXPECT_TRUE(logs.contains("starting MediaRecorderService"));
}

TEST_F(MediaRecorderServiceTest, APipeThatCannotBeMadeStillCompletesTheStart)
{
    ASSERT_EQ(::rmdir(wexRootPath("/tmp").c_str()), 0);
    MediaRecorderManager::init();
    capture.connectAndLoad();
    start();
    EXPECT_TRUE(logs.contains("Could not create name pipe errno=2 name=" + pipe));
    EXPECT_EQ(startDone.calls, 1);
    EXPECT_EQ(capture.starts, 0);
    EXPECT_EQ(state(), State::STATE_READY_TO_CAPTURE);
}

TEST(MediaRecorderLevel, MapsVuReportsToLevels)
{
    const struct {
        double rms, peak;
        uint32_t level;
    } cases[] = {
        {0.0, 0.99, 11}, {0.98, 0.98, 10}, {0.5, 0.5, 7}, {0.2, 0.2, 5}, {0.0, 0.0626, 4}, {0.0, 0.0625, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MediaRecorderService::levelFromVu(c.rms, c.peak), c.level) << c.rms << " " << c.peak;
}

TEST_F(MediaRecorderServiceTest, SendsTheLevelOnlyWhileCapturing)
{
    MediaRecorderManager::init();
    capture.connectAndLoad();
    capture.setVu(0.5f, 0.5f); // ready: ignored
    start();
    capture.setVu(0.5f, 0.5f); // priming: ignored
    capture.setCapturing(true);
    capture.setVu(0.5f, 0.5f);
    capture.setVu(0.0f, 0.99f);
    capture.vu.clear();
    capture.report(&media::MediaCaptureV3ChangeListener::vuDataChanged);
    EXPECT_THAT(ui.levels(), ElementsAre(7u, 11u));
    EXPECT_EQ(logs.count("vuDataChanged: ignored"), 2u);
}

TEST(MediaRecorderLevel, ConvertsPercentagesAndLevels)
{
    const std::pair<int, int> tics[] = {{-5, 0}, {4, 0}, {5, 1}, {50, 5}, {94, 9}, {150, 9}};
    for (const auto& [percent, tic] : tics)
        EXPECT_EQ(SCVolumeConvertPercentToTic(percent), tic) << percent;
    const struct {
        double level;
        int bars, band;
    } levels[] = {{-0.5, 0, 0}, {0.1875, 3, 1}, {0.5, 10, 3}, {0.875, 17, 4}, {1.0, 20, 5}, {2.0, 20, 5}};
    for (const auto& c : levels) {
        int bars = -1;
        int band = -1;
        interpretLevel(c.level, bars, band);
        EXPECT_EQ(bars, c.bars) << c.level;
        EXPECT_EQ(band, c.band) << c.level;
    }
}

int s_doneCalls = 0;
void countDone()
{
    ++s_doneCalls;
}

TEST_F(MediaRecorderServiceTest, ShutsDownAtOnceWithoutAClientAndOnceOnly)
{
    s_doneCalls = 0;
    MediaRecorderManager::shutdownStart(countDone);
    EXPECT_EQ(s_doneCalls, 1);
    MediaRecorderManager::shutdownStart(countDone);
    EXPECT_EQ(s_doneCalls, 1);
    EXPECT_TRUE(logs.contains("shutdownStart: already called.  Ignoring."));
}

TEST_F(MediaRecorderServiceTest, ShutsDownAClientAfterTheLibraryDisconnects)
{
    s_doneCalls = 0;
    MediaRecorderManager::init();
    capture.connectAndLoad();
    std::shared_ptr<media::SornaConnector> connector = capture.connector;
    MediaRecorderManager::shutdownStart(countDone);
    EXPECT_EQ(capture.shutdowns, 1);
    EXPECT_EQ(MediaRecorderManager::serviceForTesting(), nullptr);
    EXPECT_EQ(capture.object, nullptr); // released with the client
    EXPECT_EQ(s_doneCalls, 0);
    connector->disconnected(); // always posted
    EXPECT_EQ(s_doneCalls, 0);
    EXPECT_TRUE(waitFor([] { return s_doneCalls == 1; }));
    MediaRecorderManager::stop(Counter::bump, &stopped);
    EXPECT_EQ(stopped.calls, 1);
}

} // namespace
