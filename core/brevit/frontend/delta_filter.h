// Delta filter ("bdf0"): completes a queued frame's first- and second-order
// dynamic coefficients from its neighbours in the frame ring, by tap filters
// or by regression.
#pragma once

#include "core/brevit/runtime/dvk_tar.h"

#include <cstdint>

struct DeltaFilter {
    int32_t halfWidth;       // N: a frame is complete N frames after it entered
    int32_t numStatics;      // S
    int32_t featureLength;   // L: statics, then first order (L >= 2S), second order (L >= 3S)
    int32_t replicateEdges;  // missing neighbours are the first or last frame
    int32_t useTaps;
    int16_t* deltaTaps;      // 2N + 1, Q14, centre at N
    int16_t* accelTaps;
};

// Null when "bdf0" is absent or malformed (N below 0, S below 1, L below S,
// tap mode without both 2N + 1 tap arrays) or memory runs out.
DeltaFilter* DeltaFilter_LoadFromBinFile(DVKTar* tar, const char* prefix);
// ring: ringSize rows of L int16. Completes the row N behind writeRow (the
// regression also the first order of the row N/2 behind). frames: outside
// final mode the frames of the utterance before writeRow; in final mode the
// rows queued after the row being completed, which bounds every right
// neighbour. 1 when the row was completed.
int32_t DeltaFilter_Process(const DeltaFilter* filter, int16_t* ring, int32_t writeRow,
                            int32_t ringSize, int32_t frames, int32_t final);
uint32_t DeltaFilter_ComputeCRC(const DeltaFilter* filter);
void DeltaFilter_Destroy(DeltaFilter* filter);
