#include "core/brevit/frontend/fe_fix.h"

#include "core/brevit/runtime/brevit_param_words.h"
#include "tests/brevit/frontend/frontend_test_util.h"
#include "tests/support/param_block_builder.h"

#include <climits>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace {

using frontend_model::FrontEndModel;

class FrontEndObjectTest : public FrontEndTest {
protected:
    FE* load(const FrontEndModel& model)
    {
        ArchiveFixture archive;
        frontend_fixture::addFrontEnd(archive, model);
        archive.finish();
        DVKTar* tar = archive.openForRead();
        FE* fe = tar != nullptr ? FE_CreateFromBinFile(tar, nullptr) : nullptr;
        archive.close(tar);
        return fe;
    }

    // The default model with the energy/SNR stage and no channel lag.
    FE* loadWithEnergyStage()
    {
        FrontEndModel model;
        model.config.hasEnergyStage = 1;
        model.config.cnLag = 0;
        return load(model);
    }
};

// Noise with a voiced stretch: never 32 equal samples in a row.
std::vector<int16_t> signal(int shifts, uint32_t seed, double loudFrom = 0.3, double loudTo = 0.7)
{
    std::mt19937 random(seed);
    std::normal_distribution<double> noise(0.0, 300.0);
    std::vector<int16_t> x(shifts * 80);
    const double pi = std::acos(-1.0);
    for (size_t i = 0; i < x.size(); ++i) {
        const double t = double(i) / x.size();
        double v = noise(random) + 1;
        if (t > loudFrom && t < loudTo)
            v += 6000 * std::sin(2 * pi * 440 * i / 8000.0);
        x[i] = static_cast<int16_t>(std::lround(v));
    }
    return x;
}

struct Drained {
    int fetchedWhileFeeding = 0;
    int drained = 0;
    std::vector<int32_t> feedStatuses;
};

// Fetches frames while there are any, adding them to `count`; the status
// that ended the fetching.
int32_t fetchFrames(FE* fe, int& count)
{
    std::vector<uint8_t> out(FE_GetFeatureDim(fe));
    uint16_t info[2];
    int32_t s;
    while ((s = FE_GetNextFrame(fe, out.data(), info)) == kFEStatusSpeech || s == kFEStatusNoSpeech)
        ++count;
    return s;
}

Drained feedAndDrain(FE* fe, const std::vector<int16_t>& x)
{
    Drained d;
    for (size_t at = 0; at + 80 <= x.size(); at += 80) {
        d.feedStatuses.push_back(FE_FeedSamples(fe, &x[at]));
        fetchFrames(fe, d.fetchedWhileFeeding);
    }
    FE_EndUtterance(fe);
    EXPECT_EQ(fetchFrames(fe, d.drained), kFEStatusEnded);
    std::vector<uint8_t> out(FE_GetFeatureDim(fe));
    uint16_t info[2];
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(FE_GetNextFrame(fe, out.data(), info), kFEStatusEnded);
    return d;
}

TEST_F(FrontEndObjectTest, OneSecondGivesEveryFrameThenEndsForGood)
{
    struct Case {
        bool replicate;
        int frames;  // of the 98 the sample stage makes
    } const cases[] = {{true, 98}, {false, 96}};  // without replication the first N are context
    for (const Case& c : cases) {
        FrontEndModel model;
        model.delta = frontend_model::makeDeltaFilter(2, 13, 39, false, c.replicate);
        FE* fe = load(model);
        ASSERT_NE(fe, nullptr);
        FE_StartUtterance(fe, 0);
        const Drained d = feedAndDrain(fe, signal(100, 1));
        EXPECT_EQ(d.fetchedWhileFeeding + d.drained, c.frames) << c.replicate;
        EXPECT_GT(d.fetchedWhileFeeding, 80);
        EXPECT_EQ(d.feedStatuses[0], kFEStatusNoFrame);
        EXPECT_EQ(d.feedStatuses[1], kFEStatusNoFrame);
        FE_Destroy(fe);
    }
}

