#include "core/brevit/frontend/energy_stage.h"

#include "core/brevit/runtime/brevit_param_words.h"
#include "tests/brevit/frontend/frontend_test_util.h"
#include "tests/support/param_block_builder.h"

#include <cstdint>
#include <vector>

namespace {

class EnergyStageTest : public FrontEndTest {
protected:
    EnergyStage* load(const frontend_model::EnergyStage& record)
    {
        return loadRecord("bcp0", record, EnergyStage_LoadFromBinFile);
    }
    ChannelNorm* loadNorm(const frontend_model::ChannelNorm& record)
    {
        return loadRecord("bch0", record, ChannelNorm_LoadFromBinFile);
    }
};

TEST_F(EnergyStageTest, ResetMovesTheExtremesTogether)
{
    EnergyStage* e = load(frontend_model::makeEnergyStage(2, 3));
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->minEnergy, 1);
    EXPECT_EQ(e->maxEnergy, 0);
    e->minEnergy = 0;
    e->maxEnergy = 100;
    EnergyStage_Reset(e, 1);
    EXPECT_EQ(e->minEnergy, 10);
    EXPECT_EQ(e->maxEnergy, 90);
    EnergyStage_Reset(e, 0);
    EnergyStage_Observe(e, 700);  // the first frame after a full reset sets both
    int16_t lo, hi;
    EnergyStage_GetMinMax(e, &lo, &hi);
    EXPECT_EQ(lo, 700);
    EXPECT_EQ(hi, 700);
    EnergyStage_Observe(e, 500);
    EnergyStage_Observe(e, 900);
    EnergyStage_GetMinMax(e, &lo, &hi);
    EXPECT_EQ(lo, 500);
    EXPECT_EQ(hi, 900);
    EnergyStage_Destroy(e);
}

// A narrowing reset over the widest extremes with the largest shrink: the
// product passes 2^31 yet the step comes out as its 16-bit value.
TEST_F(EnergyStageTest, NarrowingResetOverTheWidestExtremes)
{
    struct Case {
        int16_t shrink;
        int16_t minEnergy;
        int16_t maxEnergy;
    } const cases[] = {{10, 0, 100}, {INT16_MAX, INT16_MIN, INT16_MAX}, {INT16_MIN, INT16_MIN, INT16_MAX}};
    for (const Case& c : cases) {
        frontend_model::EnergyStage record = frontend_model::makeEnergyStage(2, 3);
        record.shrink = c.shrink;
        EnergyStage* e = load(record);
        ASSERT_NE(e, nullptr);
        e->minEnergy = c.minEnergy;
        e->maxEnergy = c.maxEnergy;
        EnergyStage_Reset(e, 1);
        const auto d = static_cast<int16_t>(
            (int64_t{c.shrink} * (int64_t{c.maxEnergy} + 100 - c.minEnergy)) / 200);
        EXPECT_EQ(e->minEnergy, static_cast<int16_t>(c.minEnergy + d)) << c.shrink;
        EXPECT_EQ(e->maxEnergy, static_cast<int16_t>(c.maxEnergy - d)) << c.shrink;
        EnergyStage_Destroy(e);
    }
}

TEST_F(EnergyStageTest, DrivesTheChannelMeansAndDeviations)
{
    ScopedParamBlock block(ParamBlockBuilder().word(kBrevitParamVarianceNorm, 1));
    frontend_model::ChannelNorm normRecord = frontend_model::makeChannelNorm(3, 0, 1024);
    normRecord.normaliseVariance = 1;
    ChannelNorm* cn = loadNorm(normRecord);
    frontend_model::EnergyStage record = frontend_model::makeEnergyStage(2, 3);
    record.warmupFrames = 2;
    EnergyStage* e = load(record);
    ASSERT_NE(cn, nullptr);
    ASSERT_NE(e, nullptr);
    const int16_t frames[3][3] = {{1000, 10, 7}, {3000, 21, 7}, {2000, 40, 7}};
    for (const auto& x : frames)
        EnergyStage_Process(e, x, cn);
    // Means: warm-up averages (10, then (21 + 10) / 2 rounded = 16), then
    // 16 + shift-round(24, 6) = 16.
    EXPECT_EQ(e->means[1], 16);
    EXPECT_EQ(e->range, 2000);
    // c0 mean: floor + range / 4; other tracked dims from the stage; the rest 0.
    EXPECT_EQ(cn->means[0], 1000 + 500);
    EXPECT_EQ(cn->means[1], 16);
    EXPECT_EQ(cn->means[2], 0);
    // Deviations: (2000 x 205 + (64 << 10) + 512) >> 10 = 464.
    EXPECT_EQ(cn->stds[0], 464);
    EXPECT_EQ(cn->stds[2], 464);
    EXPECT_EQ(EnergyStage_LevelJump(e), 1);  // range above the smoothed range x 2
    EnergyStage_Destroy(e);
    ChannelNorm_Destroy(cn);
}

TEST_F(EnergyStageTest, LoadingRefusesInconsistentRecords)
{
    using Mutate = void (*)(frontend_model::EnergyStage&);
    struct Case {
        const char* name;
        Mutate mutate;
    } const cases[] = {
        {"no dimensions", [](frontend_model::EnergyStage& e) { e.dim = 0; }},
        {"slopes short", [](frontend_model::EnergyStage& e) { e.slopes.pop_back(); }},
        {"offsets missing", [](frontend_model::EnergyStage& e) { e.offsets.clear(); }},
        {"rate shift 0", [](frontend_model::EnergyStage& e) { e.rateShift = 0; }},
        {"scale shift 0", [](frontend_model::EnergyStage& e) { e.scaleShift = 0; }},
        {"negative slope past c0", [](frontend_model::EnergyStage& e) { e.slopes[1] = -1; }},
        {"negative offset past c0", [](frontend_model::EnergyStage& e) { e.offsets[2] = -1; }},
    };
    for (const Case& c : cases) {
        frontend_model::EnergyStage record = frontend_model::makeEnergyStage(2, 3);
        c.mutate(record);
        EnergyStage* e = load(record);
        EXPECT_EQ(e, nullptr) << c.name;
        EnergyStage_Destroy(e);
    }
    frontend_model::EnergyStage negativeC0 = frontend_model::makeEnergyStage(2, 3);
    negativeC0.slopes[0] = -100;  // index 0 feeds the c0 mean and may be negative
    negativeC0.offsets[0] = -100;
    EnergyStage* e = load(negativeC0);
    EXPECT_NE(e, nullptr);
    EnergyStage_Destroy(e);
}

} // namespace
