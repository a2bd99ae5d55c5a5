// Natural exponential in fixed point: a value with e fraction bits becomes a
// mantissa in [16384, 32767] and a shift s, exp(value) = m / 2^s.
#pragma once

#include <cstdint>

void FixExp(int16_t* x, int32_t* e);

// Every value becomes exp(value) under one common shift, which is returned:
// the largest value takes a full mantissa, the others are scaled to it.
int32_t FixExpVector(int32_t n, int16_t* v, int32_t e);
