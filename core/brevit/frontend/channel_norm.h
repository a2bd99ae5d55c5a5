// Channel normalisation ("bch0"): per-dimension channel means subtracted
// from each delivered frame and, with variance normalisation, deviations
// divided out, in int16 fixed point; means from the model, from a block of
// accumulated frames, from online adaptation or from the energy stage.
#pragma once

#include "core/brevit/runtime/dvk_tar.h"

#include <cstdint>

struct ChannelNorm {
    int16_t* means;
    int16_t* stds;
    int16_t* initialMeans;
    int16_t* initialStds;
    int32_t* sums;
    int32_t* squares;       // with the model's variance normalisation only
    uint16_t* squareShifts; // low byte: the right shift of squares while accumulating
    int32_t normShift;      // s: a deviation of 1 << s means 1.0
    int32_t meanRateShift;
    int32_t varRateShift;
    int32_t numLeading;
    int32_t dim;
    uint32_t minFrames;
    int32_t frameCount;
    int32_t adaptOnline;
    int32_t normaliseVariance;  // in force now (the model's flag and the parameter block)
    int32_t accumulateAll;
    int32_t splitLeading;
    int32_t started;
    int32_t accumulating;
    int32_t runWord;            // cleared at utterance start
    int32_t modelVariance;      // the model enables variance normalisation
};

// Null when "bch0" is absent or malformed (D below 1, an array not of D
// values, a rate shift outside 1..30, a norm shift outside 0..14) or memory
// runs out. Loading resets.
ChannelNorm* ChannelNorm_LoadFromBinFile(DVKTar* tar, const char* prefix);
void ChannelNorm_Reset(ChannelNorm* cn);
void ChannelNorm_Restart(ChannelNorm* cn);
void ChannelNorm_StartUtterance(ChannelNorm* cn, int32_t accumulate);
void ChannelNorm_Accumulate(ChannelNorm* cn, const int16_t* x, uint8_t flags);
// 1 when an accumulation ended (means and deviations then updated), else 0.
int32_t ChannelNorm_Release(ChannelNorm* cn);
// 0 while accumulating (the frame is held); else writes D values and returns 1.
int32_t ChannelNorm_Normalise(ChannelNorm* cn, const int16_t* x, uint8_t flags, int16_t* out);
int32_t ChannelNorm_IsAccumulating(const ChannelNorm* cn);
void ChannelNorm_GetMeans(const ChannelNorm* cn, int16_t* out);
void ChannelNorm_SetMeans(ChannelNorm* cn, const int16_t* in);
void ChannelNorm_GetStds(const ChannelNorm* cn, int16_t* out);
void ChannelNorm_SetStds(ChannelNorm* cn, const int16_t* in);
void ChannelNorm_GetSquares(const ChannelNorm* cn, int32_t* out);
void ChannelNorm_SetSquares(ChannelNorm* cn, const int32_t* in);
uint32_t ChannelNorm_ComputeCRC(const ChannelNorm* cn);
void ChannelNorm_Destroy(ChannelNorm* cn);

// Rounding helpers shared with the energy stage.
// (v + half) >> r for v >= 0, mirrored for v < 0.
int32_t FEFix_ShiftRound(int32_t v, int32_t r);
// (a + d/2) / d for a >= 0, mirrored for a < 0; a zero divisor counts as 1.
int32_t FEFix_DivideRound(int64_t a, uint16_t d);
