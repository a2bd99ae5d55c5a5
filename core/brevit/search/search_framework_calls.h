// The linear-chain search calls the decoder framework, the constraints and
// the class manager under its own names. Where the framework names an
// operation otherwise, or orders its arguments otherwise, the search's name is
// a thin wrapper here; names that agree are used as they are declared.
#pragma once

#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/search/class_manager.h"
#include "core/brevit/search/class_networks.h"
#include "core/brevit/search/class_pair_constraint.h"
#include "core/brevit/search/class_pair_search.h"
#include "core/brevit/search/constraint.h"
#include "core/brevit/search/decoder.h"
#include "core/brevit/search/decoder_utils.h"
#include "core/brevit/search/histogram.h"
#include "core/brevit/search/word_graph.h"

#include <cstdint>

struct PronCache;
struct WordGraph;

// ---- constraint lists ----
inline int32_t Constraint_CheckList(Constraint* const* constraints, int32_t count)
{
    return Constraint_CheckAll(constraints, count);
}
inline int32_t Constraint_AreAllSimple(Constraint* const* constraints, int32_t count)
{
    return Constraint_AllAreSimple(constraints, count);
}
// The pron cache only says whether class trees may use one.
inline int32_t Constraint_UttInitList(Constraint* const* constraints, int32_t count, int32_t cacheSize,
                                      PronCache* pronCache)
{
    return Constraint_UttInitAll(constraints, count, cacheSize, pronCache != nullptr ? 1 : 0);
}
inline ActiveId Constraint_MakeActiveId(Constraint*, int32_t index) { return Constraint_MakeStartActiveId(index); }
inline ClassManager* Constraint_FindClassPair(Constraint* const* constraints, int32_t count)
{
    return Constraint_GetClassManager(constraints, count);
}
inline int32_t Constraint_GetFirstFlag(const Constraint* constraint)
{
    return Constraint_GetRestrictionFlag(constraint);
}
inline int32_t Constraint_AnyNeedsExpansion(int32_t count, Constraint* const* constraints)
{
    return Constraint_AnyHasConstraintClasses(count, constraints);
}
// The class named by the parameter block from word 755 on.
inline const char* Constraint_RequestedClassName()
{
    if (gpBrevitGlobalParameters == nullptr)
        return "";
    return reinterpret_cast<const char*>(&gpBrevitGlobalParameters->words[kBrevitParamSelfLoopClassName]);
}
inline int32_t Constraint_AnyRefersToClass(Constraint* const* constraints, int32_t count)
{
    ClassManager* manager = Constraint_GetClassManager(constraints, count);
    if (manager == nullptr)
        return 0;
    const int32_t id = ClassManager_FindClass(manager, Constraint_RequestedClassName());
    if (id < 0)
        return 0;
    return Constraint_AnyClassPairHasClass(count, constraints, static_cast<uint32_t>(id));
}
inline int16_t Constraint_GetTransitionScore(Constraint* const* constraints, int32_t, uint32_t low, uint32_t high)
{
    return Constraint_GetTransitionScore(constraints, ActiveId_FromWords(high & 0x7FFFFFFFu, low));
}
inline void Constraint_Delete(Constraint* constraint) { Constraint_Delete(constraint, 0); }
inline int32_t Transcription_CheckChoice(Constraint* const* constraints, int32_t count, const uint16_t* prons,
                                         int32_t n)
{
    return Constraint_IsLegalPronSequence(constraints, count, prons, n);
}

