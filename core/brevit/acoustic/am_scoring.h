// Per-frame scoring of an acoustic model: scoring sets, frame start and end,
// frame preparation, the state-score cache with its frame-level values, and
// the weighted-distance kernels every other kernel family is checked against.
// Costs are signed 16-bit values, lower is better; 16384 marks a state not
// computed in this frame.
#pragma once

#include "core/brevit/acoustic/am.h"

#include <cstdint>

// Which of the model's installed kernels a decoder scores with.
struct AMScoringSet {
    int32_t useShortlist;
    int32_t useVQ;
    int32_t unused1;
    AMStateKernel cachedScorer;
    AMStateKernel directScorer;
    AMComponentKernel componentScorer;
    int32_t unused2;
};

// ---- scoring sets
AMScoringSet* AM_NewScoringSet(void);
void AM_DeleteScoringSet(AMScoringSet* set);
// A path is taken only when the model has its scorer installed.
void AM_GetScoringFunctions(AM* am, AMScoringSet* set, int32_t wantShortlist, int32_t wantVQ);
void AM_SetScoringSet(AM* am, const AMScoringSet* set);

// ---- frames
void AM_Reset(AM* am);
// frameValue points at the frame's signed 16-bit side value (null reads 0).
void AM_NewFrame(AM* am, const uint8_t* frame, const int16_t* frameValue, const AMScoringSet* set,
                 int32_t frameIndex, int32_t reset);
void AM_EndFrame(AM* am, int32_t ignored, uint32_t* crc);
void AM_ResetFrameState(AM* am);
// A null frame is the low feature byte in every dimension.
void AM_PrepareFrame(AM* am, const uint8_t* frame, int32_t changed);
void AM_PackFrameWords(AM* am);
int32_t AM_GetStateScoreUncached(AM* am, int32_t state);
// The extra words of the shortlist's calls are not used by the plain kernels.
int32_t AM_ScoreStateDirect(AM* am, int32_t state, int32_t word1, int32_t word2);
int32_t AM_ScoreComponent(AM* am, int32_t state, int32_t component);
int32_t AM_GetNonSpeechScore(AM* am, int32_t* fillerLower);
int32_t AM_IsSilenceFrame(AM* am);
int32_t AM_GetBestState(AM* am, int32_t frameIndex, uint16_t* state);
int32_t AM_GetNumScoredStates(const AM* am);

// ---- state-score cache
int32_t AM_GetStateScore(AM* am, int32_t state);
void AM_ResetStateScoreCache(AM* am);
int32_t AM_GetFillerScore(AM* am);
int32_t AM_GetBestCachedScore(AM* am);
int32_t AM_GetFrameGarbageScore(AM* am);
int32_t AM_GetSilenceScoreBias(AM* am);
const uint16_t* AM_GetModelStates(const AM* am, int32_t model, int32_t* count);
const uint16_t* AM_GetModelStateIds(const AM* am, int32_t model);

// ---- kernels
// A logical right shift where counts outside 0..31 give 0. The count is
// wide so that a stored shift offset by the scaling rules cannot overflow.
uint32_t AM_ShiftRight(uint32_t value, int64_t shift);
// Weighted distance to cost: min(ceiling, (round/2 + multiplier x (d >> (shift - 2))) >> (shift + 2)).
int32_t AM_ScaleWeightedDistance(const AM* am, uint32_t distance);
// Weight row and constant indexes of a component by covariance type.
int32_t AM_WeightRowIndex(const AM* am, int32_t state, int32_t component);
// Scalar-covariance cost: min(ceiling, (round/2 + multiplier x v) >> shift).
int32_t AM_ScaleScalarDistance(const AM* am, uint32_t distance);
int32_t AM_CalculateFullScore(AM* am, int32_t state);
int32_t AM_CalculateScoreCSV(AM* am, int32_t state);
int32_t AM_CalculateComponentScoreCSV(AM* am, int32_t state, int32_t component);
