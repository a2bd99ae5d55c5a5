// Speaker adaptation of the acoustic model from frames whose state is known:
// the common cycle (method, accumulation, finish, restart, release), the
// per-component statistics in 16-bit fixed point with joint halving, the
// MAP mean update, their smoothing over the state-tying tree, global
// variance adaptation and MLLR. The methods plug into the model's four
// adaptation slots and its MLLR slot.
#pragma once

#include "core/brevit/acoustic/am.h"
#include "core/brevit/runtime/brevit_global_parameters.h"

#include <cstdint>
#include <cstring>

struct DVKMatrix;

// One state's statistics: per component a count and a prior count in count
// units (halved together) and the sum of weight x (frame - current mean),
// allocated on the component's first frame.
struct AMFStateAccumulator {
    uint32_t componentCount;
    int16_t* counts;
    int16_t* priorCounts;
    int16_t** sums;
};

struct AMFAccumulators {
    AMFStateAccumulator** states;   // one slot per accumulated state, null until its first frame
    uint32_t mllrPending;
    uint32_t treeSmoothing;
    uint32_t accumulateOnly;
    uint32_t mapAfterMLLR;
    uint32_t featureDim;
    uint32_t nonSilencePrior;       // in frames; times the count unit: a component's prior count
    uint32_t silencePrior;
    uint32_t minTreeFrames;
    uint32_t meanVectors;
    uint32_t meanVectorsPeak;
    uint32_t nonSilenceFrames;
    uint32_t silenceFrames;
    uint32_t skippedFrames;
    uint32_t stateCount;
};

// Variance adaptation's sums of squared deviations per dimension and the
// weight of the frames behind them, in 64 bits: e^2 x w passes 32.
struct AMVarianceAccumulator {
    uint32_t dim;
    int64_t frameWeight;
    int64_t* sums;
};

// The real at a parameter word (and the next); 0 without a parameter block.
inline double AM_ParamReal(int index)
{
    double v = 0.0;
    if (gpBrevitGlobalParameters != nullptr)
        std::memcpy(&v, &gpBrevitGlobalParameters->words[index], sizeof v);
    return v;
}

// Counts and sums may not leave +-16384; halving keeps their ratios.
inline constexpr int32_t kAMFLimit = 16384;

// ---- the cycle
int32_t AM_InitAdaptation(AM* am, int32_t method, int32_t treeSmoothing);
int32_t AM_AccumulateFrame(AM* am, int32_t state, int32_t fillerMode);
int32_t AM_AccumulateStateFrame(AM* am, int32_t state);
int32_t AM_FinishAdaptation(AM* am);
int32_t AM_RestartAdaptation(AM* am);
void AM_FreeAdaptationBuffers(AM* am);

// ---- MAP slots and update
uint32_t AM_AMFInitAccumulators(AM* am, int32_t method, int32_t treeSmoothing);
uint32_t AM_AMFIncrementAccumulator(AM* am, const uint8_t* frame, int32_t state, int32_t component, int16_t weight);
void AM_AMFFreeAccumulators(AM* am);
uint32_t AM_AMFAllocStateAccumulator(AM* am, int32_t state);
uint32_t AM_AdaptModelsUsingMAP(AM* am);
uint32_t AM_AdaptModelsUsingMAPPriv(AM* am);
void AM_MAPUpdateState(AM* am, int32_t state);
void AM_MAPUpdateAndFreeState(AM* am, int32_t state);
void AM_RebaseAccumulator(AM* am, const uint8_t* mean, int32_t state, int32_t component);
// Keeps a component's statistics, expressed against its new mean (an MLLR
// run that replaces the mean with no MAP after it).
void AM_AMFMoveStatistics(AM* am, int32_t state, int32_t component, const uint8_t* oldMean, const uint8_t* newMean);
uint32_t AM_ComputeAccumulatorCRC(AM* am, int32_t withState);
uint32_t AM_ComputeStateAccumulatorCRC(AM* am, int32_t state);
// Adds a count and per-dimension sums into a 16-bit count and sums, halving
// all of them together (as often as needed) while any leaves +-16384.
void AM_AMFAddStatistics(int16_t* count, int16_t* sums, int32_t dim, int32_t addCount, const int16_t* addSums,
                         int16_t* prior = nullptr);

// ---- tree smoothing
uint32_t AM_AMFSmoothAllTrees(AM* am);
struct AMFTreeWork;
void AM_AMFBuildTreeNodes(AM* am, AMFTreeWork* work, int32_t phone, int32_t position);
uint32_t AM_AMFSmoothTree(AM* am, AMFTreeWork* work, int32_t gather, int32_t blend);
void AM_MergeAccumulators(AM* am, AMFTreeWork* work, int32_t link, int32_t node);
uint32_t AM_AMFPropagateNode(AM* am, AMFTreeWork* work, int32_t link, int32_t node);

// ---- global variance
uint32_t AM_GlobalVarianceInit(AM* am, int32_t method, int32_t treeSmoothing);
uint32_t AM_GlobalVarianceAccum(AM* am, const uint8_t* frame, int32_t state, int32_t component, int16_t weight);
uint32_t AM_GlobalVarianceCompute(AM* am);
void AM_GlobalVarianceFree(AM* am);
// The shared-vector update of n weights from the sums of the frames' total
// weight (numerator); returns (sum of candidates) / (sum of old weights).
double AM_GlobalVarianceUpdateWeights(AM* am, int32_t saveOld, int32_t n, double numerator, int64_t* sums,
                                      const uint16_t* oldWeights, uint16_t* newWeights, uint16_t* saved,
                                      double divisor);

// ---- MLLR
int32_t AM_MLLRAdapt(AM* am);
int32_t AM_MLLRClassOf(const AM* am, int32_t state);
double AM_MLLRClassOccupancy(AM* am, int32_t cls, int32_t countFrames, int32_t skipEmpty);
int32_t AM_MLLRParametersPerRow(const AM* am);
void AM_MLLRBlockMask(const AM* am, DVKMatrix* m);
int32_t AM_MLLRPseudoInverse(const AM* am, const DVKMatrix* g, DVKMatrix* out);
void AM_MLLRAccumulateVector(int32_t dim, double weight, double* sums, const uint8_t* bytes,
                             const double* invVariances, double* varianceSums);
uint32_t AM_MLLRComputeCRC(const AM* am);
