// Cosine transform ("bdc0"): channel log energies to static cepstra.
#pragma once

#include "core/brevit/runtime/dvk_tar.h"

#include <cstdint>

struct CepstrumDCT {
    int32_t numInputs;    // M
    int32_t numCepstra;   // K
    int32_t inputShift;
    int32_t c0Shift;
    int32_t matrixShift;
    int32_t c0AsMean;     // clear when loaded
    int16_t** matrix;     // K - 1 rows of M, for c1 .. c(K-1)
};

// Null when "bdc0" is absent or malformed (M or K below 1, the matrix not
// K - 1 by M, a shift outside 0..30 or a rounding shift below 1) or memory
// runs out.
CepstrumDCT* CepstrumDCT_LoadFromBinFile(DVKTar* tar, const char* prefix);
void CepstrumDCT_Apply(const CepstrumDCT* dct, const int16_t* in, int16_t* out);
void CepstrumDCT_Destroy(CepstrumDCT* dct);
