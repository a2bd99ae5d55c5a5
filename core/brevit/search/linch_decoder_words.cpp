// Word starts of the linear-chain search: the rescoring-word list and the
// frame seeds it gives, the new-word list and the cost of each new word,
// merging word starts (find-or-add), the run-time tree table and the frame's
// best costs.
#include "core/brevit/search/linch_decoder.h"

#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/search/linch_decoder_parts.h"
#include "core/brevit/search/search_framework_calls.h"
#include "core/brevit/search/search_lexicon_calls.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace {

constexpr int32_t kMaxWordProns = 200;

int32_t word(int index) { return static_cast<int32_t>(BrevitParam_Word(index)); }

int32_t listCapacity(const LinChDecoder* d) { return kLinChPageRecords * d->newWordPageCount - 1; }

// The order of records with states: activeId high word without bit 31, then low word.
uint64_t stateKey(const LinChNewWord& r)
{
    return (static_cast<uint64_t>(r.activeIdHigh & 0x7FFFFFFFu) << 32) | r.activeIdLow;
}

int compareKeys(const LinChNewWord& a, const LinChNewWord& b, bool withStates)
{
    if (a.pron != b.pron)
        return a.pron < b.pron ? -1 : 1;
    if (!withStates)
        return 0;
    const uint64_t ka = stateKey(a), kb = stateKey(b);
    return ka < kb ? -1 : ka > kb ? 1 : 0;
}

// The lower cost wins; a close call notes the loser when histories differ.
void merge(LinChDecoder* d, LinChNewWord* old, const LinChNewWord* offer)
{
    const bool offerWins = offer->cost < old->cost;
    if (d->closeCallOn && d->closeCalls != nullptr && offer->ref != old->ref) {
        const LinChNewWord* loser = offerWins ? old : offer;
        const LinChNewWord* winner = offerWins ? offer : old;
        LinChDecoder_NoteCloseCall(d, loser->ref, winner->ref, static_cast<int16_t>(loser->cost - winner->cost),
                                   static_cast<int16_t>(loser->cost - d->bestCost));
    }
    if (offerWins) {
        old->ref = offer->ref;
        old->cost = offer->cost;
    }
}

int16_t lmScore(const LinChDecoder* d, uint16_t pron)
{
    if (!d->useLM)
        return 0;
    const uint16_t history = static_cast<uint16_t>(d->contextWord);
    const int32_t active = Voc_GetActiveIdFromPronId(d->base.vocabulary, pron, nullptr);
    return static_cast<int16_t>(Voc_ScoreNGram(d->base.vocabulary, &history, d->hasContext == 1 ? 1 : 0, active));
}

void offerSuccessor(LinChDecoder* d, int32_t k, int32_t base, const ConstraintSuccessor& s, bool trees)
{
    LinChNewWord r{};
    r.ref = -1;
    r.activeIdLow = ActiveId_Low(s.next);
    r.activeIdHigh = ActiveId_High(s.next) | (s.final ? kLinChFinalBit : 0u);
    r.pron = s.member;
    if (trees && s.classTree != nullptr) {
        const int32_t index = LinChDecoder_FindOrAddExpandedState(d, k, r.activeIdLow, r.activeIdHigh, s.classTree);
        if (d->state == kDecoderStateFailed)
            return;
        r.pron = static_cast<uint16_t>(d->numVocEntries + 1 + index);
    }
    r.cost = static_cast<int16_t>(base + static_cast<int16_t>(s.score) + d->wordInsertionCost + lmScore(d, s.member));
    d->findOrAdd(d, &r);
}

void sortSeeds(int16_t* seeds, int32_t* count)
{
    auto* begin = reinterpret_cast<uint16_t*>(seeds);
    std::sort(begin, begin + *count);
    *count = static_cast<int32_t>(std::unique(begin, begin + *count) - begin);
}

} // namespace

// ---- rescoring words ----
void LinChDecoder_AddRescoreWord(LinChDecoder* d, int32_t activeWord, int32_t frame)
{
    uint16_t prons[kMaxWordProns];
    const uint32_t vocId = Voc_ActiveIdToVocId(d->base.vocabulary, activeWord);
    const int32_t n = std::min(Voc_GetPronIds(d->base.vocabulary, vocId, prons, kMaxWordProns), kMaxWordProns);
    for (int32_t i = 0; i < n; ++i)
        LinChDecoder_AddRescorePair(&d->base, static_cast<int16_t>(prons[i]), static_cast<int16_t>(frame));
}

