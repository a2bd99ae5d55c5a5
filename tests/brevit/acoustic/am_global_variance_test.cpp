#include "core/brevit/acoustic/am_adapt.h"

#include "core/brevit/runtime/brevit_param_words.h"
#include "tests/brevit/acoustic/adaptation_fixture.h"
#include "tests/support/param_block_builder.h"

namespace {

using GlobalVarianceTest = AcousticTest;

// One component per state, every inverse variance 64, scale 4096, largest
// 1000; frames 4 away from the mean in every dimension (alternating sign)
// weigh 16 each. Eight give F = 128 and a variance of 16: 4096 / 16 = 256.
TEST_F(GlobalVarianceTest, InverseVariancesFollowTheFrames)
{
    const struct {
        const char* name;
        int32_t covType, frames, priorWeight, keepMasked, shared, twoPass;
        uint16_t want, masked;
    } cases[] = {
        {"too few frames", 2, 3, 0, 0, 0, 0, 64, 64},
        {"shared vector", 2, 8, 0, 0, 0, 0, 256, 256},
        {"with a prior", 2, 8, 4, 0, 0, 0, 128, 128},
        {"masked dimensions keep", 2, 8, 0, 1, 0, 0, 256, 64},
        {"per component", 4, 8, 0, 0, 0, 0, 256, 256},
        {"type 4 as one vector", 4, 8, 0, 0, 1, 0, 256, 256},
        // Normalised by the ratio of new to old sums (4): back to 64.
        {"two passes", 2, 8, 0, 0, 0, 1, 64, 64},
        // The ratio sees the prior once: 128 / (1536 / 768) = 64.
        {"two passes with a prior", 2, 8, 4, 0, 0, 1, 64, 64},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedParamBlock params(ParamBlockBuilder()
                                    .word(kBrevitParamAdaptWeightScale, static_cast<uint32_t>(c.priorWeight))
                                    .word(kBrevitParamAdaptKeepMasked, static_cast<uint32_t>(c.keepMasked))
                                    .word(kBrevitParamVarianceShared, static_cast<uint32_t>(c.shared))
                                    .word(kBrevitParamVarianceTwoPass, static_cast<uint32_t>(c.twoPass))
                                    .real(kBrevitParamVarianceSumScale, 1.0));
        AcousticModelSpec spec = adaptableSpec(21, 1);
        spec.covType = c.covType;
        spec.varianceScale = 4096;
        spec.largestInvVariance = 1000;
        if (c.covType == 2) {
            spec.weights.assign(12, 64);
            spec.constants.assign(1, 0);
        }
        spec.auxLength = 12;
        AcousticModelRecords records = acousticModelRecords(spec);
        records.set("18.featureMask", 1);
        std::vector<int32_t> mask(12, 1);
        mask[3] = mask[7] = 0;
        records.setArray("28.aux", mask);
        AM* am = load(records);
        ASSERT_NE(am, nullptr);
        std::vector<StateFrame> frames;
        for (int32_t i = 0; i < c.frames; ++i) {
            Bytes f(AM_GetComponentMean(am, 3, 0), AM_GetComponentMean(am, 3, 0) + 12);
            for (int32_t d = 0; d < 12; ++d)
                f[static_cast<size_t>(d)] = static_cast<uint8_t>(f[static_cast<size_t>(d)] + ((d + i) % 2 ? 4 : -4));
            frames.push_back({3, f});
        }
        ASSERT_EQ(AM_InitAdaptation(am, 10, 0), 1);
        Scorer scorer(am);
        ASSERT_TRUE(scorer.accumulate(frames));
        const auto check = [&] {
            const auto* table = static_cast<const uint16_t*>(am->invVar16.data);
            const uint32_t rows = am->covType == 2 ? 1 : am->invVar16.count / 12;
            for (uint32_t r = 0; r < rows; ++r)
                for (int32_t d = 0; d < 12; ++d)
                    EXPECT_EQ(table[r * 12 + static_cast<uint32_t>(d)], d == 3 || d == 7 ? c.masked : c.want)
                        << "row " << r << " dimension " << d;
        };
        ASSERT_EQ(AM_FinishAdaptation(am), 1);
        check();
        EXPECT_EQ(am->covType, c.shared ? 2 : c.covType);
        // A second finish starts from the loaded values again.
        ASSERT_EQ(AM_FinishAdaptation(am), 1);
        check();
        AM_FreeAdaptationBuffers(am);
    }
}

// The shared update: candidates from the sums, rounded, at least 1, at most
// the largest inverse variance; the ratio of new to old sums.
TEST_F(GlobalVarianceTest, UpdateWeightsRoundsAndBounds)
{
    ScopedParamBlock params{ParamBlockBuilder()};
    AcousticModelSpec spec = adaptableSpec(22, 1);
    spec.varianceScale = 100;
    spec.largestInvVariance = 1000;
    AM* am = load(spec);
    ASSERT_NE(am, nullptr);
    std::vector<int64_t> sums = {100, 1000000, 1, 250};
    const std::vector<uint16_t> old = {10, 20, 30, 40};
    std::vector<uint16_t> out(4), saved(4);
    const double ratio = AM_GlobalVarianceUpdateWeights(am, 1, 4, 10.0, sums.data(), old.data(), out.data(),
                                                        saved.data(), 1.0);
    // 10 / 100 x 100 = 10; 0.001 rounds to 0 and becomes 1; 1000 capped;
    // 4 exactly.
    EXPECT_EQ(out, (std::vector<uint16_t>{10, 1, 1000, 4}));
    EXPECT_EQ(saved, old);
    EXPECT_DOUBLE_EQ(ratio, 1015.0 / 100.0);
    EXPECT_DOUBLE_EQ(AM_GlobalVarianceUpdateWeights(am, 0, 0, 10.0, sums.data(), old.data(), nullptr, nullptr, 1.0),
                     1.0);
}

} // namespace
