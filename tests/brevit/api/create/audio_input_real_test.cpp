// Audio intake over the real front end of the generator's model set:
// frames queued byte for byte as a second front end of the same model gives
// them, end-of-speech statuses on a first listen, and the capture path's
// packets, which also make the seeds of the packet fuzz target.
#include "core/brevit/acoustic/acoustic_engine_calls.h"
#include "core/brevit/api/brevit_audio_input.h"
#include "core/brevit/frontend/fe.h"
#include "core/brevit/frontend/utt_det.h"
#include "core/brevit/runtime/dvk_tar.h"
#include "tests/brevit/api/create/model_set_fixture.h"
#include "tests/support/fuzz_seed_check.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace {

using model_set::ModelSetSpec;

// Quiet noise with a loud tone from `from` to `to` (fractions of the length).
std::vector<int16_t> toneInNoise(int32_t samples, uint32_t seed, double from, double to)
{
    std::mt19937 random(seed);
    std::normal_distribution<double> noise(0.0, 40.0);
    std::vector<int16_t> x(static_cast<size_t>(samples));
    for (size_t i = 0; i < x.size(); ++i) {
        const double t = double(i) / double(x.size());
        double v = noise(random);
        if (t > from && t < to)
            v += 8000 * std::sin(2 * 3.14159265358979 * 440 * double(i) / 8000.0);
        x[i] = static_cast<int16_t>(std::lround(v));
    }
    return x;
}

class AudioInputRealTest : public ModelSetTest {};

// The generator's set with a queue that holds a whole listen, and packets
// of its front end's 13 cepstra.
ModelSetSpec longQueue()
{
    ModelSetSpec spec;
    spec.params.word(kBrevitParamFrameQueueCapacity, 2000).word(kBrevitParamCepstrumCount, 13);
    return spec;
}

TEST_F(AudioInputRealTest, QueuedFramesAreTheFrontEndsFramesClamped)
{
    const std::string path = write(ModelSetSpec{});
    BrevitEngine* engine = nullptr;
    ASSERT_EQ(create(path, &engine), EBrevit_OK);
    CountingAllocator allocator;
    ScopedEngineContext context(allocator);
    DVKTar* tar = DVKTar_OpenForRead(path.c_str());
    ASSERT_NE(tar, nullptr);
    FE* second = FE_CreateFromBinFile(tar, nullptr);
    DVKTar_Close(tar);
    ASSERT_NE(second, nullptr);

    uint32_t id = 0;
    ASSERT_EQ(Brevit_StartListening(engine, &id), EBrevit_OK);
    FE_StartUtterance(second, 0);
    const std::vector<int16_t> x = toneInNoise(4000, 3, 0.3, 0.6);
    const int32_t shift = FE_GetNumberSamplesInShift(second);
    std::mt19937 random(9);
    std::vector<std::vector<uint8_t>> expected;
    std::vector<uint8_t> silence;
    std::vector<uint8_t> frame(static_cast<size_t>(FE_GetFeatureDim(second)));
    size_t fedTo = 0;
    for (size_t at = 0; at < x.size();) {
        const size_t n = std::min<size_t>(1 + random() % 500, x.size() - at);
        int32_t status = 0;
        ASSERT_EQ(Brevit_PutWaveSamples(engine, &x[at], static_cast<int32_t>(n), &status), EBrevit_OK);
        at += n;
        for (; fedTo + shift <= at; fedTo += shift) {
            FE_FeedSamples(second, &x[fedTo]);
            uint16_t info[2];
            int32_t s = 0;
            while ((s = FE_GetNextFrame(second, frame.data(), info)) == kFEStatusSpeech ||
                   s == kFEStatusNoSpeech) {
                AM_ClampFeature(engine->acousticModel0, frame.data());
                expected.push_back(frame);
                silence.push_back(s == kFEStatusNoSpeech ? 1 : 0);
            }
        }
    }
    const BrevitFrameQueue& q = engine->audioInput.queue;
    int32_t count = 0;
    ASSERT_EQ(Brevit_GetFeatureCount(engine, &count), EBrevit_OK);
    ASSERT_EQ(count, static_cast<int32_t>(expected.size()));
    ASSERT_LT(count, q.capacity);
    for (int32_t i = 0; i < count; ++i) {
        const int32_t slot = (q.readIndex + i) % q.capacity;
        const std::vector<uint8_t> queued(q.frames + slot * q.frameSize,
                                          q.frames + (slot + 1) * q.frameSize);
        ASSERT_EQ(queued, expected[i]) << "frame " << i;
        ASSERT_EQ(q.silenceFlags[slot], silence[i]) << "frame " << i;
    }
    FE_Destroy(second);
}

TEST_F(AudioInputRealTest, AFirstListenReportsSpeechAndItsEnd)
{
    BrevitEngine* engine = created(longQueue());
    ASSERT_NE(engine, nullptr);
    UttDet_Reset(engine->endPointerSettings);
    uint32_t id = 0;
    ASSERT_EQ(Brevit_StartListening(engine, &id), EBrevit_OK);
    EXPECT_EQ(id, 0u);
    const std::vector<int16_t> x = toneInNoise(24000, 4, 0.3, 0.5);
    std::vector<int32_t> seen;
    for (size_t at = 0; at + 160 <= x.size(); at += 160) {
        int32_t status = -1;
        ASSERT_EQ(Brevit_PutWaveSamples(engine, &x[at], 160, &status), EBrevit_OK);
        if (seen.empty() || seen.back() != status)
            seen.push_back(status);
    }
    EXPECT_EQ(seen, (std::vector<int32_t>{0, 1, 2}));
}