TEST_F(FrontEndObjectTest, RightAfterStartUtteranceThereIsNoFrame)
{
    FE* fe = load(FrontEndModel());
    ASSERT_NE(fe, nullptr);
    FE_StartUtterance(fe, 0);
    std::vector<uint8_t> out(39);
    uint16_t info[2] = {7, 7};
    EXPECT_EQ(FE_GetNextFrame(fe, out.data(), info), kFEStatusNoFrame);
    EXPECT_EQ(info[0], 0);
    EXPECT_EQ(info[1], 0);
    FE_Destroy(fe);
}

TEST_F(FrontEndObjectTest, SnapshotCarriesTheChannelState)
{
    FrontEndModel model;
    model.channelNorm.normaliseVariance = 1;
    ScopedParamBlock block(ParamBlockBuilder().word(kBrevitParamVarianceNorm, 1));
    FE* fe = load(model);
    ASSERT_NE(fe, nullptr);
    std::vector<int16_t> means(39), stds(39);
    for (int i = 0; i < 39; ++i) {
        means[i] = static_cast<int16_t>(i * 11 - 200);
        stds[i] = static_cast<int16_t>(900 + i);
    }
    FE_SetChannelMeans(fe, means.data());
    FE_SetChannelVars(fe, stds.data());
    FE_StartUtterance(fe, 0);
    feedAndDrain(fe, signal(60, 2));
    FE_GetChannelMeans(fe, means.data());
    FE_GetChannelVars(fe, stds.data());
    auto* f = reinterpret_cast<FEFix*>(fe);
    uint16_t tracker[2];
    FEFixSampleStage_GetFloorPeak(f->sampleStage, tracker);
    ASSERT_EQ(FE_SetWarpIndex(fe, 1), 1);

    ArchiveFixture user("user.dvk");
    EXPECT_EQ(FE_WritePSAFile(fe, user.tar(), nullptr), 1);
    user.finish();
    const uint32_t crc = FE_ComputeCRC(fe, 0);
    FE_Reset(fe, 0);
    EXPECT_EQ(FE_GetWarpIndex(fe), 0);
    DVKTar* tar = user.openForRead();
    EXPECT_EQ(FE_ReadPSAFile(fe, tar, nullptr), 1);
    std::vector<int16_t> restoredMeans(39), restoredStds(39);
    FE_GetChannelMeans(fe, restoredMeans.data());
    FE_GetChannelVars(fe, restoredStds.data());
    EXPECT_EQ(restoredMeans, means);
    EXPECT_EQ(restoredStds, stds);
    uint16_t restoredTracker[2];
    FEFixSampleStage_GetFloorPeak(f->sampleStage, restoredTracker);
    EXPECT_EQ(restoredTracker[0], tracker[0]);
    EXPECT_EQ(restoredTracker[1], tracker[1]);
    EXPECT_EQ(FE_GetWarpIndex(fe), 1);
    EXPECT_EQ(FE_ComputeCRC(fe, 0), crc);
    user.close(tar);

    // Another window, or a warp index the warp refuses: nothing changes.
    std::vector<uint8_t> snapshot(FE_GetSnapshotSize(fe));
    EXPECT_EQ(FE_FillInSnapshot(fe, snapshot.data()), 1);
    std::vector<uint8_t> otherWindow = snapshot;
    otherWindow[12] = 30;
    EXPECT_EQ(FE_RestoreFromSnapshot(fe, otherWindow.data()), 0);
    std::vector<uint8_t> badIndex = snapshot;
    badIndex[32] = 9;
    EXPECT_EQ(FE_RestoreFromSnapshot(fe, badIndex.data()), 0);
    EXPECT_EQ(FE_GetWarpIndex(fe), 1);
    EXPECT_EQ(FE_RestoreFromSnapshot(fe, nullptr), 0);
    FE_Destroy(fe);
}

