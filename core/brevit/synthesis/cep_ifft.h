// Inverse FFT of a real frame held as interleaved 16-bit pairs ("bif0"): a
// half-length complex transform with a real-input step, Q15 twiddles and a
// halving at every stage.
#pragma once

#include "core/brevit/runtime/dvk_tar.h"

#include <cstdint>

struct CepIFFT {
    uint32_t tableSize;     // S = 2^(maxOrder + 1)
    int32_t maxOrder;
    int16_t* realTwiddles;  // S entries: (sin, cos) pairs of the real-input step
    int16_t* butterfly;     // S / 2 entries: (cos, sin) pairs of the butterflies
    uint16_t* bitReverse;   // S / 2 entries: 16-bit offsets of the partner pairs
};

CepIFFT* CepIFFT_LoadFromBinFile(DVKTar* tar, const char* prefix);
void CepIFFT_Delete(CepIFFT* ifft);

// In place over 2^(order+1) values (2^order pairs); order 1 .. maxOrder.
void CepIFFT_Apply(const CepIFFT* ifft, int32_t order, int16_t* data);
