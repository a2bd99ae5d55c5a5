// The analysis window ("bh0"): block normalisation of the frame, a symmetric
// window from its half table, and folding into a shorter FFT.
#pragma once

#include "core/brevit/runtime/dvk_tar.h"

#include <cstdint>

struct FrameWindow {
    int32_t windowLength;  // W, even
    int32_t outputLength;  // F, the FFT size
    int32_t fold;          // F < W: the window is folded modulo F
    int16_t* halfWindow;   // W/2 Q15 coefficients
    int16_t* coefficients; // all W, made at load
    int16_t* folded;       // W values before folding (fold only)
};

// Null when "bh0" is absent or malformed (odd or non-positive W, F below 1,
// a half table whose count is not W/2, folding outside W/2 <= F <= W, or no
// fold with F < W) or memory runs out.
FrameWindow* FrameWindow_LoadFromBinFile(DVKTar* tar, const char* prefix);
// Windows in[0..W-1] into out[0..F-1]; returns the block exponent k (the
// frame was scaled up by 2^k).
int32_t FrameWindow_Apply(const FrameWindow* window, const int16_t* in, int16_t* out);
void FrameWindow_Destroy(FrameWindow* window);