TEST_F(FrontEndObjectTest, SpeechFrameCountIsRestoredOnlyWhenSoundAndStopsAtItsTop)
{
    FE* fe = loadWithEnergyStage();
    ASSERT_NE(fe, nullptr);
    std::vector<uint8_t> snapshot(FE_GetSnapshotSize(fe));
    ASSERT_EQ(FE_FillInSnapshot(fe, snapshot.data()), 1);
    const auto withCount = [&](int32_t count) {
        std::vector<uint8_t> s = snapshot;
        std::memcpy(&s[40], &count, sizeof(count));
        return s;
    };
    const auto restoredCount = [&] {
        std::vector<uint8_t> s(snapshot.size());
        FE_FillInSnapshot(fe, s.data());
        int32_t count = 0;
        std::memcpy(&count, &s[40], sizeof(count));
        return count;
    };
    EXPECT_EQ(FE_RestoreFromSnapshot(fe, withCount(-1).data()), 0);
    EXPECT_EQ(FE_RestoreFromSnapshot(fe, withCount(INT32_MIN).data()), 0);
    EXPECT_EQ(restoredCount(), 0);

    FE_StartUtterance(fe, 0);
    // Cepstra quiet, then loud: the loud frames reach the energy stage with
    // the level tracker's flag 1, each counting one speech frame.
    const auto feedQuietThenLoud = [&] {
        FE_StartUtterance(fe, 0);
        std::vector<int16_t> cepstra(13, 0);
        std::vector<uint8_t> out(FE_GetFeatureDim(fe));
        uint16_t info[2];
        for (int i = 0; i < 40; ++i) {
            cepstra[0] = static_cast<int16_t>(i < 20 ? 1000 : 20000);
            FE_FeedCepstra(fe, cepstra.data(), 100);
            while (FE_GetNextFrame(fe, out.data(), info) >= kFEStatusSpeech) {
            }
        }
    };
    feedQuietThenLoud();
    ASSERT_GE(restoredCount(), 2);
    ASSERT_EQ(FE_RestoreFromSnapshot(fe, withCount(INT32_MAX - 1).data()), 1);
    feedQuietThenLoud();
    EXPECT_EQ(restoredCount(), INT32_MAX);
    FE_Destroy(fe);
}

TEST_F(FrontEndObjectTest, SignalToNoiseRatioOfTheFinestScaleOverManyChannels)
{
    FE* fe = loadWithEnergyStage();
    ASSERT_NE(fe, nullptr);
    auto* f = reinterpret_cast<FEFix*>(fe);
    f->energy->minEnergy = -32768;
    f->energy->maxEnergy = 32767;
    const int32_t channels = f->sampleStage->numChannels;
    const struct {
        int32_t shift;
        int32_t channels;
    } cases[] = {{7, channels}, {15, channels}, {15, 3000}, {15, 1}};
    for (const auto& c : cases) {
        fe->cepstralShift = c.shift;
        f->sampleStage->numChannels = c.channels;
        const int64_t expected = int64_t{65535} * 200 / ((int64_t{23} << c.shift) * c.channels);
        EXPECT_EQ(FE_GetSNR(fe), expected) << "shift " << c.shift << ", " << c.channels << " channels";
    }
    f->sampleStage->numChannels = channels;
    FE_Destroy(fe);
}

TEST_F(FrontEndObjectTest, ChecksumLeavesTheRingSizeOutUnlessFull)
{
    FrontEndModel small;
    FrontEndModel large;
    large.config.ringSize = 48;
    FE* a = load(small);
    FE* b = load(large);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(FE_ComputeCRC(a, 0), FE_ComputeCRC(b, 0));
    EXPECT_NE(FE_ComputeCRC(a, 1), FE_ComputeCRC(b, 1));
    EXPECT_EQ(FE_ComputeCRC(nullptr, 0), 0xFFFFFFFFu);
    FE_Destroy(a);
    FE_Destroy(b);
}

TEST_F(FrontEndObjectTest, FullRingDropsSamplesAndCountsThem)
{
    FE* fe = load(FrontEndModel());
    ASSERT_NE(fe, nullptr);
    FE_StartUtterance(fe, 0);
    const auto x = signal(60, 3);
    int notReady = 0;
    for (size_t at = 0; at + 80 <= x.size(); at += 80)
        notReady += FE_FeedSamples(fe, &x[at]) == kFEStatusNotReady;
    EXPECT_GT(notReady, 0);
    EXPECT_EQ(FEFix_GetDroppedShifts(fe), static_cast<uint32_t>(notReady));
    FE_StartUtterance(fe, 0);
    EXPECT_EQ(FEFix_GetDroppedShifts(fe), 0u);
    FE_Destroy(fe);
}

