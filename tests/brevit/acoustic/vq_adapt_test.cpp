#include "core/brevit/acoustic/am_scoring.h"
#include "core/brevit/acoustic/am_vq.h"
#include "core/brevit/acoustic/am_vq_adapt.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "tests/brevit/acoustic/acoustic_fixture.h"
#include "tests/support/param_block_builder.h"

#include <vector>

namespace {

// Two streams over three dimensions: stream 0 is dimensions 0-1 with
// codewords 0 (100, 100) and 1 (20, 30); stream 1 is dimension 2 with
// codewords 2 (50), 3 (60) and 4 (190). Two states of two components;
// component c has labels (c % 2, c % 3). Means range over 10..200.
const std::vector<uint8_t> kCodebook = {100, 100, 20, 30, 50, 60, 190};

AcousticModelRecords twoStreams(int32_t countUnit)
{
    AcousticModelSpec s;
    s.tree = AcousticTreeSpec::none();
    s.modelRows = {{0, 0}};
    s.states = 2;
    s.offsets = {0, 2, 4};
    s.dim = 3;
    s.covType = 5;
    s.ceiling = 32767;
    s.lowFeature = 10;
    s.highFeature = 200;
    s.vq = true;
    AcousticVQSpec& v = s.vqSpec;
    v.codebookSize = 2;
    v.elementCount = static_cast<int32_t>(kCodebook.size());
    v.dimensionBounds = {0, 2, 3};
    v.codewordBounds = {0, 2, 5};
    v.codebookOffsets = {0, 4, 7};
    v.codebook = kCodebook;
    v.labels = {0, 0, 1, 1, 0, 2, 1, 0};
    return acousticModelRecords(s).set("14.adaptationValue", countUnit);
}

class VQAdaptTest : public AcousticTest {
protected:
    AM* model(int32_t countUnit = 5)
    {
        AM* am = load(twoStreams(countUnit));
        EXPECT_NE(am, nullptr);
        return am;
    }

