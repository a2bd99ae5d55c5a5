// Configuration accessors of the acoustic model.
#include "core/brevit/acoustic/am.h"

int32_t AM_GetFeatureDim(const AM* am)
{
    return am->featureDim;
}

int32_t AM_GetScoringDim(const AM* am)
{
    return am->scoringDim;
}

int32_t AM_GetWarpIndex(const AM* am)
{
    return am->warpIndex;
}

int32_t AM_IsWarpIndexSet(const AM* am)
{
    return am->warpIndexSet;
}

void AM_SetWarpIndex(AM* am, int32_t index)
{
    am->warpIndexSet = 1;
    am->warpIndex = index;
}

void AM_ResetWarpIndex(AM* am)
{
    am->warpIndexSet = 0;
    am->warpIndex = 0;
}

int32_t AM_HasFillerModel(const AM* am)
{
    return am->hasFiller;
}

int32_t AM_HasMLLRTransform(const AM* am)
{
    return am->mllr.applied;
}

int32_t AM_GetAdaptationStatusFlag(const AM* am)
{
    return am->adaptationStatus;
}

int32_t AM_GetModelOptionFlag(const AM* am)
{
    return am->modelOptionFlag;
}

int32_t AM_GetNumStates(const AM* am)
{
    return am->numStates;
}

int32_t AM_GetNumStatesPerModel(const AM* am)
{
    return am->statesPerModel;
}

int32_t AM_GetFirstComponent(const AM* am, int32_t state)
{
    if (am->singleComponent || am->offsets.data == nullptr)
        return state;
    return am->offsets32 ? static_cast<int32_t>(static_cast<const uint32_t*>(am->offsets.data)[state])
                         : static_cast<const uint16_t*>(am->offsets.data)[state];
}

int32_t AM_GetNumComponents(const AM* am, int32_t state)
{
    if (state >= am->numStates || am->singleComponent || am->offsets.data == nullptr)
        return 1;
    return AM_GetFirstComponent(am, state + 1) - AM_GetFirstComponent(am, state);
}

uint16_t AM_GetSilenceStateId(const AM* am)
{
    return am->silenceStateId;
}

uint16_t AM_GetSilenceModelId(const AM* am)
{
    return am->silenceModelId;
}

int32_t AM_GetNumPhoneModels(const AM* am)
{
    return am->numPhoneModels;
}

int32_t AM_GetNumPhonemes(const AM* am)
{
    return am->numPhonemes;
}

int32_t AM_HasFeatureMask(const AM* am)
{
    return am->hasFeatureMask;
}

AMRawScoreFunc AM_GetRawScoreFunction(const AM* am)
{
    return am->rawScore;
}

int32_t AM_SupportsPhonemeRecognition(const AM* am)
{
    return am->phonemeRecognition;
}

double AM_GetQuantizationScale(const AM* am)
{
    return static_cast<double>(am->roundingWord);
}

void AM_SetLimits(AM* am, int16_t scoreCeiling, int16_t distanceLimit)
{
    am->scoreCeiling = scoreCeiling;
    am->distanceLimit = distanceLimit;
}

uint32_t AM_GetModelConstant(const AM* am, int32_t second)
{
    return second != 0 && am->secondConstantFlag ? am->modelConstant2 : am->modelConstant1;
}
