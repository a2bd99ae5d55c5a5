// Cepstrum to log spectrum through a cosine matrix ("idctcoeff"), for
// transform sizes that are not powers of two.
#pragma once

#include "core/brevit/runtime/dvk_tar.h"

#include <cstdint>

struct CepIdct {
    int32_t specLength;   // R, log-spectrum values
    int32_t cepLength;    // C, cepstral coefficients
    int16_t** matrix;     // R rows of C - 1 coefficients (2-D array of dvk_mem.h)
};

CepIdct* CepIdct_LoadFromBinFile(DVKTar* tar, const char* prefix);
void CepIdct_Delete(CepIdct* idct);

// Writes R log-spectrum values (11 fraction bits) offset by the log gain.
void CepIdct_Apply(const CepIdct* idct, int32_t logGain, int32_t q, const int32_t* cepstrum,
                   int16_t* logSpectrum);
