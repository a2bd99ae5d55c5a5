// The porting layer's audio with its recorder and player glue: AMR prompts
// as a scripted suite hands them out, the closing-chirp marker, the record
// inhibitor's hold on recording, and the fronts' start, stop and done.
#include "oem/AmrStub.h"
#include "oem/QrvPlayer.h"
#include "oem/QrvRecorder.h"
#include "oem/dvk_oem_audio.h"
#include "src/QrvLog.h"
#include "src/QrvRecordInhibitor.h"
#include "tests/support/amr_fixture.h"
#include "tests/support/audio_session.h"
#include "tests/support/log_capture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <deque>
#include <thread>

namespace {

std::vector<uint8_t> hexBytes(const std::string& hex)
{
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

const std::vector<uint8_t> kMarkerFrame =
    hexBytes("3440b85a1f8021c03838808059b07aca7ca01405217f2075e3c797");

std::vector<uint8_t> amrFrame(int index)
{
    return amrToneFrames(1, MR122, 300.0, index)[0];
}

// The suite's side of a vocoded playback: hands out queued frames, then
// none.
std::deque<std::vector<uint8_t>> s_frames;
int s_dones = 0;
int s_stopped = 0;

void scriptedSuite(int16_t*, uint8_t* vocoded, int32_t*, int32_t* frameLength, void*)
{
    *frameLength = 0;
    if (s_frames.empty())
        return;
    std::memcpy(vocoded, s_frames.front().data(), s_frames.front().size());
    *frameLength = static_cast<int32_t>(s_frames.front().size());
    s_frames.pop_front();
}

void suiteDone(void*)
{
    ++s_dones;
}

void suiteStopped()
{
    ++s_stopped;
}

class OemAudio : public ::testing::Test {
protected:
    void SetUp() override
    {
        prepareAudioRoot();
        s_frames.clear();
        s_dones = 0;
        s_stopped = 0;
    }

    void playFrames(std::deque<std::vector<uint8_t>> frames)
    {
        s_frames = std::move(frames);
        runOnVr([] { dvk_oem_audio_startPlayback(0, 2, 1, scriptedSuite, suiteDone, nullptr); });
        ASSERT_TRUE(waitFor([] { return s_dones == 1; }));
        drainVr();
    }

    LogCapture logs;
};

TEST_F(OemAudio, AMissingFirstFrameIsSilenceAndPlaybackGoesOn)
{
    QrvLog::VRthread::qrvLogPlayer.setLevel(WexLogDebug);
    const std::vector<uint8_t> frame = amrFrame(0);
    // An empty answer first: 160 zeros; then a frame, then the end.
    s_frames = {frame};
    runOnVr([] {
        dvk_oem_audio_startPlayback(0, 2, 1,
                                    [](int16_t* pcm, uint8_t* vocoded, int32_t* samples, int32_t* length, void* ctx) {
                                        static bool first = true;
                                        if (first) {
                                            first = false;
                                            *length = 0;
                                            return;
                                        }
                                        scriptedSuite(pcm, vocoded, samples, length, ctx);
                                    },
                                    suiteDone, nullptr);
    });
    ASSERT_TRUE(waitFor([] { return s_dones == 1; }));
    std::vector<int16_t> expected(160, 0);
    const std::vector<int16_t> decoded = amrLibraryDecode({frame});
    expected.insert(expected.end(), decoded.begin(), decoded.end());
    expected.resize(expected.size() + 320, 0);
    EXPECT_EQ(played(), expected);
    EXPECT_TRUE(logs.contains("no AMR data 1st buf"));
}

TEST_F(OemAudio, FramesTheDecoderDeclinesAndMissingOnesAreSilence)
{
    std::deque<std::vector<uint8_t>> frames;
    std::vector<std::vector<uint8_t>> decodable;
    for (int i = 0; i < 5; ++i) {
        decodable.push_back(amrFrame(i));
        frames.push_back(decodable.back());
    }
    frames.push_back({0x7C}); // type 15: no data
    playFrames(frames);
    std::vector<int16_t> expected = amrLibraryDecode(decodable);
    expected.resize(expected.size() + 480, 0);
    EXPECT_EQ(played(), expected);
}

TEST_F(OemAudio, TheMarkerFramePlaysTheOpeningChirpInstead)
{
    Decode_Init_AMR();
    int16_t decoded[160] = {};
    ASSERT_TRUE(Decode_AMR(decoded, kMarkerFrame.data(), static_cast<int32_t>(kMarkerFrame.size())));
    Decode_Cleanup_AMR();
    for (int i = 0; i < 160; ++i) {
        const bool marked = i == 120 || i == 121 || i == 126 || i == 130 || i == 131 || i == 134 || i == 144 ||
                            i == 148 || i == 149 || i == 158 || i == 159;
        EXPECT_EQ(decoded[i], marked ? -8 : 0) << i;
    }

    const std::vector<int16_t> chirp = rampSamples(1000, 7);
    const std::string path = QrvFileSystem::makeFullPathname0("upchirp.bin");
    g_mkdir_with_parents(QrvFileSystem::makeFullPathname0("").c_str(), 0755);
    writeBytes(path, rawBytes(chirp));
    playFrames({kMarkerFrame, amrFrame(0), amrFrame(1), amrFrame(2)});
    EXPECT_EQ(played(), chirp);
    EXPECT_TRUE(s_frames.empty()); // the rest of the prompt was consumed unplayed

    // Without the file the marker plays as it decodes.
    ::unlink(path.c_str());
    s_dones = 0;
    playFrames({kMarkerFrame});
    EXPECT_TRUE(logs.contains("Cannot open upchirp.bin"));
    std::vector<int16_t> expected(decoded, decoded + 160);
    expected.resize(160 + 320, 0);
    EXPECT_EQ(played(), expected);
}

TEST(OemAudioDeath, RefusesPlaybackWithoutExactlyOneMode)
{
    const struct {
        int32_t pcm, vocoder;
        const char* log;
    } cases[] = {{0, 1, "playback mode currently not supported"},
                 {2, 9, "must select a playback mode"},
                 {1, 9, "16 kHz playback not supported"}};
    for (const auto& c : cases)
        EXPECT_EXIT(dvk_oem_audio_startPlayback(0, c.pcm, c.vocoder, scriptedSuite, suiteDone, nullptr),
                    ::testing::ExitedWithCode(1), c.log);
}

// ---- recording and the record inhibitor ----

int s_buffers = 0;
void countBuffer(int16_t*, uint8_t*, int32_t*, int32_t*, void*)
{
    ++s_buffers;
}

class OemRecording : public ::testing::Test {
protected:
    void SetUp() override
    {
        prepareAudioRoot();
        s_buffers = 0;
        QrvLog::VRthread::qrvLogRecord.setLevel(WexLogDebug);
    }
    void TearDown() override
    {
        runOnVr([] { dvk_oem_audio_stopRecording(nullptr); });
        waitFor([] { return !QrvRecorderIsRunning(); });
    }
    static bool recording()
    {
        bool running = false;
        runOnVr([&] { running = QrvRecorderIsRunning(); });
        return running;
    }
    LogCapture logs;
};

TEST_F(OemRecording, AStartRightAfterAPlaybackWaitsForTheInhibitor)
{
    runOnVr([] {
        RecordInhibitor::S_start();
        dvk_oem_audio_startRecording(0, 0, 9, countBuffer, nullptr);
    });
    EXPECT_FALSE(recording());
    EXPECT_TRUE(waitFor([] { return s_buffers > 0; }));
}

TEST_F(OemRecording, AStopDropsTheWaitingStartButNotOtherActions)
{
    static int others = 0;
    runOnVr([] {
        RecordInhibitor::S_start();
        dvk_oem_audio_startRecording(0, 0, 9, countBuffer, nullptr);
        RecordInhibitor::S_addDoneAction([](void*) { ++others; }, nullptr);
        dvk_oem_audio_stopRecording(suiteStopped);
    });
    EXPECT_EQ(s_stopped, 1);
    EXPECT_TRUE(waitFor([] { return others == 1; }));
    drainVr();
    EXPECT_FALSE(recording());
    EXPECT_EQ(s_buffers, 0);
}

TEST_F(OemRecording, AStartDuringAStopRecordsOnceTheStopIsDone)
{
    runOnVr([] { dvk_oem_audio_startRecording(0, 0, 9, countBuffer, nullptr); });
    ASSERT_TRUE(waitFor([] { return s_buffers > 2; }));
    runOnVr([] {
        dvk_oem_audio_stopRecording(nullptr);
        dvk_oem_audio_startRecording(0, 0, 9, countBuffer, nullptr);
        s_buffers = 0;
    });
    EXPECT_TRUE(waitFor([] { return s_buffers > 2; }));
    EXPECT_FALSE(logs.contains("Attempt to record when already recording"));
}

TEST_F(OemRecording, StopsWithoutARecordingCompleteAtOnceAndQueuedOnesAfterTheEnd)
{
    static int stops = 0;
    runOnVr([] { QrvRecorderStop([] { ++stops; }); });
    EXPECT_EQ(stops, 1);
    runOnVr([] { QrvRecorderStart(countBuffer, nullptr); });
    ASSERT_TRUE(waitFor([] { return s_buffers > 0; }));
    runOnVr([] {
        QrvRecorderStop([] { ++stops; });
        QrvRecorderStop([] { ++stops; });
    });
    EXPECT_TRUE(waitFor([] { return stops == 3; }));
    EXPECT_FALSE(recording());
}

// ---- player front ----

struct PcmSource {
    std::vector<int16_t> samples;
    size_t pos = 0;
    int calls = 0;
    std::function<void(int)> onCall;
};
PcmSource s_source;
int s_playDones = 0;

int pcmGetBuf(int16_t* buffer, int* samples, void*)
{
    ++s_source.calls;
    if (s_source.onCall)
        s_source.onCall(s_source.calls);
    const size_t n = std::min<size_t>(static_cast<size_t>(*samples), s_source.samples.size() - s_source.pos);
    std::copy_n(s_source.samples.begin() + static_cast<long>(s_source.pos), n, buffer);
    s_source.pos += n;
    *samples = static_cast<int>(n);
    return *samples;
}

class PlayerFront : public ::testing::Test {
protected:
    void SetUp() override
    {
        prepareAudioRoot();
        s_source = PcmSource{};
        s_playDones = 0;
    }
    void play(std::vector<int16_t> samples)
    {
        s_source.samples = std::move(samples);
        runOnVr([] { QrvPlayerStart(pcmGetBuf, [](void*) { ++s_playDones; }, nullptr, nullptr); });
    }
};

TEST_F(PlayerFront, AnEmptyFirstAnswerEndsThePlaybackAtOnce)
{
    play({});
    ASSERT_TRUE(waitFor([] { return s_playDones == 1; }));
    EXPECT_EQ(s_source.calls, 1);
    EXPECT_TRUE(played().empty());
    EXPECT_FALSE(QrvPlayerIsRunning());
}

TEST_F(PlayerFront, ANonGracefulStopEndsAfterTheBufferInHand)
{
    static int stops = 0;
    s_source.onCall = [](int call) {
        if (call == 11) // the first slot of the third request
            QrvPlayerStop([](void*) { ++stops; }, nullptr, false);
    };
    play(rampSamples(4000, 3));
    ASSERT_TRUE(waitFor([] { return stops == 1; }));
    drainVr();
    EXPECT_EQ(s_playDones, 0);
    std::vector<int16_t> expected = rampSamples(2400, 3);
    EXPECT_EQ(played(), expected);
}

TEST_F(PlayerFront, StartsFromTwoThreadsAtOnceMakeOneWorkerAtATime)
{
    // "VR" starts a prompt while "UI" starts the closing chirp: the later
    // start either finds the first one's worker (and is refused) or comes
    // after its end; never a second worker over the one playback context.
    static std::atomic<int> arrived{0}, returned{0}, vrDones{0}, uiDones{0};
    // Both threads spin here, so their starts meet within microseconds.
    static void (*const meet)() = [] {
        ++arrived;
        while (arrived.load() < 2) {
        }
    };
    LogCapture logs;
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        arrived = 0;
        returned = 0;
        vrDones = 0;
        uiDones = 0;
        const size_t refusedBefore = logs.count("Attempt to start playback while it's already running");
        QrvExecuteInVrThread(
            [](void*) {
                meet();
                QrvPlayerStart(pcmGetBuf, [](void*) { ++vrDones; }, nullptr, nullptr);
                ++returned;
            },
            nullptr, QRV_THREAD_ALWAYS_POST);
        meet();
        QrvPlayerStart(pcmGetBuf, [](void*) { ++uiDones; }, nullptr, nullptr);
        ++returned;
        const auto refused = [&] {
            return logs.count("Attempt to start playback while it's already running") - refusedBefore;
        };
        const auto settled = [&] {
            const int dones = vrDones + uiDones;
            return returned == 2 && !QrvPlayerIsRunning() &&
                   ((refused() == 1 && dones == 1) || (refused() == 0 && dones == 2));
        };
        ASSERT_TRUE(waitFor(settled)) << "refused " << refused() << ", done " << vrDones + uiDones;
        drainVr();
    }
}

TEST_F(PlayerFront, EveryStopIsAnsweredOnce)
{
    static std::atomic<int> graceful{0}, hard{0}, fromUi{0};
    static std::atomic<bool> vrStopped{false}, uiStopped{false};
    static const QrvPlayerCallback gracefulStop = [](void*) { ++graceful; };
    // Every stop arrives while the playback runs: "VR" issues its three from
    // inside a buffer request and holds there until "UI" has issued its own,
    // so a fast device cannot finish the samples first.
    s_source.onCall = [](int call) {
        if (call != 6)
            return;
        QrvPlayerStop(gracefulStop, nullptr, true);
        QrvPlayerStop(gracefulStop, nullptr, true); // the same request again
        QrvPlayerStop([](void*) { ++hard; }, nullptr, false);
        vrStopped = true;
        while (!uiStopped)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
    play(rampSamples(40000, 0));
    ASSERT_TRUE(waitFor([] { return vrStopped.load(); }));
    QrvPlayerStop([](void*) { ++fromUi; }, nullptr, false); // this thread is "UI"
    uiStopped = true;
    ASSERT_TRUE(waitFor([] { return graceful + hard + fromUi == 3; }));
    drainVr();
    waitFor([] { return false; }, std::chrono::milliseconds(100));
    EXPECT_EQ(graceful.load(), 1);
    EXPECT_EQ(hard.load(), 1);
    EXPECT_EQ(fromUi.load(), 1);
    EXPECT_EQ(s_playDones, 0);
}

} // namespace