int LinChDecoder_CompareRescoreWords(const void* a, const void* b)
{
    const auto* x = static_cast<const LinChRescoreWord*>(a);
    const auto* y = static_cast<const LinChRescoreWord*>(b);
    if (x->frame != y->frame)
        return x->frame < y->frame ? -1 : 1;
    return x->pron < y->pron ? -1 : x->pron > y->pron ? 1 : 0;
}

void LinChDecoder_SortRescoreList(LinChDecoder* d)
{
    if (d->rescoreCount < 1)
        return;
    std::qsort(d->rescoreWords, static_cast<size_t>(d->rescoreCount), sizeof(LinChRescoreWord),
               LinChDecoder_CompareRescoreWords);
    int32_t kept = 1;
    for (int32_t i = 1; i < d->rescoreCount; ++i)
        if (LinChDecoder_CompareRescoreWords(&d->rescoreWords[i], &d->rescoreWords[kept - 1]) != 0)
            d->rescoreWords[kept++] = d->rescoreWords[i];
    d->rescoreCount = kept;
}

void LinChDecoder_DropOldRescoreWords(LinChDecoder* d)
{
    int32_t old = 0;
    while (old < d->rescoreCount && d->rescoreWords[old].frame + d->seedKeepFrames < d->frameIndex)
        ++old;
    if (old == 0)
        return;
    std::copy(d->rescoreWords + old, d->rescoreWords + d->rescoreCount, d->rescoreWords);
    d->rescoreCount -= old;
}

// ---- new-word list ----
void LinChDecoder_SortNewWords(LinChDecoder* d, int32_t first, int32_t last)
{
    while (first < last) {
        const uint16_t pivot = LinChDecoder_NewWordAt(d, (first + last) / 2)->pron;
        int32_t i = first, j = last;
        while (i <= j) {
            while (LinChDecoder_NewWordAt(d, i)->pron < pivot)
                ++i;
            while (LinChDecoder_NewWordAt(d, j)->pron > pivot)
                --j;
            if (i <= j)
                std::swap(*LinChDecoder_NewWordAt(d, i++), *LinChDecoder_NewWordAt(d, j--));
        }
        // The smaller side recursively, the larger by looping.
        if (j - first < last - i) {
            LinChDecoder_SortNewWords(d, first, j);
            first = i;
        } else {
            LinChDecoder_SortNewWords(d, i, last);
            last = j;
        }
    }
}

void LinChDecoder_EndNewWordList(LinChDecoder* d)
{
    if (d->newWordCount < 0 || d->newWordCount > listCapacity(d))
        return;
    LinChNewWord* end = LinChDecoder_NewWordAt(d, d->newWordCount);
    end->pron = kLinChNoPron;
    end->cost = 0;
}

void LinChDecoder_BuildNewWordList(LinChDecoder* d)
{
    const int32_t capacity = listCapacity(d);
    if (capacity < 0)
        return;
    int32_t count = std::max(d->newWordCount, 0);
    for (int32_t i = 0; i < d->rescoreCount && count < capacity; ++i) {
        const LinChRescoreWord& w = d->rescoreWords[i];
        if (w.frame - d->seedLeadFrames > d->frameIndex)
            break;
        LinChNewWord* r = LinChDecoder_NewWordAt(d, count++);
        r->pron = w.pron;
        r->cost = kLinChDeadCost;
    }
    if (count > 1) {
        LinChDecoder_SortNewWords(d, 0, count - 1);
        int32_t kept = 1;
        for (int32_t i = 1; i < count; ++i)
            if (LinChDecoder_NewWordAt(d, i)->pron != LinChDecoder_NewWordAt(d, kept - 1)->pron)
                *LinChDecoder_NewWordAt(d, kept++) = *LinChDecoder_NewWordAt(d, i);
        count = kept;
    }
    // A full list gives its last record to the end record.
    if (count == capacity)
        --count;
    d->newWordCount = count;
    LinChDecoder_EndNewWordList(d);
    const int32_t next = word(kBrevitParamLmNextWords);
    if (d->useLM && count >= 1 && count <= next && d->lmNextWords[0] != nullptr) {
        d->lmHistoryKey = -1;
        for (int32_t i = 0; i < count; ++i)
            d->lmNextWords[0][i] = static_cast<int16_t>(
                Voc_GetActiveIdFromPronId(d->base.vocabulary, LinChDecoder_NewWordAt(d, i)->pron, nullptr));
    }
}

