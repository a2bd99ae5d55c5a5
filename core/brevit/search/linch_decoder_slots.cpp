// The linear-chain decoder's slot operations outside the frame loop: state
// queries, activation, saved state, key scores, the rescoring-pair slot and
// the non-acoustic score of a word sequence.
#include "core/brevit/search/linch_decoder.h"

#include "core/brevit/acoustic/acoustic_engine_calls.h"
#include "core/brevit/acoustic/am_scoring.h"
#include "core/brevit/lexicon/pron_cache.h"
#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/search/result_graph.h"
#include "core/brevit/search/search_framework_calls.h"

#include <algorithm>

namespace {

int32_t word(int index) { return static_cast<int32_t>(BrevitParam_Word(index)); }

int32_t absolute(int16_t cost, int32_t normaliserSum)
{
    return cost == kLinChDeadCost ? kDecoderNoScore : cost + normaliserSum;
}

} // namespace

int32_t LinChDecoder_WritePSAFile(Decoder* decoder, DVKTar* archive, const char* prefix)
{
    LinChDecoder* d = LinChDecoder_Of(decoder);
    if (d->kind7)
        return 0;
    LinChDecoder_ReleaseClassPairCopies(d);
    if (d->pronCache == nullptr)
        return 1;
    return PronCache_WriteBinFile(d->pronCache, archive, prefix) != 0 ? 1 : 0;
}

int32_t LinChDecoder_ReadPSAFile(Decoder* decoder, DVKTar* archive, const char* prefix)
{
    LinChDecoder* d = LinChDecoder_Of(decoder);
    if (d->pronCache == nullptr)
        return 1;
    return PronCache_ReadBinFile(d->pronCache, archive, prefix) != 0 ? 1 : 0;
}

int32_t LinChDecoder_SetRejectionParameters(Decoder* decoder, int32_t on, int32_t threshold)
{
    return Decoder_SetRejection(decoder, on, threshold);
}

int32_t LinChDecoder_GetState(Decoder* decoder) { return LinChDecoder_Of(decoder)->state; }

void LinChDecoder_SetCrossThresholding(Decoder* decoder, int32_t value)
{
    LinChDecoder_Of(decoder)->crossThresholding = value;
}

int32_t LinChDecoder_GetCurrentFrame(Decoder* decoder) { return LinChDecoder_Of(decoder)->frameIndex; }

int32_t LinChDecoder_SetRejected(Decoder* decoder)
{
    LinChDecoder_Of(decoder)->state = kDecoderStateFailed;
    return kDecoderStateFailed;
}

int32_t LinChDecoder_GetNonAcousticScore(Decoder* decoder, int32_t leftCount, const uint32_t* leftIds,
                                         int32_t order, int32_t n, const uint32_t* vocIds, const uint8_t* flags)
{
    LinChDecoder* d = LinChDecoder_Of(decoder);
    if (n < 1)
        return 0;
    int32_t transitions = n - 1;
    // A lone end marker is no word: no transition, not minus one.
    if (static_cast<int32_t>(vocIds[n - 1]) == -4 && transitions > 0)
        --transitions;
    const int32_t lm = static_cast<int16_t>(DecoderUtils_ScoreWordSequence(decoder, leftCount, leftIds, order, n,
                                                                           vocIds));
    int32_t score = lm + d->wordInsertionCost + d->wordPenalty * transitions;
    for (int32_t i = 0; i < transitions; ++i)
        if (flags != nullptr && flags[i] != 0)
            score += d->flaggedWordCost;
    return static_cast<int16_t>(score);
}

void LinChDecoder_NotifyLMAdapt(Decoder*, int32_t) {}

int32_t LinChDecoder_GetPartialResult(Decoder* decoder, int32_t capacity, uint32_t* wordIds)
{
    LinChDecoder* d = LinChDecoder_Of(decoder);
    if (capacity < 1 || wordIds == nullptr)
        return 0;
    auto* prons = static_cast<uint16_t*>(DVKMem_Malloc(static_cast<uint32_t>(capacity) * sizeof(uint16_t)));
    if (prons == nullptr)
        return 0;
    int32_t count = 0;
    int32_t score = 0;
    uint32_t node = 0;
    ResultGraph_GetBestPath(d->resultGraph, prons, nullptr, nullptr, nullptr, nullptr, capacity, &count, &score,
                            &node, 0, nullptr, nullptr);
    count = std::clamp(count, 0, capacity);
    for (int32_t i = 0; i < count; ++i)
        wordIds[i] = Voc_PronIdToVocId(decoder->vocabulary, prons[i]);
    DVKMem_Free(prons);
    return count;
}

WordGraph* LinChDecoder_CloneWordGraph(Decoder* decoder)
{
    return decoder->wordGraph != nullptr ? WordGraph_Clone(decoder->wordGraph) : nullptr;
}

void LinChDecoder_FillPronCacheAllClasses(Decoder* decoder, ClassManager* classManager, int32_t flag)
{
    LinChDecoder* d = LinChDecoder_Of(decoder);
    ClassManager* manager =
        classManager != nullptr ? classManager : Constraint_FindClassPair(d->constraints, d->numConstraints);
    if (manager == nullptr || d->pronCache == nullptr)
        return;
    int32_t space = 0, cap = 0, prons = 0, units = 0;
    if (DecoderUtils_CountPronsOfConstraint(decoder, manager, nullptr, 0, 3, 0, &space, &cap, &prons, &units) == 0)
        return;
    if (PronCache_Reserve(d->pronCache, static_cast<uint32_t>(prons), static_cast<uint32_t>(units)) != 0)
        ClassManager_FillPronCache(manager, d->pronCache, flag);
}

