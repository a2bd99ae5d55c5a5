// New words from a word end: the successors of the ending word's grammar
// position (through the constraint's iterator, with or without a language
// model, or through the frame's seed transitions), or the fixed word slots
// of continuous search.
#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/search/linch_decoder_parts.h"
#include "core/brevit/search/linch_search.h"
#include "core/brevit/search/search_framework_calls.h"
#include "core/brevit/search/search_lexicon_calls.h"

#include <algorithm>

namespace {

int32_t word(int index) { return static_cast<int32_t>(BrevitParam_Word(index)); }

int32_t constraintOf(uint32_t high) { return static_cast<int32_t>((high >> 21) & 0x3FFu); }

ActiveId positionOf(uint32_t low, uint32_t high) { return ActiveId_FromWords(high & ~kLinChFinalBit, low); }

// A successor becomes a new-word record when its cost stays within the
// threshold; tree words take the slot of their tree.
void offer(LinChDecoder* d, int32_t k, int32_t cost, int32_t node, const ConstraintSuccessor& s)
{
    if (cost > d->pruneThreshold)
        return;
    LinChNewWord r{};
    r.ref = node;
    r.second = 0;
    r.activeIdLow = ActiveId_Low(s.next);
    r.activeIdHigh = ActiveId_High(s.next) | (s.final != 0 ? kLinChFinalBit : 0u);
    r.pron = s.member;
    if (s.classTree != nullptr) {
        const int32_t index = LinChDecoder_FindOrAddExpandedState(d, k, r.activeIdLow, r.activeIdHigh, s.classTree);
        if (d->state == kDecoderStateFailed)
            return;
        r.pron = static_cast<uint16_t>(d->numVocEntries + 1 + index);
    }
    r.cost = static_cast<int16_t>(cost);
    d->findOrAdd(d, &r);
}

void startIterator(LinChDecoder* d, Constraint* con, ConstraintIterator* it, int32_t cost, uint16_t pron,
                   uint32_t low, uint32_t high, int32_t node)
{
    ClassPair_InitIterator(con, it);
    if (word(kBrevitParamRecordTreeState) != 0)
        ClassPair_SetIteratorWord(it, node, cost);
    Constraint_IteratorInit(con, it, pron, 0, positionOf(low, high), kConstraintNoPron);
    (void)d;
}

void iterate(LinChDecoder* d, int32_t cost, uint16_t pron, uint32_t low, uint32_t high, int32_t node, bool withLM)
{
    const int32_t k = constraintOf(high);
    if (k >= d->numConstraints)
        return;
    Constraint* con = d->constraints[k];
    ConstraintIterator it{};
    startIterator(d, con, &it, cost, pron, low, high, node);
    const uint16_t ending = withLM ? Voc_GetActiveIdFromPronId(d->base.vocabulary, pron, nullptr) : uint16_t{0};
    ConstraintSuccessor s{};
    while (d->state != kDecoderStateFailed && Constraint_IteratorNext(con, &it, &s) != 0) {
        int32_t added = static_cast<int16_t>(s.score);
        if (withLM && s.classTree == nullptr)
            added = Voc_ScoreNGram(d->base.vocabulary, &ending, 1,
                                   Voc_GetActiveIdFromPronId(d->base.vocabulary, s.member, nullptr));
        offer(d, k, cost + added, node, s);
    }
}

// A slot of continuous search takes a strictly lower offer.
void offerSlot(LinChDecoder* d, LinChNewWord* slot, int32_t cost, int32_t node)
{
    if (cost > 16383 || cost >= slot->cost)
    {
        if (d->closeCallOn && d->closeCalls != nullptr && slot->cost != kLinChDeadCost && cost <= 16383 &&
            slot->ref != node)
            LinChDecoder_NoteCloseCall(d, node, slot->ref, static_cast<int16_t>(cost - slot->cost),
                                       static_cast<int16_t>(cost - d->bestCost));
        return;
    }
    if (d->closeCallOn && d->closeCalls != nullptr && slot->cost != kLinChDeadCost && slot->ref != node)
        LinChDecoder_NoteCloseCall(d, slot->ref, node, static_cast<int16_t>(slot->cost - cost),
                                   static_cast<int16_t>(slot->cost - d->bestCost));
    slot->cost = static_cast<int16_t>(cost);
    slot->ref = node;
}

} // namespace

void LinChDecoderNoTimes_NewWordConstraintNoLM(LinChDecoder* d, int32_t cost, uint16_t pron, uint32_t low,
                                               uint32_t high, int32_t node)
{
    iterate(d, cost, pron, low, high, node, false);
}

