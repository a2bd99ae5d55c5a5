#include "core/brevit/acoustic/am_params.h"
#include "core/brevit/acoustic/am_scoring.h"
#include "core/brevit/acoustic/shortlist.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "tests/brevit/acoustic/acoustic_fixture.h"
#include "tests/support/param_block_builder.h"

#include <limits>
#include <memory>
#include <random>
#include <vector>

namespace {

const std::vector<uint8_t> kX = {10, 20, 30, 40};
const std::vector<uint8_t> kX2 = {20, 20, 20, 20};
const std::vector<uint32_t> kR1 = {40, 20, 10, 30};
const std::vector<uint32_t> kR2 = {10, 10, 10, 10};

// Five states over seven components: silence 0, filler 3, state 4 empty.
AcousticModelSpec fixtureSpec(int32_t covType)
{
    AcousticModelSpec s;
    s.states = 5;
    s.offsets = {0, 1, 3, 6, 7, 7};
    s.dim = 4;
    s.covType = covType;
    s.means = {12, 18, 33, 41, 30, 30, 30, 30, 11, 22, 28, 44, 60, 10,
               0,  90, 11, 22, 28, 44, 200, 200, 200, 200, 20, 20, 20, 20};
    s.multiplier = 100;
    s.rounding = 128;
    s.shift = 6;
    s.ceiling = 16000;
    s.silenceState = 0;
    s.fillerState = 3;
    s.hasFiller = true;
    s.tree = AcousticTreeSpec::none();
    s.weights.clear();
    const int32_t rows = covType == 2 ? 1 : covType == 3 ? 5 : 7;
    for (int32_t r = 0; r < rows; ++r) {
        const auto& w = (covType == 2 || r % 2 == 0) ? kR1 : kR2;
        s.weights.insert(s.weights.end(), w.begin(), w.end());
        s.constants.push_back(covType == 2 ? 1000 : covType == 3 ? 500 * r : 1000 * (r % 3));
    }
    return s;
}

class ScoringTest : public AcousticTest {
protected:
    void TearDown() override
    {
        AM_DeleteScoringSet(m_set);
        m_params.reset();
        AcousticTest::TearDown();
    }

    // Loads with the parameter block built so far (word 80 = 8 by default).
    AM* loadFixture(const AcousticModelSpec& spec, bool withBlock = true)
    {
        m_params.reset();
        if (withBlock)
            m_params = std::make_unique<ScopedParamBlock>(m_builder);
        m_am = load(spec);
        EXPECT_NE(m_am, nullptr);
        if (m_set == nullptr)
            m_set = AM_NewScoringSet();
        if (m_am != nullptr)
            AM_GetScoringFunctions(m_am, m_set, 1, 1);
        return m_am;
    }

    uint32_t& word(int index) { return m_params->block().words[index]; }

    void frame(const std::vector<uint8_t>& x, int32_t index = 0, bool reset = true,
               int16_t value = 0)
    {
        AM_NewFrame(m_am, x.data(), &value, m_set, index, reset);
    }