// ---- class pairs ----
inline void ClassPair_InitIterator(Constraint* constraint, ConstraintIterator* iterator)
{
    ClassPairConstraint_PrepareIterator(constraint, iterator);
}
inline void ClassPair_SetIteratorWord(ConstraintIterator* iterator, int32_t a, int32_t b)
{
    ClassPairConstraint_SetStateValues(iterator, a, b);
}
// The successors of the position among the seed prons; their number, which
// may exceed the capacity (then only capacity records are written).
inline int32_t ClassPair_GetFrameSeedTransitions(Constraint* constraint, uint16_t previous, int32_t ignored,
                                                 const uint16_t* seeds, ActiveId id, int32_t n, int32_t capacity,
                                                 ConstraintSuccessor* out)
{
    ClassPairSuccessorRequest request{n, seeds, capacity, out};
    return ClassPairConstraint_ExpandSuccessors(constraint, previous, ignored, id, &request);
}
inline int32_t ClassPair_CanTransition(Constraint* constraint, uint32_t a, uint32_t b)
{
    return ClassPairConstraint_HasTransition(constraint, a, b);
}
inline int32_t ClassPair_MapClass(Constraint* copy, uint32_t classId)
{
    return ClassPairConstraint_FindCopyOwner(copy, classId);
}
inline int32_t ClassPair_SeedFrameWords(Constraint* const* constraints, int32_t count, const uint16_t* seeds,
                                        int32_t n, int32_t frame)
{
    return Constraint_PrepareFrameAll(constraints, count, reinterpret_cast<const uint8_t*>(seeds), n, frame);
}
inline Constraint* ClassPairConstraint_CreateExpanded(Constraint* constraint)
{
    return ClassPairConstraint_Expand(constraint);
}
inline int32_t ClassPairConstraint_HasTransitions(Constraint* constraint, uint32_t state)
{
    return ClassPairConstraint_HasSuccessors(constraint, state);
}
inline void ClassPairConstraint_FillPronCacheList(Constraint* const* constraints, int32_t count, PronCache* cache)
{
    Constraint_FillPronCacheAllClasses(constraints, count, cache);
}

// ---- class manager ----
inline int32_t ClassManager_GetMemberScore(ClassManager* manager, uint32_t classId, int32_t member)
{
    return ClassManager_GetMemberWeight(manager, classId, member);
}
inline int32_t ClassManager_IsBlankPrefixedName(const char* name) { return ClassManager_IsGeneratedClassName(name); }
inline void ClassManager_FillPronCache(ClassManager* manager, PronCache* cache, int32_t flag)
{
    ClassManager_FillPronCacheAllClasses(manager, cache, flag);
}

// ---- decoder utilities ----
inline int32_t DecoderUtils_CountPronsOfConstraint(Decoder* decoder, ClassManager* manager,
                                                   Constraint* const* constraints, int32_t count, int32_t a,
                                                   int32_t b, int32_t* hypothesisSpace, int32_t* baseCap,
                                                   int32_t* prons, int32_t* units)
{
    return Decoder_GetSearchLimits(decoder, manager, constraints, count, a, b, hypothesisSpace, baseCap, prons,
                                   units);
}
inline void DecoderUtils_FillChoiceOutputs(const LinChChoice* choices, int32_t* count, int32_t limit,
                                           int32_t* scores, int16_t* grammarShares, int32_t capacity,
                                           uint32_t* wordIds, uint8_t* classEnds, uint32_t* classIds,
                                           uint32_t* memberValues, uint8_t* classStarts, uint16_t* decoderValues,
                                           Constraint** constraints, const Voc* vocabulary)
{
    DecoderUtils_FillChoiceList(choices, count, limit, scores, grammarShares, capacity, wordIds, classEnds, classIds,
                                memberValues, classStarts, decoderValues, constraints, vocabulary);
}
inline int32_t DecoderUtils_RewriteChoice(const uint16_t* prons, const void* members, const void* startFlags,
                                          const void* frames, int32_t option, int32_t* count, int32_t* score)
{
    return Decoder_MassagePronSequence(prons, members, startFlags, frames, option, count, score);
}
inline int32_t DecoderUtils_ScoreChoiceLM(const Voc* vocabulary, int32_t order, int32_t contextCount,
                                          const uint16_t* context, int32_t rightCount, const uint16_t* rightIds,
                                          const uint16_t* prons, int32_t wordCount)
{
    return Decoder_ScoreNGramSequence(vocabulary, order, contextCount, context, rightCount, rightIds, prons,
                                      wordCount);
}
inline int32_t DecoderUtils_ScoreWordSequence(Decoder* decoder, int32_t leftCount, const uint32_t* left,
                                              int32_t order, int32_t wordCount, const uint32_t* words)
{
    return Decoder_ScoreWordSequenceLM(decoder, leftCount, left, order, wordCount, words);
}
inline int32_t Decoder_HasStateTableConstraints(Constraint* const* constraints, int32_t count)
{
    return Decoder_HasStateTableConstraint(constraints, count);
}
inline void Histogram_Reset(Histogram* histogram) { Histogram_Clear(histogram); }

// ---- word graph ----
// `WordGraph_Build` and `WordGraph_Clone` are the word graph's own (word_graph.h).