void LinChDecoder_SortFrameSeedList(LinChDecoder* d)
{
    if (d->frameSeedWords != nullptr)
        sortSeeds(d->frameSeedWords, &d->frameSeedCount);
}

void LinChDecoder_BuildFrameSeedList(LinChDecoder* d)
{
    const int32_t capacity = d->frameSeedWords != nullptr ? word(kBrevitParamSeedWords) : 0;
    d->frameSeedCount = 0;
    for (int32_t i = 0; i < d->rescoreCount && capacity > 0; ++i) {
        const LinChRescoreWord& w = d->rescoreWords[i];
        if (w.frame - d->seedLeadFrames > d->frameIndex)
            break;
        d->frameSeedWords[d->frameSeedCount++] = static_cast<int16_t>(w.pron);
        if (d->frameSeedCount == capacity) {
            LinChDecoder_SortFrameSeedList(d);
            if (d->frameSeedCount == capacity)
                break;
        }
    }
    LinChDecoder_SortFrameSeedList(d);
    if (capacity > 0 && d->frameSeedCount == capacity)
        --d->frameSeedCount;
    if (word(kBrevitParamRecordTreeState) == 0 &&
        ClassPair_SeedFrameWords(d->constraints, d->numConstraints, reinterpret_cast<uint16_t*>(d->frameSeedWords),
                                 d->frameSeedCount, d->frameIndex) == 0)
        d->state = kDecoderStateFailed;
}

// ---- costs of new words ----
void LinChDecoder_ScoreNewWords(LinChDecoder* d, int32_t base, uint16_t, uint32_t, uint32_t, int32_t)
{
    for (int32_t i = 0; i < d->newWordCount; ++i) {
        LinChNewWord* r = LinChDecoder_NewWordAt(d, i);
        r->ref = -1;
        r->cost = static_cast<int16_t>(base + d->wordInsertionCost + lmScore(d, r->pron));
    }
}

void LinChDecoder_NewWordSilenceContinuous(LinChDecoder* d, int32_t base, uint16_t pron, uint32_t low, uint32_t high,
                                           int32_t node)
{
    const int32_t count = d->newWordCount;
    if (count < 1)
        return;
    if (!d->useLM || count > word(kBrevitParamLmNextWords) || d->lmNextWords[0] == nullptr) {
        LinChDecoder_ScoreNewWords(d, base, pron, low, high, node);
        return;
    }
    const uint16_t history = static_cast<uint16_t>(d->contextWord);
    d->lmHistoryKey = Voc_ScoreNextWords(d->base.vocabulary, d->hasContext == 1 ? 1 : 0, &history, count,
                                         reinterpret_cast<const uint16_t*>(d->lmNextWords[0]), d->lmHistoryKey,
                                         d->lmNextWords[1]);
    for (int32_t i = 0; i < count; ++i) {
        LinChNewWord* r = LinChDecoder_NewWordAt(d, i);
        r->ref = -1;
        r->cost = static_cast<int16_t>(base + d->wordInsertionCost + d->lmNextWords[1][i]);
    }
}

void LinChDecoder_NewWordSilenceConstraint(LinChDecoder* d, int32_t base, uint16_t, uint32_t, uint32_t, int32_t)
{
    for (int32_t k = 0; k < d->numConstraints && d->state != kDecoderStateFailed; ++k) {
        Constraint* con = d->constraints[k];
        ConstraintIterator it{};
        ClassPair_InitIterator(con, &it);
        if (word(kBrevitParamRecordTreeState) != 0)
            ClassPair_SetIteratorWord(&it, -1, base);
        Constraint_IteratorInitFromActiveId(con, &it, kConstraintSilencePron, 0, Constraint_MakeActiveId(con, k),
                                            kConstraintNoPron);
        ConstraintSuccessor s{};
        while (Constraint_IteratorNext(con, &it, &s) != 0 && d->state != kDecoderStateFailed)
            offerSuccessor(d, k, base, s, true);
    }
}