// A ring filled before anything is fetched (frames held by an accumulating
// channel normalisation, or a caller that did not fetch) still gives every
// row it holds once the utterance ends, and then ends for good.
TEST_F(FrontEndObjectTest, FullRingIsDrainedAtTheEnd)
{
    struct Case {
        int32_t accumulate;
        int32_t flush;
    } const cases[] = {{0, 1}, {1, 1}, {0, 0}, {1, 0}};
    for (const Case& c : cases) {
        FrontEndModel model;
        model.config.flushDeltaAtEnd = c.flush;
        FE* fe = load(model);
        ASSERT_NE(fe, nullptr);
        FE_StartUtterance(fe, c.accumulate);
        const auto x = signal(60, 3);
        int dropped = 0;
        for (size_t at = 0; at + 80 <= x.size(); at += 80)
            dropped += FE_FeedSamples(fe, &x[at]) == kFEStatusNotReady;
        ASSERT_GT(dropped, 0) << c.accumulate << c.flush;
        FE_EndUtterance(fe);
        int drained = 0;
        EXPECT_EQ(fetchFrames(fe, drained), kFEStatusEnded);
        // Every row but the last N without the flush, which completes them.
        const int32_t n = fe->deltaHalfWidth;
        EXPECT_EQ(drained, c.flush ? fe->ringSize : fe->ringSize - n) << c.accumulate << c.flush;
        int after = 0;
        EXPECT_EQ(fetchFrames(fe, after), kFEStatusEnded);
        EXPECT_EQ(after, 0);
        FE_Destroy(fe);
    }
}

// An utterance shorter than the delta filter's reach ends with only its own
// frames: the rows the read position starts behind belong to no utterance and
// are neither completed, accumulated nor delivered.
TEST_F(FrontEndObjectTest, ShortUtteranceGivesOnlyItsOwnFrames)
{
    for (int32_t accumulate : {0, 1})
        for (int frames : {0, 1, 2, 3}) {
            FrontEndModel model;
            model.channelNorm.accumulateAll = 1;
            FE* fe = load(model);
            ASSERT_NE(fe, nullptr);
            auto* f = reinterpret_cast<FEFix*>(fe);
            // A previous utterance leaves its rows in the ring.
            FE_StartUtterance(fe, 0);
            feedAndDrain(fe, signal(40, 8));
            FE_StartUtterance(fe, accumulate);
            const auto x = signal(2 + frames, 9);  // the first two shifts fill the window
            for (size_t at = 0; at + 80 <= x.size(); at += 80)
                FE_FeedSamples(fe, &x[at]);
            FE_EndUtterance(fe);
            if (accumulate) {
                EXPECT_EQ(f->channelNorm->frameCount, frames);
            }
            int delivered = 0;
            EXPECT_EQ(fetchFrames(fe, delivered), kFEStatusEnded);
            EXPECT_EQ(delivered, frames) << "accumulate " << accumulate;
            FE_Destroy(fe);
        }
}

