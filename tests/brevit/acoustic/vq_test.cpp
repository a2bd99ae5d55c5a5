#include "core/brevit/acoustic/am_scoring.h"
#include "core/brevit/acoustic/am_vq.h"
#include "tests/brevit/acoustic/acoustic_fixture.h"

#include <random>
#include <vector>

namespace {

// Six streams of four dimensions, 256 codewords each, scalar covariance.
AcousticModelSpec vqSpec(std::mt19937& random, bool innerProduct, bool clustered, uint32_t maxValue)
{
    AcousticModelSpec s;
    s.tree = AcousticTreeSpec::none();
    s.modelRows = {{0, 0}};
    s.states = 40;
    s.offsets = {0};
    for (int32_t i = 0; i < s.states; ++i)
        s.offsets.push_back(s.offsets.back() + std::uniform_int_distribution<uint32_t>(1, 4)(random));
    s.dim = 24;
    s.covType = 5;
    s.ceiling = 32767;
    s.vq = true;
    AcousticVQSpec& v = s.vqSpec;
    v.codebookSize = 6;
    v.elementCount = 6 * 256 * 4;
    v.innerProduct = innerProduct;
    v.clustered = clustered;
    v.norms = 0;   // computed at load from the packed codewords
    v.multiplier = 1;
    for (int32_t k = 0; k <= 6; ++k) {
        v.dimensionBounds.push_back(4 * k);
        v.codewordBounds.push_back(256 * k);
        v.codebookOffsets.push_back(1024 * k);
    }
    for (int32_t i = 0; i < v.elementCount; ++i)
        v.codebook.push_back(static_cast<uint8_t>(std::uniform_int_distribution<uint32_t>(0, maxValue)(random)));
    for (uint32_t i = 0; i < 6 * s.offsets.back(); ++i)
        v.labels.push_back(static_cast<uint8_t>(random() & 0xFF));
    return s;
}

using VQTest = AcousticTest;

TEST_F(VQTest, PackedPrecomputeEqualsTheScalarOneWithinItsRange)
{
    std::mt19937 random(21);
    AM* am = load(vqSpec(random, true, true, 127));
    ASSERT_NE(am, nullptr);
    EXPECT_EQ(am->vqPrecompute, &AM_VQPrecomputeScoresForClustersInnerProduct);
    EXPECT_EQ(am->vqStateKernel, &AM_VQGetScoreOptimized);
    EXPECT_EQ(am->vqComponentKernel, &AM_VQGetComponentScore);
    for (int f = 0; f < 50; ++f) {
        std::vector<uint8_t> x(24);
        for (auto& b : x)
            b = static_cast<uint8_t>(std::uniform_int_distribution<uint32_t>(0, 127)(random));
        AM_PrepareFrame(am, x.data(), 0);
        AM_VQPrecomputeScoresForClustersInnerProduct(am);
        const std::vector<uint16_t> packed(am->vqScores, am->vqScores + 1536);
        AM_VQPrecomputeScoresForClustersScalarCov(am);
        ASSERT_EQ(std::vector<uint16_t>(am->vqScores, am->vqScores + 1536), packed) << "frame " << f;
    }
}

TEST_F(VQTest, OptimizedAndGeneralScoresAreTheBestComponent)
{
    std::mt19937 random(22);
    for (int model = 0; model < 5; ++model) {
        AM* am = load(vqSpec(random, false, true, 255));
        ASSERT_NE(am, nullptr);
        EXPECT_EQ(am->vqPrecompute, &AM_VQPrecomputeScoresForClustersScalarCov);
        std::vector<uint8_t> x(24);
        for (auto& b : x)
            b = static_cast<uint8_t>(random() & 0xFF);
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

} // namespace
