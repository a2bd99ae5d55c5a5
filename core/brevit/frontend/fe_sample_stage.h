// The sample stage: one frame shift of 16-bit PCM to one frame of static
// cepstra (first difference, energy, window, FFT, spectrum, frequency warp,
// filter bank, cosine transform), and the level tracker's bits for it.
#pragma once

#include "core/brevit/frontend/cepstrum_dct.h"
#include "core/brevit/frontend/fe.h"
#include "core/brevit/frontend/filter_bank.h"
#include "core/brevit/frontend/fixed_fft.h"
#include "core/brevit/frontend/frame_window.h"
#include "core/brevit/frontend/frequency_warp.h"
#include "core/brevit/frontend/level_tracker.h"
#include "core/brevit/frontend/spectrum_stage.h"

#include <cstdint>

// Zero differences in a row (within one call) that mark digital silence.
inline constexpr int32_t kFEDigitalSilenceRun = 32;

struct FEFixSampleStage {
    int16_t* samples;        // bufferLength, sliding
    int16_t* fftBuffer;      // fftSize + 2
    uint32_t* spectrum;      // fftSize/2 + 1
    int16_t* filterOutputs;  // numChannels
    int16_t* cepstra;        // numCepstra, also the previous frame's
    FrameWindow* window;
    FixedFFT* fft;
    SpectrumStage* spectrumStage;
    FrequencyWarp* warp;
    FilterBank* filterBank;
    CepstrumDCT* dct;
    LevelTracker* tracker;
    int32_t sampleRate;
    int32_t samplesInShift;
    int32_t samplesInWindow;
    int32_t fftSize;
    int32_t numChannels;
    int32_t filterBankValue1;  // kept, not used
    int32_t filterBankValue2;
    int32_t numCepstra;
    int32_t bufferLength;
    int32_t foldWindow;
    int32_t rawSamples;
    int32_t powerScale;
    int32_t frameCount;
    int16_t lastSample;
    uint16_t energy;
    int32_t lastStatus;
};

// Reads "bsc0" and the stages under it ("bh0", "bfc0", "bmt0", "bdc0");
// null when any is absent, malformed or inconsistent with "bsc0", or memory
// runs out (nothing is left allocated).
FEFixSampleStage* FEFixSampleStage_LoadFromBinFile(DVKTar* tar, const char* prefix);
void FEFixSampleStage_Destroy(FEFixSampleStage* stage);

// samplesInShift samples; writes numCepstra values to ringRow and the
// tracker's bits to *flags; returns a front-end status.
int32_t FEFixSampleStage_FeedSamples(FEFixSampleStage* stage, const int16_t* samples,
                                     int16_t* ringRow, uint8_t* flags);
// Ready cepstra and an energy instead of samples: only the tracker runs.
int32_t FEFixSampleStage_FeedCepstra(FEFixSampleStage* stage, const int16_t* cepstra,
                                     int32_t energy, int16_t* ringRow, uint8_t* flags);
void FEFixSampleStage_StartUtterance(FEFixSampleStage* stage);
void FEFixSampleStage_EndUtterance(FEFixSampleStage* stage);
void FEFixSampleStage_Reset(FEFixSampleStage* stage);

uint16_t FEFixSampleStage_GetEnergy(const FEFixSampleStage* stage);
int32_t FEFixSampleStage_GetNumChannels(const FEFixSampleStage* stage);
int32_t FEFixSampleStage_GetTrackerHistoryLength(const FEFixSampleStage* stage);
void FEFixSampleStage_GetFloorPeak(const FEFixSampleStage* stage, uint16_t out[2]);
void FEFixSampleStage_SetFloorPeak(FEFixSampleStage* stage, const uint16_t in[2]);
void FEFixSampleStage_GetFilterBankValues(const FEFixSampleStage* stage, uint32_t values[3]);
void FEFixSampleStage_SetFilterBankValues(FEFixSampleStage* stage, const uint32_t values[3]);
int32_t FEFixSampleStage_GetWarpIndex(const FEFixSampleStage* stage);
int32_t FEFixSampleStage_SetWarpIndex(FEFixSampleStage* stage, int32_t index);
int32_t FEFixSampleStage_GetMaxWarpIndex(const FEFixSampleStage* stage);
// The tracker's bits for a given c0.
int32_t FEFixSampleStage_RunTracker(FEFixSampleStage* stage, int16_t c0);
