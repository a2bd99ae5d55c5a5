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
    // Made at load for the vector path: the rows padded with zeros to
    // paddedInputs (a multiple of 8) and laid end to end, room for the input
    // padded alike, and the largest sum of |entries| over a row.
    int16_t* paddedMatrix;
    int16_t* paddedInput;
    int32_t paddedInputs;
    int64_t rowMagnitude;
};

// Null when "bdc0" is absent or malformed (M or K below 1, the matrix not
// K - 1 by M, a shift outside 0..30 or a rounding shift below 1) or memory
// runs out.
CepstrumDCT* CepstrumDCT_LoadFromBinFile(DVKTar* tar, const char* prefix);
void CepstrumDCT_Apply(const CepstrumDCT* dct, const int16_t* in, int16_t* out);
void CepstrumDCT_Destroy(CepstrumDCT* dct);
