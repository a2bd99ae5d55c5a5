// Magnitude or power per FFT bin, in the mode the parameter block selects.
#pragma once

#include <cstdint>

struct SpectrumStage {
    int32_t fftSize;  // N
    int32_t mode;     // 0 power, 1 estimate, 2 refined estimate, 3 power, 4 exact magnitude
    int32_t refine;   // mode 2: the extra correction step
};

// Reads the mode from the current parameter block; null without memory.
SpectrumStage* SpectrumStage_Create(int32_t fftSize);
// fft: the FFT's (re, im) pairs; spectrum: N/2 + 1 entries (modes 0 and 3
// fill all of them, the others the first N/2).
void SpectrumStage_Apply(const SpectrumStage* stage, const int16_t* fft, uint32_t* spectrum);
// Number of bins the mode computes.
int32_t SpectrumStage_GetNumBins(const SpectrumStage* stage);
void SpectrumStage_Destroy(SpectrumStage* stage);
