// Kernel choice at load: one state and one component kernel for the model's
// storage form, covariance type and dimension, and the checksum hooks.
#include "core/brevit/acoustic/am_adapt.h"
#include "core/brevit/acoustic/am_da.h"
#include "core/brevit/acoustic/am_kernels.h"
#include "core/brevit/acoustic/am_vq.h"
#include "core/brevit/acoustic/am_vq_adapt.h"

#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/brevit_param_words.h"

namespace {

void installHooks(AM* am, bool vqAdaptation)
{
    am->modelCrc = AM_ComputeCRC;
    am->dynSilCrc = AM_DynSilComputeCRC;
    // MAP adapts and MLLR estimates once a method has gathered statistics;
    // the accumulate, initialise and free slots come with the method.
    am->accumulatorCrc = AM_ComputeAccumulatorCRC;
    am->adaptHook = AM_AdaptModelsUsingMAPPriv;
    am->mllrHook = AM_MLLRAdapt;
    am->accumulateHook = nullptr;
    am->initAccumulatorsHook = nullptr;
    am->freeHook = nullptr;
    for (int32_t& w : am->companionWords)
        w = 0;
    am->vqAdaptHook = vqAdaptation ? AM_VQAdaptModelsFromAccumulators : nullptr;
    am->vqIncrementHook = vqAdaptation ? AM_VQIncrementAccumulator : nullptr;
    am->vqInitHook = vqAdaptation ? AM_VQInitAccumulators : nullptr;
    if (!vqAdaptation)
        am->vqWord = 0;
}


void install(AM* am, AMStateKernel state, AMComponentKernel component)
{
    am->stateKernel = state;
    am->componentKernel = component;
}

bool nonEst(const AM* am)
{
    return am->nonEst != 0 || am->hasAddedModels != 0;
}

AMComponentKernel innerProductComponent(const AM* am)
{
    const int32_t dim = am->scoringDim;
    if (am->fourBitMeans)
        return AM_CalculateComponentScoreScalarCov4B;
    if ((dim == 12 || dim == 24) && am->threshold)
        return AM_CalculateComponentScoreScalarCovInnerProduct24;
    if ((dim == 12 || dim == 24) && nonEst(am))
        return AM_CalculateComponentScoreScalarCovInnerProduct24NonEst;
    if (dim == 12)
        return AM_CalculateComponentScoreScalarCovInnerProduct12Simple;
    if (dim == 24)
        return AM_CalculateComponentScoreScalarCovInnerProduct24Simple;
    if (dim == 36 && !nonEst(am))
        return AM_CalculateComponentScoreScalarCovInnerProduct36Simple;
    return AM_CalculateComponentScoreScalarCov;
}

AMStateKernel innerProductState(const AM* am)
{
    if (am->threshold && am->backoff)
        return am->fourBitMeans ? AM_CalculateScoreScalarCovInnerProduct24Backoff4B
                                : AM_CalculateScoreScalarCovInnerProduct24Backoff;
    if (am->threshold)
        return am->fourBitMeans ? AM_CalculateScoreScalarCovInnerProduct24Even4B
                                : AM_CalculateScoreScalarCovInnerProduct24Even;
    if (am->fourBitMeans)
        return AM_CalculateScoreScalarCovInnerProduct24Even4BNonEst;
    // The NonEst word kernel reads six words: past 24 dimensions the product
    // term would leave dimensions out that the energy and constants hold, so
    // such a model is scored component by component over every dimension.
    if (nonEst(am))
        return am->scoringDim <= 24 ? AM_CalculateScoreScalarCovInnerProduct24EvenNonEst : AM_CalculateFullScore;
    switch (am->scoringDim) {
    case 12:
        return AM_CalculateScoreScalarCovInnerProduct12EvenSimple;
    case 24:
        return AM_IsOddMajority(am) ? AM_CalculateScoreScalarCovInnerProduct24OddSimple
                                    : AM_CalculateScoreScalarCovInnerProduct24EvenSimple;
    case 36:
        return AM_CalculateScoreScalarCovInnerProduct36Simple;
    default:
        return AM_CalculateScoreScalarCovInnerProductSimpleGeneral;
    }
}

void selectWeighted(AM* am)
{
    const int32_t dim = am->scoringDim;
    if (am->covType == 4) {
        if (am->fourBitMeans && am->fourBitWeights) {
            install(am, AM_CalculateFullScore, AM_CalculateComponentScoreCSV4B);
        } else if (am->byteWeights && !am->threshold && am->hareTurtle) {
            if (gpBrevitGlobalParameters == nullptr || BrevitParam_Word(kBrevitParamScoreTurtleFormat) == 0)
                install(am, AM_CalculateScoreCSVInnerProductHare, AM_CalculateComponentScoreCSVInnerProductHare);
            else
                install(am, AM_CalculateScoreCSVInnerProductTurtle, AM_CalculateComponentScoreCSVInnerProductTurtle);
        } else if (am->byteWeights && !am->threshold) {
            install(am, dim == 36 ? AM_CalculateScoreCSVByte36 : AM_CalculateScoreCSVByte,
                    AM_CalculateComponentScoreCSVByte);
        } else if (am->byteWeights) {
            install(am, dim == 36 ? AM_CalculateScoreCSVByteThreshold36 : AM_CalculateScoreCSVByteThreshold,
                    AM_CalculateComponentScoreCSVByte);
        } else if (am->threshold) {
            install(am, AM_CalculateScoreCSVThreshold, AM_CalculateComponentScoreCSV);
        } else {
            install(am, AM_CalculateScoreCSV, AM_CalculateComponentScoreCSV);
        }
        return;
    }
    if (am->covType == 2 && !am->fourBitMeans && !am->fourBitWeights)
        install(am, AM_CalculateScoreCSV, AM_CalculateComponentScoreCSV);
    else
        install(am, AM_CalculateFullScore, AM_CalculateComponentScoreCSV);
}

// VQ entries; the packed forms only where the streams are six blocks of 256
// codewords four dimensions wide. Label (DA) models score by their table
// and need no codebook.
void selectVQ(AM* am)
{
    if (am->daMode) {
        am->vqStateKernel = AM_DAGetScore;
        am->vqComponentKernel = nullptr;
        am->vqPrecompute = AM_DAPrecomputeVQLabel;
        return;
    }
    if (!am->hasVQ)
        return;
    const bool packed = AM_HasOptimizedVQ(am) && AM_Has4ParStreams(am);
    am->vqStateKernel = am->vq.flags2[1] && packed ? AM_VQGetScoreOptimized : AM_VQGetScore;
    am->vqComponentKernel = AM_VQGetComponentScore;
    if (am->covType != 5)
        am->vqPrecompute = AM_VQPrecomputeScoresForClusters;
    else if (am->vq.flags2[2] && packed)
        am->vqPrecompute = AM_VQPrecomputeScoresForClustersInnerProduct;
    else
        am->vqPrecompute = AM_VQPrecomputeScoresForClustersScalarCov;
}

} // namespace

