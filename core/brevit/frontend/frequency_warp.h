// Frequency warp (vocal-tract length normalisation): resamples the spectrum
// along a piecewise-linear frequency axis chosen by a warp index.
#pragma once

#include <cstdint>

struct FrequencyWarp {
    int32_t warpIndex;
    int32_t sampleRate;  // R
    int32_t fftSize;     // N
    int32_t destBreak;   // D, Hz (linear mode: the break frequency)
    int32_t sourceBreak; // S, Hz
    int32_t breakMode;
    uint32_t* output;    // N/2 + 1 entries in break mode, N/2 otherwise
    int16_t* sourceIndex;
    int16_t* weightA;    // Q12, A + B = 4096
    int16_t* weightB;
};

extern const int16_t sDestBreak8k[16];
extern const int16_t sDestBreak11k[16];
extern const int16_t sPWWarpValues[5];

// Mode and linear break from the current parameter block. Null without
// memory, or when the axis cannot be built (break mode with a source break
// below 1 Hz; linear mode with a break outside 0 .. R/2).
FrequencyWarp* FrequencyWarp_Create(int32_t sampleRate, int32_t fftSize);
// 1 when the index is in the mode's range (linear -2..2; break mode 0..15 at
// 8000 Hz and 11000-11050 Hz, else 0) and the axis was rebuilt; 0, keeping
// the previous index, otherwise.
int32_t FrequencyWarp_SetIndex(FrequencyWarp* warp, int32_t index);
int32_t FrequencyWarp_GetIndex(const FrequencyWarp* warp);
int32_t FrequencyWarp_GetMaxIndex(const FrequencyWarp* warp);
// spectrum: N/2 + 1 entries, replaced by the warped spectrum.
void FrequencyWarp_Apply(FrequencyWarp* warp, uint32_t* spectrum);
void FrequencyWarp_Destroy(FrequencyWarp* warp);
