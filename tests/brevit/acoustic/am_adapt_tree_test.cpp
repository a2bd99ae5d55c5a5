#include "core/brevit/acoustic/am_adapt.h"

#include "core/brevit/runtime/brevit_param_words.h"
#include "tests/brevit/acoustic/adaptation_fixture.h"
#include "tests/support/param_block_builder.h"

namespace {

using AdaptTreeTest = AcousticTest;

// Tree A: phone 1's first position splits into states 1 and 2, its second
// is the single leaf 3. Fifteen frames 8 above each component of states 1
// and 3; node and leaf weights of 20 frames, a prior of 8.
TEST_F(AdaptTreeTest, SmoothingPassesDeviationsToRelatives)
{
    const struct {
        const char* name;
        bool smoothing;
        int noHierarchy;
        int32_t moves[4];   // states 0..3
    } cases[] = {
        {"no smoothing", false, 0, {0, 5, 0, 5}},
        {"smoothing", true, 0, {0, 7, 6, 7}},
        {"leaves only", true, 1, {0, 7, 0, 7}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedParamBlock params(ParamBlockBuilder()
                                    .word(kBrevitParamAdaptCountWeight, 8)
                                    .word(kBrevitParamAdaptPriorWeight, 8)
                                    .word(kBrevitParamNodeWeight, 20)
                                    .word(kBrevitParamLeafWeight, 20)
                                    .word(kBrevitParamNoSlotMerge, static_cast<uint32_t>(c.noHierarchy))
                                    .real(kBrevitParamAdaptSilenceShare, 1.0));
        AM* am = load(adaptableSpec(11));
        ASSERT_NE(am, nullptr);
        const std::vector<Bytes> before = allMeans(am);
        std::vector<StateFrame> frames;
        for (int32_t s : {1, 3})
            for (int32_t k = 0; k < 2; ++k) {
                Bytes f(AM_GetComponentMean(am, s, k), AM_GetComponentMean(am, s, k) + 12);
                for (auto& b : f)
                    b = static_cast<uint8_t>(b + 8);
                for (int32_t i = 0; i < 15; ++i)
                    frames.push_back({s, f});
            }
        ASSERT_EQ(AM_InitAdaptation(am, 1, c.smoothing), 1);
        Scorer scorer(am);
        ASSERT_TRUE(scorer.accumulate(frames));
        ASSERT_EQ(AM_FinishAdaptation(am), 1);
        for (int32_t s = 0; s < 4; ++s)
            for (int32_t k = 0; k < 2; ++k) {
                const uint8_t* now = AM_GetComponentMean(am, s, k);
                const Bytes& old = before[static_cast<size_t>(2 * s + k)];
                for (int32_t d = 0; d < 12; ++d)
                    EXPECT_EQ(now[d] - old[static_cast<size_t>(d)], c.moves[s]) << "state " << s << " component " << k;
            }
        AM_FreeAdaptationBuffers(am);
    }
}

} // namespace
