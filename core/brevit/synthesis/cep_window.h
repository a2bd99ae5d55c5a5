// Synthesis window ("bh1"): symmetric, stored as its first half for the full
// and for the half rate.
#pragma once

#include "core/brevit/runtime/dvk_tar.h"

#include <cstdint>

struct CepWindow {
    int32_t length;     // W at full rate
    int16_t* full;      // W / 2 values, Q15
    int16_t* half;      // W / 4 values, Q15
};

CepWindow* CepWindow_LoadFromBinFile(DVKTar* tar, const char* prefix);
void CepWindow_Delete(CepWindow* window);

// Windows W samples (W / 2 at half rate) in place, removing the block
// exponent e: x = x h / 2^(e + 15), rounded.
void CepWindow_Apply(const CepWindow* window, int32_t halfRate, int32_t e, int16_t* frame);
