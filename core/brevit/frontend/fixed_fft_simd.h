// Vector forms of the FFT's twiddled stage (x86 only). Each runs one stage
// over butterflies h apart on the interleaved buffer without clipping and
// returns the largest |component| it wrote. w0/w1 are the stage's cosine
// and minus-sine runs laid out for the instruction set (see fixed_fft.cpp).
#pragma once

#include <cstdint>

// Bit reversal, gathering x[i] = input[order[i]] (complex points), and the
// two halving stages; returns the largest |component| written. points is a
// multiple of 16.
int32_t FixedFFTSse2_FirstStages(int16_t* x, const int16_t* input, const int16_t* order,
                                 int32_t points);
// The real split's pairs from k = 1 on, four at a time while they stay below
// N/4, unclipped; returns the first k left to do.
int32_t FixedFFTSse2_Split(int16_t* x, int32_t n, const int16_t* splitTwiddles);
// h >= 4.
int32_t FixedFFTSse2_Stage(int16_t* x, int32_t points, int32_t h, const int16_t* w0,
                           const int16_t* w1);
// h >= 16; only on a CPU with AVX2.
int32_t FixedFFTAvx2_Stage(int16_t* x, int32_t points, int32_t h, const int16_t* w0,
                           const int16_t* w1);
