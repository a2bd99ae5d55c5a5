// Kernel choice at load. Until the scoring kernels exist no model gets
// kernels: both choices only install the model's checksum hooks. The
// restricted choice declines byte-mean and Laplacian models, as the full
// choice would then be asked.
#include "core/brevit/acoustic/am.h"

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
    return 1;
}
