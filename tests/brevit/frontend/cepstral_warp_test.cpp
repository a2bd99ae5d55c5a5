#include "core/brevit/frontend/cepstral_warp.h"

#include "tests/brevit/frontend/frontend_test_util.h"

#include <cstdint>
#include <vector>

namespace {

class CepstralWarpTest : public FrontEndTest {
protected:
    CepstralWarp* load(const frontend_model::CepstralWarp& record)
    {
        return loadRecord("bcw0", record, CepstralWarp_LoadFromBinFile);
    }
};

struct Energy {
    EnergyStage stage{};
    Energy(int16_t lo, int16_t hi)
    {
        stage.minEnergy = lo;
        stage.maxEnergy = hi;
    }
};

// Statics with a slope the warp can learn from: the target asks for more of
// the neighbours' combination.
void update(CepstralWarp* cw, const Energy& energy, int16_t c0)
{
    const int32_t rows[3] = {0, 1, 2};
    const int16_t v[9] = {0, 400, 800, 0, 0, 0, 0, 0, 0};
    const int16_t scales[3] = {64, 64, 64};
    const uint8_t actual[3] = {100, 100, 100};
    const uint8_t target[3] = {100, 90, 100};
    CepstralWarp_Update(cw, &energy.stage, v, c0, scales, 4, rows, 3, actual, target);
}

TEST_F(CepstralWarpTest, FactorWaitsForEightUpdatesAndRestartsOnARangeJump)
{
    frontend_model::CepstralWarp record;
    record.numStatics = 3;
    record.numUsed = 3;
    CepstralWarp* cw = load(record);
    ASSERT_NE(cw, nullptr);
    const Energy energy(1000, 3000);
    update(cw, energy, 3000);  // the first range seen restarts the estimate
    EXPECT_EQ(cw->energyRange, 2000);
    EXPECT_EQ(cw->updates, 0);
    for (int i = 1; i <= 8; ++i) {
        update(cw, energy, 3000);
        EXPECT_EQ(cw->updates, i);
        if (i < 8) {
            EXPECT_EQ(cw->alpha, 0) << i;
        }
    }
    EXPECT_NE(cw->alpha, 0);
    update(cw, energy, 1500);  // c0 below 40 % of the range: no step
    EXPECT_EQ(cw->updates, 8);
    update(cw, Energy(1000, 3400), 3400);  // grown by a fifth: keeps learning
    EXPECT_EQ(cw->updates, 9);
    update(cw, Energy(1000, 3600), 3600);  // grown by more than a quarter: restart
    EXPECT_EQ(cw->updates, 0);
    EXPECT_EQ(cw->alpha, 0);
    EXPECT_EQ(cw->energyRange, 2600);
    CepstralWarp_Destroy(cw);
}

// A restored state at the ends of the 32-bit range (a snapshot carries it as
// stored) neither overflows nor slips past the stop on a runaway numerator.
TEST_F(CepstralWarpTest, RestoredStateAtTheEndsOfTheRangeIsSafe)
{
    struct Case {
        const char* name;
        int32_t numerator;
        int32_t energyRange;
        int32_t updates;  // after one step from 3
        int32_t energyRangeAfter;
    } const cases[] = {
        {"least numerator stops adapting", INT32_MIN, 2000, 3, 2000},
        {"greatest range keeps learning", 0, INT32_MAX, 4, INT32_MAX},
        {"range just below the greatest", 0, INT32_MAX - 1, 4, INT32_MAX - 1},
        {"least range restarts", 0, INT32_MIN, 0, 2000},
    };
    frontend_model::CepstralWarp record;
    record.numStatics = 3;
    record.numUsed = 3;
    for (const Case& c : cases) {
        CepstralWarp* cw = load(record);
        ASSERT_NE(cw, nullptr);
        const int32_t state[4] = {3, c.numerator, 100, c.energyRange};
        CepstralWarp_SetState(cw, state, 0);
        update(cw, Energy(1000, 3000), 3000);
        int32_t after[4];
        int16_t alpha = 0;
        CepstralWarp_GetState(cw, after, &alpha);
        EXPECT_EQ(after[0], c.updates) << c.name;
        if (c.updates == 3) {
            EXPECT_EQ(after[1], c.numerator) << c.name;
        }
        EXPECT_EQ(after[3], c.energyRangeAfter) << c.name;
        EXPECT_EQ(alpha, 0) << c.name;
        CepstralWarp_Destroy(cw);
    }
}

TEST_F(CepstralWarpTest, ApplyMovesEachFeatureByItsNeighbours)
{
    frontend_model::CepstralWarp record;
    record.numStatics = 4;
    record.numUsed = 4;
    CepstralWarp* cw = load(record);
    ASSERT_NE(cw, nullptr);
    const int32_t rows[4] = {0, 1, 2, 3};
    int16_t v[12] = {100, 200, 300, 400};
    CepstralWarp_Apply(cw, rows, 4, v);  // alpha 0: untouched
    EXPECT_EQ(v[2], 300);
    const int32_t state[4] = {8, 0, 1, 0};
    CepstralWarp_SetState(cw, state, 4096);  // 0.125
    CepstralWarp_Apply(cw, rows, 4, v);
    // c'_2 = c_2 + 0.125 (1 c_1 - 3 c_3) = 300 + 0.125 (200 - 1200) = 175
    EXPECT_EQ(v[2], 175);
    // c'_0 = c_0 - 0.125 (1 c_1) = 75; c'_1 has no lower term (factor 0).
    EXPECT_EQ(v[0], 75);
    EXPECT_EQ(v[1], 200 - 300 * 2 / 8);
    // Factors are capped at 5 and clipped to 16 bits: at 0.5, 3 x alpha clips.
    int16_t w[12] = {100, 200, 300, 400};
    CepstralWarp_SetState(cw, state, 16384);
    CepstralWarp_Apply(cw, rows, 4, w);
    EXPECT_EQ(w[2], 300 + ((200 * 16384 - 400 * 32767) >> 15));
    CepstralWarp_Destroy(cw);
}

TEST_F(CepstralWarpTest, LoadingRefusesOddDimensions)
{
    for (auto [d, k] : {std::pair{0, 0}, std::pair{3, 10}, std::pair{3, -1}}) {
        frontend_model::CepstralWarp record;
        record.numStatics = d;
        record.numUsed = k;
        CepstralWarp* cw = load(record);
        EXPECT_EQ(cw, nullptr) << d << " " << k;
        CepstralWarp_Destroy(cw);
    }
    EXPECT_EQ(CepstralWarp_GetDim(nullptr), 0);
    EXPECT_EQ(CepstralWarp_ComputeCRC(nullptr), 0xFFFFFFFFu);
}

} // namespace