    ParamBlockBuilder m_builder = ParamBlockBuilder().word(kBrevitParamFilledListCapacity, 8);
    std::unique_ptr<ScopedParamBlock> m_params;
    AMScoringSet* m_set = nullptr;
    AM* m_am = nullptr;
};

TEST_F(ScoringTest, StateCostsByCovarianceType)
{
    const struct {
        int32_t type;
        std::vector<int32_t> costs;
        AMStateKernel kernel;
    } cases[] = {
        {2, {33, 40, 40, 439, 16000}, AM_CalculateScoreCSV},
        {3, {8, 18, 40, 183, 16000}, AM_CalculateFullScore},
        {4, {8, 64, 40, 415, 16000}, AM_CalculateScoreCSV},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        AM* am = loadFixture(fixtureSpec(c.type));
        ASSERT_NE(am, nullptr);
        EXPECT_EQ(am->stateKernel, c.kernel);
        EXPECT_EQ(am->componentKernel, &AM_CalculateComponentScoreCSV);
        frame(kX);
        for (int32_t s = 0; s < 5; ++s) {
            EXPECT_EQ(AM_CalculateScoreCSV(am, s), c.costs[static_cast<size_t>(s)]) << s;
            EXPECT_EQ(AM_CalculateFullScore(am, s), c.costs[static_cast<size_t>(s)]) << s;
            EXPECT_EQ(AM_GetStateScore(am, s), c.costs[static_cast<size_t>(s)]) << s;
        }
    }
}

TEST_F(ScoringTest, CeilingAndShiftBoundTheCost)
{
    AM* am = loadFixture(fixtureSpec(2));
    ASSERT_NE(am, nullptr);
    frame(kX);
    AM_SetLimits(am, 20000, 0);
    EXPECT_EQ(AM_CalculateScoreCSV(am, 4), 20000);   // the empty state's scaled sentinel
    EXPECT_EQ(AM_CalculateFullScore(am, 4), 16384);
    for (const auto& [shift, cost] : {std::pair{1, 8}, std::pair{30, 0}}) {
        am->scoreShift = shift;
        for (int32_t s = 0; s < 5; ++s)
            EXPECT_EQ(AM_CalculateScoreCSV(am, s), cost) << "shift " << shift << " state " << s;
    }
}

TEST_F(ScoringTest, BestCachedScoreIsTheMinimumAboveTheNotComputedMark)
{
    AM* am = loadFixture(fixtureSpec(2));
    ASSERT_NE(am, nullptr);
    // A ceiling above the not-computed mark: every state of the frame costs it.
    AM_SetLimits(am, 20000, 0);
    frame(kX);
    for (int32_t s = 0; s < 5; ++s)
        am->cache[s] = 20000;
    EXPECT_EQ(AM_GetBestCachedScore(am), 20000);
    am->cache[3] = 19999;
    EXPECT_EQ(AM_GetBestCachedScore(am), 19999);
}

TEST_F(ScoringTest, ModelWithoutParametersScoresNothing)
{
    AcousticModelSpec spec;
    spec.noParameters = true;
    AM* am = loadFixture(spec);
    ASSERT_NE(am, nullptr);
    frame(kX, 0, true, 7);
    frame(kX2, 1, false);
    EXPECT_EQ(AM_GetStateScore(am, 0), kAMNotComputed);
    EXPECT_EQ(AM_GetStateScoreUncached(am, 0), kAMNotComputed);
    EXPECT_EQ(AM_GetBestCachedScore(am), kAMNotComputed);
    EXPECT_EQ(AM_GetFrameGarbageScore(am), kAMNotComputed);
    EXPECT_EQ(AM_GetFillerScore(am), 16383);
    int32_t fillerLower = -1;
    EXPECT_EQ(AM_GetNonSpeechScore(am, &fillerLower), kAMNotComputed);
    EXPECT_EQ(fillerLower, 0);
    EXPECT_EQ(AM_IsSilenceFrame(am), 0);
    EXPECT_EQ(AM_GetSilenceScoreBias(am), 0);
    uint16_t best = 0;
    EXPECT_EQ(AM_GetBestState(am, 1, &best), 0);
    EXPECT_EQ(AM_GetNumScoredStates(am), 0);
    uint32_t crc = 1;
    AM_EndFrame(am, 0, &crc);
    EXPECT_EQ(crc, 0u);
    AM_ResetFrameState(am);
    AM_Reset(am);
}

TEST_F(ScoringTest, FullScoreAgreesWithCsvOnRandomModels)
{
    std::mt19937 random(7);
    const auto pick = [&](uint32_t low, uint32_t high) {
        return std::uniform_int_distribution<uint32_t>(low, high)(random);
    };
    for (int model = 0; model < 20; ++model) {
        AcousticModelSpec spec;
        spec.tree = AcousticTreeSpec::none();
        spec.states = static_cast<int32_t>(pick(1, 6));
        spec.dim = static_cast<int32_t>(pick(1, 36));
        spec.covType = static_cast<int32_t>(pick(2, 4));
        spec.offsets = {0};
        for (int32_t s = 0; s < spec.states; ++s)
            spec.offsets.push_back(spec.offsets.back() + pick(1, 4));
        const int32_t rows = spec.varRows();
        for (int32_t i = 0; i < rows * spec.dim; ++i)
            spec.weights.push_back(pick(0, 255));
        for (int32_t i = 0; i < rows; ++i)
            spec.constants.push_back(static_cast<int32_t>(pick(0, (1u << 20) - 1)));
        for (int32_t i = 0; i < spec.components() * spec.dim; ++i)
            spec.means.push_back(static_cast<uint8_t>(pick(0, 255)));
        spec.multiplier = static_cast<int32_t>(pick(1, 256));
        spec.rounding = static_cast<int32_t>(pick(0, 1u << 16));
        spec.shift = 8;
        spec.ceiling = static_cast<int16_t>(pick(0, 16383));
        AM* am = loadFixture(spec);
        ASSERT_NE(am, nullptr);
        for (int f = 0; f < 10; ++f) {
            std::vector<uint8_t> x(static_cast<size_t>(spec.dim));
            for (auto& b : x)
                b = static_cast<uint8_t>(pick(0, 255));
            frame(x, f);
            for (int32_t s = 0; s < spec.states; ++s)
                ASSERT_EQ(AM_CalculateFullScore(am, s), AM_CalculateScoreCSV(am, s))
                    << "model " << model << " frame " << f << " state " << s;
        }
    }
}

TEST_F(ScoringTest, CacheKeepsEachFramesScores)
{
    AM* am = loadFixture(fixtureSpec(2));
    ASSERT_NE(am, nullptr);
    frame(kX);
    EXPECT_EQ(am->cache[0], 33);
    for (int32_t s = 1; s < 5; ++s)
        EXPECT_EQ(am->cache[s], kAMNotComputed) << s;
    uint16_t best = 0;
    for (const auto& order : {std::vector<int32_t>{2, 1}, std::vector<int32_t>{1, 2}}) {
        frame(kX, 0, true);
        for (int32_t s : order)
            AM_GetStateScore(am, s);
        EXPECT_EQ(am->bestState, 1);
        EXPECT_EQ(am->bestScore, 40);
        EXPECT_EQ(AM_GetBestState(am, 0, &best), 1);
        EXPECT_EQ(best, 0);  // silence is at least as good
    }
    EXPECT_EQ(AM_GetNumScoredStates(am), 3);
    EXPECT_EQ(AM_GetBestState(am, 1, &best), 0);
    EXPECT_EQ(best, 65535);
    // Silence ties state 1.
    frame({9, 20, 30, 41}, 0, true);
    EXPECT_EQ(AM_GetStateScore(am, 1), 37);
    EXPECT_EQ(am->cache[0], 37);
    EXPECT_EQ(AM_GetBestState(am, 0, &best), 1);
    EXPECT_EQ(best, 0);

    // The same index without reset keeps everything; a new one keeps the
    // states, rescores silence and marks the filler.
    frame(kX, 5, true);
    AM_GetStateScore(am, 1);
    AM_GetStateScore(am, 2);
    AM_GetStateScore(am, 3);
    frame(kX2, 5, false);
    EXPECT_EQ(am->cache[0], 33);
    EXPECT_EQ(am->cache[3], 439);
    frame(kX2, 6, false);
    EXPECT_EQ(am->cache[0], 453);
    EXPECT_EQ(am->cache[1], 40);
    EXPECT_EQ(am->cache[2], 40);
    EXPECT_EQ(am->cache[3], kAMNotComputed);
}

TEST_F(ScoringTest, FullFilledListMakesTheResetClearEverything)
{
    m_builder.word(kBrevitParamFilledListCapacity, 3);
    AM* am = loadFixture(fixtureSpec(2));
    ASSERT_NE(am, nullptr);
    frame(kX);
    for (int32_t s : {1, 2, 4})
        AM_GetStateScore(am, s);
    EXPECT_EQ(AM_GetNumScoredStates(am), 4);
    AM_ResetStateScoreCache(am);
    for (int32_t s = 0; s < 5; ++s)
        EXPECT_EQ(am->cache[s], kAMNotComputed) << s;
}

TEST_F(ScoringTest, FillerEntryIsRaisedOncePerFrameStart)
{
    m_builder.word(kBrevitParamFillerEntry, 5);
    AM* am = loadFixture(fixtureSpec(2));
    ASSERT_NE(am, nullptr);
    frame(kX, 0, true);
    EXPECT_EQ(am->cache[3], 444);
    frame(kX, 0, false);
    EXPECT_EQ(am->cache[3], 449);
}

TEST_F(ScoringTest, SilenceFrameAndNonSpeechScore)
{
    AM* am = loadFixture(fixtureSpec(2));
    ASSERT_NE(am, nullptr);
    int32_t fillerLower = -1;
    frame(kX);
    word(kBrevitParamSpeechSilenceMargin) = 406;
    EXPECT_EQ(AM_IsSilenceFrame(am), 0);
    word(kBrevitParamSpeechSilenceMargin) = 405;
    EXPECT_EQ(AM_IsSilenceFrame(am), 1);
    EXPECT_EQ(AM_GetNonSpeechScore(am, &fillerLower), 33);
    EXPECT_EQ(fillerLower, 0);
    frame(kX2);
    EXPECT_EQ(AM_GetNonSpeechScore(am, &fillerLower), 24);
    EXPECT_EQ(fillerLower, 1);
    word(kBrevitParamBestCachedFiller) = 1;
    EXPECT_EQ(AM_GetNonSpeechScore(am, &fillerLower), 24);
    EXPECT_EQ(fillerLower, 0);

    AcousticModelSpec noFiller = fixtureSpec(2);
    noFiller.hasFiller = false;
    am = loadFixture(noFiller);
    ASSERT_NE(am, nullptr);
    frame(kX);
    EXPECT_EQ(AM_IsSilenceFrame(am), 0);
    EXPECT_EQ(AM_GetFillerScore(am), 16383);
}

TEST_F(ScoringTest, SilenceUsesTheFillerThroughTheGarbageScore)
{
    AcousticModelSpec spec = fixtureSpec(2);
    spec.silenceUsesFiller = true;
    AM* am = loadFixture(spec);
    ASSERT_NE(am, nullptr);
    frame(kX2);
    EXPECT_EQ(am->cache[0], 24);
    ASSERT_EQ(am->filledCount, 3);
    EXPECT_EQ(am->filledList[0], 0);
    EXPECT_EQ(am->filledList[1], 3);
    EXPECT_EQ(am->filledList[2], 0);
    EXPECT_EQ(AM_GetNumScoredStates(am), 3);
    int32_t fillerLower = -1;
    EXPECT_EQ(AM_GetNonSpeechScore(am, &fillerLower), 24);
    EXPECT_EQ(fillerLower, 0);
}

TEST_F(ScoringTest, GarbageScoreByMethod)
{
    struct Case {
        const char* name;
        ParamBlockBuilder params;
        bool block;
        int16_t offset;
        std::vector<uint8_t> x;
        std::vector<int32_t> scoreFirst;
        int32_t garbage;
    };
    const auto base = [] { return ParamBlockBuilder().word(kBrevitParamFilledListCapacity, 8); };
    const Case cases[] = {
        {"no block", base(), false, 0, kX, {}, 439},
        {"no method", base(), true, 0, kX, {}, 439},
        {"average", base().word(kBrevitParamGarbageAverage, 1).real(kBrevitParamGarbageScale, 1.0),
         true, 0, kX, {}, 3310},
        {"average, half", base().word(kBrevitParamGarbageAverage, 1).real(kBrevitParamGarbageScale, 0.5),
         true, 0, kX, {}, 1655},
        {"average of the scored",
         base().word(kBrevitParamGarbageAverage, 1).real(kBrevitParamGarbageScale, 1.0)
             .word(kBrevitParamGarbageNoBestCached, 1),
         true, 0, kX, {1, 2}, 37},
        {"percentile 50",
         base().word(kBrevitParamGarbageByPercentile, 1).word(kBrevitParamGarbagePercentile, 50),
         true, 0, kX, {}, 40},
        {"percentile 80",
         base().word(kBrevitParamGarbageByPercentile, 1).word(kBrevitParamGarbagePercentile, 80),
         true, 0, kX, {}, 16384},
        {"percentile with offset",
         base().word(kBrevitParamGarbageByPercentile, 1).word(kBrevitParamGarbagePercentile, 50),
         true, -5, kX, {}, 35},
        {"offset below zero",
         base().word(kBrevitParamGarbageByPercentile, 1).word(kBrevitParamGarbagePercentile, 50),
         true, -50, kX, {}, 0},
        {"percentile of the scored",
         base().word(kBrevitParamGarbageByPercentile, 1).word(kBrevitParamGarbagePercentile, 50)
             .word(kBrevitParamGarbageNoBestCached, 1),
         true, 0, kX2, {1, 2, 3}, 268},
        {"percentile of the scored, 100",
         base().word(kBrevitParamGarbageByPercentile, 1).word(kBrevitParamGarbagePercentile, 100)
             .word(kBrevitParamGarbageNoBestCached, 1),
         true, 0, kX2, {1, 2, 3}, 16384},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_builder = c.params;
        AcousticModelSpec spec = fixtureSpec(2);
        spec.garbageOffset = c.offset;
        AM* am = loadFixture(spec, c.block);
        ASSERT_NE(am, nullptr);
        frame(c.x);
        for (int32_t s : c.scoreFirst)
            AM_GetStateScore(am, s);
        EXPECT_EQ(AM_GetFrameGarbageScore(am), c.garbage);
        EXPECT_EQ(am->garbageScore, c.garbage);
    }
}

TEST_F(ScoringTest, SilenceBiasFollowsTheFrameValue)
{
    struct Case {
        uint32_t limit;
        int16_t value;
        bool block;
        int32_t bias;
    };
    const Case cases[] = {
        {500, 100, true, -31}, {500, -100, true, 31}, {500, 0, true, 0},
        {0, 100, true, -1},    {0, -100, true, 1},    {static_cast<uint32_t>(-10), 100, true, 0},
        {500, 100, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.limit << " " << c.value << " " << c.block);
        m_builder = ParamBlockBuilder()
                        .word(kBrevitParamFilledListCapacity, 8)
                        .word(kBrevitParamBiasFactor, 1000)
                        .word(kBrevitParamScoreLimit, c.limit);
        AM* am = loadFixture(fixtureSpec(2), c.block);
        ASSERT_NE(am, nullptr);
        frame(kX, 0, true, c.value);
        AM_GetBestCachedScore(am);
        EXPECT_EQ(AM_GetSilenceScoreBias(am), c.bias);
    }
}

TEST_F(ScoringTest, FramePreparationPacksWordsAndSquares)
{
    AcousticModelSpec spec;
    spec.storage = AcousticStorage::HareTurtle;
    spec.byteWeights = true;
    AM* am = loadFixture(spec);
    ASSERT_NE(am, nullptr);
    std::vector<uint8_t> x(36);
    for (size_t i = 0; i < x.size(); ++i)
        x[i] = static_cast<uint8_t>(i + 1);
    AM_PrepareFrame(am, x.data(), 1);
    EXPECT_EQ(am->ipWork[0], 0x02010403u);
    EXPECT_EQ(am->ipWork[1], 0x06050807u);
    EXPECT_EQ(am->ipWork[2], 0x0A090C0Bu);
    EXPECT_EQ(am->sumSquaresHead, 204u);
    EXPECT_EQ(am->sumSquaresTail, 16002u);
    EXPECT_EQ(am->sumSquares, 16206u);
    const uint32_t squares[] = {0x00010009u, 0x00040010u, 0x00190031u, 0x00240040u};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(am->htPackedSquares[i], squares[i]) << i;

    AcousticModelSpec fourBit;
    fourBit.storage = AcousticStorage::InnerProduct;
    fourBit.covType = 5;
    fourBit.fourBitMeans = true;
    fourBit.dim = 24;
    am = loadFixture(fourBit);
    ASSERT_NE(am, nullptr);
    std::vector<uint8_t> nibbles(24);
    for (size_t i = 0; i < nibbles.size(); ++i)
        nibbles[i] = static_cast<uint8_t>((i + 1) % 16);
    AM_PrepareFrame(am, nibbles.data(), 1);
    EXPECT_EQ(am->ipWork[0], 0x43218765u);
    EXPECT_EQ(am->ipWork[1], 0xCBA90FEDu);

    // Twelve dimensions still pack six words from zeroed scratch.
    AcousticModelSpec small;
    small.storage = AcousticStorage::InnerProduct;
    small.covType = 5;
    small.dim = 12;
    am = loadFixture(small);
    ASSERT_NE(am, nullptr);
    AM_PrepareFrame(am, x.data(), 1);
    EXPECT_EQ(am->ipWork[2], 0x0A090C0Bu);
    EXPECT_EQ(am->ipWork[5], 0u);
}

TEST_F(ScoringTest, FrameConversionAndNullFrames)
{
    AcousticModelSpec spec = fixtureSpec(2);
    spec.conversion = true;
    spec.conversionShift = 2;
    spec.conversionOffset = 10;
    spec.lowFeature = 0;
    spec.highFeature = 63;
    AM* am = loadFixture(spec);
    ASSERT_NE(am, nullptr);
    const std::vector<uint8_t> x = {200, 255, 30, 0};
    AM_PrepareFrame(am, x.data(), 1);
    EXPECT_EQ(am->featureCopy[0], 40);
    EXPECT_EQ(am->featureCopy[1], 54);
    EXPECT_EQ(am->featureCopy[2], 0);

    spec = fixtureSpec(2);
    spec.lowFeature = 7;
    spec.minConverted = 0;
    spec.maxConverted = 200;
    am = loadFixture(spec);
    ASSERT_NE(am, nullptr);
    AM_PrepareFrame(am, nullptr, 1);
    for (int d = 0; d < 4; ++d)
        EXPECT_EQ(am->featureCopy[d], 7);
    const float reals[] = {2.5f, -2.5f, 199.5f, std::numeric_limits<float>::quiet_NaN()};
    uint8_t out[4] = {};
    AM_ConvertFloatFeature(am, reals, out, 4);
    EXPECT_EQ(out[0], 3);
    EXPECT_EQ(out[1], 0);
    EXPECT_EQ(out[2], 200);
    EXPECT_EQ(out[3], 0);
    const int32_t ints[] = {-5, 100, 300, 200};
    AM_ConvertIntFeature(am, ints, out, 4);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[2], 200);
    uint8_t clamp[4] = {0, 201, 255, 9};
    AM_ClampFeature(am, clamp);
    EXPECT_EQ(clamp[1], 200);
    EXPECT_EQ(clamp[2], 200);
    const double doubles[] = {1.4, 6.6, 300.0, -3.0};
    AM_ConvertDoubleFeatureDim(am, doubles, out);
    EXPECT_EQ(out[0], 7);   // below the low feature byte
    EXPECT_EQ(out[1], 7);
    EXPECT_EQ(out[2], 255);
    EXPECT_EQ(out[3], 7);
}

