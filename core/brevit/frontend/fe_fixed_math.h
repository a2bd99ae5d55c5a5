// Integer helpers of the fixed-point front end: the rounded square root, the
// fixed-point natural log and the 16-bit clip.
#pragma once

#include <cstdint>

// Clips to the int16 range (the engine's convention for 16-bit values).
inline int16_t FEFix_Clip16(int64_t value)
{
    return static_cast<int16_t>(value < -32768 ? -32768 : (value > 32767 ? 32767 : value));
}

// Rounded integer square root: 32767 above 0x3FFFFFFF.
int32_t FixedSqrt(uint32_t value);

// round(ln(value x 2^-exponent) x 2^q) as int16; 0 for value < 1. quadratic
// selects the two-term approximation instead of the fifth-order polynomial.
int16_t FixedLog(int32_t value, int32_t exponent, int32_t q, int32_t quadratic);