void LinChDecoder_NewWordSilenceFMConstraint(LinChDecoder* d, int32_t base, uint16_t, uint32_t, uint32_t, int32_t)
{
    const auto* seeds = reinterpret_cast<const uint16_t*>(d->frameSeedWords);
    for (int32_t k = 0; k < d->numConstraints; ++k) {
        Constraint* con = d->constraints[k];
        if (Constraint_GetType(con) != kConstraintTypeClassPair)
            continue;
        const ActiveId start = Constraint_MakeActiveId(con, k);
        int32_t n = ClassPair_GetFrameSeedTransitions(con, kConstraintSilencePron, kConstraintSilencePron, seeds, start,
                                                      d->frameSeedCount, d->fmTransitionCapacity, d->fmTransitions);
        if (n > d->fmTransitionCapacity) {
            // Twice the count reported, sized in 64 bits.
            const uint64_t entries = 2ull * static_cast<uint64_t>(n);
            const uint64_t bytes = entries * sizeof(ConstraintSuccessor);
            DVKMem_Free(d->fmTransitions);
            d->fmTransitions = nullptr;
            d->fmTransitionCapacity = 0;
            if (entries > INT32_MAX || bytes > 0xFFFFFFFFull ||
                (d->fmTransitions = static_cast<ConstraintSuccessor*>(DVKMem_Malloc(static_cast<uint32_t>(bytes)))) ==
                    nullptr) {
                d->state = kDecoderStateFailed;
                return;
            }
            d->fmTransitionCapacity = static_cast<int32_t>(entries);
            n = ClassPair_GetFrameSeedTransitions(con, kConstraintSilencePron, kConstraintSilencePron, seeds, start,
                                                  d->frameSeedCount, d->fmTransitionCapacity, d->fmTransitions);
        }
        for (int32_t i = 0; i < std::min(n, d->fmTransitionCapacity); ++i)
            offerSuccessor(d, k, base, d->fmTransitions[i], false);
    }
}

