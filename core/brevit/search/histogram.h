// Score histogram of a search frame: the decoders count their hypotheses per
// 16-bit cost and ask for the tightest threshold that keeps at most a cap of
// them, so that beam pruning cannot let the live set grow without bound.
#pragma once

#include "core/brevit/runtime/brevit_param_words.h"

#include <cstdint>

struct Histogram {
    int32_t binCount;  // B
    int32_t total;     // hypotheses entered this frame, kept by the caller
    uint16_t* bins;    // B + 1: the last slot takes the sentinel
};

// Bins zeroed; null when memory runs out.
Histogram* Histogram_Create(void);
void Histogram_Delete(Histogram* histogram);
// Zeroes the first B bins and the total.
void Histogram_Clear(Histogram* histogram);
// The highest cost whose cumulative count from the best stays within cap,
// never above the beam threshold t. A sentinel in the bin after t (or in the
// extra slot) stops the scan; that bin holds its count again afterwards.
int32_t Histogram_GetPruneThreshold(Histogram* histogram, int32_t cap, int32_t best, int32_t t);
uint32_t Histogram_ComputeCRC(const Histogram* histogram);
