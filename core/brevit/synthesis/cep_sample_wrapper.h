// The waveform generator as the synthesis driver holds it ("bcs0"): four kept
// records and the generator, whose slots the operations forward to.
#pragma once

#include "core/brevit/runtime/dvk_tar.h"

#include <cstdint>

struct CepToSample;

struct CepSampleWrapper {
    int32_t kept[3];
    int32_t keptFlag;
    CepToSample* generator;
};

CepSampleWrapper* CepSampleWrapper_LoadFromBinFile(DVKTar* tar, const char* prefix);
void CepSampleWrapper_Delete(CepSampleWrapper* wrapper);
int32_t CepSampleWrapper_StartUtterance(CepSampleWrapper* wrapper, int32_t rate, int32_t level);
int32_t CepSampleWrapper_GeneratePCM(CepSampleWrapper* wrapper, int32_t logPitch,
                                     const int32_t* cepstrum, int32_t voicing, int32_t capacity,
                                     int16_t* samples);
int32_t CepSampleWrapper_CopySamples(CepSampleWrapper* wrapper, int32_t capacity,
                                     int16_t* samples);
uint32_t CepSampleWrapper_ComputeCRC(const CepSampleWrapper* wrapper);
// Coefficients of a frame the generator reads (0 without a generator).
int32_t CepSampleWrapper_GetCepstralLength(const CepSampleWrapper* wrapper);