TEST_F(AudioInputRealTest, EnginesFedAlikeHaveOneAudioChecksumThatFeedingChanges)
{
    BrevitEngine* first = created(longQueue());
    BrevitEngine* second = created(longQueue(), "second.dvk");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    const uint32_t fresh = BrevitPriv_AudioInputCRC(first);
    EXPECT_EQ(BrevitPriv_AudioInputCRC(second), fresh);
    const std::vector<int16_t> x = toneInNoise(3000, 8, 0.2, 0.6);
    for (BrevitEngine* e : {first, second}) {
        uint32_t id = 0;
        int32_t status = 0;
        ASSERT_EQ(Brevit_StartListening(e, &id), EBrevit_OK);
        ASSERT_EQ(Brevit_PutWaveSamples(e, x.data(), 2990, &status), EBrevit_OK);
    }
    EXPECT_EQ(BrevitPriv_AudioInputCRC(first), BrevitPriv_AudioInputCRC(second));
    EXPECT_NE(BrevitPriv_AudioInputCRC(first), fresh);
    int32_t status = 0;
    ASSERT_EQ(Brevit_PutWaveSamples(second, x.data(), 1, &status), EBrevit_OK);
    EXPECT_NE(BrevitPriv_AudioInputCRC(first), BrevitPriv_AudioInputCRC(second));
}

// Listens to x, asking for packets after each 160-sample buffer until none
// is ready; the info block and the packets kept.
struct Capture {
    std::string info;
    std::vector<std::string> packets;
    std::vector<int32_t> statuses;
    int32_t afterStop = -1;
};

Capture capture(BrevitEngine* engine, const std::vector<int16_t>& x)
{
    Capture c;
    int32_t infoSize = 0;
    int32_t packetSize = 0;
    EXPECT_EQ(Brevit_GetSigProcInfoSize(engine, &infoSize), EBrevit_OK);
    EXPECT_EQ(Brevit_GetSigProcPacketSize(engine, &packetSize), EBrevit_OK);
    uint32_t id = 0;
    EXPECT_EQ(Brevit_StartListening(engine, &id), EBrevit_OK);
    c.info.resize(static_cast<size_t>(infoSize));
    EXPECT_EQ(Brevit_GetSigProcInfo(engine, c.info.data()), EBrevit_OK);
    std::string packet(static_cast<size_t>(packetSize), '\0');
    for (size_t at = 0; at + 160 <= x.size(); at += 160) {
        int32_t status = 0;
        EXPECT_EQ(Brevit_PutWaveSamples(engine, &x[at], 160, &status), EBrevit_OK);
        for (;;) {
            int32_t packetStatus = -1;
            EXPECT_EQ(Brevit_GetNextSigProcPacket(engine, packet.data(), &packetStatus), EBrevit_OK);
            if (packetStatus != 0 && packetStatus != 1)
                break;
            c.packets.push_back(packet);
            c.statuses.push_back(packetStatus);
        }
    }
    EXPECT_EQ(Brevit_StopListening(engine), EBrevit_OK);
    EXPECT_EQ(Brevit_GetNextSigProcPacket(engine, packet.data(), &c.afterStop), EBrevit_OK);
    return c;
}

TEST_F(AudioInputRealTest, CaptureGivesAPacketPerQueuedFrameThatAnotherEngineQueues)
{
    BrevitEngine* sender = created(longQueue());
    BrevitEngine* receiver = created(longQueue(), "receiver.dvk");
    ASSERT_NE(sender, nullptr);
    ASSERT_NE(receiver, nullptr);
    const Capture c = capture(sender, toneInNoise(16000, 5, 0.3, 0.5));
    int32_t queued = 0;
    ASSERT_EQ(Brevit_GetFeatureCount(sender, &queued), EBrevit_OK);
    EXPECT_EQ(c.afterStop, 4);
    EXPECT_GT(c.packets.size(), 150u);
    // Every shift fed made one packet; the queue holds the frames the delta
    // filter completed, the last of them drained at the stop.
    EXPECT_GE(static_cast<int32_t>(c.packets.size()), queued);

    uint32_t id = 0;
    ASSERT_EQ(Brevit_StartListening(receiver, &id), EBrevit_OK);
    ASSERT_EQ(Brevit_PutSigProcInfo(receiver, static_cast<int32_t>(c.info.size()), c.info.data()),
              EBrevit_OK);
    for (const std::string& packet : c.packets) {
        int32_t status = -1;
        ASSERT_EQ(Brevit_PutSigProcPacket(receiver, 0, packet.data(), &status), EBrevit_OK);
    }
    int32_t received = 0;
    ASSERT_EQ(Brevit_GetFeatureCount(receiver, &received), EBrevit_OK);
    EXPECT_GT(received, 100);

    // The seed: two bytes of info length, the info block, the packets.
    std::string seed;
    seed.push_back(static_cast<char>(c.info.size() & 0xFF));
    seed.push_back(static_cast<char>(c.info.size() >> 8));
    seed += c.info;
    for (size_t i = 0; i < c.packets.size() && i < 40; ++i)
        seed += c.packets[i];
    checkFuzzSeed("brevit_sig_proc_engine", "capture", seed);
}

} // namespace
