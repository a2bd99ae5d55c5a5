// Checksums of the acoustic model: everything loaded, in file order, and
// with the frame state on request; the topology alone for version records.
#include "core/brevit/acoustic/am.h"
#include "core/brevit/acoustic/am_adapt.h"

#include "core/brevit/acoustic/decision_tree.h"
#include "core/brevit/acoustic/shortlist.h"
#include "core/brevit/runtime/dvk_crc.h"

#include <initializer_list>

namespace {

uint32_t addWords(std::initializer_list<int32_t> words, uint32_t crc)
{
    for (int32_t w : words)
        crc = DVKCrc_AddInt(static_cast<uint32_t>(w), crc);
    return crc;
}

uint32_t addArrays(std::initializer_list<const AMArray*> arrays, uint32_t crc)
{
    for (const AMArray* a : arrays)
        if (a->count > 0)
            crc = DVKCrc_AddArray(a->data, static_cast<int32_t>(a->size), static_cast<int32_t>(a->count),
                              crc);
    return crc;
}

uint32_t addConfiguration(const AM* am, uint32_t crc)
{
    crc = addWords({am->hasMLLR, am->adaptable, am->fastDecoderOption, am->hasVQ, am->daMode,
                    am->hasShortlist, am->phonemeRecognition, am->hasAddedModels,
                    am->modelOptionFlag, am->innerProduct, am->hareTurtle, am->fastDecoderValue,
                    am->nonEst, am->threshold, am->backoff, am->scoreMultiplier,
                    am->partialThreshold, am->backoffPenalty, am->numStates, am->numScoredStates,
                    am->firstAdaptableState, am->modelValue1, am->modelValue2, am->modelValue3,
                    am->statesPerModel, am->featureDim, am->scoringDim, am->fourBitMeans,
                    am->fourBitWeights, am->byteWeights, am->meanStride, am->varStride,
                    am->ipStride, am->htLength, am->scoreCeiling, am->distanceCeiling,
                    am->numComponents, am->varRows, am->roundingWord, am->scoreShift,
                    am->invVarScale, am->covType},
                   crc);
    crc = addWords({am->tiedStateOption, am->fullTiedTablePresent, am->fullTiedTableLength,
                    am->triphoneIndexPresent, am->triphoneIndexLength, am->numPhoneModels,
                    am->silenceStateId, am->silenceModelId, am->specialPhoneme,
                    am->specialStateCount, static_cast<int32_t>(am->modelConstant1),
                    am->adaptationValue, am->phoneListCount, am->initialFrameFlag,
                    am->initialBestScore, am->initialBestState, am->laplacian, am->crcOnlyFlag,
                    am->globalVarianceValue, am->lowFeature, am->highFeature, am->minConverted,
                    am->maxConverted, am->conversionOption, am->conversionSpare,
                    am->conversionShift, am->conversionOffset},
                   crc);
    return addWords({am->hasFiller, am->companionsFlag, am->hasStateBytes, am->hasUnscaling,
                     am->hasFeatureMask, am->sixthFlag, am->value19, am->numPhonemes,
                     am->auxLength, am->unscalingShift, am->unscalingOffset, am->unscalingValue,
                     am->fillerStateId, am->hasDynSil, am->silenceUsesFiller, am->garbageOffset,
                     am->flag21, am->warpIndexSet, am->warpIndex, am->secondConstantFlag,
                     am->singleComponent, static_cast<int32_t>(am->modelConstant2),
                     am->hasComponentBytes, am->offsets32},
                    crc);
}

uint32_t addVQ(const AMVQ& vq, uint32_t crc)
{
    crc = addWords({vq.codebookSize, vq.second, vq.elementCount, vq.flags1[0], vq.flags1[1],
                    vq.flags1[2], vq.value, vq.flags2[0], vq.flags2[1], vq.flags2[2], vq.offset,
                    vq.multiplier, vq.shift},
                   crc);
    return addArrays({&vq.codewords, &vq.norms, &vq.dimensionBounds, &vq.codewordBounds,
                      &vq.codebookOffsets, &vq.labels},
                     crc);
}

uint32_t addMLLR(const AMMllr& m, uint32_t crc)
{
    crc = addWords({m.values[0], m.values[1], m.values[2], m.flags[0], m.flags[1], m.flags[2],
                    m.value4, m.applied, m.featureFlag1, m.flagB, m.flagC, m.featureFlag2,
                    m.extraCount},
                   crc);
    return addArrays({&m.classes, &m.extra}, crc);
}

} // namespace

uint32_t AM_ComputeCRC(AM* am, int32_t withState)
{
    uint32_t crc = 0xFFFFFFFFu;
    if (am == nullptr || am->noParameters)
        return crc;
    crc = addConfiguration(am, crc);
    crc = addArrays({&am->unscaleBase, &am->unscaleScale, &am->offsets, &am->invVar16,
                     &am->invVarByte, &am->var32, &am->rowConstants, &am->fullTiedTable,
                     &am->triphoneIndex, &am->modelToState, &am->phoneList, &am->componentBytes,
                     &am->stateBytes, &am->aux32, &am->htValues, &am->htVectors, &am->htWeights,
                     &am->ipMeans, &am->companions1, &am->companions2, &am->means},
                    crc);
    for (int32_t k = 0; am->phonemeNames.names != nullptr && k < am->phonemeNames.count; ++k)
        crc = DVKCrc_AddString(am->phonemeNames.names[k], crc);
    if (am->tree != nullptr)
        crc = DVKCrc_AddInt(DecisionTree_ComputeCRC(am->tree), crc);
    if (am->hasVQ)
        crc = addVQ(am->vq, crc);
    if (am->hasMLLR) {
        crc = addMLLR(am->mllr, crc);
        crc = DVKCrc_AddInt(AM_MLLRComputeCRC(am), crc);
    }
    if (am->amf != nullptr && am->accumulatorCrc != nullptr)
        crc = DVKCrc_AddInt(am->accumulatorCrc(am, withState), crc);
    if (am->hasDynSil)
        crc = DVKCrc_AddInt(am->dynSilCrc != nullptr ? am->dynSilCrc(am, withState)
                                                     : AM_DynSilComputeCRC(am, withState),
                            crc);
    crc = addWords({am->addedValue1, am->addedValue2}, crc);
    crc = AM_AddAdaptedParametersCRC(am, crc);
    if (am->shortlist != nullptr && am->shortlistCrc != nullptr)
        crc = DVKCrc_AddInt(am->shortlistCrc(am->shortlist, withState), crc);
    if (withState) {
        crc = addWords({am->frameIndex, am->secondFrameWord}, crc);
        if (am->featureCopy != nullptr)
            crc = DVKCrc_AddBytes(am->featureCopy, am->featureDim, crc);
        if (am->cache != nullptr)
            crc = DVKCrc_AddArray(am->cache, 2, am->numScoredStates, crc);
    }
    return crc;
}

uint32_t AM_ComputeTopologyCRC(const AM* am)
{
    uint32_t crc = 0xFFFFFFFFu;
    if (am == nullptr)
        return crc;
    crc = DVKCrc_AddArray(am->modelToState.data, 2, static_cast<int32_t>(am->modelToState.count),
                          crc);
    if (am->tree != nullptr)
        crc = DVKCrc_AddInt(DecisionTree_ComputeCRC(am->tree), crc);
    return crc;
}
