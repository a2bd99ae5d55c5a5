// The suite audio over the real porting layer, recorder and player: frames
// captured from the desktop capture into the ring, items played into the
// desktop's "voicedial" device.
#include "oem/AmrStub.h"
#include "oem/dvk_oem_ui.h"
#include "oem/dvk_oem_watchdog.h"
#include "sdk/common/dvk_assert.h"
#include "sdk/common/dvk_audio.h"
#include "sdk/common/dvk_audio_frames.h"
#include "sdk/common/dvk_audio_output.h"
#include "src/MediaRecorderService.h"
#include "src/QrvLog.h"
#include "src/QrvRecordInhibitor.h"
#include "tests/support/amr_fixture.h"
#include "tests/support/audio_session.h"
#include "tests/support/log_capture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

namespace {

// What the recording event handler took from the ring (on "VR").
std::mutex s_mutex;
std::vector<int16_t> s_frames;
int s_events = 0;
bool s_drain = true;

std::atomic<int> s_pings{0};
void countPing() { ++s_pings; }

void onFrame()
{
    std::lock_guard<std::mutex> lock(s_mutex);
    ++s_events;
    if (!s_drain)
        return;
    int16_t* pcm = nullptr;
    int32_t samples = 0;
    uint8_t* vocoded = nullptr;
    int32_t bytes = 0;
    dvk_audio_getInputFrame(&pcm, &samples, &vocoded, &bytes);
    EXPECT_EQ(samples, 160);
    EXPECT_EQ(vocoded, nullptr);
    if (pcm != nullptr)
        s_frames.insert(s_frames.end(), pcm, pcm + samples);
    dvk_audio_advanceInputFrame();
}

class SuiteAudio : public ::testing::Test {
protected:
    void SetUp() override
    {
        prepareAudioRoot();
        std::lock_guard<std::mutex> lock(s_mutex);
        s_frames.clear();
        s_events = 0;
        s_drain = true;
        s_pings = 0;
        dvkOemSetAlivePing(countPing);
    }
    void TearDown() override { dvkOemSetAlivePing(nullptr); }

    int events()
    {
        std::lock_guard<std::mutex> lock(s_mutex);
        return s_events;
    }
    std::vector<int16_t> frames()
    {
        std::lock_guard<std::mutex> lock(s_mutex);
        return s_frames;
    }

    void startRecording(int32_t maxMs, int32_t bufferMs)
    {
        runOnVr([&] { EXPECT_EQ(dvk_audio_startRecording(0, 0, 9, maxMs, bufferMs, onFrame), 0); });
    }
    // Stops and waits for the stop message and the capture's end.
    void stopRecording()
    {
        MessageCounter stopped;
        runOnVr([&] { dvk_audio_stopRecording(stopped.message()); });
        EXPECT_TRUE(waitFor([&] { return stopped.count.load() == 1; }));
        EXPECT_TRUE(waitFor([] {
            MediaRecorderService* client = MediaRecorderManager::serviceForTesting();
            return client != nullptr && client->getState() == MediaRecorderService::STATE_READY_TO_CAPTURE;
        }));
        waitFor([] { return false; }, std::chrono::milliseconds(50));
        EXPECT_EQ(stopped.count.load(), 1);
        EXPECT_TRUE(stopped.onSuiteThread.load());
    }

