#include "core/brevit/frontend/fe_fixed_math.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(FixedSqrt, RoundsToTheNearerRootAndSaturates)
{
    struct Case {
        uint32_t value;
        int32_t root;
    } const cases[] = {
        {0, 0},          {1, 1},           {2, 1},          {3, 2},  // 3 - 1 = 2 > 4 - 3 = 1
        {6, 2},          {7, 3},           {16, 4},         {20, 4},
        {21, 5},         {0x3FFFFFFF, 32767}, {0x40000000, 32767}, {0xFFFFFFFF, 32767},
        {32766u * 32766u + 32766u, 32766}, {32766u * 32766u + 32767u, 32767},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FixedSqrt(c.value), c.root) << c.value;
    // Against the bit-by-bit search the format describes, over the range.
    for (uint64_t v = 0; v <= 0x3FFFFFFF; v += 1 + v / 64 + (v % 3)) {
        uint32_t r = 0;
        for (uint32_t bit = 16384; bit != 0; bit >>= 1)
            if ((r | bit) * (r | bit) <= v)
                r |= bit;
        const uint32_t x = static_cast<uint32_t>(v);
        const int32_t rounded = r <= 32766 && x - r * r > (r + 1) * (r + 1) - x ? r + 1 : r;
        ASSERT_EQ(FixedSqrt(x), rounded) << v;
        ASSERT_LE(std::fabs(FixedSqrt(x) - std::sqrt(double(v))), 0.5 + 1e-9) << v;
    }
}

double logError(int32_t v, int32_t e, int32_t q, int32_t quadratic)
{
    const double exact = (std::log(double(v)) - e * std::log(2.0)) * std::ldexp(1.0, q);
    return FixedLog(v, e, q, quadratic) - exact;
}

TEST(FixedLog, PolynomialFollowsTheNaturalLog)
{
    double worstAtZero = 0;
    double worst = 0;
    for (int32_t v = 1; v < (1 << 24); v = v + 1 + v / 97) {
        worstAtZero = std::max(worstAtZero, std::fabs(logError(v, 0, 10, 0)));
        for (int32_t e = -16; e <= 18; ++e) {
            // Keep the result inside int16 at q = 10 (|ln| below 32).
            if (std::fabs(std::log(double(v)) - e * std::log(2.0)) < 31)
                worst = std::max(worst, std::fabs(logError(v, e, 10, 0)));
        }
    }
    EXPECT_LE(worstAtZero, 1.3);
    EXPECT_LE(worst, 1.8);
}

TEST(FixedLog, EdgeValues)
{
    EXPECT_EQ(FixedLog(0, 0, 10, 0), 0);
    EXPECT_EQ(FixedLog(-5, 3, 10, 1), 0);
    EXPECT_LE(std::abs(FixedLog(16384, 14, 10, 0)), 1);
    EXPECT_LE(std::abs(FixedLog(16384, 14, 10, 1)), 1);
    EXPECT_EQ(FixedLog(1 << 30, -200, 10, 0), 32767);  // stored clipped
}

// The quadratic form as the format defines it is a coarse fit of ln(1 + x):
// these values pin it (exact ln in Q10 beside each).
TEST(FixedLog, QuadraticPathIsPinned)
{
    struct Case {
        int32_t v, e, q;
        int16_t expected;
    } const cases[] = {
        {16384, 0, 10, 9937},   // 9937.0
        {20000, 0, 10, 10142},  // 10141.2
        {24576, 0, 10, 10384},  // 10352.2
        {30000, 0, 10, 10645},  // 10556.4
        {1000, 0, 10, 7186},    // 7073.5
        {3, 0, 10, 1156},       // 1125.0
        {24576, 14, 13, 3569},  // 3321.6
    };
    for (const Case& c : cases)
        EXPECT_EQ(FixedLog(c.v, c.e, c.q, 1), c.expected) << c.v << " " << c.e << " " << c.q;
}

} // namespace
