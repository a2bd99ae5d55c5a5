#include "core/brevit/frontend/fe_fixed_math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

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

TEST(FEFixDivide, TruncatesAsIntegerDivision)
{
    std::vector<uint32_t> divisors = {1, 2, 3, 7, 10, 28, 60, 65535, 65536, 89829120, 0x7FFFFFFF};
    for (uint32_t h = 1, sum = 0; h <= 512; h += 1 + h / 8) {  // the regression's 2 (1 + ... + h^2)
        sum = 0;
        for (uint32_t k = 1; k <= h; ++k)
            sum += k * k;
        divisors.push_back(2 * sum);
    }
    for (int b = 0; b < 31; ++b)
        divisors.push_back(1u << b);
    std::mt19937 random(19);
    std::uniform_int_distribution<int32_t> any(INT32_MIN, INT32_MAX);
    for (uint32_t d : divisors) {
        const FEFixDivisor divisor = FEFix_MakeDivisor(d);
        std::vector<int32_t> numerators = {0, 1, -1, INT32_MAX, INT32_MIN, INT32_MIN + 1};
        // Multiples of d and their neighbours, where truncation turns.
        for (int64_t k : std::initializer_list<int64_t>{1, 2, 3, 1000, INT32_MAX / int64_t{d}})
            for (int64_t e = -1; e <= 1; ++e)
                for (int64_t sign : {1, -1}) {
                    const int64_t n = sign * (k * d + e);
                    if (n >= INT32_MIN && n <= INT32_MAX)
                        numerators.push_back(static_cast<int32_t>(n));
                }
        for (int i = 0; i < 2000; ++i)
            numerators.push_back(any(random) >> (i % 32));
        for (int32_t n : numerators)
            ASSERT_EQ(FEFix_Divide(n, divisor), n / static_cast<int32_t>(d))
                << n << " / " << d;
    }
}

} // namespace
