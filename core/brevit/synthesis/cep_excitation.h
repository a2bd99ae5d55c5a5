// Mixed excitation ("bpt0"): the shaped magnitude spectrum is multiplied per
// bin by a sum of pitch-pulse phasors and random phasors, the voiced share
// falling off linearly above a cut-off bin chosen by the voicing type.
#pragma once

#include "core/brevit/runtime/dvk_tar.h"

#include <cstdint>

struct CepExcitation {
    int32_t tableSize;   // S, a power of two
    int32_t start2;      // fall-off of voicing type 2
    int32_t end2;
    int32_t start1;      // fall-off of voicing type 1
    int32_t end1;
    int16_t* sine;       // 5 S / 4 entries: sin(2 pi j / S) in Q15
};

CepExcitation* CepExcitation_LoadFromBinFile(DVKTar* tar, const char* prefix);
void CepExcitation_Delete(CepExcitation* excitation);

// spectrum: pairs whose first slot holds the magnitude on entry; on exit the
// pairs hold the excited real and imaginary parts. S / 2 pairs at full rate,
// S / 4 at half rate. The block exponent drops by the pulse-count bits.
void CepExcitation_Apply(const CepExcitation* excitation, int32_t halfRate, int32_t voicing,
                         int32_t pulseCount, const int32_t* pulses, uint32_t* seed,
                         int32_t* blockExponent, int16_t* spectrum);
