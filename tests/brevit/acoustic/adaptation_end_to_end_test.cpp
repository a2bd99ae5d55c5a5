// Speaker adaptation end to end on the real code: frames made for phonemes
// and shifted, aligned by the engine's aligner, accumulated per aligned
// state, finished, saved as "bamp0" and restored into a fresh model.
#include "core/brevit/acoustic/am_adapt.h"

#include "core/brevit/runtime/brevit_param_words.h"
#include "tests/brevit/acoustic/adaptation_fixture.h"
#include "tests/support/acoustic_frames.h"
#include "tests/support/param_block_builder.h"
#include "tools/support/align_frames.h"

namespace {

using AdaptationEndToEnd = AcousticTest;

TEST_F(AdaptationEndToEnd, AlignedShiftedFramesAdaptAndSurviveStorage)
{
    ScopedParamBlock params(ParamBlockBuilder()
                                .word(kBrevitParamAdaptCountWeight, 8)
                                .word(kBrevitParamAdaptPriorWeight, 8)
                                .real(kBrevitParamAdaptSilenceShare, 1.0));
    const AcousticModelSpec spec = adaptableSpec(31, 1);
    AM* adapted = load(spec);
    AM* restored = load(spec);
    AM* plain = load(spec);
    ASSERT_NE(adapted, nullptr);
    ASSERT_NE(restored, nullptr);
    ASSERT_NE(plain, nullptr);

    // Phonemes 1 2 2 between silences; every state held for 8 frames, the
    // frames 6 above the means with noise.
    const std::vector<uint16_t> chain = {0, 2, 3, 6, 7, 4, 7, 0};
    const std::vector<uint16_t> held(chain.size(), 8);
    AcousticFrameOptions options;
    options.shift = 6;
    options.sigma = {3.0};
    options.seed = 12;
    const Bytes frames = acousticFrames(adapted, chain, held, options);
    const auto count = static_cast<int32_t>(frames.size() / 12);
    const FrameAlignment a = alignFrames(adapted, frames.data(), count, {1, 2, 2}, true, 30000);
    ASSERT_TRUE(a.ok);
    ASSERT_EQ(a.stateIds, chain);

    std::vector<StateFrame> aligned;
    size_t at = 0;
    for (size_t i = 0; i < a.stateIds.size(); ++i)
        for (uint16_t k = 0; k < a.durations[i]; ++k, ++at)
            aligned.push_back({a.stateIds[i], Bytes(frames.begin() + static_cast<std::ptrdiff_t>(at * 12),
                                                    frames.begin() + static_cast<std::ptrdiff_t>(at * 12 + 12))});
    ASSERT_EQ(AM_InitAdaptation(adapted, 1, 0), 1);
    Scorer scorer(adapted);
    ASSERT_TRUE(scorer.accumulate(aligned));
    ASSERT_EQ(AM_FinishAdaptation(adapted), 1);
    AM_FreeAdaptationBuffers(adapted);

    ArchiveFixture& archive = *m_archives.emplace_back(std::make_unique<ArchiveFixture>("user.dvk"));
    ASSERT_EQ(AM_SaveAdaptedParameters(adapted, archive.tar(), nullptr, 0, 0), 1);
    archive.finish();
    ASSERT_EQ(AM_LoadAdaptedParameters(restored, archive.openForRead(), nullptr, 0, 0), 1);

    options.seed = 13;
    const Bytes heldOut = acousticFrames(adapted, chain, held, options);
    std::vector<StateFrame> test;
    for (size_t i = 0; i < chain.size(); ++i)
        for (uint16_t k = 0; k < held[i]; ++k)
            test.push_back({chain[i], Bytes(heldOut.begin() + static_cast<std::ptrdiff_t>(test.size() * 12),
                                            heldOut.begin() + static_cast<std::ptrdiff_t>(test.size() * 12 + 12))});
    Scorer adaptedScores(adapted), restoredScores(restored), plainScores(plain);
    for (const auto& f : test)
        EXPECT_EQ(restoredScores.cost(f), adaptedScores.cost(f));
    EXPECT_LT(adaptedScores.averageCost(test), plainScores.averageCost(test));
}

} // namespace
