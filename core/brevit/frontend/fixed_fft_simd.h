// Vector forms of the FFT's twiddled stage (x86 only). Each runs one stage
// over butterflies h apart on the interleaved buffer without clipping and
// returns the largest |component| it wrote. w0/w1 are the stage's cosine
// and minus-sine runs laid out for the instruction set (see fixed_fft.cpp).
#pragma once

#include <cstdint>

// h >= 4.
int32_t FixedFFTSse2_Stage(int16_t* x, int32_t points, int32_t h, const int16_t* w0,
                           const int16_t* w1);
// h >= 16; only on a CPU with AVX2.
int32_t FixedFFTAvx2_Stage(int16_t* x, int32_t points, int32_t h, const int16_t* w0,
                           const int16_t* w1);
