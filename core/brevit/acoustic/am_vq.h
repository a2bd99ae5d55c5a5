// Vector-quantised models: the features cut into streams, each quantised by
// a codebook of byte codewords; a component is one codeword label per
// stream. Every codeword is scored once a frame, a component is the sum of
// its codewords' scores.
#pragma once

#include "core/brevit/acoustic/am.h"

#include <cstdint>

// Every stream four dimensions wide (1 without streams).
int32_t AM_Has4ParStreams(const AM* am);
// Six streams of 256 codewords under scalar covariance.
int32_t AM_HasOptimizedVQ(const AM* am);
// The scored codebook: the adapted copy once adaptation made one, else the
// loaded codewords (packed words read as their bytes, lowest first).
const uint8_t* AM_VQCodebook(const AM* am);
uint32_t AM_VQCodebookBytes(const AM* am);
// Per-frame codeword scores: with the 16-bit inverse variances of row 0,
// without them, or from packed inner-product codewords (six streams of
// 256). Each returns the number of streams scored.
int32_t AM_VQPrecomputeScoresForClusters(AM* am);
int32_t AM_VQPrecomputeScoresForClustersScalarCov(AM* am);
int32_t AM_VQPrecomputeScoresForClustersInnerProduct(AM* am);
int32_t AM_VQGetScore(AM* am, int32_t state);
int32_t AM_VQGetScoreOptimized(AM* am, int32_t state);
int32_t AM_VQGetComponentScore(AM* am, int32_t state, int32_t component);
int32_t AM_VQGetBestFrameScore(AM* am);
// Squared norms of the packed 4-byte codewords into the norm table; the last
// norm is returned.
int32_t AM_Precompute4ParNorms(AM* am);
// Bounds, offsets and labels inside their tables (checked at load).
int32_t AM_VQTablesFit(const AM* am);
// Scales a VQ sum: under scalar covariance (offset + multiplier x sum) >>
// shift, else sum x multiplier x 2^-shift rounded; capped at the ceiling.
int32_t AM_VQScale(const AM* am, int64_t sum);