    static std::vector<int16_t> counts(const AM* am)
    {
        return {am->vq.accumulators->counts, am->vq.accumulators->counts + 5};
    }
    static std::vector<int16_t> sums(const AM* am)
    {
        return {am->vq.accumulators->sums, am->vq.accumulators->sums + 7};
    }
    static std::vector<uint8_t> adapted(const AM* am) { return {am->vq.adapted, am->vq.adapted + 7}; }
};

TEST_F(VQAdaptTest, CountsStartAtTheClippedPrior)
{
    struct Case {
        int32_t countUnit;
        uint32_t prior;
        int32_t noPrior;
        int16_t start;
    };
    const Case cases[] = {
        {5, 3, 0, 15},
        {5, 3, 1, 0},          // no prior
        {10000, 3, 0, 16383},  // clipped high
        {-10000, 3, 0, -16384},
        {5, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.countUnit);
        AM* am = model(c.countUnit);
        ScopedParamBlock block(ParamBlockBuilder().word(kBrevitParamAdaptPriorWeight, c.prior));
        ASSERT_EQ(AM_VQInitAccumulators(am, 0, c.noPrior), 1);
        EXPECT_EQ(am->vq.priorWeight, c.noPrior ? 0u : c.prior);
        EXPECT_EQ(counts(am), std::vector<int16_t>(5, c.start));
        EXPECT_EQ(sums(am), std::vector<int16_t>(7, 0));
        EXPECT_EQ(adapted(am), kCodebook);
    }
    // Without a parameter block the prior is 0.
    AM* am = model();
    ASSERT_EQ(AM_VQInitAccumulators(am, 0, 0), 1);
    EXPECT_EQ(counts(am), std::vector<int16_t>(5, 0));
}

TEST_F(VQAdaptTest, IncrementTestsAndHalvesInThirtyTwoBits)
{
    struct Case {
        const char* name;
        int16_t count;       // codeword 2's count before
        int16_t sum;         // its sum before
        int16_t weight;
        uint8_t x;           // dimension 2 of the frame (codeword 2 is 50)
        int16_t wantCount;
        int16_t wantSum;
    };
    const Case cases[] = {
        // 16,000 + 100 x 200 = 36,000: past the limit, halved (not wrapped to -29,536).
        {"wide sum", 0, 16000, 100, 250, 50, 18000},
        {"sum at the limit", 10, 16284, 1, 150, 11, 16384},
        {"sum past the limit", 10, 16285, 1, 150, 5, 8192},
        {"count past the limit", 16300, 10, 100, 51, 8200, 55},
        {"negative sum", 0, -16000, 100, 0, 50, -10500},   // -16,000 - 100 x 50
        // One halving leaves 3,276,700: halved until it fits 16 bits.
        {"large weight", 0, 0, 32767, 250, 127, 25599},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AM* am = model();
        ASSERT_EQ(AM_VQInitAccumulators(am, 0, 1), 1);
        VQAccumulators* acc = am->vq.accumulators;
        acc->counts[2] = c.count;
        acc->sums[4] = c.sum;
        // State 0 component 0: labels (0, 0), codewords 0 and 2.
        const uint8_t frame[] = {110, 90, c.x};
        EXPECT_EQ(AM_VQIncrementAccumulator(am, frame, 0, 0, c.weight), 1);
        EXPECT_EQ(acc->counts[2], c.wantCount);
        EXPECT_EQ(acc->sums[4], c.wantSum);
    }
}

TEST_F(VQAdaptTest, IncrementHalvesOnlyTheCodewordPastTheLimit)
{
    AM* am = model();
    ASSERT_EQ(AM_VQInitAccumulators(am, 0, 1), 1);
    VQAccumulators* acc = am->vq.accumulators;
    acc->counts[1] = 16380;
    acc->sums[2] = 1001;
    acc->sums[3] = -1001;
    // State 1 component 1: labels (1, 0), codewords 1 (20, 30) and 2 (50).
    const uint8_t frame[] = {30, 20, 60};
    EXPECT_EQ(AM_VQIncrementAccumulator(am, frame, 1, 1, 10), 1);
    // Codeword 1: count 16,390 and sums 1,101, -1,101 halved together.
    EXPECT_EQ(counts(am), (std::vector<int16_t>{0, 8195, 10, 0, 0}));
    EXPECT_EQ(sums(am), (std::vector<int16_t>{0, 0, 550, -550, 100, 0, 0}));
    // Components and states the model lacks, and a missing frame, add nothing.
    EXPECT_EQ(AM_VQIncrementAccumulator(am, frame, 1, 2, 10), 0);
    EXPECT_EQ(AM_VQIncrementAccumulator(am, frame, 2, 0, 10), 0);
    EXPECT_EQ(AM_VQIncrementAccumulator(am, frame, -1, 0, 10), 0);
    EXPECT_EQ(AM_VQIncrementAccumulator(am, nullptr, 0, 0, 10), 0);
    EXPECT_EQ(counts(am), (std::vector<int16_t>{0, 8195, 10, 0, 0}));
}

TEST_F(VQAdaptTest, AdaptationMovesCodewordsByTheirMeanDeviation)
{
    AM* am = model();
    ASSERT_EQ(AM_VQInitAccumulators(am, 0, 1), 1);
    VQAccumulators* acc = am->vq.accumulators;
    const int16_t count[] = {2, 0, 1, -3, 1};
    const int16_t sum[] = {7, -7, 55, 55, -100, 40, 100};
    std::copy(count, count + 5, acc->counts);
    std::copy(sum, sum + 7, acc->sums);
    EXPECT_EQ(AM_VQAdaptModelsFromAccumulators(am), 1);
    // 100 + 3.5 and 100 - 3.5 truncate; codewords 1 (count 0) and 3
    // (count -3) keep their bytes; 50 - 100 and 190 + 100 clamp to 10 and 200.
    EXPECT_EQ(adapted(am), (std::vector<uint8_t>{103, 96, 20, 30, 10, 60, 200}));
    // The loaded codewords stay; the copy is what is scored now.
    EXPECT_EQ(std::vector<uint8_t>(static_cast<const uint8_t*>(am->vq.codewords.data),
                                   static_cast<const uint8_t*>(am->vq.codewords.data) + 7),
              kCodebook);
    const uint8_t frame[] = {103, 96, 200};
    AM_PrepareFrame(am, frame, 0);
    EXPECT_EQ(AM_VQPrecomputeScoresForClusters(am), 2);
    EXPECT_EQ(am->vqScores[0], 0);
    EXPECT_EQ(am->vqScores[4], 0);
    // A new accumulator starts from the adapted codewords.
    ASSERT_EQ(AM_VQInitAccumulators(am, 0, 1), 1);
    EXPECT_EQ(adapted(am), (std::vector<uint8_t>{103, 96, 20, 30, 10, 60, 200}));
}

TEST_F(VQAdaptTest, WithoutAnAccumulatorNothingChanges)
{
    AM* am = model();
    const uint8_t frame[] = {1, 2, 3};
    EXPECT_EQ(AM_VQIncrementAccumulator(am, frame, 0, 0, 10), 0);
    EXPECT_EQ(AM_VQAdaptModelsFromAccumulators(am), 1);
    EXPECT_EQ(am->vq.adapted, nullptr);
    AM_VQFreeAccumulators(am);
    // Released accumulators leave the codewords alone too.
    ASSERT_EQ(AM_VQInitAccumulators(am, 0, 1), 1);
    ASSERT_EQ(AM_VQIncrementAccumulator(am, frame, 0, 0, 10), 1);
    AM_VQFreeAccumulators(am);
    EXPECT_EQ(am->vq.accumulators, nullptr);
    EXPECT_EQ(AM_VQAdaptModelsFromAccumulators(am), 1);
    EXPECT_EQ(adapted(am), kCodebook);
    // A model without VQ gets no accumulator.
    AcousticModelSpec plain;
    AM* other = load(plain);
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(AM_VQInitAccumulators(other, 0, 0), 0);
    EXPECT_EQ(other->vq.accumulators, nullptr);
}

TEST_F(VQAdaptTest, InitTwiceReleasesTheFirst)
{
    AM* am = model();
    ASSERT_EQ(AM_VQInitAccumulators(am, 0, 1), 1);
    const size_t blocks = m_allocator.liveBlocks();
    am->vq.accumulators->sums[3] = 99;
    ASSERT_EQ(AM_VQInitAccumulators(am, 0, 1), 1);
    EXPECT_EQ(m_allocator.liveBlocks(), blocks);
    EXPECT_EQ(sums(am), std::vector<int16_t>(7, 0));
}

TEST_F(VQAdaptTest, FailedAllocationsLeaveNothingBehind)
{
    // Record, sums, counts, and the codebook copy on the first set-up only.
    for (const bool copyMade : {false, true}) {
        SCOPED_TRACE(copyMade);
        AM* am = model();
        if (copyMade) {
            ASSERT_EQ(AM_VQInitAccumulators(am, 0, 1), 1);
            AM_VQFreeAccumulators(am);
        }
        const size_t blocks = m_allocator.liveBlocks();
        const uint8_t* copy = am->vq.adapted;
        int32_t n = 1;
        for (;; ++n) {
            m_allocator.failAt(m_allocator.calls() + static_cast<uint64_t>(n));
            const int32_t made = AM_VQInitAccumulators(am, 0, 1);
            m_allocator.failAt(0);
            if (made == 1)
                break;
            EXPECT_EQ(am->vq.accumulators, nullptr) << n;
            EXPECT_EQ(am->vq.adapted, copy) << n;
            EXPECT_EQ(m_allocator.liveBlocks(), blocks) << n;
        }
        EXPECT_EQ(n, copyMade ? 4 : 5);
    }
}

TEST_F(VQAdaptTest, FullChoiceInstallsTheAccumulatorHooks)
{
    AM* am = model();
    EXPECT_EQ(am->vqInitHook, &AM_VQInitAccumulators);
    EXPECT_EQ(am->vqIncrementHook, &AM_VQIncrementAccumulator);
    EXPECT_EQ(am->vqAdaptHook, &AM_VQAdaptModelsFromAccumulators);
    // The restricted choice (inner-product means, scalar covariance, no VQ)
    // clears them.
    AcousticModelSpec fast;
    fast.dim = 24;
    fast.covType = 5;
    fast.storage = AcousticStorage::InnerProduct;
    AM* other = load(fast);
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(other->vqInitHook, nullptr);
    EXPECT_EQ(other->vqIncrementHook, nullptr);
    EXPECT_EQ(other->vqAdaptHook, nullptr);
}

} // namespace
