#include "core/brevit/frontend/fe_fixed_math.h"


int16_t FixedLog(int32_t value, int32_t exponent, int32_t q, int32_t quadratic)
{
    if (value < 1)
        return 0;
    int32_t v = value;
    int32_t n = 0;
    while (v < 16384) {
        v <<= 1;
        ++n;
    }
    while (v > 32767) {
        v >>= 1;
        --n;
    }
    const int64_t m = v - 16384;
    int64_t p = 0;
    if (quadratic) {
        p = m * ((999309312 - 7783 * m) >> 15) + 16384;
    } else {
        static constexpr int64_t kCoefficients[5] = {32739, -16055, 9361, -4360, 1028};
        int64_t t = m;
        for (int i = 0; i < 5; ++i) {
            p += kCoefficients[i] * t;
            t = (m * t + 8192) >> 14;
        }
    }
    // 11357 is ln 2 in Q14; 158998 = 14 x 11357 undoes the normalisation to 2^14.
    const int64_t r = (int64_t{1} << (13 - q)) + 158998 - 11357 * int64_t{n + exponent} + (p >> 15);
    return FEFix_Clip16(r >> (14 - q));
}
