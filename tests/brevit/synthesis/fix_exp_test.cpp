#include "core/brevit/synthesis/fix_exp.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

TEST(FixExp, MantissaAndShiftOfKnownValues)
{
    struct Case {
        int16_t x;
        int32_t e;
        int16_t m;
        int32_t s;
    };
    const Case cases[] = {
        {0, 11, 16384, 14}, {2048, 11, 22248, 13}, {32767, 11, 17309, -9}, {-32768, 12, 22497, 26},
    };
    for (const Case& c : cases) {
        int16_t x = c.x;
        int32_t e = c.e;
        FixExp(&x, &e);
        EXPECT_EQ(x, c.m) << c.x << " at " << c.e;
        EXPECT_EQ(e, c.s) << c.x << " at " << c.e;
    }
}

TEST(FixExp, EveryInputWithinRelativeErrorBound)
{
    for (int32_t e : {11, 12}) {
        double worst = 0;
        for (int32_t v = -32768; v <= 32767; ++v) {
            int16_t x = static_cast<int16_t>(v);
            int32_t s = e;
            FixExp(&x, &s);
            ASSERT_GE(x, 16384);
            ASSERT_LE(x, 32767);
            const double got = std::ldexp(x, -s);
            const double want = std::exp(std::ldexp(v, -e));
            worst = std::max(worst, std::fabs(got / want - 1));
        }
        EXPECT_LE(worst, 3.5e-3) << "e " << e;
    }
}

TEST(FixExpVector, CommonShift)
{
    struct Case {
        std::vector<int16_t> in;
        std::vector<int16_t> out;
        int32_t shift;
    };
    const Case cases[] = {
        {{2048, 4096, 6144, 8192}, {1391, 3790, 10260, 28018}, 9},
        {{8192, 8000}, {28018, 25493}, 9},
        // The smallest value lies more than 31 bits below the largest.
        {{32767, -32768}, {17309, 0}, -9},
        // Equal values share the mantissa (no shift between them).
        {{4096, 4096}, {30319, 30319}, 12},
        {{0}, {16384}, 14},
    };
    for (const Case& c : cases) {
        std::vector<int16_t> v = c.in;
        EXPECT_EQ(FixExpVector(static_cast<int32_t>(v.size()), v.data(), 11), c.shift);
        EXPECT_EQ(v, c.out);
    }
}

} // namespace
