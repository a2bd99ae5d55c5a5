// The noise-reduction stage's constant tables against their formulas, worked
// out again in double precision, and against the values they are known by.
#include "core/brevit/frontend/spectral_sub.h"
#include "core/brevit/frontend/spectral_sub_tables.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

namespace {

// Centre of the bucket that holds difference d.
int32_t bucketCentre(int32_t k)
{
    if (k < 256)
        return 8 * k + 4;
    if (k < 384)
        return 16 * k - 2040;
    return 32 * k - 8176;
}

TEST(SpecSubTables, LogAddAndSubtractEntriesAreTheRoundedLogsAtBucketCentres)
{
    for (int32_t k = 0; k < kSpecSubLogTableSize; ++k) {
        const double x = std::exp(-bucketCentre(k) / 1024.0);
        EXPECT_EQ(lnSumExpTable[k], std::lround(1024 * std::log(1 + x))) << k;
        EXPECT_EQ(lnDiffExpTable[k], std::lround(1024 * std::log(1 - x))) << k;
    }
}

TEST(SpecSubTables, BucketsSplitEachRangeIntoEqualWidths)
{
    struct Case {
        int32_t d;
        int32_t bucket;
    };
    const Case cases[] = {{0, 0},       {7, 0},       {8, 1},       {2047, 255},  {2048, 256},
                          {2063, 256},  {2064, 257},  {4095, 383},  {4096, 384},  {4127, 384},
                          {4128, 385},  {8191, 511}};
    for (const Case& c : cases)
        EXPECT_EQ(SpecSub_Bucket(c.d), c.bucket) << c.d;
    // Every difference lies inside its bucket around the centre.
    for (int32_t d = 0; d < 8192; ++d) {
        const int32_t k = SpecSub_Bucket(d);
        const int32_t width = k < 256 ? 8 : k < 384 ? 16 : 32;
        ASSERT_LT(std::abs(d - bucketCentre(k)), width / 2 + 1) << d;
    }
}

TEST(SpecSubTables, LogTablesHaveTheirKnownShape)
{
    EXPECT_EQ(lnSumExpTable[0], 708);
    EXPECT_EQ(lnSumExpTable[1], 704);
    EXPECT_EQ(lnSumExpTable[2], 700);
    EXPECT_EQ(lnDiffExpTable[0], -5680);
    EXPECT_EQ(lnDiffExpTable[1], -4559);
    EXPECT_EQ(lnDiffExpTable[2], -4040);
    EXPECT_EQ(lnSumExpTable[464], 2);
    EXPECT_EQ(lnDiffExpTable[464], -2);
    for (int32_t k = 465; k < kSpecSubLogTableSize; ++k) {
        EXPECT_EQ(lnSumExpTable[k], k < 500 ? 1 : 0) << k;
        EXPECT_EQ(lnDiffExpTable[k], k < 500 ? -1 : 0) << k;
    }
}

TEST(SpecSubTables, ExpFactorsAreThePowersOfEachBit)
{
    for (int32_t i = 0; i < kSpecSubExpBits; ++i) {
        EXPECT_GE(exp_mantissa_lut[i], 16384) << i;
        const double x = i < 15 ? std::ldexp(1.0, i) / 1024 : -32.0;
        const double stored = exp_mantissa_lut[i] / 32768.0 * std::ldexp(1.0, exp_scale_lut[i]);
        // A Q15 mantissa of at least one half holds the factor to 2^-16 relative.
        EXPECT_NEAR(stored / std::exp(x), 1.0, 1.0 / 32768) << i;
        int exponent = 0;
        const double mantissa = std::frexp(std::exp(x), &exponent);
        EXPECT_EQ(exp_scale_lut[i], exponent) << i;
        EXPECT_EQ(exp_mantissa_lut[i], std::lround(mantissa * 32768)) << i;
    }
}

TEST(SpecSubTables, HalfE1EntriesFollowTheIntegralWithinOneUnit)
{
    for (int32_t j = 0; j < kSpecSubE1TableSize; ++j) {
        const double v = std::pow(10.0, j / 17.0 - 5);
        const double halfE1 = -0.5 * std::expint(-v);
        const double expected = std::ldexp(halfE1, 25) + 11;
        EXPECT_LE(std::abs(tableValues[j] - expected), 1.0) << j;
    }
    const int32_t first[] = {183470944, 181198559, 178926177};
    const int32_t last[] = {81, 26, 14, 11, 11, 11};
    for (int32_t j = 0; j < 3; ++j)
        EXPECT_EQ(tableValues[j], first[j]) << j;
    for (int32_t j = 0; j < 6; ++j)
        EXPECT_EQ(tableValues[kSpecSubE1TableSize - 6 + j], last[j]) << j;
}

} // namespace