TEST_F(ScoringTest, ComponentMeansRoundTripThroughEveryStorage)
{
    const struct {
        const char* name;
        AcousticStorage storage;
        int32_t covType;
        bool byteWeights;
    } forms[] = {
        {"bytes", AcousticStorage::Bytes, 4, false},
        {"inner product", AcousticStorage::InnerProduct, 5, false},
        {"Hare/Turtle", AcousticStorage::HareTurtle, 4, true},
    };
    for (const auto& f : forms) {
        SCOPED_TRACE(f.name);
        AcousticModelSpec spec;
        spec.storage = f.storage;
        spec.covType = f.covType;
        spec.byteWeights = f.byteWeights;
        AM* am = loadFixture(spec);
        ASSERT_NE(am, nullptr);
        std::vector<uint8_t> mean(36);
        for (size_t d = 0; d < mean.size(); ++d)
            mean[d] = static_cast<uint8_t>(3 * d + 1);
        AM_StoreComponentMean(am, 3, 1, mean.data());
        const uint8_t* back = AM_GetComponentMean(am, 3, 1);
        EXPECT_EQ(std::vector<uint8_t>(back, back + 36), mean);
    }
    // A zero weight keeps no mean: the low feature byte stands for it.
    AcousticModelSpec spec;
    spec.storage = AcousticStorage::HareTurtle;
    spec.byteWeights = true;
    spec.lowFeature = 5;
    AM* am = loadFixture(spec);
    ASSERT_NE(am, nullptr);
    static_cast<uint8_t*>(am->htWeights.data)[0] = 0;
    EXPECT_EQ(AM_GetComponentMean(am, 0, 0)[0], 5);
}

