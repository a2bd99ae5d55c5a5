// Adaptation of a VQ codebook: per codeword a weighted count and per codebook
// byte a weighted sum of deviations of aligned frames from the codeword, in
// 16 bits with joint halving; the update moves each codeword by its mean
// deviation.
#pragma once

#include "core/brevit/acoustic/am.h"

#include <cstdint>

struct VQAccumulators {
    int16_t* counts;   // per codeword, starting at the prior count
    int16_t* sums;     // per codebook byte
};

// Replaces any accumulator by a fresh one (prior from parameter word 174
// unless noPrior) and gives the model its adapted codebook copy; 0 when the
// model has no VQ or an allocation fails.
int32_t AM_VQInitAccumulators(AM* am, int32_t method, int32_t noPrior);
// Adds the frame's weighted deviation from the component's codeword in each
// stream; 0 without an accumulator or for a component the model lacks.
int32_t AM_VQIncrementAccumulator(AM* am, const uint8_t* frame, int32_t state, int32_t component,
                                  int16_t weight);
// Moves every codeword with a positive count by sum / count, clamped to the
// mean byte range; nothing without an accumulator. Always 1.
int32_t AM_VQAdaptModelsFromAccumulators(AM* am);
void AM_VQFreeAccumulators(AM* am);
