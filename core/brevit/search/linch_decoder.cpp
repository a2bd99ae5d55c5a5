// Creating, deleting and trimming the linear-chain decoder, and the slot
// table every one of them starts from.
#include "core/brevit/search/linch_decoder.h"

#include "core/brevit/acoustic/acoustic_engine_calls.h"
#include "core/brevit/acoustic/am.h"
#include "core/brevit/acoustic/am_scoring.h"
#include "core/brevit/lexicon/pron_cache.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/search/histogram.h"
#include "core/brevit/search/linch_results.h"
#include "core/brevit/search/linch_search.h"
#include "core/brevit/search/linch_decoder_parts.h"
#include "core/brevit/search/paired_phoneme_table.h"
#include "core/brevit/search/result_graph.h"
#include "core/brevit/search/search_framework_calls.h"

#include <cstring>

namespace {

DecoderBase makeBase()
{
    DecoderBase b{};
    b.deleteSlot = LinChDecoder_Delete;
    b.freeMemory = LinChDecoderNoTimes_FreeMemory;
    b.writePSAFile = LinChDecoder_WritePSAFile;
    b.readPSAFile = LinChDecoder_ReadPSAFile;
    b.uttInit = LinChDecoderNoTimes_UttInit;
    b.uttRestart = LinChDecoderNoTimes_UttRestart;
    b.setRejectionParameters = LinChDecoder_SetRejectionParameters;
    b.processFrame = LinChDecoderNoTimes_ProcessFrame;
    b.getState = LinChDecoder_GetState;
    b.setCrossThresholding = LinChDecoder_SetCrossThresholding;
    b.getCurrentFrame = LinChDecoder_GetCurrentFrame;
    b.feSeenFinalSilence = LinChDecoderNoTimes_FESeenFinalSilence;
    b.setRejected = LinChDecoder_SetRejected;
    b.getChoicesAndScores = LinChDecoderNoTimes_GetChoicesAndScores;
    b.getNonAcousticScore = LinChDecoder_GetNonAcousticScore;
    b.notifyLMAdapt = LinChDecoder_NotifyLMAdapt;
    b.getPartialResult = LinChDecoder_GetPartialResult;
    b.cloneWordGraph = LinChDecoder_CloneWordGraph;
    b.massageChoice = LinChDecoder_MassageChoiceSlot;
    b.uttFinish = LinChDecoderNoTimes_UttFinish;
    b.fillPronCacheAllClasses = LinChDecoder_FillPronCacheAllClasses;
    b.runDetailedMatch = LinChDecoderNoTimes_RunDetailedMatchSlot;
    b.fillChoiceStruct = LinChDecoder_FillChoiceStruct;
    b.addPair = LinChDecoder_AddRescorePair;
    b.getSilenceThresholdTime = LinChDecoder_GetSilenceThresholdTime;
    b.getBestAccumScore = LinChDecoder_GetBestAccumScore;
    b.getBestConstraintScores = LinChDecoderNoTimes_GetBestConstraintScoresSlot;
    b.extendFinalSilence = LinChDecoderNoTimes_ExtendFinalSilenceSlot;
    b.getKeyScores = LinChDecoderNoTimes_GetKeyScores;
    b.setBestCrossScore = LinChDecoder_SetBestCrossScore;
    b.setComputation = LinChDecoder_SetComputation;
    b.computeCRC = LinChDecoderNoTimes_ComputeCRC;
    b.forgetConstraint = LinChDecoder_ForgetConstraint;
    b.makeWordActive = LinChDecoder_MakeWordActive;
    b.makePronActive = LinChDecoder_MakePronActive;
    b.makeWordInactive = LinChDecoder_MakeWordInactive;
    b.makePronInactive = LinChDecoder_MakePronInactive;
    b.kind = kDecoderKindLinearChain;
    b.rejectionScore = kDecoderNoScore;
    b.rejectionThreshold = kDecoderRejectionOff;
    b.leftIds[0] = b.leftIds[1] = kLinChNoPron;
    b.rightIds[0] = b.rightIds[1] = kLinChNoPron;
    return b;
}

int32_t word(int index) { return static_cast<int32_t>(BrevitParam_Word(index)); }

void setParameterFields(LinChDecoder* d)
{
    d->contextWord = -1;
    d->hasContext = 0;
    d->base.rightIds[0] = d->base.rightIds[1] = kLinChNoPron;
    d->base.rightCount = 0;
    if (gpBrevitGlobalParameters == nullptr)
        return;
    const int32_t period = d->base.framePeriod;
    d->seedLeadFrames = static_cast<int16_t>(word(kBrevitParamRescoreWindowEnd) / period);
    d->seedKeepFrames = static_cast<int16_t>(word(kBrevitParamRescoreWindowStart) / period - d->seedLeadFrames);
    d->newWordBeam = static_cast<int16_t>(word(kBrevitParamNewWordBeam));
    d->wordEndBeam = static_cast<int16_t>(word(kBrevitParamWordEndBeam));
    d->wordInsertionCost = static_cast<int16_t>(word(kBrevitParamWordInsertionCost));
    d->flaggedWordCost = static_cast<int16_t>(word(kBrevitParamFlaggedWordCost));
}

// Sized from parameter words: counts that cannot be addressed fail.
template <typename T>
T* allocEntries(int32_t count)
{
    const uint64_t bytes = static_cast<uint64_t>(count) * sizeof(T);
    if (count < 1 || bytes > 0xFFFFFFFFull)
        return nullptr;
    return static_cast<T*>(DVKMem_Calloc(static_cast<uint32_t>(bytes)));
}

bool makeTreeTable(LinChDecoder* d)
{
    d->treeCapacity = word(kBrevitParamTreeCapacity);
    d->numTrees = 0;
    if (word(kBrevitParamMaxTrees) < 1 || d->treeCapacity < 1)
        return true;
    d->trees = allocEntries<LexTree*>(d->treeCapacity);
    d->treeWords = allocEntries<int16_t>(d->treeCapacity);
    d->treeIds = allocEntries<int32_t>(d->treeCapacity);
    return d->trees != nullptr && d->treeWords != nullptr && d->treeIds != nullptr;
}

LinChDecoder* build(LinChDecoder* d)
{
    d->silenceHyp.model = AM_GetSilenceModelId(d->base.model);
    d->keepTimes = 0;
    d->statesPerModel = AM_GetNumStatesPerModel(d->base.model);
    d->updateHyp = d->statesPerModel == 1 ? LinChDecoderNoTimes_UpdateHyp1 : LinChDecoderNoTimes_UpdateHyp2;
    d->rescoreCapacity = 0;
    d->rescoreCount = 0;
    d->rescoreWords = nullptr;
    setParameterFields(d);
    d->resultGraph = ResultGraph_Create(word(kBrevitParamResultGraphSize));
    if (d->resultGraph == nullptr)
        return nullptr;
    ResultGraph_SetVocabulary(d->resultGraph, d->base.vocabulary);
    d->closeCalls = nullptr;
    d->numConstraints = 0;
    if (LinChDecoder_SetupPronCache(d) == 0 || Decoder_CreateAMScoreState(&d->base) == nullptr)
        return nullptr;
    d->costHistogram = Histogram_Create();
    d->wordEndHistogram = Histogram_Create();
    // A model without features still gets a byte to point at.
    const int32_t dim = AM_GetFeatureDim(d->base.model);
    d->featureCopy = allocEntries<uint8_t>(dim > 0 ? dim : 1);
    if (d->costHistogram == nullptr || d->wordEndHistogram == nullptr || d->featureCopy == nullptr)
        return nullptr;
    d->makeNewWordList = LinChDecoderNoTimes_MakeNewWordList;
    d->processHypSequence = LinChDecoderNoTimes_ProcessHypSequence;
    if (word(kBrevitParamSeedWords) > 0) {
        d->frameSeedWords = allocEntries<int16_t>(word(kBrevitParamSeedWords));
        if (d->frameSeedWords == nullptr)
            return nullptr;
    }
    if (!makeTreeTable(d))
        return nullptr;
    return d;
}

} // namespace

