// Fixed-point real FFT ("bfc0"): N real samples as an N/2-point complex FFT
// of (even, odd) pairs, halving at every stage, then the real split.
#pragma once

#include "core/brevit/runtime/dvk_tar.h"

#include <cstdint>

struct FixedFFT {
    int32_t size;            // N, a power of two >= 8
    int32_t stages;          // log2(N/2); the output is scaled down by 2^stages
    int16_t* splitTwiddles;  // N: (sin, cos) Q14 pairs of the real split
    int16_t* twiddles;       // N/2: (cos, -sin) Q15 pairs of the butterflies
    int16_t* bitReverse;     // N/2 indices
    int32_t twiddleBound;    // max |cos| + |sin| over the twiddles, set at load
    int32_t splitBound;      // the same over the split twiddles
    int32_t path;            // FixedFFTPath: the best this CPU runs, set at load; may be lowered
    int16_t* stageTwiddles;  // per twiddled stage, the twiddles laid out for the vector paths
    int16_t* order;          // N/2: the point each bit-reversed position gathers
    int32_t* gatherIndex;    // N/2: the same in the order the 16-lane gather takes it
};

// How FixedFFT_Apply runs its passes (scalar, or 8 or 16 lanes where the
// size allows and no clip can bite); every path gives the same bits.
enum FixedFFTPath : int32_t { kFixedFFTScalar = 0, kFixedFFTSse2 = 1, kFixedFFTAvx2 = 2 };
// The highest path this build and CPU can run.
int32_t FixedFFT_BestPath();

// Null when "bfc0" is absent, malformed or inconsistent (N not a power of
// two >= 8, stages != log2(N/2), a table missing or of the wrong count, an
// index outside 0..N/2-1) or memory runs out.
FixedFFT* FixedFFT_LoadFromBinFile(DVKTar* tar, const char* prefix);
// buffer: N + 2 int16; on entry the N samples, on return bins 0..N/2 as
// (real, imaginary) pairs. Returns stages.
int32_t FixedFFT_Apply(const FixedFFT* fft, int16_t* buffer);
void FixedFFT_Destroy(FixedFFT* fft);