TEST_F(ScoringTest, WeightRowsAndModelStates)
{
    AcousticModelSpec spec;
    spec.dim = 24;
    spec.storage = AcousticStorage::InnerProduct;
    spec.laplacian = true;
    spec.fourBitMeans = true;
    spec.fourBitWeights = true;
    AM* am = loadFixture(spec);
    ASSERT_NE(am, nullptr);
    const uint8_t row[12] = {0x21, 0x43, 0x65, 0x87};
    uint16_t out[24] = {};
    AM_UnpackWeightRow(am, row, out);
    EXPECT_EQ(std::vector<uint16_t>(out, out + 8), (std::vector<uint16_t>{7, 8, 5, 6, 3, 4, 1, 2}));

    am = loadFixture(AcousticModelSpec{});
    ASSERT_NE(am, nullptr);
    int32_t count = 0;
    const uint16_t* states = AM_GetModelStates(am, 3, &count);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(states[0], 4);
    EXPECT_EQ(states[1], 7);
    AM_GetModelStates(am, 0, &count);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(AM_GetModelStateIds(am, 3), states);
}

TEST_F(ScoringTest, FrameEndsAndRunsWithoutAllocating)
{
    AM* am = loadFixture(fixtureSpec(4));
    ASSERT_NE(am, nullptr);
    uint32_t crc = 1;
    frame(kX, 0);
    AM_EndFrame(am, 0, &crc);
    EXPECT_EQ(crc, 0u);
    EXPECT_EQ(am->cachedScorer, nullptr);
    word(kBrevitParamCrcTracing) = 1;
    frame(kX, 1);
    AM_EndFrame(am, 0, &crc);
    EXPECT_EQ(crc, AM_ComputeCRC(am, 1));
    word(kBrevitParamCrcTracing) = 0;

    const uint64_t calls = m_allocator.calls();
    for (int32_t f = 2; f < 102; ++f) {
        frame(f % 2 ? kX : kX2, f, f % 3 == 0);
        AM_GetBestCachedScore(am);
        AM_GetFrameGarbageScore(am);
        AM_GetSilenceScoreBias(am);
        AM_EndFrame(am, 0, &crc);
    }
    EXPECT_EQ(m_allocator.calls(), calls);

    AM_Reset(am);
    EXPECT_EQ(am->frameIndex, -1);
    EXPECT_EQ(am->secondFrameWord, 65535);
    EXPECT_EQ(am->cache[1], kAMNotComputed);
    AM_ResetFrameState(am);
    EXPECT_EQ(am->secondFrameWord, 0);
}

