#include "core/brevit/acoustic/am_dynsil.h"
#include "core/brevit/acoustic/am_scoring.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "tests/brevit/acoustic/acoustic_fixture.h"
#include "tests/support/param_block_builder.h"

#include <memory>
#include <vector>

namespace {

AcousticModelSpec silenceSpec()
{
    AcousticModelSpec s;
    s.tree = AcousticTreeSpec::none();
    s.modelRows = {{0, 0}};
    s.states = 2;
    s.offsets = {0, 1, 2};
    s.dim = 2;
    s.covType = 5;
    s.multiplier = 1;
    s.rounding = 0;
    s.shift = 0;
    s.ceiling = 16383;
    s.lowFeature = 10;
    s.means = {200, 200, 0, 0};
    s.dynamicSilence = true;
    s.silenceInitialMean = {50, 60};
    s.silenceCurrentMean = {1, 1};
    return s;
}

class DynamicSilenceTest : public AcousticTest {
protected:
    AM* loadWith(const AcousticModelSpec& spec, const ParamBlockBuilder& params)
    {
        m_params.reset();
        m_params = std::make_unique<ScopedParamBlock>(params);
        return load(spec);
    }
    void TearDown() override
    {
        m_params.reset();
        AcousticTest::TearDown();
    }
    static std::vector<uint8_t> mean(const AM* am)
    {
        std::vector<uint8_t> out(2);
        EXPECT_EQ(AM_GetDynamicSilenceModel(am, out.data()), 1);
        return out;
    }
    std::unique_ptr<ScopedParamBlock> m_params;
};

TEST_F(DynamicSilenceTest, SilenceFramesEnterThroughTheRing)
{
    const ParamBlockBuilder params = ParamBlockBuilder()
                                         .word(kBrevitParamSilenceModelShift, 2)
                                         .word(kBrevitParamSilenceRingSlots, 3)
                                         .word(kBrevitParamFilledListCapacity, 8);
    AM* am = loadWith(silenceSpec(), params);
    ASSERT_NE(am, nullptr);
    EXPECT_EQ(AM_InitDynamicSilenceModel(am), 2);
    EXPECT_EQ(mean(am), (std::vector<uint8_t>{50, 60}));
    const std::vector<uint8_t> silence = {130, 20}, background = {50, 60};
    AM_UpdateDynamicSilenceModel(am, silence.data(), 1);
    EXPECT_EQ(mean(am), (std::vector<uint8_t>{50, 60}));
    for (int i = 0; i < 2; ++i) {
        AM_UpdateDynamicSilenceModel(am, background.data(), 1);
        EXPECT_EQ(mean(am), (std::vector<uint8_t>{50, 60})) << i;
    }
    AM_UpdateDynamicSilenceModel(am, background.data(), 1);
    EXPECT_EQ(mean(am), (std::vector<uint8_t>{70, 50}));
    // Frames not judged silence only pass through the ring.
    AM_UpdateDynamicSilenceModel(am, silence.data(), 0);
    EXPECT_EQ(mean(am), (std::vector<uint8_t>{70, 50}));
}

TEST_F(DynamicSilenceTest, WithoutRingOrShiftTheMeanFollowsAtOnce)
{
    AM* am = loadWith(silenceSpec(), ParamBlockBuilder());
    ASSERT_NE(am, nullptr);
    AM_InitDynamicSilenceModel(am);
    const std::vector<uint8_t> frame = {77, 33};
    AM_UpdateDynamicSilenceModel(am, frame.data(), 1);
    EXPECT_EQ(mean(am), frame);
    // Shifts past 8 would overflow the 16-bit sums: they are held at 8.
    am->dynSil.shift = 12;
    AM_ApplyDynamicSilenceModel(am, 1);
    EXPECT_EQ(am->dynSil.shift, 8);
    EXPECT_EQ(am->dynSil.sum[0], (50 - 10) << 8);
}

TEST_F(DynamicSilenceTest, FrameStartBoundsTheSilenceCost)
{
    ParamBlockBuilder params = ParamBlockBuilder().word(kBrevitParamFilledListCapacity, 8);
    AM* am = loadWith(silenceSpec(), params);
    ASSERT_NE(am, nullptr);
    AM_InitDynamicSilenceModel(am);
    AMScoringSet* set = AM_NewScoringSet();
    AM_GetScoringFunctions(am, set, 0, 0);
    const std::vector<uint8_t> x = {53, 64};   // 9 + 16 from the mean (50, 60)
    const int16_t value = 0;
    AM_NewFrame(am, x.data(), &value, set, 0, 1);
    EXPECT_EQ(am->cache[0], 25);
    ASSERT_EQ(am->filledCount, 2);
    EXPECT_EQ(am->filledList[1], 0);
    m_params->block().words[kBrevitParamScoreCeiling] = 1;
    AM_NewFrame(am, x.data(), &value, set, 1, 1);
    EXPECT_EQ(am->scoreCeiling, 25);
    AM_DeleteScoringSet(set);
}

TEST_F(DynamicSilenceTest, SnapshotsAndChecksums)
{
    AM* am = loadWith(silenceSpec(), ParamBlockBuilder());
    ASSERT_NE(am, nullptr);
    AM_InitDynamicSilenceModel(am);
    ASSERT_EQ(AM_GetDynSilSnapshotSize(am), 4);
    const uint32_t before = AM_DynSilComputeCRC(am, 1);
    uint8_t snapshot[4] = {};
    EXPECT_EQ(AM_DynSilFillInSnapshot(am, snapshot), 1);
    EXPECT_EQ(std::vector<uint8_t>(snapshot, snapshot + 4), (std::vector<uint8_t>{50, 60, 50, 60}));
    const std::vector<uint8_t> other = {90, 91};
    AM_SetDynamicSilenceModel(am, other.data());
    EXPECT_EQ(mean(am), other);
    EXPECT_NE(AM_DynSilComputeCRC(am, 1), before);
    EXPECT_EQ(AM_DynSilRestoreFromSnapshot(am, snapshot), 1);
    EXPECT_EQ(mean(am), (std::vector<uint8_t>{50, 60}));
    EXPECT_EQ(AM_DynSilFillInSnapshot(am, nullptr), 0);

    AcousticModelSpec none = silenceSpec();
    none.dynamicSilence = false;
    AM* plain = loadWith(none, ParamBlockBuilder());
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(AM_DynSilComputeCRC(plain, 1), 0xFFFFFFFFu);
    EXPECT_EQ(AM_DynSilComputeCRC(nullptr, 0), 0xFFFFFFFFu);
    EXPECT_EQ(AM_GetDynSilSnapshotSize(plain), 0);
    EXPECT_EQ(AM_DynSilFillInSnapshot(plain, snapshot), 0);
}

TEST_F(DynamicSilenceTest, ModelsWithoutRawDistanceChangeNothing)
{
    AcousticModelSpec spec = silenceSpec();
    spec.covType = 4;
    spec.weights = {1, 1, 1, 1};
    spec.constants = {0, 0};
    AM* am = loadWith(spec, ParamBlockBuilder().word(kBrevitParamFilledListCapacity, 8));
    ASSERT_NE(am, nullptr);
    AM_InitDynamicSilenceModel(am);
    AMScoringSet* set = AM_NewScoringSet();
    AM_GetScoringFunctions(am, set, 0, 0);
    const std::vector<uint8_t> x = {53, 64};
    const int16_t value = 0;
    AM_NewFrame(am, x.data(), &value, set, 0, 1);
    EXPECT_EQ(am->cache[0], AM_CalculateScoreCSV(am, 0));
    AM_DeleteScoringSet(set);
}

// A mean or frame below the low feature byte (a stored or restored mean, an
// unclamped frame) counts as the low byte: the running sums are unsigned,
// and a negative deviation in them turned the mean to noise for dozens of
// frames.
TEST_F(DynamicSilenceTest, ValuesBelowTheLowByteCountAsTheLowByte)
{
    const ParamBlockBuilder params = ParamBlockBuilder().word(kBrevitParamSilenceModelShift, 2);
    AcousticModelSpec spec = silenceSpec();
    spec.silenceInitialMean = {5, 60};
    AM* am = loadWith(spec, params);
    ASSERT_NE(am, nullptr);
    AM_InitDynamicSilenceModel(am);
    const std::vector<uint8_t> background = {10, 60}, below = {3, 60};
    for (int i = 0; i < 12; ++i) {
        AM_UpdateDynamicSilenceModel(am, (i % 2 ? below : background).data(), 1);
        ASSERT_EQ(mean(am), background) << i;
    }
    const std::vector<uint8_t> restored = {0, 60};
    AM_SetDynamicSilenceModel(am, restored.data());
    AM_UpdateDynamicSilenceModel(am, background.data(), 1);
    EXPECT_EQ(mean(am), background);
}

} // namespace
