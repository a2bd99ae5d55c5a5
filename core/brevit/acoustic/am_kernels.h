// The Gaussian scoring kernels beyond the weighted-distance reference
// (am_scoring.h): state kernels (model, state), component kernels (model,
// state, component within the state) and raw distances of two byte frames.
// Every kernel reads the frame prepared by AM_PrepareFrame and changes
// nothing.
#pragma once

#include "core/brevit/acoustic/am_scoring.h"

#include <cstdint>

// ---- per-dimension weights (weighted-distance scaling)
int32_t AM_CalculateScoreCSVThreshold(AM* am, int32_t state);
int32_t AM_CalculateScoreCSVByte(AM* am, int32_t state);
int32_t AM_CalculateScoreCSVByteThreshold(AM* am, int32_t state);
int32_t AM_CalculateScoreCSVByte36(AM* am, int32_t state);
int32_t AM_CalculateScoreCSVByteThreshold36(AM* am, int32_t state);
int32_t AM_CalculateComponentScoreCSVByte(AM* am, int32_t state, int32_t component);
int32_t AM_CalculateScoreCSV4B(AM* am, int32_t state);
int32_t AM_CalculateComponentScoreCSV4B(AM* am, int32_t state, int32_t component);
int32_t AM_CalculateScoreCSVInnerProductTurtle(AM* am, int32_t state);
int32_t AM_CalculateComponentScoreCSVInnerProductTurtle(AM* am, int32_t state, int32_t component);
int32_t AM_CalculateScoreCSVInnerProductHare(AM* am, int32_t state);
int32_t AM_CalculateComponentScoreCSVInnerProductHare(AM* am, int32_t state, int32_t component);

// ---- scalar covariance, Laplacian
int32_t AM_CalculateComponentScoreScalarCov(AM* am, int32_t state, int32_t component);
int32_t AM_CalculateComponentScoreScalarCov4B(AM* am, int32_t state, int32_t component);
int32_t AM_CalculateScoreScalarCov4B(AM* am, int32_t state);
int32_t AM_CalculateComponentScoreLaplacian(AM* am, int32_t state, int32_t component);
int32_t AM_CalculateComponentScoreLaplacianScalarCov(AM* am, int32_t state, int32_t component);

// ---- inner-product words
int32_t AM_CalculateComponentScoreScalarCovInnerProduct24Simple(AM* am, int32_t state, int32_t component);
int32_t AM_CalculateComponentScoreScalarCovInnerProduct24NonEst(AM* am, int32_t state, int32_t component);
int32_t AM_CalculateComponentScoreScalarCovInnerProduct24(AM* am, int32_t state, int32_t component);
int32_t AM_CalculateComponentScoreScalarCovInnerProduct12Simple(AM* am, int32_t state, int32_t component);
int32_t AM_CalculateComponentScoreScalarCovInnerProduct36Simple(AM* am, int32_t state, int32_t component);
int32_t AM_CalculateScoreScalarCovInnerProduct24EvenSimple(AM* am, int32_t state);
int32_t AM_CalculateScoreScalarCovInnerProduct24OddSimple(AM* am, int32_t state);
int32_t AM_CalculateScoreScalarCovInnerProduct24EvenNonEst(AM* am, int32_t state);
int32_t AM_CalculateScoreScalarCovInnerProduct24OddNonEst(AM* am, int32_t state);
int32_t AM_CalculateScoreScalarCovInnerProduct24Even(AM* am, int32_t state);
int32_t AM_CalculateScoreScalarCovInnerProduct24Odd(AM* am, int32_t state);
int32_t AM_CalculateScoreScalarCovInnerProduct24Backoff(AM* am, int32_t state);
int32_t AM_CalculateScoreScalarCovInnerProduct12EvenSimple(AM* am, int32_t state);
int32_t AM_CalculateScoreScalarCovInnerProduct12Odd(AM* am, int32_t state);
int32_t AM_CalculateScoreScalarCovInnerProduct36Simple(AM* am, int32_t state);
int32_t AM_CalculateScoreScalarCovInnerProductSimpleGeneral(AM* am, int32_t state);
int32_t AM_CalculateScoreScalarCovInnerProduct24Even4B(AM* am, int32_t state);
int32_t AM_CalculateScoreScalarCovInnerProduct24Even4BNonEst(AM* am, int32_t state);
int32_t AM_CalculateScoreScalarCovInnerProduct24Backoff4B(AM* am, int32_t state);
int32_t AM_CalculateLaplacianScalarCovInnerProduct24Even4B(AM* am, int32_t state);
int32_t AM_CalculateLaplacianScalarCovInnerProduct24Component4B(AM* am, int32_t state, int32_t component);
int32_t AM_CalculateLaplacianCSVInnerProduct24Even4B(AM* am, int32_t state);
int32_t AM_CalculateLaplacianCSVInnerProduct24Component4B(AM* am, int32_t state, int32_t component);
// Words of SimpleGeneral's rows: 6, or 7, 8, 9 for mean strides 28, 32, 36.
int32_t AM_SimpleGeneralWords(const AM* am);

// ---- raw distances of two frames (a plays the means, b the features)
int32_t fea_GetRawScoreScalarCov(AM* am, const uint8_t* a, const uint8_t* b);
int32_t fea_GetRawScoreByGlobalCov(AM* am, const uint8_t* a, const uint8_t* b);
int32_t fea_GetRawScoreByCov(AM* am, const uint8_t* a, const uint8_t* b, int32_t state);
int32_t fea_GetRawScoreScalarCov4B(AM* am, const uint8_t* a, const uint8_t* b);
int32_t fea_GetRawScoreByGlobalCov4B(AM* am, const uint8_t* a, const uint8_t* b);
int32_t AM_GetRawScore(AM* am, const uint8_t* a, const uint8_t* b);
int32_t AM_GetFrameDistance(const AM* am, const uint8_t* a, const uint8_t* b);
// Sums of squares of a component's mean bytes from its packed row: head
// dimensions 0-7, tail the rest (24 or 12 dimensions).
void AM_SumMeanSquares24(AM* am, int32_t state, int32_t component, uint32_t* head, uint32_t* tail);
void AM_SumMeanSquares12(AM* am, int32_t state, int32_t component, uint32_t* head, uint32_t* tail);

// ---- kernel choice
int32_t AM_IsOddMajority(const AM* am);
int32_t AM_SelectInnerProductKernels(AM* am);
int32_t AM_SelectScoringKernels(AM* am);
// 0 when an installed kernel would read past the model's arrays or the
// frame's words: such a model is refused at load.
int32_t AM_KernelsFit(const AM* am);
