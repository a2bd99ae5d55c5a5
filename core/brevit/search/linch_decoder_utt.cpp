// Utterance set-up of the linear-chain decoder: checks the request, takes
// over the constraints (expanded or optimised copies in place of the
// caller's), sizes the search, chooses cap, beam and the mode's operations,
// and starts the search in silence.
#include "core/brevit/search/linch_decoder.h"

#include "core/brevit/acoustic/acoustic_engine_calls.h"
#include "core/brevit/acoustic/am.h"
#include "core/brevit/lexicon/pron_cache.h"
#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/search/linch_decoder_parts.h"
#include "core/brevit/search/paired_phoneme_table.h"
#include "core/brevit/search/result_graph.h"
#include "core/brevit/search/search_framework_calls.h"
#include "core/brevit/search/whole_voc_constraint.h"

#include <algorithm>

namespace {

constexpr int32_t kBeamMax = 16383;
constexpr int32_t kCapMax = 65533;

int32_t word(int index) { return static_cast<int32_t>(BrevitParam_Word(index)); }

bool constraintMode(int32_t mode) { return mode == 3 || mode == 5 || mode == 11; }

bool noRightContext(const LinChDecoder* d) { return d->base.rightIds[0] == kLinChNoPron; }

DecoderHandle refuse(LinChDecoder* d, int32_t state, bool releaseCopies)
{
    if (releaseCopies)
        LinChDecoder_ReleaseClassPairCopies(d);
    d->state = state;
    return 0;
}

// Step 5: run-time trees take the pron threshold only in the simple word-end step.
bool treeThresholdFits(const LinChDecoder* d, int32_t allowPauseStart, int32_t onlyPauseStart)
{
    if (static_cast<uint32_t>(word(kBrevitParamTreePronThreshold)) == 0x7FFFFFFFu)
        return true;
    return word(kBrevitParamAllowPauseRequests) != 0 && allowPauseStart != 0 && onlyPauseStart == 0 &&
           noRightContext(d) && word(kBrevitParamMaxTrees) != 0 && d->treeCapacity != 0;
}

// Step 9. 1, or 0 when a copy cannot be made (the caller's list stays).
int32_t replaceConstraints(LinChDecoder* d)
{
    const int32_t n = d->numConstraints;
    const bool expand = Constraint_AnyNeedsExpansion(n, d->constraints) != 0;
    const char* className = Constraint_RequestedClassName();
    const bool optimise = !expand && word(kBrevitParamRequestClass) != 0 && className[0] != '\0' && n > 0 &&
                          Constraint_AnyRefersToClass(d->constraints, n) == 0;
    if (!expand && !optimise)
        return 1;
    const uint32_t bytes = static_cast<uint32_t>(n) * sizeof(Constraint*);
    d->callerConstraints = static_cast<Constraint**>(DVKMem_Calloc(bytes));
    d->replacedConstraints = static_cast<Constraint**>(DVKMem_Calloc(bytes));
    if (d->callerConstraints == nullptr || d->replacedConstraints == nullptr)
        return 0;
    d->numCallerConstraints = n;
    std::copy(d->constraints, d->constraints + n, d->callerConstraints);
    if (expand) {
        for (int32_t i = 0; i < n; ++i) {
            Constraint* copy = ClassPairConstraint_CreateExpanded(d->constraints[i]);
            if (copy == nullptr)
                return 0;
            if (copy != d->constraints[i]) {
                d->replacedConstraints[i] = copy;
                d->constraints[i] = copy;
            }
        }
        return 1;
    }
    auto* results = static_cast<Constraint**>(DVKMem_Calloc(bytes));
    if (results == nullptr)
        return 0;
    ClassManager_CreateOptimizedConstraint(Constraint_FindClassPair(d->constraints, n), className, n, d->constraints,
                                           results);
    for (int32_t i = 0; i < n; ++i)
        if (results[i] != nullptr && results[i] != d->constraints[i]) {
            d->replacedConstraints[i] = results[i];
            d->constraints[i] = results[i];
        }
    DVKMem_Free(results);
    d->optimisedConstraints = 1;
    return 1;
}

struct Sizes {
    int32_t space = 0;
    int32_t baseCap = 0;
    int32_t cache1 = 0;
    int32_t cache2 = 0;
};

bool searchSizes(LinChDecoder* d, Sizes* s)
{
    if ((d->mode == 3 || d->mode == 11) && !d->transcriptionOnly)
        return DecoderUtils_CountPronsOfConstraint(&d->base, nullptr, d->constraints, d->numConstraints, d->mode,
                                                   d->beamLevel, &s->space, &s->baseCap, &s->cache1,
                                                   &s->cache2) != 0 &&
               s->space > 0;
    s->baseCap = word(kBrevitParamDecoderOut2);
    s->space = word(kBrevitParamHypothesisSpace);
    s->cache1 = word(d->transcriptionOnly ? kBrevitParamPronCacheSize1Transcription : kBrevitParamPronCacheSize1);
    s->cache2 = word(d->transcriptionOnly ? kBrevitParamPronCacheSize2Transcription : kBrevitParamPronCacheSize2);
    return s->baseCap != 0 && static_cast<uint32_t>(s->baseCap) < 65534u && s->space > 0;
}

int32_t chooseBeam(const LinChDecoder* d)
{
    int64_t beam = 0;
    switch (d->beamLevel) {
    case 0: {
        const int32_t base = Decoder_CountStateTableConstraints(d->constraints, d->numConstraints) > 0
                                 ? word(kBrevitParamClassStateTableBeam)
                                 : word(kBrevitParamBaseBeamLevel);
        beam = std::max<int64_t>(1, int64_t{d->computation} * word(kBrevitParamBeamScale) + base);
        break;
    }
    case 1:
        beam = word(kBrevitParamBeamLevel1);
        break;
    case 2:
        beam = static_cast<int16_t>(word(kBrevitParamPruneOffset));
        break;
    default:
        break;
    }
    // Thresholds above 16383 are clipped anyway; a wider beam would wrap.
    return static_cast<int32_t>(std::clamp<int64_t>(beam, 0, kBeamMax));
}

void setCap(LinChDecoder* d, int32_t baseCap)
{
    if (d->beamLevel == 0) {
        const int64_t cap = int64_t{d->computation} * word(kBrevitParamHypothesisCapScale) + baseCap;
        d->hypCap = static_cast<int32_t>(std::clamp<int64_t>(cap, 1, INT32_MAX));
    } else {
        d->hypCap = baseCap;
    }
    d->wordEndCap = word(kBrevitParamWordEndCap);
    if (d->transcriptionOnly)
        d->hypCap = static_cast<int32_t>(std::min<int64_t>(int64_t{kLinChPageRecords} * d->hypPageCount, kCapMax));
}

void setEndPointers(LinChDecoder* d)
{
    const int32_t period = d->base.framePeriod;
    const int32_t minSilence = d->beamLevel == 1 ? 1000000 : word(kBrevitParamMinTrailingSilence);
    UttDet_Init(&d->endPointer, period, word(kBrevitParamEndPointerValue1), minSilence,
                word(kBrevitParamEndPointerValue2), 0);
    if (d->beamLevel != 1 && word(kBrevitParamSecondEndPointer) < word(kBrevitParamMinTrailingSilence)) {
        d->secondEndPointerOn = 1;
        d->secondEndOption = Constraint_AnyHasOptionalEnding(d->constraints, d->numConstraints);
        UttDet_Init(&d->endPointer2, period, word(kBrevitParamEndPointerValue1), word(kBrevitParamSecondEndPointer),
                    word(kBrevitParamEndPointerValue2), 0);
    } else {
        d->secondEndPointerOn = 0;
    }
}

// Step 26; false when the next-word arrays cannot be made.
bool chooseNewWordOperations(LinChDecoder* d)
{
    switch (d->mode) {
    case 2: {
        const int32_t next = word(kBrevitParamLmNextWords);
        if (next <= 0) {
            d->newWordSilence = LinChDecoder_ScoreNewWords;
            d->newWord = LinChDecoderNoTimes_NewWordContinuousSlots;
            return true;
        }
        d->newWordSilence = LinChDecoder_NewWordSilenceContinuous;
        d->newWord = LinChDecoderNoTimes_NewWordContinuous;
        if (d->useLM && d->lmNextWords[0] == nullptr) {
            const uint64_t bytes = static_cast<uint64_t>(next) * sizeof(int16_t);
            if (bytes > 0xFFFFFFFFull)
                return false;
            d->lmNextWords[0] = static_cast<int16_t*>(DVKMem_Calloc(static_cast<uint32_t>(bytes)));
            d->lmNextWords[1] = static_cast<int16_t*>(DVKMem_Calloc(static_cast<uint32_t>(bytes)));
            if (d->lmNextWords[0] == nullptr || d->lmNextWords[1] == nullptr) {
                DVKMem_Free(d->lmNextWords[0]);
                DVKMem_Free(d->lmNextWords[1]);
                d->lmNextWords[0] = d->lmNextWords[1] = nullptr;
                return false;
            }
        }
        return true;
    }
    case 5:
        d->newWordSilence = LinChDecoder_NewWordSilenceFMConstraint;
        d->newWord = LinChDecoderNoTimes_NewWordFMConstraint;
        d->lmScale = 0;
        return true;
    default:
        d->newWordSilence = LinChDecoder_NewWordSilenceConstraint;
        d->newWord = d->useLM ? LinChDecoderNoTimes_NewWordConstraintWithLM : LinChDecoderNoTimes_NewWordConstraintNoLM;
        return true;
    }
}

} // namespace

