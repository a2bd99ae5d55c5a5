// Energy/SNR stage ("bcp0"): follows the c0 range (noise floor to peak) and
// derives channel normalisation's c0 mean and every deviation from it; also
// the front end's energy extremes, SNR and level-jump test.
#pragma once

#include "core/brevit/frontend/channel_norm.h"
#include "core/brevit/runtime/dvk_tar.h"

#include <cstdint>

struct EnergyStage {
    int32_t dim;           // dimensions whose means it tracks
    int32_t arrayLength;
    int32_t scaleShift;    // s
    int32_t warmupFrames;
    int32_t count;
    int32_t rateShift;
    int32_t kept;          // read and kept
    int16_t* slopes;       // arrayLength
    int16_t* offsets;      // arrayLength
    int16_t* means;        // dim
    int16_t minRange;
    int16_t rangeSlope;    // Q15
    int16_t rangeOffset;
    int16_t shrink;
    int16_t minEnergy;
    int16_t maxEnergy;
    int16_t range;
    int16_t smoothedRange;
    int16_t jumpFactor;    // Q13
};

// Null when "bcp0" is absent or malformed (D below 1, arrays not of
// arrayLength values, shifts outside 1..30, a negative slope or offset past
// index 0) or memory runs out.
EnergyStage* EnergyStage_LoadFromBinFile(DVKTar* tar, const char* prefix);
// A new frame (x[0] is c0): extremes, means, range; sets cn's means and,
// when cn normalises variance, its deviations.
void EnergyStage_Process(EnergyStage* stage, const int16_t* x, ChannelNorm* cn);
void EnergyStage_Observe(EnergyStage* stage, int16_t c0);
void EnergyStage_GetMinMax(const EnergyStage* stage, int16_t* minEnergy, int16_t* maxEnergy);
int32_t EnergyStage_LevelJump(const EnergyStage* stage);
void EnergyStage_Reset(EnergyStage* stage, int32_t mode);
void EnergyStage_GetState(const EnergyStage* stage, int32_t* count, int16_t* means,
                          int16_t* minEnergy, int16_t* maxEnergy, int16_t* smoothedRange);
void EnergyStage_SetState(EnergyStage* stage, int32_t count, const int16_t* means,
                          int16_t minEnergy, int16_t maxEnergy, int16_t smoothedRange);
uint32_t EnergyStage_ComputeCRC(const EnergyStage* stage);
void EnergyStage_Destroy(EnergyStage* stage);