void LinChDecoderNoTimes_NewWordConstraintWithLM(LinChDecoder* d, int32_t cost, uint16_t pron, uint32_t low,
                                                 uint32_t high, int32_t node)
{
    iterate(d, cost, pron, low, high, node, true);
}

void LinChDecoderNoTimes_NewWordFMConstraint(LinChDecoder* d, int32_t cost, uint16_t pron, uint32_t low,
                                             uint32_t high, int32_t node)
{
    const int32_t k = constraintOf(high);
    if (k >= d->numConstraints)
        return;
    Constraint* con = d->constraints[k];
    if (Constraint_GetType(con) != kConstraintTypeClassPair)
        return;
    const auto* seeds = reinterpret_cast<const uint16_t*>(d->frameSeedWords);
    const ActiveId at = positionOf(low, high);
    int32_t n = ClassPair_GetFrameSeedTransitions(con, pron, pron, seeds, at, d->frameSeedCount,
                                                  d->fmTransitionCapacity, d->fmTransitions);
    if (n > d->fmTransitionCapacity) {
        // Twice the count reported, sized in 64 bits.
        const uint64_t entries = 2ull * static_cast<uint64_t>(n);
        const uint64_t bytes = entries * sizeof(ConstraintSuccessor);
        auto* grown = entries <= INT32_MAX && bytes <= 0xFFFFFFFFull
                          ? static_cast<ConstraintSuccessor*>(DVKMem_Malloc(static_cast<uint32_t>(bytes)))
                          : nullptr;
        if (grown == nullptr) {
            d->state = kDecoderStateFailed;
            return;
        }
        DVKMem_Free(d->fmTransitions);
        d->fmTransitions = grown;
        d->fmTransitionCapacity = static_cast<int32_t>(entries);
        n = ClassPair_GetFrameSeedTransitions(con, pron, pron, seeds, at, d->frameSeedCount, d->fmTransitionCapacity,
                                              d->fmTransitions);
    }
    const uint16_t ending = d->useLM ? Voc_GetActiveIdFromPronId(d->base.vocabulary, pron, nullptr) : uint16_t{0};
    for (int32_t i = 0; i < std::min(n, d->fmTransitionCapacity) && d->state != kDecoderStateFailed; ++i) {
        const ConstraintSuccessor& s = d->fmTransitions[i];
        int32_t c = cost + static_cast<int16_t>(s.score);
        if (d->useLM)
            c += Voc_ScoreNGram(d->base.vocabulary, &ending, 1,
                                Voc_GetActiveIdFromPronId(d->base.vocabulary, s.member, nullptr));
        offer(d, k, c, node, s);
    }
}

void LinChDecoderNoTimes_NewWordContinuousSlots(LinChDecoder* d, int32_t cost, uint16_t pron, uint32_t, uint32_t,
                                                int32_t node)
{
    const uint16_t ending = d->useLM ? Voc_GetActiveIdFromPronId(d->base.vocabulary, pron, nullptr) : uint16_t{0};
    for (int32_t i = 0; i < d->newWordCount; ++i) {
        LinChNewWord* slot = LinChDecoder_NewWordAt(d, i);
        int32_t lm = 0;
        if (d->useLM)
            lm = Voc_ScoreNGram(d->base.vocabulary, &ending, 1,
                                Voc_GetActiveIdFromPronId(d->base.vocabulary, slot->pron, nullptr));
        offerSlot(d, slot, cost + lm, node);
    }
}

void LinChDecoderNoTimes_NewWordContinuous(LinChDecoder* d, int32_t cost, uint16_t pron, uint32_t low,
                                           uint32_t high, int32_t node)
{
    const int32_t count = d->newWordCount;
    if (!d->useLM || count > word(kBrevitParamLmNextWords) || d->lmNextWords[0] == nullptr) {
        LinChDecoderNoTimes_NewWordContinuousSlots(d, cost, pron, low, high, node);
        return;
    }
    const uint16_t ending = Voc_GetActiveIdFromPronId(d->base.vocabulary, pron, nullptr);
    d->lmHistoryKey = Voc_ScoreNextWords(d->base.vocabulary, 1, &ending, count,
                                         reinterpret_cast<const uint16_t*>(d->lmNextWords[0]), d->lmHistoryKey,
                                         d->lmNextWords[1]);
    for (int32_t i = 0; i < count; ++i)
        offerSlot(d, LinChDecoder_NewWordAt(d, i), cost + d->lmNextWords[1][i], node);
}