TEST_F(FrontEndObjectTest, AlternativePaths)
{
    // The second read index: the oldest frame is dropped instead of the samples.
    {
        ScopedParamBlock block(ParamBlockBuilder().word(kBrevitParamChannelCheck, 1));
        FE* fe = load(FrontEndModel());
        ASSERT_NE(fe, nullptr);
        FE_StartUtterance(fe, 0);
        const auto x = signal(80, 4);
        for (size_t at = 0; at + 80 <= x.size(); at += 80)
            EXPECT_NE(FE_FeedSamples(fe, &x[at]), kFEStatusNotReady);
        EXPECT_EQ(FEFix_GetDroppedShifts(fe), 0u);
        FE_Destroy(fe);
    }
    // A level jump in channel-check mode reports 7.
    {
        ScopedParamBlock block(ParamBlockBuilder().word(kBrevitParamChannelCheck, 1));
        FrontEndModel model;
        model.config.hasEnergyStage = 1;
        model.energy.jumpFactor = 8192;  // any range above the smoothed one
        FE* fe = load(model);
        ASSERT_NE(fe, nullptr);
        FE_StartUtterance(fe, 0);
        const auto x = signal(80, 5, 0.5, 1.0);
        bool jumped = false;
        for (size_t at = 0; at + 80 <= x.size(); at += 80)
            jumped |= FE_FeedSamples(fe, &x[at]) == kFEStatusChannelJump;
        EXPECT_TRUE(jumped);
        FE_Destroy(fe);
    }
    // Channel-map restart marks rows past the lag; a release shrinks the lag.
    {
        ScopedParamBlock block(ParamBlockBuilder().word(kBrevitParamChannelNormDelay, 6));
        FrontEndModel model;
        model.config.hasEnergyStage = 1;
        model.config.cnLag = 6;
        FE* fe = load(model);
        ASSERT_NE(fe, nullptr);
        auto* f = reinterpret_cast<FEFix*>(fe);
        FE_StartUtterance(fe, 0);
        EXPECT_EQ(fe->cnLag, 6);
        const auto x = signal(30, 6);
        for (size_t at = 0; at + 80 <= 20 * 80; at += 80)
            FE_FeedSamples(fe, &x[at]);  // a backlog longer than the lag
        for (int32_t i = 0; i < fe->ringSize; ++i)
            f->flags[i] &= ~kFEFlagPastLag;
        const int32_t write = FE_RestartChannelMap(fe, 100);
        EXPECT_EQ(write, f->writeIndex);
        // 100 ms = 10 rows back: those more than the lag (6) behind are marked.
        EXPECT_EQ(f->readIndex, (write - 11 + fe->ringSize) % fe->ringSize);
        int marked = 0;
        for (int32_t i = f->readIndex; i != f->writeIndex; i = (i + 1) % fe->ringSize)
            marked += (f->flags[i] & kFEFlagPastLag) != 0;
        EXPECT_EQ(marked, 5);
        EXPECT_EQ(fe->altOutput, 0);
        EXPECT_EQ(fe->channelCheck, 0);
        FE_ReleaseChannelMap(fe);
        for (size_t at = 20 * 80; at + 80 <= x.size(); at += 80)
            FE_FeedSamples(fe, &x[at]);
        EXPECT_EQ(fe->cnLag, 1);
        FE_Destroy(fe);
    }
}

TEST_F(FrontEndObjectTest, ParameterFreeGettersAndEmptySlots)
{
    FE* fe = load(FrontEndModel());
    ASSERT_NE(fe, nullptr);
    EXPECT_EQ(FE_GetSampleRate(fe), 8000);
    EXPECT_EQ(FE_GetNumberSamplesInShift(fe), 80);
    EXPECT_EQ(FE_GetFeatureLength(fe), 39);
    EXPECT_EQ(FE_GetSpeechLookbackSamples(fe), (8 + 2) * 80);
    EXPECT_EQ(FE_GetSNR(fe), 0);
    uint16_t lo = 0, hi = 0;
    FE_GetMinMaxEnergy(fe, &lo, &hi);
    EXPECT_EQ(lo, 1);
    EXPECT_EQ(hi, 0);
    float frame[39];
    EXPECT_EQ(FE_GetNextFloatFrame(fe, frame), 0);  // an empty slot answers 0
    EXPECT_EQ(FE_WriteCFiles(fe, "x"), 0);
    ASSERT_EQ(FE_SetWarpIndex(fe, 2), 1);
    FE_ResetKeepWarpIndex(fe, 0);
    EXPECT_EQ(FE_GetWarpIndex(fe), 2);
    FE_Reset(fe, 0);
    EXPECT_EQ(FE_GetWarpIndex(fe), 0);
    FE_Destroy(fe);
    FE_Destroy(nullptr);
}