    LogCapture logs;
};

TEST_F(SuiteAudio, RecordsEveryCapturedFrameOnce)
{
    const std::vector<int16_t> speech = rampSamples(16000, -8000);
    captureFrom(speech);
    for (int recording = 0; recording < 2; ++recording) {
        SCOPED_TRACE(recording);
        {
            std::lock_guard<std::mutex> lock(s_mutex);
            s_frames.clear();
            s_events = 0;
        }
        s_pings = 0;
        startRecording(10000, 500);
        ASSERT_TRUE(waitFor([&] { return events() == 100; }, std::chrono::milliseconds(5000)));
        EXPECT_TRUE(waitFor([&] { return logs.contains("readBuf: no data; reading ends"); }));
        drainVr();
        EXPECT_EQ(events(), 100);
        EXPECT_EQ(frames(), speech);
        // One sign of life per 100 recorded buffers.
        EXPECT_EQ(s_pings.load(), 1);
        stopRecording();
    }
}

TEST_F(SuiteAudio, TakesItsSamplesFromANumberedTestFile)
{
    QrvLog::VRthread::qrvLogRecord.setLevel(WexLogDebug);
    const std::vector<int16_t> test = rampSamples(500, 1);
    writeBytes(QrvFileSystem::makeFullPathname1("test001/000Recording.pcm"), rawBytes(test));
    startRecording(10000, 500);
    ASSERT_TRUE(waitFor([&] { return events() >= 5; }));
    std::vector<int16_t> got = frames();
    got.resize(800);
    std::vector<int16_t> expected = test;
    expected.resize(800, 0);
    EXPECT_EQ(got, expected);
    EXPECT_TRUE(logs.contains("using audio file "));
    stopRecording();
    startRecording(10000, 500);
    EXPECT_TRUE(logs.contains("test001/001Recording.pcm"));
    stopRecording();
}

TEST_F(SuiteAudio, KeepsAtMostARingOfUnreadFrames)
{
    const struct {
        int32_t maxMs, bufferMs;
        bool drain;
        int32_t waitFrames, unread, recorded;
    } cases[] = {
        {10000, 500, false, 30, 25, 25}, // the 26th unread frame is dropped
        {10000, 1, false, 5, 1, 1},
        {10000, 30, false, 5, 2, 2},
        {100, 500, true, 10, 0, 5}, // at most max time / 20 frames
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bufferMs);
        {
            std::lock_guard<std::mutex> lock(s_mutex);
            s_frames.clear();
            s_events = 0;
            s_drain = c.drain;
        }
        startRecording(c.maxMs, c.bufferMs);
        ASSERT_TRUE(waitFor([&] { return events() >= c.recorded; }, std::chrono::milliseconds(5000)));
        // Further frames come every 20 ms; none of them may be stored.
        waitFor([] { return false; }, std::chrono::milliseconds(20 * c.waitFrames));
        int32_t unread = -1;
        runOnVr([&] { unread = dvk_audio_getNumInputFrames(); });
        EXPECT_EQ(unread, c.unread);
        EXPECT_EQ(events(), c.recorded);
        stopRecording();
    }
}

// Calls of the "playback" UI state, and whether each came on "UI" (the
// test's own thread).
std::atomic<int> s_playbackStates{0};
std::atomic<bool> s_playbackStateOnUi{true};
std::thread::id s_uiThread;
void recordPlaybackState(void*)
{
    s_playbackStateOnUi = s_playbackStateOnUi && std::this_thread::get_id() == s_uiThread;
    ++s_playbackStates;
}

class SuitePlayback : public ::testing::Test {
protected:
    void SetUp() override
    {
        prepareAudioRoot();
        s_uiThread = std::this_thread::get_id();
        s_playbackStates = 0;
        s_playbackStateOnUi = true;
        saved_ = dvkOemUiFuncs_p;
        funcs_ = *saved_;
        funcs_.uiStateChangeToPlayback = recordPlaybackState;
        dvkOemUiFuncs_p = &funcs_;
    }
    void TearDown() override { dvkOemUiFuncs_p = saved_; }

    dvk_oem_ui_Funcs funcs_{};
    const dvk_oem_ui_Funcs* saved_ = nullptr;

    // Queues on "VR" and waits for the done message; whether recording was
    // inhibited when it came.
    bool playAndWait(const std::function<void(dvk_msg_Message*)>& queue)
    {
        MessageCounter done;
        runOnVr([&] { queue(done.message()); });
        EXPECT_TRUE(waitFor([&] { return done.count.load() == 1; }));
        waitFor([] { return false; }, std::chrono::milliseconds(100));
        EXPECT_EQ(done.count.load(), 1);
        EXPECT_TRUE(done.onSuiteThread.load());
        return done.recordingInhibited.load();
    }
};