TEST_F(ScoringTest, ScoringSetsTakeOnlyInstalledPaths)
{
    struct Case {
        int32_t covType;
        bool wantShortlist;
        AMStateKernel cached;
    };
    // Type 4 has no raw distance to choose clusters with: no shortlist path.
    const Case cases[] = {
        {2, true, AM_GetScoreByShlstCompressed},
        {2, false, AM_CalculateScoreCSV},
        {4, true, AM_CalculateScoreCSV},
    };
    for (const Case& c : cases) {
        AcousticModelSpec spec = fixtureSpec(c.covType);
        spec.shortlist = true;
        AM* am = loadFixture(spec);
        ASSERT_NE(am, nullptr);
        AMScoringSet* set = AM_NewScoringSet();
        ASSERT_NE(set, nullptr);
        AM_GetScoringFunctions(am, set, c.wantShortlist, 1);
        EXPECT_EQ(set->useShortlist, c.cached == AM_GetScoreByShlstCompressed);
        EXPECT_EQ(set->useVQ, 0);
        EXPECT_EQ(set->cachedScorer, c.cached);
        EXPECT_EQ(set->directScorer, &AM_CalculateScoreCSV);
        EXPECT_EQ(set->componentScorer, &AM_CalculateComponentScoreCSV);
        AM_SetScoringSet(am, set);
        EXPECT_EQ(am->cachedScorer, c.cached);
        AM_DeleteScoringSet(set);
    }
    AM_DeleteScoringSet(nullptr);
}

} // namespace