TEST_F(FrontEndObjectTest, LoadingRefusesInconsistentModels)
{
    using Mutate = void (*)(FrontEndModel&);
    struct Case {
        const char* name;
        Mutate mutate;
    } const cases[] = {
        {"not fixed point", [](FrontEndModel& m) { m.fixedPoint = 0; }},
        {"feature length above 39", [](FrontEndModel& m) {
             m.config.featureLength = 40;
             m.delta.featureLength = 40;
         }},
        {"channel dimension above the features", [](FrontEndModel& m) {
             m.channelNorm = frontend_model::makeChannelNorm(40);
         }},
        {"energy dimension above the channels", [](FrontEndModel& m) {
             m.config.hasEnergyStage = 1;
             m.energy = frontend_model::makeEnergyStage(40, 39);
         }},
        {"energy arrays shorter than the channels + 1", [](FrontEndModel& m) {
             m.config.hasEnergyStage = 1;
             m.energy = frontend_model::makeEnergyStage(13, 38);
         }},
        {"sample rate differs", [](FrontEndModel& m) { m.config.sampleRate = 16000; }},
        {"shift differs", [](FrontEndModel& m) { m.config.samplesInShift = 160; }},
        {"window differs", [](FrontEndModel& m) { m.config.samplesInWindow = 256; }},
        {"cepstra differ", [](FrontEndModel& m) { m.config.numCepstra = 12; }},
        {"half width differs", [](FrontEndModel& m) { m.config.deltaHalfWidth = 3; }},
        {"feature length below cepstra", [](FrontEndModel& m) {
             m.config.featureLength = 12;
             m.delta = frontend_model::makeDeltaFilter(2, 4, 12, false, true);
             m.channelNorm = frontend_model::makeChannelNorm(12);
         }},
        {"output dimension differs", [](FrontEndModel& m) { m.config.featureDim = 38; }},
        {"ring below 2N + 1 + lag", [](FrontEndModel& m) {
             m.config.ringSize = 6;
             m.config.cnLag = 2;
         }},
        {"negative lag", [](FrontEndModel& m) { m.config.cnLag = -1; }},
        {"lag and half width far too large", [](FrontEndModel& m) {
             m.config.cnLag = 2000000000;
             m.config.deltaHalfWidth = 2000000000;
         }},
        {"frame shift below 1 ms", [](FrontEndModel& m) { m.config.frameShiftMs = 0; }},
        {"negative tracker lag", [](FrontEndModel& m) { m.config.trackerLagFrames = -5; }},
        {"tracker lag past the tracker's history", [](FrontEndModel& m) { m.config.trackerLagFrames = 11; }},
        {"tracker lag far too large", [](FrontEndModel& m) { m.config.trackerLagFrames = 100000000; }},
        {"cepstral warp past the features", [](FrontEndModel& m) {
             m.config.hasCepstralWarp = 1;
             m.cepstralWarp = {14, 12};
         }},
        {"missing energy stage", [](FrontEndModel& m) {
             m.config.hasEnergyStage = 1;
             m.config.cnLag = 0;
             m.energy.slopes.clear();
         }},
    };
    for (const Case& c : cases) {
        FrontEndModel model;
        c.mutate(model);
        FE* fe = load(model);
        EXPECT_EQ(fe, nullptr) << c.name;
        FE_Destroy(fe);
    }
}

TEST_F(FrontEndObjectTest, ParameterPathDescribesTheFrontEndButBuildsNone)
{
    FE fe{};
    EXPECT_FALSE(FEFix_ConfigureFromParameters(&fe, 0, 10));
    ScopedParamBlock block(ParamBlockBuilder()
                               .word(kBrevitParamSampleRate, 16000)
                               .word(kBrevitParamFrameShiftMs, 10)
                               .word(kBrevitParamWindowMs, 25)
                               .word(kBrevitParamCepstrumCount, 13)
                               .word(kBrevitParamMinRingFrames, 20)
                               .word(kBrevitParamDynamicCoefDelay, 2)
                               .word(kBrevitParamChannelNormDelay, 3)
                               .word(kBrevitParamEnergyStage, 1)
                               .word(kBrevitParamChannelCheck, 1)
                               .word(kBrevitParamExtraRingFrames, 4)
                               .word(kBrevitParamCepstralScale6, 1));
    ASSERT_TRUE(FEFix_ConfigureFromParameters(&fe, 0, 10));
    EXPECT_EQ(fe.sampleRate, 16000);
    EXPECT_EQ(fe.samplesInShift, 160);
    EXPECT_EQ(fe.samplesInWindow, 400);
    EXPECT_EQ(fe.numCepstra, 13);
    EXPECT_EQ(fe.featureLength, 39);
    EXPECT_EQ(fe.cepstralShift, 6);
    EXPECT_EQ(fe.trackerLagFrames, 8);
    EXPECT_EQ(fe.ringSize, 20 + 3 + 4);
    EXPECT_EQ(fe.hasEnergyStage, 1);
    EXPECT_EQ(fe.hasCepstralWarp, 0);
    EXPECT_EQ(fe.channelCheck, 1);
    ASSERT_TRUE(FEFix_ConfigureFromParameters(&fe, 32, 10));
    EXPECT_EQ(fe.featureLength, 32);
    EXPECT_EQ(FEFix_CreateFromParameters(2, nullptr), nullptr);
    EXPECT_EQ(FEFix_CreateFromParameters(1, nullptr), nullptr);
}