DecoderHandle LinChDecoderNoTimes_UttInit(Decoder* decoder, const uint16_t* contextWords, int32_t numContextWords,
                                          Constraint* const* constraints, int32_t numConstraints, int32_t mode,
                                          int32_t beamLevel, int32_t allowPauseStart, int32_t onlyPauseStart,
                                          int32_t finishOption)
{
    LinChDecoder* d = LinChDecoder_Of(decoder);
    d->state = kDecoderStateStarting;
    d->mode = mode;
    d->beamLevel = beamLevel;
    // Words, prons and the pron cache's size all come from the vocabulary.
    if (decoder->vocabulary == nullptr)
        return refuse(d, kDecoderStateFailed, false);
    // Steps 2 to 6: the request.
    if (numConstraints > kLinChMaxConstraints || (d->expanded && (mode == 5 || mode == 2)) ||
        (word(kBrevitParamStartLists) != 0 && word(kBrevitParamRecordTreeState) != 0) ||
        (mode == 11 && word(kBrevitParamMode11) < 1))
        return refuse(d, kDecoderStateFailed, false);
    d->updateHypotheses =
        d->expanded ? LinChDecoderNoTimes_UpdateHypothesesExpanded : LinChDecoderNoTimes_UpdateHypotheses;
    if (mode != 2 && !constraintMode(mode))
        return refuse(d, kDecoderStateFailed, false);
    if (constraintMode(mode) &&
        (gpBrevitGlobalParameters == nullptr || !treeThresholdFits(d, allowPauseStart, onlyPauseStart)))
        return refuse(d, kDecoderStateFailed, false);
    if (numConstraints < 0 || Constraint_CheckList(constraints, numConstraints) == 0)
        return refuse(d, kDecoderStateFailed, false);
    // Steps 7 and 8: the constraint list of this utterance.
    Constraint* const* list = constraints;
    int32_t count = numConstraints;
    if (word(kBrevitParamWholeVocabularyConstraint) != 0) {
        if (d->wholeVocConstraint == nullptr)
            d->wholeVocConstraint = WholeVocConstraint_Create(d->base.vocabulary, 0);
        if (d->wholeVocConstraint == nullptr)
            return refuse(d, kDecoderStateFailed, false);
        list = &d->wholeVocConstraint;
        count = 1;
    }
    LinChDecoder_ReleaseClassPairCopies(d);
    std::copy(list, list + count, d->constraints);
    d->numConstraints = count;
    d->optimisedConstraints = 0;
    if (replaceConstraints(d) == 0)
        return refuse(d, kDecoderStateStarting, true);
    // Steps 10 to 13.
    d->constraintCacheSize = beamLevel == 1 ? 0 : word(kBrevitParamTransitionCache);
    d->allowPauseStart = allowPauseStart;
    d->onlyPauseStart = onlyPauseStart;
    d->searchStarted = 1;
    const int32_t penalty = word(kBrevitParamGraphWordPenalty);
    d->wordPenalty = static_cast<int16_t>(penalty);
    d->contextWord = numContextWords >= 1 && contextWords != nullptr
                         ? static_cast<int16_t>(contextWords[numContextWords - 1])
                         : int16_t{-1};
    d->hasContext = numContextWords >= 1 && contextWords != nullptr ? 1 : 0;
    if (mode == 2) {
        Decoder_InitAMScoring(decoder, word(kBrevitParamAlignmentScoringMode), word(kBrevitParamAlignmentScoring));
        d->transcriptionOnly = 0;
    } else {
        d->transcriptionOnly = 1;
        for (int32_t i = 0; i < d->numConstraints; ++i)
            if (Constraint_GetTranscriptionFlag(d->constraints[i]) == 0)
                d->transcriptionOnly = 0;
        Decoder_InitAMScoring(decoder, d->transcriptionOnly ? 0 : word(kBrevitParamAlignmentScoringMode),
                              word(kBrevitParamAlignmentScoring));
    }
    d->finishOption = finishOption;
    d->choiceOption = d->keepTimes ? 1 : (constraintMode(mode) && d->transcriptionOnly ? 1 : finishOption);
    // Steps 14 to 16: space.
    Sizes sizes;
    if (!searchSizes(d, &sizes))
        return refuse(d, kDecoderStateStarting, true);
    const int64_t pages = (int64_t{sizes.space} + kLinChPageRecords - 1) / kLinChPageRecords;
    if (pages > d->hypPageCount &&
        LinChDecoder_GrowPages(reinterpret_cast<void***>(&d->hypPages), &d->hypPageCount, static_cast<int32_t>(pages),
                               sizeof(LinChHyp)) == 0)
        return refuse(d, kDecoderStateStarting, true);
    if (PronCache_Reserve(d->pronCache, static_cast<uint32_t>(sizes.cache1), static_cast<uint32_t>(sizes.cache2)) ==
        0)
        return refuse(d, kDecoderStateFailed, true);
    if (word(kBrevitParamClassPairPronData) != 0)
        ClassPairConstraint_FillPronCacheList(d->constraints, d->numConstraints, d->pronCache);
    if (LinChDecoder_GrowNewWordPages(d) == 0 ||
        Constraint_UttInitList(d->constraints, d->numConstraints, d->constraintCacheSize, d->pronCache) == 0)
        return refuse(d, kDecoderStateStarting, true);
    // Steps 17 to 19: cap and beam.
    setCap(d, sizes.baseCap);
    d->beam = static_cast<int16_t>(chooseBeam(d));
    d->pruneThreshold = d->beam;
    if (d->wordInsertionCost > d->beam || penalty > 16384)
        return refuse(d, kDecoderStateFailed, true);
    // Steps 20 to 22.
    d->silenceHyp.model = AM_GetSilenceModelId(decoder->model);
    d->silenceState = AM_GetSilenceStateId(decoder->model);
    bool closeCalls = true;
    if (constraintMode(mode)) {
        d->withStates = d->numConstraints == 1 ? Constraint_GetFirstFlag(d->constraints[0]) : 1;
        if (Constraint_AreAllSimple(d->constraints, d->numConstraints) != 0) {
            d->closeCallOn = 0;
            closeCalls = false;
        }
    }
    if (closeCalls) {
        d->closeCallOn = word(kBrevitParamCloseCalls);
        if (d->closeCallOn != 0) {
            d->finishOption = 0;
            d->choiceOption = 0;
            if (word(kBrevitParamCloseCallRecords) == 0)
                return refuse(d, kDecoderStateFailed, true);
            if (LinChDecoder_PrepareCloseCalls(d, word(kBrevitParamCloseCallRecords)) == 0)
                return refuse(d, kDecoderStateFailed, true);
        }
    }
    // Steps 23 to 29.
    setEndPointers(d);
    if (word(kBrevitParamPronCacheReset) != 0)
        PronCache_Reset(d->pronCache);
    if (d->pairTable != nullptr)
        PairedPhonemeTable_Reset(d->pairTable);
    d->numVocEntries = decoder->vocabulary != nullptr ? Voc_GetNumActiveEntries(decoder->vocabulary) : 0;
    if (d->expanded) {
        d->newWordSlots = d->treeCapacity + 2 + d->numVocEntries;
        d->newWordCount = d->newWordSlots;
    }
    if (word(kBrevitParamUseLanguageModel) == 0) {
        decoder->rightIds[0] = kLinChNoPron;
        d->useLM = 0;
    } else {
        d->useLM = decoder->vocabulary != nullptr ? Voc_HasLM(decoder->vocabulary) : 0;
    }
    d->lmScale = word(kBrevitParamCanFollowCheck);
    if (!chooseNewWordOperations(d))
        return refuse(d, kDecoderStateFailed, true);
    if (d->expanded)
        d->findOrAdd = d->withStates ? LinChDecoder_FindOrAddExpandedStates : LinChDecoder_FindOrAddExpandedNoStates;
    else
        d->findOrAdd = LinChDecoder_FindOrAdd;
    const bool simple = word(kBrevitParamAllowPauseRequests) != 0 && constraintMode(mode) && allowPauseStart != 0 &&
                        onlyPauseStart == 0 && noRightContext(d);
    d->makeNewWordList = simple ? LinChDecoderNoTimes_MakeNewWordListSimple : LinChDecoderNoTimes_MakeNewWordList;
    if (d->useLM && d->treeCapacity > 0)
        return refuse(d, kDecoderStateFailed, true);
    // Step 30.
    d->garbagePron = decoder->vocabulary != nullptr
                         ? static_cast<uint16_t>(
                               Voc_GetFirstPronId(decoder->vocabulary, Voc_GetGarbageId(decoder->vocabulary)))
                         : kLinChNoPron;
    LinChDecoderNoTimes_ResetSearch(d);
    return 1;
}

