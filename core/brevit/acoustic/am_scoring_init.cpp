// Kernel choice at load. So far the weighted-distance kernels over byte
// means and 16-bit weights exist; other storage forms load without kernels.
// The restricted choice declines byte-mean and Laplacian models, so the full
// choice is asked for them.
#include "core/brevit/acoustic/am_scoring.h"

namespace {

void installHooks(AM* am)
{
    am->modelCrc = AM_ComputeCRC;
    am->dynSilCrc = AM_DynSilComputeCRC;
    am->accumulatorCrc = nullptr;
    am->adaptHook = nullptr;
    am->mllrHook = nullptr;
    am->accumulateHook = nullptr;
    am->initAccumulatorsHook = nullptr;
    am->freeHook = nullptr;
}

void selectKernels(AM* am)
{
    const bool wordWeights = !am->innerProduct && !am->hareTurtle && !am->fourBitMeans &&
                             !am->byteWeights && !am->fourBitWeights && !am->laplacian &&
                             !am->threshold;
    if (!wordWeights)
        return;
    switch (am->covType) {
    case 2:
    case 4:
        am->stateKernel = AM_CalculateScoreCSV;
        break;
    case 3:
        am->stateKernel = AM_CalculateFullScore;
        break;
    default:
        return;
    }
    am->componentKernel = AM_CalculateComponentScoreCSV;
}

} // namespace

int32_t AM_InitScoringFast(AM* am)
{
    installHooks(am);
    const bool byteMeans = !am->innerProduct && !am->hareTurtle;
    return byteMeans || am->laplacian ? 0 : 1;
}

int32_t AM_InitScoring(AM* am)
{
    installHooks(am);
    selectKernels(am);
    return 1;
}