int32_t LinChDecoder_AddRescorePair(Decoder* decoder, int16_t pron, int16_t frame)
{
    LinChDecoder* d = LinChDecoder_Of(decoder);
    if (d->rescoreWords == nullptr || d->rescoreCount >= d->rescoreCapacity)
        return 0;
    d->rescoreWords[d->rescoreCount++] = {static_cast<uint16_t>(pron), frame};
    return 1;
}

int32_t LinChDecoder_GetSilenceThresholdTime(Decoder* decoder)
{
    return LinChDecoder_Of(decoder)->silenceThresholdTime;
}

int32_t LinChDecoder_GetBestAccumScore(Decoder* decoder)
{
    LinChDecoder* d = LinChDecoder_Of(decoder);
    return d->bestCost + d->normaliserSum;
}

void LinChDecoderNoTimes_GetKeyScores(Decoder* decoder, int32_t* best, int32_t* silence, int32_t* bestWordEnd)
{
    LinChDecoder* d = LinChDecoder_Of(decoder);
    *best = d->bestCost + d->normaliserSum;
    *silence = absolute(d->silenceHyp.cost[0], d->normaliserSum);
    *bestWordEnd = absolute(d->bestWordEndCost, d->normaliserSum);
}

void LinChDecoder_SetBestCrossScore(Decoder* decoder, int32_t score)
{
    LinChDecoder* d = LinChDecoder_Of(decoder);
    if (word(kBrevitParamFrameSkipping) != 0 && d->frameSkipToggle == 0) {
        d->frameSkipToggle = 1;
        return;
    }
    if (!d->crossThresholding || d->state == kDecoderStateFailed || d->state == kDecoderStateNoHypothesis ||
        score >= kDecoderNoScore)
        return;
    const int64_t excess = int64_t{d->bestCost} + d->normaliserSum - score - word(kBrevitParamPruneExcess);
    if (excess <= 0)
        return;
    const int64_t lowered = int64_t{d->beam} + d->bestCost - excess;
    if (lowered < d->pruneThreshold)
        d->pruneThreshold = static_cast<int16_t>(std::max<int64_t>(lowered, INT16_MIN));
}

void LinChDecoder_SetComputation(Decoder* decoder, int32_t level) { LinChDecoder_Of(decoder)->computation = level; }

void LinChDecoder_ForgetConstraint(Decoder* decoder, Constraint* constraint)
{
    LinChDecoder* d = LinChDecoder_Of(decoder);
    if (constraint == nullptr) {
        d->numConstraints = 0;
        return;
    }
    int32_t kept = 0;
    for (int32_t i = 0; i < d->numConstraints; ++i)
        if (d->constraints[i] != constraint)
            d->constraints[kept++] = d->constraints[i];
    for (int32_t i = kept; i < d->numConstraints; ++i)
        d->constraints[i] = nullptr;
    d->numConstraints = kept;
}

int32_t LinChDecoder_MakeWordActive(Decoder* decoder, int32_t)
{
    return PronCache_GrowScratch(LinChDecoder_Of(decoder)->pronCache);
}

int32_t LinChDecoder_MakePronActive(Decoder* decoder, int32_t, int32_t)
{
    return PronCache_GrowScratch(LinChDecoder_Of(decoder)->pronCache);
}

int32_t LinChDecoder_MakeWordInactive(Decoder* decoder, int32_t)
{
    LinChDecoder* d = LinChDecoder_Of(decoder);
    PronCache_Reset(d->pronCache);
    ResultGraph_Reset(d->resultGraph);
    d->state = kDecoderStateStarting;
    return 1;
}

int32_t LinChDecoder_MakePronInactive(Decoder* decoder, int32_t)
{
    LinChDecoder* d = LinChDecoder_Of(decoder);
    PronCache_Reset(d->pronCache);
    d->state = kDecoderStateStarting;
    return 1;
}

void LinChDecoder_StoreFrame(LinChDecoder* d, const uint8_t* frame, const int32_t* tag)
{
    const int32_t dim = AM_GetFeatureDim(d->base.model);
    if (frame != nullptr && dim > 0)
        std::copy(frame, frame + dim, d->featureCopy);
    if (tag != nullptr)
        d->frameTag = *tag;
}

const uint8_t* LinChDecoder_GetStoredFrame(LinChDecoder* d, int32_t* tag)
{
    if (tag != nullptr)
        *tag = d->frameTag;
    return d->featureCopy;
}

void LinChDecoder_RecordFrameInfo(LinChDecoder* d)
{
    if (d->frameIndex < 0 || d->frameIndex >= d->base.statsLength)
        return;
    if (d->base.statsA != nullptr)
        d->base.statsA[d->frameIndex] = d->hypCount;
    if (d->base.statsB != nullptr)
        d->base.statsB[d->frameIndex] = AM_GetNumScoredStates(d->base.model);
}

int32_t LinChDecoder_GetNumHypotheses(LinChDecoder* d) { return d->hypCount; }

void LinChDecoder_SetExpandedStates(LinChDecoder* d, int32_t expanded) { d->expanded = expanded; }