void LinChDecoderNoTimes_ResetSearch(LinChDecoder* d)
{
    const int32_t slots = kLinChPageRecords * d->hypPageCount;
    if (slots > 0) {
        LinChHyp* end = LinChDecoder_HypAt(d, slots - 1);
        *end = LinChHyp{};
        end->pron = kLinChNoPron;
        end->cost[0] = end->cost[1] = end->best = kLinChDeadCost;
        end->activeIdLow = kLinChEndLow;
        end->activeIdHigh = kLinChEndHigh;
    }
    d->hypCount = 1;
    const uint16_t silenceModel = d->silenceHyp.model;
    d->silenceHyp = LinChHyp{};
    d->silenceHyp.pron = kLinChNoPron;
    d->silenceHyp.phone = 255;
    d->silenceHyp.model = silenceModel;
    d->silenceHyp.cost[0] = 0;
    d->silenceHyp.cost[1] = kLinChDeadCost;
    d->silenceHyp.ref[0] = 0;
    d->silenceHyp.ref[1] = -1;
    d->silenceHyp.best = 0;
    d->silenceHyp.activeIdLow = kLinChEndLow;
    d->silenceHyp.activeIdHigh = kLinChEndHigh;
    d->bestCost = 0;
    d->bestPron = kLinChNoPron;
    d->bestNonPauseCost = 0;
    d->silenceThresholdTime = -1;
    d->resetMark = 0;
    d->frameDiffers = 1;
    d->frameSkipToggle = 1;
    ResultGraph_ResetWithModes(d->resultGraph, d->choiceOption, constraintMode(d->mode) ? 1 : 0);
    d->frameIndex = 0;
    d->normaliserSum = 0;
    if (d->expanded) {
        const int32_t slotCount = std::min(d->newWordSlots, kLinChPageRecords * d->newWordPageCount);
        for (int32_t i = 0; i < slotCount; ++i) {
            LinChNewWord* r = LinChDecoder_NewWordAt(d, i);
            r->cost = kLinChDeadCost;
            r->pron = kLinChNoPron;
        }
    } else {
        const int32_t records = kLinChPageRecords * d->newWordPageCount;
        for (int32_t i = 0; i < records; ++i) {
            LinChNewWord* r = LinChDecoder_NewWordAt(d, i);
            r->activeIdLow = kLinChEndLow;
            r->activeIdHigh = kLinChEndHigh;
        }
        if (records > 0) {
            LinChNewWord* first = LinChDecoder_NewWordAt(d, 0);
            first->pron = kLinChNoPron;
            first->cost = 0;
        }
        d->newWordCount = 0;
    }
    d->numTrees = 0;
    d->rescoreCount = 0;
    d->state = kDecoderStateRunning;
}

