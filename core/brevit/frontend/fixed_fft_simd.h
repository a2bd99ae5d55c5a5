// Vector passes of the fixed-point FFT (x86 only), none clipping: the
// caller runs them only where no output can leave the 16-bit range. Each
// returns what the scalar loop needs next (see fixed_fft.cpp).
#pragma once

#include <cstdint>

// Bit reversal, gathering the points of input (a copy of x) by order, and
// the two halving stages; returns the largest |component| written. points
// is a multiple of 16.
int32_t FixedFFTSse2_FirstStages(int16_t* x, const int16_t* input, const int16_t* order,
                                 int32_t points);
// The real split's pairs from k = 1 on, four at a time while they stay below
// N/4; returns the first k left to do.
int32_t FixedFFTSse2_Split(int16_t* x, int32_t n, const int16_t* splitTwiddles);
// One twiddled stage over butterflies h apart, h >= 4, points >= 16, with
// the stage's cosine and minus-sine runs laid out for 8 lanes; returns the
// largest |component| written.
int32_t FixedFFTSse2_Stage(int16_t* x, int32_t points, int32_t h, const int16_t* w0,
                           const int16_t* w1);

// The same with AVX2, only on a CPU that has it: points a multiple of 32,
// the gather as laid out at load, split pairs eight then four at a time,
// runs for 16 lanes.
int32_t FixedFFTAvx2_FirstStages(int16_t* x, const int16_t* input, const int32_t* index,
                                 int32_t points);
int32_t FixedFFTAvx2_Split(int16_t* x, int32_t n, const int16_t* splitTwiddles);
int32_t FixedFFTAvx2_Stage(int16_t* x, int32_t points, int32_t h, const int16_t* w0,
                           const int16_t* w1);