// ---- find-or-add ----
int32_t LinChDecoder_FindOrAdd(LinChDecoder* d, const LinChNewWord* record)
{
    const bool withStates = d->withStates != 0;
    int32_t lo = 0, hi = d->newWordCount;
    while (lo < hi) {
        const int32_t mid = lo + (hi - lo) / 2;
        const int c = compareKeys(*LinChDecoder_NewWordAt(d, mid), *record, withStates);
        if (c == 0) {
            merge(d, LinChDecoder_NewWordAt(d, mid), record);
            return 1;
        }
        if (c < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    if (d->newWordCount >= listCapacity(d))
        return 0;
    DVKMem_MoveChunkedArrayElements(reinterpret_cast<void**>(d->newWordPages), kLinChPageRecords, sizeof(LinChNewWord),
                                    lo, d->newWordCount - lo, lo + 1);
    *LinChDecoder_NewWordAt(d, lo) = *record;
    ++d->newWordCount;
    return 1;
}

// The expanded list's slot for the record's pron: null past the list (the
// offer is dropped) or when an empty slot took the record whole.
static LinChNewWord* expandedSlot(LinChDecoder* d, const LinChNewWord* record)
{
    if (record->pron >= d->newWordSlots - 1)
        return nullptr;
    LinChNewWord* head = LinChDecoder_NewWordAt(d, record->pron);
    if (head->cost != kLinChDeadCost)
        return head;
    *head = *record;
    head->pron = kLinChNoPron;
    return nullptr;
}

int32_t LinChDecoder_FindOrAddExpandedNoStates(LinChDecoder* d, const LinChNewWord* record)
{
    const int32_t slot = record->pron;
    if (slot >= d->newWordSlots - 1)
        return 0;
    LinChNewWord* head = expandedSlot(d, record);
    if (head == nullptr)
        return 1;
    merge(d, head, record);
    return 1;
}

int32_t LinChDecoder_FindOrAddExpandedStates(LinChDecoder* d, const LinChNewWord* record)
{
    const int32_t slot = record->pron;
    if (slot >= d->newWordSlots - 1)
        return 0;
    LinChNewWord* head = expandedSlot(d, record);
    if (head == nullptr)
        return 1;
    if (slot > d->numVocEntries) {
        merge(d, head, record);
        return 1;
    }
    const uint64_t key = stateKey(*record);
    int32_t previous = -1;
    int32_t at = slot;
    while (at != kLinChNoPron && stateKey(*LinChDecoder_NewWordAt(d, at)) < key) {
        previous = at;
        at = LinChDecoder_NewWordAt(d, at)->pron;
    }
    if (at != kLinChNoPron && stateKey(*LinChDecoder_NewWordAt(d, at)) == key) {
        merge(d, LinChDecoder_NewWordAt(d, at), record);
        return 1;
    }
    // A free record from the end; links are 16-bit indices.
    const int32_t free = d->newWordCount;
    if (kLinChPageRecords * d->newWordPageCount - free < 2 || free >= kLinChNoPron)
        return 0;
    ++d->newWordCount;
    LinChNewWord* taken = LinChDecoder_NewWordAt(d, free);
    if (previous < 0) {
        // Before the head: the head's contents move out, the head takes the offer.
        *taken = *head;
        *head = *record;
        head->pron = static_cast<uint16_t>(free);
    } else {
        *taken = *record;
        taken->pron = static_cast<uint16_t>(at);
        LinChDecoder_NewWordAt(d, previous)->pron = static_cast<uint16_t>(free);
    }
    return 1;
}

int32_t LinChDecoder_FindOrAddExpandedState(LinChDecoder* d, int32_t constraintIndex, uint32_t, uint32_t activeIdHigh,
                                            LexTree* tree)
{
    const int32_t state = static_cast<int32_t>((activeIdHigh >> 3) & 0x3FFFFu);
    for (int32_t i = 0; i < d->numTrees; ++i)
        if (d->treeIds[i] == state && d->treeWords[i] == constraintIndex &&
            (d->treeTags == nullptr || d->treeTags[i] == d->treeTag))
            return i;
    if (d->numTrees >= d->treeCapacity || d->trees == nullptr) {
        d->state = kDecoderStateFailed;
        return 0;
    }
    const int32_t i = d->numTrees++;
    d->trees[i] = tree;
    d->treeWords[i] = static_cast<int16_t>(constraintIndex);
    d->treeIds[i] = state;
    if (d->treeTags != nullptr)
        d->treeTags[i] = d->treeTag;
    return i;
}

// ---- best costs ----
void LinChDecoder_UpdateFrameBest(LinChDecoder* d)
{
    int16_t best = d->bestCost;
    if (!d->expanded) {
        for (int32_t i = 0; i < d->newWordCount; ++i)
            best = std::min(best, LinChDecoder_NewWordAt(d, i)->cost);
    } else {
        const int32_t last = std::min(d->treeCapacity + d->numVocEntries, d->newWordSlots - 2);
        for (int32_t slot = 0; slot <= last; ++slot) {
            if (LinChDecoder_NewWordAt(d, slot)->cost == kLinChDeadCost)
                continue;
            for (int32_t at = slot; at != kLinChNoPron; at = LinChDecoder_NewWordAt(d, at)->pron) {
                best = std::min(best, LinChDecoder_NewWordAt(d, at)->cost);
                if (slot > d->numVocEntries)
                    break;
            }
        }
    }
    d->bestCost = best;
}

int32_t LinChDecoder_GetWordEndLimit(LinChDecoder* d)
{
    int16_t threshold = static_cast<int16_t>(d->bestCost + d->newWordBeam);
    threshold = std::min(threshold, static_cast<int16_t>(d->bestWordEndCost + d->wordEndBeam));
    threshold = std::min(threshold, d->pruneThreshold);
    int32_t limit = threshold;
    if (d->wordEndHistogram != nullptr && d->wordEndHistogram->total > d->wordEndCap)
        limit = Histogram_GetPruneThreshold(d->wordEndHistogram, d->wordEndCap, d->bestCost, threshold);
    return limit - d->bestCost;
}

int32_t LinChDecoder_IsSettled(LinChDecoder* d)
{
    if (d->silenceHyp.cost[0] < kLinChDeadCost)
        return 0;
    if (d->bestPron == d->garbagePron)
        return 1;
    return d->bestModel == 0 ? 1 : 0;
}
