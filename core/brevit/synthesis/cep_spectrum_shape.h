// Spectral shaping and band-to-bin mapping ("bim0"): band offsets, a contrast
// about the least-squares line through the bands, exponentiation, and linear
// interpolation of the band magnitudes onto the transform's bins.
#pragma once

#include "core/brevit/runtime/dvk_tar.h"

#include <cstdint>

struct CepSpecShape {
    int32_t bands;          // B
    int32_t halfBands;      // Bh, bands used at half rate
    int32_t kept[3];
    int32_t weightCount;
    int16_t tilt;           // Q15
    int16_t* weights;       // one per interpolated bin
    int16_t* edges;         // B + 2 bin edges
    int16_t* offsets;       // B band offsets
    int32_t tableSize;      // S of the transform, set by the generator
};

CepSpecShape* CepSpecShape_LoadFromBinFile(DVKTar* tar, const char* prefix);
void CepSpecShape_Delete(CepSpecShape* shape);

// True when the edges fit a transform of tableSize bins (and the half-rate
// edges its lower half); the shape then keeps tableSize.
bool CepSpecShape_FitTransform(CepSpecShape* shape, int32_t tableSize);

// Shapes and exponentiates the B band values in place and writes the first
// slot of S / 2 spectrum pairs (S / 4 at half rate); bins past the last edge
// get 0. The common exponent of the magnitudes goes to blockExponent.
void CepSpecShape_Apply(const CepSpecShape* shape, int32_t halfRate, int32_t* blockExponent,
                        int16_t* logSpectrum, int16_t* spectrum);
