// Cepstral warp ("bcw0"): a small first-order frequency warp of the
// normalised cepstra of each delivered frame, with a factor learnt from the
// engine's best-state targets.
#pragma once

#include "core/brevit/frontend/energy_stage.h"
#include "core/brevit/runtime/dvk_tar.h"

#include <cstdint>

struct CepstralWarp {
    int32_t numStatics;  // D, the block length within the feature vector
    int32_t numUsed;     // K: features the estimation uses; K + 1 statics are stored
    int32_t updates;
    int32_t numerator;
    int32_t denominator;
    int32_t energyRange;  // at the last restart
    int16_t alpha;        // Q15, 0 = off
    int16_t* work;        // 3D values
};

// Null when "bcw0" is absent or malformed (D below 1, K outside 0..3D) or
// memory runs out. The state starts at zero.
CepstralWarp* CepstralWarp_LoadFromBinFile(DVKTar* tar, const char* prefix);
void CepstralWarp_Reset(CepstralWarp* cw);
int32_t CepstralWarp_GetDim(const CepstralWarp* cw);
void CepstralWarp_GetState(const CepstralWarp* cw, int32_t values[4], int16_t* alpha);
void CepstralWarp_SetState(CepstralWarp* cw, const int32_t values[4], int16_t alpha);
// v: 3D normalised values; rowIndex: the output transform's rows (each below 3D).
void CepstralWarp_Apply(CepstralWarp* cw, const int32_t* rowIndex, int32_t numOutputs, int16_t* v);
// One learning step from a frame's statics v (3D values, rest 0), its c0, the
// output transform's scales and shift, and the bytes it made (actual) against
// the target bytes. energy: the energy stage (null reads as min 1, max 0).
void CepstralWarp_Update(CepstralWarp* cw, const EnergyStage* energy, const int16_t* v, int16_t c0,
                         const int16_t* scales, int32_t shift, const int32_t* rowIndex,
                         int32_t numOutputs, const uint8_t* actual, const uint8_t* target);
uint32_t CepstralWarp_ComputeCRC(const CepstralWarp* cw);
void CepstralWarp_Destroy(CepstralWarp* cw);