TEST_F(SuitePlayback, PlaysPcmAndEndsAShortFrameWithSilence)
{
    const std::pair<int, std::vector<int16_t>> cases[] = {
        {4000, rampSamples(4000, 1)},
        {4100, [] {
             std::vector<int16_t> v = rampSamples(4000, 1);
             v.resize(4160, 0);
             return v;
         }()},
    };
    for (const auto& [count, expected] : cases) {
        SCOPED_TRACE(count);
        s_playbackStates = 0;
        const std::vector<int16_t> samples = rampSamples(static_cast<size_t>(count), 1);
        const bool inhibited = playAndWait([&](dvk_msg_Message* done) {
            EXPECT_EQ(dvk_audio_startPcmPlayback(0, 0, samples.data(), count, done), 0);
        });
        EXPECT_EQ(played(), expected);
        EXPECT_TRUE(inhibited);
        EXPECT_TRUE(waitFor([] { return s_playbackStates.load() == 1; }));
        EXPECT_EQ(s_playbackStates.load(), 1);
        EXPECT_TRUE(s_playbackStateOnUi.load());
        int32_t time = 0;
        runOnVr([&] { time = dvk_audio_getPlaybackTime(); });
        EXPECT_EQ(time, static_cast<int32_t>(expected.size() / 160 * 20));
        runOnVr([] { dvk_audio_stopPlayback(nullptr); });
        drainVr();
        waitFor([] { return false; }, std::chrono::milliseconds(300));
    }
}

TEST_F(SuitePlayback, EveryStopMessageWaitingForTheStopReportIsSentOnce)
{
    // A second stop before the player has reported the first keeps the
    // first stop's message: its owner waits for it.
    MessageCounter first, second;
    runOnVr([&] {
        dvk_audio_stopPlayback(first.message());
        dvk_audio_stopPlayback(nullptr);
        dvk_audio_stopPlayback(second.message());
    });
    EXPECT_TRUE(waitFor([&] { return first.count.load() == 1 && second.count.load() == 1; }));
    waitFor([] { return false; }, std::chrono::milliseconds(200));
    drainVr();
    EXPECT_EQ(first.count.load(), 1);
    EXPECT_EQ(second.count.load(), 1);
    EXPECT_TRUE(first.onSuiteThread.load());
}

TEST_F(SuitePlayback, PlaysAmrFramesAsTheLibraryDecodesThem)
{
    const auto frames = amrToneFrames(50, MR122);
    const std::vector<uint8_t> stream = amrJoined(frames);
    ASSERT_EQ(stream.size(), 50u * 32);
    playAndWait([&](dvk_msg_Message* done) {
        EXPECT_EQ(dvk_audio_startVocodedPlayback(0, 1, stream.data(), static_cast<int32_t>(stream.size()), done), 0);
    });
    std::vector<int16_t> expected = amrLibraryDecode(frames);
    expected.resize(expected.size() + 320, 0);
    EXPECT_EQ(played(), expected);
}

TEST_F(SuitePlayback, AnUnplayableAmrModeEndsTheItemWithAFillFrame)
{
    std::vector<std::vector<uint8_t>> frames = amrToneFrames(10, MR122);
    const auto other = amrToneFrames(1, MR59);
    ASSERT_EQ(other[0][0], 0x14);
    std::vector<uint8_t> item = amrJoined(frames);
    item.insert(item.end(), other[0].begin(), other[0].end());
    const std::vector<uint8_t> more = amrJoined(amrToneFrames(5, MR122));
    item.insert(item.end(), more.begin(), more.end());
    playAndWait([&](dvk_msg_Message* done) {
        dvk_audio_startVocodedPlayback(0, 1, item.data(), static_cast<int32_t>(item.size()), done);
    });
    int32_t fillSize = 0;
    const uint8_t* fill = dvk_audio_fillFrame(1, &fillSize);
    frames.emplace_back(fill, fill + fillSize);
    std::vector<int16_t> expected = amrLibraryDecode(frames);
    expected.resize(expected.size() + 320, 0);
    EXPECT_EQ(played(), expected);
}