const DecoderBase sLinChDecoderBase = makeBase();

LinChDecoder* LinChDecoder_Create(Voc* vocabulary, AM* model, int32_t framePeriodMs, int32_t kind7)
{
    // The period divides parameter words here and feeds the end-pointers.
    if (framePeriodMs < 1 || model == nullptr)
        return nullptr;
    auto* d = static_cast<LinChDecoder*>(DVKMem_Calloc(sizeof(LinChDecoder)));
    if (d == nullptr)
        return nullptr;
    d->base = sLinChDecoderBase;
    d->base.vocabulary = vocabulary;
    d->base.model = model;
    d->base.framePeriod = framePeriodMs;
    d->kind7 = kind7;
    d->expanded = word(kBrevitParamExpandedNewWords);
    // Some parts raise when out of memory: the partial decoder goes then too.
    struct Guard {
        LinChDecoder* d;
        ~Guard()
        {
            if (d != nullptr)
                LinChDecoder_Delete(&d->base, 0);
        }
    } guard{d};
    if (build(d) == nullptr)
        return nullptr;
    guard.d = nullptr;
    return d;
}

Decoder* LinChDecoder_CreateForKind(Voc* vocabulary, AM* model, int32_t framePeriodMs, int32_t kind7,
                                    int32_t refuse)
{
    if (refuse != 0 || model == nullptr || AM_GetNumStatesPerModel(model) > 2)
        return nullptr;
    LinChDecoder* d = LinChDecoder_Create(vocabulary, model, framePeriodMs, kind7);
    return d != nullptr ? &d->base : nullptr;
}

