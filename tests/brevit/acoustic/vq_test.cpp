#include "core/brevit/acoustic/am_scoring.h"
#include "core/brevit/acoustic/am_vq.h"
#include "core/brevit/acoustic/am_vq_adapt.h"
#include "tests/brevit/acoustic/acoustic_fixture.h"

#include <random>
#include <vector>

namespace {

// Six streams of four dimensions, 256 codewords each, scalar covariance.
AcousticModelSpec vqSpec(std::mt19937& random, bool innerProduct, bool clustered, uint32_t maxValue,
                          int32_t states = 40)
{
    AcousticModelSpec s;
    s.tree = AcousticTreeSpec::none();
    s.modelRows = {{0, 0}};
    s.states = states;
    s.offsets = {0};
    for (int32_t i = 0; i < s.states; ++i)
        s.offsets.push_back(s.offsets.back() + std::uniform_int_distribution<uint32_t>(1, 4)(random));
    s.dim = 24;
    s.covType = 5;
    s.ceiling = 32767;
    s.vq = true;
    s.vqSpec = AcousticVQSpec::sixStreamsOfFour(innerProduct, clustered);
    AcousticVQSpec& v = s.vqSpec;
    for (int32_t i = 0; i < v.elementCount; ++i)
        v.codebook.push_back(static_cast<uint8_t>(std::uniform_int_distribution<uint32_t>(0, maxValue)(random)));
    for (uint32_t i = 0; i < 6 * s.offsets.back(); ++i)
        v.labels.push_back(static_cast<uint8_t>(random() & 0xFF));
    return s;
}

using VQTest = AcousticTest;

std::vector<uint8_t> randomFrame(std::mt19937& random, uint32_t maxValue)
{
    std::vector<uint8_t> x(24);
    for (auto& b : x)
        b = static_cast<uint8_t>(std::uniform_int_distribution<uint32_t>(0, maxValue)(random));
    return x;
}

void expectPackedEqualsScalar(AM* am, std::mt19937& random, int frames)
{
    for (int f = 0; f < frames; ++f) {
        const std::vector<uint8_t> x = randomFrame(random, 127);
        AM_PrepareFrame(am, x.data(), 0);
        AM_VQPrecomputeScoresForClustersInnerProduct(am);
        const std::vector<uint16_t> packed(am->vqScores, am->vqScores + 1536);
        AM_VQPrecomputeScoresForClustersScalarCov(am);
        ASSERT_EQ(std::vector<uint16_t>(am->vqScores, am->vqScores + 1536), packed) << "frame " << f;
    }
}

TEST_F(VQTest, PackedPrecomputeEqualsTheScalarOneWithinItsRange)
{
    std::mt19937 random(21);
    AM* am = load(vqSpec(random, true, true, 127));
    ASSERT_NE(am, nullptr);
    EXPECT_EQ(am->vqPrecompute, &AM_VQPrecomputeScoresForClustersInnerProduct);
    EXPECT_EQ(am->vqStateKernel, &AM_VQGetScoreOptimized);
    EXPECT_EQ(am->vqComponentKernel, &AM_VQGetComponentScore);
    expectPackedEqualsScalar(am, random, 50);
}

TEST_F(VQTest, AdaptedPackedCodewordsScoreWithTheirOwnNorms)
{
    std::mt19937 random(26);
    AcousticModelSpec spec = vqSpec(random, true, true, 127);
    spec.highFeature = 127;
    AM* am = load(spec);
    ASSERT_NE(am, nullptr);
    ASSERT_EQ(AM_VQInitAccumulators(am, 0, 1), 1);
    for (int f = 0; f < 200; ++f) {
        const std::vector<uint8_t> x = randomFrame(random, 255);
        const int32_t state = static_cast<int32_t>(random() % 40);
        const int32_t component = static_cast<int32_t>(random() % static_cast<uint32_t>(AM_GetNumComponents(am, state)));
        ASSERT_EQ(AM_VQIncrementAccumulator(am, x.data(), state, component, 300), 1);
    }
    ASSERT_EQ(AM_VQAdaptModelsFromAccumulators(am), 1);
    ASSERT_NE(std::vector<uint8_t>(am->vq.adapted, am->vq.adapted + 6144),
              std::vector<uint8_t>(static_cast<const uint8_t*>(am->vq.codewords.data),
                                   static_cast<const uint8_t*>(am->vq.codewords.data) + 6144));
    expectPackedEqualsScalar(am, random, 20);
}

TEST_F(VQTest, OptimizedAndGeneralScoresAreTheBestComponent)
{
    std::mt19937 random(22);
    for (int model = 0; model < 5; ++model) {
        AM* am = load(vqSpec(random, false, true, 255, 400));
        ASSERT_NE(am, nullptr);
        EXPECT_EQ(am->vqPrecompute, &AM_VQPrecomputeScoresForClustersScalarCov);
        const std::vector<uint8_t> x = randomFrame(random, 255);
        AM_PrepareFrame(am, x.data(), 0);
        am->vqPrecompute(am);
        for (int32_t s = 0; s < am->numStates; ++s) {
            int32_t best = 32767;
            for (int32_t k = 0; k < AM_GetNumComponents(am, s); ++k)
                best = std::min(best, AM_VQGetComponentScore(am, s, k));
            ASSERT_EQ(AM_VQGetScore(am, s), best) << s;
            ASSERT_EQ(AM_VQGetScoreOptimized(am, s), best) << s;
        }
    }
}

TEST_F(VQTest, CodewordScoresSaturate)
{
    std::mt19937 random(23);
    AcousticModelSpec spec = vqSpec(random, false, false, 0);
    spec.vqSpec.codebook.assign(spec.vqSpec.codebook.size(), 0);
    AM* am = load(spec);
    ASSERT_NE(am, nullptr);
    EXPECT_EQ(am->vqStateKernel, &AM_VQGetScore);
    const std::vector<uint8_t> x(24, 255);
    AM_PrepareFrame(am, x.data(), 0);
    AM_VQPrecomputeScoresForClustersScalarCov(am);
    EXPECT_EQ(am->vqScores[0], 65535);
    EXPECT_EQ(am->vqScores[1535], 65535);
    // Scores pass the frame's scoring set only when asked for.
    AMScoringSet* set = AM_NewScoringSet();
    AM_GetScoringFunctions(am, set, 0, 1);
    EXPECT_EQ(set->useVQ, 1);
    EXPECT_EQ(set->cachedScorer, &AM_VQGetScore);
    AM_DeleteScoringSet(set);
}

TEST_F(VQTest, ScalingCapsBeforeNarrowing)
{
    std::mt19937 random(24);
    AM* am = load(vqSpec(random, false, false, 255));
    ASSERT_NE(am, nullptr);
    am->vq.multiplier = 1;
    am->vq.shift = 3;
    am->scoreCeiling = 16000;
    EXPECT_EQ(AM_VQScale(am, 560000), 16000);   // not 70,000 narrowed
    EXPECT_EQ(AM_VQScale(am, 800), 100);
    am->vq.offset = -4;
    EXPECT_EQ(AM_VQScale(am, 800), 99);
    am->vq.shift = 40;
    EXPECT_EQ(AM_VQScale(am, 800), 0);
}

TEST_F(VQTest, TablesOutsideTheirBoundsAreRefused)
{
    std::mt19937 random(25);
    AcousticModelSpec spec = vqSpec(random, false, false, 255);
    spec.vqSpec.dimensionBounds.back() = 25;
    EXPECT_EQ(load(spec), nullptr);
    spec = vqSpec(random, false, false, 255);
    spec.vqSpec.codebookOffsets[5] = 6000;
    EXPECT_EQ(load(spec), nullptr);
    spec = vqSpec(random, false, false, 255);
    spec.vqSpec.codewordBounds = {0, 256, 512, 768, 1024, 1280, 1530};
    EXPECT_EQ(load(spec), nullptr);   // labels past the last stream's codewords
}


// The packed forms address stream k at codewords 256k (and, for packed
// codewords, at word 256k of the codebook and features 4k): a model that
// fits its tables another way must not reach them.
TEST_F(VQTest, PackedFormsRefuseOtherLayouts)
{
    struct Case {
        const char* name;
        bool innerProduct;
        std::vector<int32_t> dimensionBounds, codewordBounds, codebookOffsets;
        int32_t codebookBytes;
    };
    const Case cases[] = {
        {"streams sharing one block of packed codewords", true, {0, 4, 8, 12, 16, 20, 24},
         {0, 256, 512, 768, 1024, 1280, 1536}, {0, 0, 0, 0, 0, 0, 0}, 1024},
        {"codewords numbered from 256", false, {0, 4, 8, 12, 16, 20, 24},
         {256, 512, 768, 1024, 1280, 1536, 1792}, {0, 1024, 2048, 3072, 4096, 5120, 6144}, 6144},
        {"packed streams from feature 2", true, {2, 6, 10, 14, 18, 22, 26},
         {0, 256, 512, 768, 1024, 1280, 1536}, {0, 1024, 2048, 3072, 4096, 5120, 6144}, 6144},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::mt19937 random(27);
        AcousticModelSpec spec = vqSpec(random, c.innerProduct, true, 127);
        spec.dim = 26;
        spec.vqSpec.dimensionBounds = c.dimensionBounds;
        spec.vqSpec.codewordBounds = c.codewordBounds;
        spec.vqSpec.codebookOffsets = c.codebookOffsets;
        spec.vqSpec.elementCount = c.codebookBytes;
        spec.vqSpec.codebook.resize(static_cast<size_t>(c.codebookBytes));
        EXPECT_EQ(load(spec), nullptr);
    }
}

// Weighted codeword scores saturate however far the sum runs: a sum just
// past 2^32 must not come back as a near codeword.
TEST_F(VQTest, WeightedCodewordScoresSaturateAtAnyWidth)
{
    AcousticModelSpec spec;
    spec.tree = AcousticTreeSpec::none();
    spec.modelRows = {{0, 0}};
    spec.states = 1;
    spec.offsets = {0, 1};
    spec.dim = 2;
    spec.covType = 2;
    spec.vq = true;
    AcousticVQSpec& v = spec.vqSpec;
    v.codebookSize = 1;
    v.elementCount = 2;
    v.dimensionBounds = {0, 2};
    v.codewordBounds = {0, 1};
    v.codebookOffsets = {0, 2};
    v.codebook = {0, 0};
    v.labels = {0};
    AM* am = load(spec);
    ASSERT_NE(am, nullptr);
    ASSERT_EQ(am->vqPrecompute, &AM_VQPrecomputeScoresForClusters);
    auto* w = static_cast<uint16_t*>(am->invVar16.data);
    w[0] = 65535;
    w[1] = 63429;
    // 65,535 x 255^2 + 63,429 x 23^2 = 2^32 + 20.
    const std::vector<uint8_t> x = {255, 23};
    AM_PrepareFrame(am, x.data(), 0);
    AM_VQPrecomputeScoresForClusters(am);
    EXPECT_EQ(am->vqScores[0], 65535);
}

} // namespace