void LinChDecoderNoTimes_UttRestart(Decoder* decoder)
{
    LinChDecoder* d = LinChDecoder_Of(decoder);
    if (d->hypPageCount == 0)
        return;
    if (d->closeCallOn)
        LinChDecoder_ResetCloseCalls(d);
    UttDet_Reset(&d->endPointer);
    if (d->secondEndPointerOn)
        UttDet_Reset(&d->endPointer2);
    const int32_t cacheSize = d->beamLevel == 1 ? 0 : word(kBrevitParamTransitionCache);
    // A constraint that cannot start the utterance leaves nothing to search.
    if (Constraint_UttInitList(d->constraints, d->numConstraints, cacheSize, d->pronCache) == 0) {
        d->state = kDecoderStateFailed;
        return;
    }
    LinChDecoderNoTimes_ResetSearch(d);
}

int32_t LinChDecoder_GrowNewWordPages(LinChDecoder* d)
{
    int64_t wanted;
    if (d->expanded) {
        const int32_t entries = d->base.vocabulary != nullptr ? Voc_GetNumActiveEntries(d->base.vocabulary) : 0;
        wanted = (int64_t{d->treeCapacity} + 257 + entries + word(kBrevitParamNewWordPagesExtra)) >> 8;
    } else {
        wanted = (int64_t{word(kBrevitParamNewWordPages)} + 255) >> 8;
    }
    if (wanted <= d->newWordPageCount)
        return 1;
    if (wanted > INT32_MAX / static_cast<int64_t>(sizeof(void*)))
        return 0;
    return LinChDecoder_GrowPages(reinterpret_cast<void***>(&d->newWordPages), &d->newWordPageCount,
                                  static_cast<int32_t>(wanted), sizeof(LinChNewWord));
}