TEST_F(FrontEndObjectTest, LoadingSurvivesEveryAllocationFailure)
{
    FrontEndModel model;
    model.config.hasEnergyStage = 1;
    model.config.hasCepstralWarp = 1;
    ArchiveFixture archive;
    frontend_fixture::addFrontEnd(archive, model);
    archive.finish();
    DVKTar* tar = archive.openForRead();
    ASSERT_NE(tar, nullptr);
    expectLoadSurvivesEveryAllocationFailure(
        m_allocator, [&] { return FE_CreateFromBinFile(tar, nullptr); }, FE_Destroy);
    archive.close(tar);
}

} // namespace

namespace {

// Packets read cepstra at their own position: every row the sample stage
// makes gives one cepstra record, and the frames fetched are the same, byte
// for byte, as without packets.
TEST_F(FrontEndObjectTest, CepstraHaveTheirOwnReadPosition)
{
    FE* withPackets = load(FrontEndModel());
    FE* plain = load(FrontEndModel());
    ASSERT_NE(withPackets, nullptr);
    ASSERT_NE(plain, nullptr);
    FE_StartUtterance(withPackets, 0);
    FE_StartUtterance(plain, 0);
    const auto x = signal(300, 5);
    const int32_t dim = FE_GetFeatureDim(plain);
    std::vector<uint8_t> a(dim);
    std::vector<uint8_t> b(dim);
    std::vector<int16_t> cepstra(FE_GetNumCepstra(plain));
    uint16_t info[2];
    int records = 0;
    int frames = 0;
    for (size_t at = 0; at + 80 <= x.size(); at += 80) {
        FE_FeedSamples(withPackets, &x[at]);
        FE_FeedSamples(plain, &x[at]);
        for (;;) {
            const int32_t s = FE_GetNextFrame(withPackets, a.data(), info);
            ASSERT_EQ(FE_GetNextFrame(plain, b.data(), info), s);
            if (s != kFEStatusSpeech && s != kFEStatusNoSpeech)
                break;
            ASSERT_EQ(a, b);
            ++frames;
        }
        int32_t s = 0;
        while ((s = FE_GetNextCepstra(withPackets, cepstra.data())) == kFEStatusSpeech ||
               s == kFEStatusNoSpeech)
            ++records;
        EXPECT_EQ(s, kFEStatusNotReady);
    }
    EXPECT_EQ(records, 298);
    EXPECT_GT(frames, 290);
    EXPECT_EQ(FEFix_GetDroppedShifts(withPackets), 0u);
    FE_EndUtterance(withPackets);
    EXPECT_EQ(FE_GetNextCepstra(withPackets, cepstra.data()), kFEStatusEnded);
    FE_Destroy(withPackets);
    FE_Destroy(plain);
}

TEST_F(FrontEndObjectTest, ACepstraReaderARingBehindSkipsToTheOldestRowHeld)
{
    FE* fe = load(FrontEndModel());
    ASSERT_NE(fe, nullptr);
    FE_StartUtterance(fe, 0);
    const int32_t ring = fe->ringSize;
    const auto x = signal(ring + 20, 6);
    int frames = 0;
    for (size_t at = 0; at + 80 <= x.size(); at += 80) {
        FE_FeedSamples(fe, &x[at]);
        fetchFrames(fe, frames);
    }
    EXPECT_EQ(FEFix_GetDroppedShifts(fe), 0u);
    std::vector<int16_t> cepstra(FE_GetNumCepstra(fe));
    int records = 0;
    while (FE_GetNextCepstra(fe, cepstra.data()) >= kFEStatusSpeech)
        ++records;
    EXPECT_EQ(records, ring - 1);
    FE_Destroy(fe);
}

} // namespace
