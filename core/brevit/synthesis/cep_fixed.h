// Fixed-point helpers shared by the vocoder's stages: 16-bit saturation and
// shifts that stay defined for every count. Intermediates are 64-bit; where
// the 32-bit arithmetic they stand for would not overflow, results are equal.
#pragma once

#include <cstdint>

// Number of values clipped by any stage since the last reset. Tests use it to
// tell clean runs from clipped ones.
extern uint32_t gCepSaturationCount;

inline void CepFixed_ResetSaturationCount() { gCepSaturationCount = 0; }

// Below -32767 gives -32768, above 32767 gives 32767.
inline int16_t CepFixed_Sat16(int64_t v)
{
    if (v > 32767) {
        ++gCepSaturationCount;
        return 32767;
    }
    if (v < -32767) {
        if (v < -32768)
            ++gCepSaturationCount;
        return -32768;
    }
    return static_cast<int16_t>(v);
}

// Held to the signed 32-bit range.
inline int64_t CepFixed_Sat32(int64_t v)
{
    if (v > INT32_MAX) {
        ++gCepSaturationCount;
        return INT32_MAX;
    }
    if (v < INT32_MIN) {
        ++gCepSaturationCount;
        return INT32_MIN;
    }
    return v;
}

// v / 2^n rounded half up for n > 0 (0 or -1 once n passes the value's
// bits), v for n = 0, and v x 2^-n held to 32 bits for n < 0.
inline int64_t CepFixed_RoundShift(int64_t v, int32_t n)
{
    if (n > 0) {
        if (n > 62)
            return v < 0 ? -1 : 0;
        return (v + (int64_t{1} << (n - 1))) >> n;
    }
    if (n == 0)
        return v;
    const int32_t left = n < -32 ? 32 : -n;
    if (v > (int64_t{INT32_MAX} >> left) || v < (int64_t{INT32_MIN} >> left))
        return CepFixed_Sat32(v > 0 ? int64_t{INT32_MAX} + 1 : int64_t{INT32_MIN} - 1);
    return v * (int64_t{1} << left);
}

// Arithmetic right shift (floor) by n >= 0, any n.
inline int64_t CepFixed_Shr(int64_t v, int32_t n)
{
    if (n > 62)
        return v < 0 ? -1 : 0;
    return v >> n;
}