void LinChDecoder_Delete(Decoder* decoder, int32_t)
{
    LinChDecoder* d = LinChDecoder_Of(decoder);
    LinChDecoder_ReleaseClassPairCopies(d);
    LinChDecoder_DeleteCloseCalls(d);
    DVKMem_Free(d->featureCopy);
    Histogram_Delete(d->costHistogram);
    Histogram_Delete(d->wordEndHistogram);
    AM_DeleteScoringSet(d->base.scoringSet);
    DVKMem_FreeChunksArray(reinterpret_cast<void**>(d->newWordPages), static_cast<uint32_t>(d->newWordPageCount));
    PronCache_Delete(d->pronCache);
    PairedPhonemeTable_Delete(d->pairTable);
    DVKMem_Free(d->rescoreWords);
    DVKMem_FreeChunksArray(reinterpret_cast<void**>(d->hypPages), static_cast<uint32_t>(d->hypPageCount));
    ResultGraph_Delete(d->resultGraph);
    DVKMem_Free(d->frameSeedWords);
    DVKMem_Free(d->choices);
    DVKMem_Free(d->trees);
    DVKMem_Free(d->treeWords);
    DVKMem_Free(d->treeIds);
    DVKMem_Free(d->treeTags);
    DVKMem_Free(d->treeFeeds);
    DVKMem_Free(d->lmNextWords[0]);
    DVKMem_Free(d->lmNextWords[1]);
    DVKMem_Free(d->fmTransitions);
    Constraint_Delete(d->wholeVocConstraint);
    DVKMem_Free(d);
}

void LinChDecoderNoTimes_FreeMemory(Decoder* decoder, int32_t alsoPronCache)
{
    LinChDecoder* d = LinChDecoder_Of(decoder);
    DVKMem_FreeChunksArray(reinterpret_cast<void**>(d->newWordPages), static_cast<uint32_t>(d->newWordPageCount));
    d->newWordPages = nullptr;
    d->newWordPageCount = 0;
    DVKMem_FreeChunksArray(reinterpret_cast<void**>(d->hypPages), static_cast<uint32_t>(d->hypPageCount));
    d->hypPages = nullptr;
    d->hypPageCount = 0;
    DVKMem_Free(d->fmTransitions);
    d->fmTransitions = nullptr;
    d->fmTransitionCapacity = 0;
    if (alsoPronCache != 0 && d->pronCache != nullptr)
        PronCache_FreeBuffers(d->pronCache);
}

int32_t LinChDecoder_SetupPronCache(LinChDecoder* d)
{
    if (d->rescoreWords == nullptr) {
        d->rescoreCapacity = word(kBrevitParamRescoreCapacity);
        if (d->rescoreCapacity >= 1) {
            d->rescoreWords = allocEntries<LinChRescoreWord>(d->rescoreCapacity);
            if (d->rescoreWords == nullptr)
                return 0;
        }
    }
    d->pronCache = PronCache_Create(1, word(kBrevitParamPronCacheLimit1), word(kBrevitParamPronCacheLimit2),
                                    d->keepTimes, 1, d->base.vocabulary, d->base.model);
    if (d->pronCache == nullptr)
        return 0;
    const int32_t pairs = word(kBrevitParamPairedPhonemeCapacity);
    if (pairs >= 1) {
        const uint64_t bytes = 8ull * static_cast<uint64_t>(pairs);
        if (bytes > 0xFFFFFFFFull)
            return 0;
        d->pairTable = PairedPhonemeTable_Create(pairs, static_cast<uint32_t>(bytes), d->base.model);
        if (d->pairTable == nullptr)
            return 0;
    }
    return 1;
}

int32_t LinChDecoder_GrowPages(void*** table, int32_t* pageCount, int32_t needed, uint32_t recordBytes)
{
    if (needed <= *pageCount)
        return 1;
    const uint64_t tableBytes = static_cast<uint64_t>(needed) * sizeof(void*);
    const uint64_t pageBytes = static_cast<uint64_t>(kLinChPageRecords) * recordBytes;
    if (tableBytes > 0xFFFFFFFFull || pageBytes > 0xFFFFFFFFull)
        return 0;
    auto** grown = static_cast<void**>(DVKMem_Calloc(static_cast<uint32_t>(tableBytes)));
    if (grown == nullptr)
        return 0;
    for (int32_t i = *pageCount; i < needed; ++i) {
        grown[i] = DVKMem_Calloc(static_cast<uint32_t>(pageBytes));
        if (grown[i] == nullptr) {
            for (int32_t j = *pageCount; j < i; ++j)
                DVKMem_Free(grown[j]);
            DVKMem_Free(grown);
            return 0;
        }
    }
    for (int32_t i = 0; i < *pageCount; ++i)
        grown[i] = (*table)[i];
    DVKMem_Free(*table);
    *table = grown;
    *pageCount = needed;
    return 1;
}