int32_t AM_IsOddMajority(const AM* am)
{
    if (am->daMode)
        return 1;
    int32_t odd = 0;
    for (int32_t s = 0; s < am->numStates; ++s)
        odd += AM_GetNumComponents(am, s) % 2;
    return odd > am->numStates - odd;
}

int32_t AM_SelectInnerProductKernels(AM* am)
{
    // Kernels already installed are kept.
    if (am->stateKernel != nullptr || am->noParameters)
        return 1;
    if (am->laplacian || !am->innerProduct || am->covType != 5 || am->threshold || am->hasVQ)
        return 0;
    const bool simple = !am->nonEst && !am->hasAddedModels;
    if (am->fourBitMeans)
        install(am, AM_CalculateScoreScalarCovInnerProduct24Even4BNonEst, AM_CalculateComponentScoreScalarCov4B);
    else if (am->scoringDim == 24 && simple)
        install(am,
                AM_IsOddMajority(am) ? AM_CalculateScoreScalarCovInnerProduct24OddSimple
                                     : AM_CalculateScoreScalarCovInnerProduct24EvenSimple,
                AM_CalculateComponentScoreScalarCovInnerProduct24Simple);
    else if (am->scoringDim == 24)
        install(am,
                AM_IsOddMajority(am) ? AM_CalculateScoreScalarCovInnerProduct24OddNonEst
                                     : AM_CalculateScoreScalarCovInnerProduct24EvenNonEst,
                AM_CalculateComponentScoreScalarCovInnerProduct24NonEst);
    else if (am->scoringDim == 36 && simple)
        install(am, AM_CalculateScoreScalarCovInnerProduct36Simple,
                AM_CalculateComponentScoreScalarCovInnerProduct36Simple);
    else
        return 0;
    return 1;
}

int32_t AM_SelectScoringKernels(AM* am)
{
    if (am->laplacian && !am->innerProduct)
        install(am, AM_CalculateFullScore,
                am->covType == 5 ? AM_CalculateComponentScoreLaplacianScalarCov
                                 : AM_CalculateComponentScoreLaplacian);
    else if (am->laplacian)
        install(am,
                am->covType == 5 ? AM_CalculateLaplacianScalarCovInnerProduct24Even4B
                                 : AM_CalculateLaplacianCSVInnerProduct24Even4B,
                am->covType == 5 ? AM_CalculateLaplacianScalarCovInnerProduct24Component4B
                                 : AM_CalculateLaplacianCSVInnerProduct24Component4B);
    else if (am->covType == 5 && am->innerProduct)
        install(am, innerProductState(am), innerProductComponent(am));
    else if (am->covType == 5)
        install(am, am->fourBitMeans ? AM_CalculateScoreScalarCov4B : AM_CalculateFullScore,
                am->fourBitMeans ? AM_CalculateComponentScoreScalarCov4B : AM_CalculateComponentScoreScalarCov);
    else
        selectWeighted(am);
    selectVQ(am);
    return 1;
}

int32_t AM_InitScoringFast(AM* am)
{
    installHooks(am, false);
    return AM_SelectInnerProductKernels(am);
}

int32_t AM_InitScoring(AM* am)
{
    installHooks(am, true);
    if (am->stateKernel != nullptr || AM_SelectInnerProductKernels(am))
        return 1;
    return AM_SelectScoringKernels(am);
}

void AM_SetRawScoreFunction(AM* am)
{
    if (am->covType == 5)
        am->rawScore = fea_GetRawScoreScalarCov;
    else if (am->covType == 2)
        am->rawScore = fea_GetRawScoreByGlobalCov;
}
