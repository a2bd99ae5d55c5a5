// Cepstrum to log spectrum through a half-length real transform ("bfi0"):
// a cosine transform of the cepstrum computed with the inverse FFT.
#pragma once

#include "core/brevit/runtime/dvk_tar.h"

#include <cstdint>

struct CepIFFT;

struct CepSpecFFT {
    int32_t cepLength;    // Dc, cepstral coefficients used
    int32_t specLength;   // Nb = 2^(order + 1)
    int32_t order;        // transform order
    int32_t shift;        // sh
    int16_t* t1;          // (Dc + 1) / 2 pre-rotation sines
    int16_t* t2;          // (Dc + 1) / 2 pre-rotation cosines
    int16_t* t3;          // Nb / 2 output weights
};

CepSpecFFT* CepSpecFFT_LoadFromBinFile(DVKTar* tar, const char* prefix);
void CepSpecFFT_Delete(CepSpecFFT* spec);

// Writes Nb log-spectrum values (natural-log amplitudes, 11 fraction bits)
// from a cepstrum with q fraction bits, offset by the log gain.
void CepSpecFFT_Cepstrum(const CepSpecFFT* spec, const CepIFFT* ifft, int32_t logGain, int32_t q,
                         const int32_t* cepstrum, int16_t* logSpectrum);
