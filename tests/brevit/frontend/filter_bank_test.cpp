#include "core/brevit/frontend/filter_bank.h"

#include "core/brevit/frontend/fe_fixed_math.h"
#include "tests/brevit/frontend/frontend_test_util.h"

#include <cmath>
#include <vector>

namespace {

class FilterBankTest : public FrontEndTest {
protected:
    FilterBank* load(const frontend_model::FilterBank& record)
    {
        return loadRecord("bmt0", record, FilterBank_LoadFromBinFile);
    }
};

// Two channels over bins 0..5 with unit-area weights, so that a power
// spectrum's block-scaled sums stay inside 32 bits.
frontend_model::FilterBank twoChannels(bool blockScaled)
{
    frontend_model::FilterBank b;
    b.numChannels = 2;
    b.bounds = {0, 2, 4, 6};
    b.weights = {4096, 12288, 12288, 4096, 4096, 12288, 12288, 4096};
    b.numWeights = 8;
    b.blockScaled = blockScaled;
    return b;
}

TEST_F(FilterBankTest, LogOfTheWeightedSums)
{
    struct Case {
        uint32_t level;     // every bin
        int32_t exponent;
    } const cases[] = {{1000, 0}, {50000, 3}, {1u << 24, -2}, {0x07FFFFFF, 4}, {3, 0}};
    for (bool blockScaled : {false, true}) {
        FilterBank* bank = load(twoChannels(blockScaled));
        ASSERT_NE(bank, nullptr);
        for (const Case& c : cases) {
            std::vector<uint32_t> s(6, c.level);
            int16_t out[2] = {0, 0};
            FilterBank_Apply(bank, c.exponent, s.data(), out);
            const double exact = (std::log(double(c.level)) - c.exponent * std::log(2.0)) * 1024;
            for (int16_t v : out)
                EXPECT_NEAR(v, exact, blockScaled ? 2.5 : 2.0)
                    << c.level << " block " << blockScaled;
        }
        FilterBank_Destroy(bank);
    }
}

TEST_F(FilterBankTest, StartsWithoutTheNoiseHookAndKeepsItsSnapshotValues)
{
    frontend_model::FilterBank record = twoChannels(false);
    record.snapshotFlag = 1;
    record.snapshotValue1 = 77;
    record.snapshotValue2 = -5;
    FilterBank* bank = load(record);
    ASSERT_NE(bank, nullptr);
    EXPECT_EQ(bank->noiseReduction, 0);
    EXPECT_EQ(bank->specSub, nullptr);
    uint32_t values[3];
    FilterBank_GetSnapshotValues(bank, values);
    EXPECT_EQ(values[0], 1u);
    EXPECT_EQ(values[1], 77u);
    EXPECT_EQ(values[2], static_cast<uint32_t>(-5));
    const uint32_t next[3] = {0, 9, 10};
    FilterBank_SetSnapshotValues(bank, next);
    FilterBank_GetSnapshotValues(bank, values);
    EXPECT_EQ(values[1], 9u);
    FilterBank_Destroy(bank);
}

} // namespace
