#include "core/brevit/acoustic/am_scoring.h"

#include "core/brevit/runtime/dvk_mem.h"

AMScoringSet* AM_NewScoringSet(void)
{
    return static_cast<AMScoringSet*>(DVKMem_Calloc(sizeof(AMScoringSet)));
}

void AM_DeleteScoringSet(AMScoringSet* set)
{
    DVKMem_Free(set);
}

void AM_GetScoringFunctions(AM* am, AMScoringSet* set, int32_t wantShortlist, int32_t wantVQ)
{
    set->useShortlist = wantShortlist && am->hasShortlist && am->shortlistScorer != nullptr;
    set->useVQ = wantVQ && am->hasVQ && am->vqStateKernel != nullptr;
    if (am->daMode && am->vqStateKernel != nullptr) {
        // The label is found by the precompute entry, which runs only on the
        // VQ path: the label scorer takes that path whatever was asked.
        set->useVQ = 1;
        set->cachedScorer = set->directScorer = am->vqStateKernel;
        set->componentScorer = nullptr;
    } else if (set->useVQ) {
        set->cachedScorer = set->directScorer = am->vqStateKernel;
        set->componentScorer = am->vqComponentKernel;
    } else {
        set->cachedScorer = set->useShortlist ? am->shortlistScorer : am->stateKernel;
        set->directScorer = am->stateKernel;
        set->componentScorer = am->componentKernel;
    }
}

void AM_SetScoringSet(AM* am, const AMScoringSet* set)
{
    if (set == nullptr)
        return;
    am->directScorer = set->directScorer;
    am->cachedScorer = set->cachedScorer;
    am->componentScorer = set->componentScorer;
    if (am->hasShortlist)
        am->useShortlist = set->useShortlist;
    if (am->hasVQ || am->daMode)
        am->useVQ = set->useVQ;
}