TEST(SuiteAudioFrames, SizesFramesByTheirFirstByte)
{
    const struct {
        dvk_oem_audio_VocoderType type;
        uint8_t first;
        int32_t size;
    } cases[] = {
        {1, 0x3C, 32}, {1, 0x04, 13}, {2, 0x34, 27}, {0, 4, 23}, {0, 6, 0}, {0, 0, 1}, {5, 10, 11},
        {6, 255, 256}, {3, 0, 33}, {4, 9, 65}, {8, 4, 35}, {8, 7, 0}, {9, 0, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(dvk_audio_vocoderFrameSize(c.type, c.first), c.size) << c.type << " " << int{c.first};
    const std::pair<dvk_oem_audio_VocoderType, std::vector<uint8_t>> fills[] = {
        {0, {0}}, {1, {4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}, {3, std::vector<uint8_t>(33, 0)},
        {4, std::vector<uint8_t>(65, 0)}, {5, {0}}, {8, {0}}};
    for (const auto& [type, frame] : fills) {
        int32_t size = 0;
        const uint8_t* fill = dvk_audio_fillFrame(type, &size);
        EXPECT_EQ(std::vector<uint8_t>(fill, fill + size), frame) << type;
    }
}

// The output callback over a queue built by hand.
struct QueueOf {
    std::vector<dvk_audio_Item> items;
    dvk_audio_Queue queue{};

    void link()
    {
        for (size_t i = 0; i + 1 < items.size(); ++i)
            items[i].next = &items[i + 1];
        queue.oldest = queue.current = &items.front();
        queue.newest = &items.back();
    }
    // The frame lengths delivered until the end (or n frames).
    std::vector<int32_t> lengths(int n, std::vector<std::vector<uint8_t>>* frames = nullptr)
    {
        std::vector<int32_t> result;
        for (int i = 0; i < n; ++i) {
            uint8_t buffer[DVK_AUDIO_FRAME_BUFFER];
            int32_t samples = 0;
            int32_t length = 0;
            dvk_audio_outputFrame(&queue, nullptr, buffer, &samples, &length);
            result.push_back(length);
            if (frames != nullptr)
                frames->emplace_back(buffer, buffer + length);
            if (queue.current == nullptr)
                break;
        }
        return result;
    }
};

dvk_audio_Item vocodedItem(dvk_oem_audio_VocoderType type, const std::vector<uint8_t>& data, bool streaming,
                           int32_t lead = 0)
{
    return dvk_audio_Item{nullptr, 0, 2, type, data.data(), data.data() + data.size(), nullptr, streaming, lead, false};
}

TEST(SuiteAudioOutput, ServesVocodedFramesAndStopsAtABrokenOne)
{
    const std::vector<uint8_t> evrc = {4, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22,
                                       1, 0xAA, 0xBB, 6, 9};
    QueueOf q;
    q.items = {vocodedItem(0, evrc, false)};
    q.link();
    EXPECT_EQ(q.lengths(10), (std::vector<int32_t>{23, 3, 0, 0}));
    EXPECT_EQ(q.queue.playbackTime, 40);

    const std::vector<uint8_t> speex = {10, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 3, 1};
    QueueOf s;
    s.items = {vocodedItem(5, speex, false)};
    s.link();
    EXPECT_EQ(s.lengths(10), (std::vector<int32_t>{11, 0, 0}));
}

TEST(SuiteAudioOutput, ADryStreamPlaysFillFramesUntilItsLeadIsQueued)
{
    std::vector<uint8_t> first(64, 0);
    first[0] = 0x3C;
    first[32] = 0x3C;
    const std::vector<uint8_t> second = first;
    QueueOf q;
    q.items = {vocodedItem(1, first, true, 64), vocodedItem(1, second, true, 64)};
    q.items.reserve(2);
    // The second piece is not queued yet: play the first, then run dry.
    q.queue.oldest = q.queue.current = q.queue.newest = &q.items[0];
    std::vector<std::vector<uint8_t>> frames;
    EXPECT_EQ(q.lengths(4, &frames), (std::vector<int32_t>{32, 32, 13, 13}));
    EXPECT_EQ(frames[2][0], 0x04);
    // More data arrives: the next frame is real again.
    q.items[0].next = &q.items[1];
    q.queue.newest = &q.items[1];
    EXPECT_EQ(q.lengths(3), (std::vector<int32_t>{32, 32, 13}));
}

TEST(SuiteAudioDeath, APlainItemBehindAnOpenStreamAsserts)
{
    static const std::vector<uint8_t> frames(32 * 4, 0x3C);
    EXPECT_DEATH(
        {
            prepareAudioRoot();
            runOnVr([] {
                dvk_audio_startStreamingVocodedPlayback(0, 1, 100, frames.data(), 32, nullptr);
                dvk_audio_startVocodedPlayback(0, 1, frames.data(), 32, nullptr);
            });
        },
        "Assertion failed: item->streaming");
}

} // namespace
