// Integer helpers of the fixed-point front end: the rounded square root, the
// fixed-point natural log and the 16-bit clip.
#pragma once

#include <cstdint>

// Clips to the int16 range (the engine's convention for 16-bit values).
inline int16_t FEFix_Clip16(int64_t value)
{
    return static_cast<int16_t>(value < -32768 ? -32768 : (value > 32767 ? 32767 : value));
}

// Rounded integer square root: 32767 above 0x3FFFFFFF. Inline and free of
// branches, so that loops over a spectrum vectorise.
inline int32_t FixedSqrt(uint32_t value)
{
    // The largest root with root^2 <= value (what trying the 15 bits from
    // 16384 down finds): the single-precision root is within one of it.
    const uint32_t v = value > 0x3FFFFFFFu ? 0x3FFFFFFFu : value;
    uint32_t root = static_cast<uint32_t>(__builtin_sqrtf(static_cast<float>(static_cast<int32_t>(v))));
    root -= root * root > v ? 1 : 0;
    root += (root + 1) * (root + 1) <= v ? 1 : 0;
    // Round to the nearer of root and root + 1.
    root += root <= 32766 && v - root * root > (root + 1) * (root + 1) - v ? 1 : 0;
    return value > 0x3FFFFFFFu ? 32767 : static_cast<int32_t>(root);
}

// A divisor prepared for many truncating divisions, each then one 32 x 32
// multiplication and shifts (in 64 bits, no wider type needed).
struct FEFixDivisor {
    uint32_t multiplier;  // floor(2^32 (2^l - d) / d) + 1, l = ceil(log2 d)
    int32_t shift1;       // min(l, 1)
    int32_t shift2;       // max(l - 1, 0)
};

// d from 1 to 2^31 - 1.
inline FEFixDivisor FEFix_MakeDivisor(uint32_t d)
{
    const int32_t l = d <= 1 ? 0 : 32 - __builtin_clz(d - 1);
    const uint64_t excess = (uint64_t{1} << l) - d;  // below d, so the multiplier fits 32 bits
    return FEFixDivisor{static_cast<uint32_t>((excess << 32) / d + 1), l < 1 ? l : 1,
                        l > 1 ? l - 1 : 0};
}

// a / d as C++ int32 division gives it (rounded toward zero), for any a: the
// magnitude n (below 2^32) is divided as floor(n / d) =
// (t + ((n - t) >> shift1)) >> shift2 with t = (n x multiplier) >> 32.
inline int32_t FEFix_Divide(int32_t a, const FEFixDivisor& d)
{
    const uint32_t n = a < 0 ? 0u - static_cast<uint32_t>(a) : static_cast<uint32_t>(a);
    const auto t = static_cast<uint32_t>((uint64_t{n} * d.multiplier) >> 32);
    const uint32_t q = (t + ((n - t) >> d.shift1)) >> d.shift2;
    return static_cast<int32_t>(a < 0 ? 0u - q : q);
}

// round(ln(value x 2^-exponent) x 2^q) as int16; 0 for value < 1. quadratic
// selects the two-term approximation instead of the fifth-order polynomial.
// Inline, so that the filter bank's channels overlap their multiplications.
inline int16_t FixedLog(int32_t value, int32_t exponent, int32_t q, int32_t quadratic)
{
    if (value < 1)
        return 0;
    // Normalised into 16384..32767 by one shift: n doublings (negative: halvings).
    const int32_t top = 31 - __builtin_clz(static_cast<uint32_t>(value));
    const int32_t n = 14 - top;
    const int32_t m = (n >= 0 ? value << n : value >> -n) - 16384;
    // m and t stay below 2^14, so every product and partial sum fits 32 bits.
    int32_t p = 0;
    if (quadratic) {
        p = m * ((999309312 - 7783 * m) >> 15) + 16384;
    } else {
        static constexpr int32_t kCoefficients[5] = {32739, -16055, 9361, -4360, 1028};
        int32_t t = m;
        for (int i = 0; i < 5; ++i) {
            p += kCoefficients[i] * t;
            t = (m * t + 8192) >> 14;
        }
    }
    // 11357 is ln 2 in Q14; 158998 = 14 x 11357 undoes the normalisation to 2^14.
    const int64_t r = (int64_t{1} << (13 - q)) + 158998 - 11357 * (int64_t{n} + exponent) + (p >> 15);
    return FEFix_Clip16(r >> (14 - q));
}

// FixedLog of count values at one exponent (the filter bank's channels).
void FixedLogs(const int32_t* values, int32_t count, int32_t exponent, int32_t q,
               int32_t quadratic, int16_t* out);
