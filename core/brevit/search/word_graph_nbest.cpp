// The n-best search: best first and backwards through a finished word graph.
// Each record follows its current arc's best predecessor in place; every
// other admissible predecessor starts a new record scored by its excess over
// the best one. A record whose arc starts at frame 0 is complete.
#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/search/choice_record.h"
#include "core/brevit/search/constraint.h"
#include "core/brevit/search/word_graph_parts.h"

#include <algorithm>
#include <cstring>

using namespace word_graph;

namespace {

// A record of this many words may only be closed by a path start.
constexpr int32_t kWordsBeforeStart = kChoiceRecordWords - 1;

bool complete(const ChoiceRecord& r) { return r.producerWord == kWordGraphComplete; }

int32_t compareSlots(const WordGraphNBestList* list, int32_t a, int32_t b)
{
    return ChoiceRecord_Compare(&list->records[a], &list->records[b]);
}

// Where the slot's record belongs in the order (after its equals).
void placeSlot(WordGraphNBestList* list, int32_t slot)
{
    int32_t at = 0;
    while (at < list->count && compareSlots(list, list->order[at], slot) <= 0)
        ++at;
    std::memmove(list->order + at + 1, list->order + at, static_cast<size_t>(list->count - at) * sizeof(int32_t));
    list->order[at] = slot;
    ++list->count;
}

void unlinkSlot(WordGraphNBestList* list, int32_t slot)
{
    const int32_t at = static_cast<int32_t>(std::find(list->order, list->order + list->count, slot) - list->order);
    std::memmove(list->order + at, list->order + at + 1, static_cast<size_t>(list->count - at - 1) * sizeof(int32_t));
    --list->count;
}

void replaceSlot(WordGraphNBestList* list, int32_t slot)
{
    unlinkSlot(list, slot);
    placeSlot(list, slot);
}

// Appends the arc's word (or the boundary a path start inside the graph
// marks) to the record, latest first.
void append(const WordGraph* g, ChoiceRecord& r, int32_t arc)
{
    const WordGraphArc& a = *WordGraph_Arc(g, arc);
    if (a.word == kWordGraphNullWord) {
        if (a.startFrame != 0 && r.wordCount > 0)
            r.flags[r.wordCount - 1] = 1;
        return;
    }
    if (r.wordCount >= kChoiceRecordWords)
        return;
    if (r.wordCount > 0)
        r.flags[r.wordCount - 1] =
            static_cast<uint8_t>(g->contextRecords != 0 && exitOf(g, arc) == 0 ? 1 : a.flag);
    r.prons[r.wordCount] = a.word;
    r.flags[r.wordCount] = 0;
    ++r.wordCount;
}

// Start frame, phoneme pair and word room: what every predecessor must pass.
bool mayPrecede(const WordGraph* g, int32_t arc, int32_t before, const ChoiceRecord& head, int32_t lowest)
{
    const WordGraphArc& b = *WordGraph_Arc(g, before);
    if (b.startFrame < lowest || !phonemesFit(g, exitOf(g, before), entryOf(g, arc)))
        return false;
    return head.wordCount < kWordsBeforeStart || (b.word == kWordGraphNullWord && b.startFrame == 0);
}

bool constraintsAccept(const WordGraph* g, Constraint* const* constraints, int32_t n, const ChoiceRecord& r, int32_t arc)
{
    const uint16_t word = WordGraph_Arc(g, arc)->word;
    if (n <= 0 || word == kWordGraphNullWord)
        return true;
    uint16_t prons[kChoiceRecordWords + 1];
    std::copy(r.prons, r.prons + r.wordCount, prons);
    prons[r.wordCount] = word;
    return Constraint_AnyIsLegalPronEndingReverse(constraints, n, prons, r.wordCount + 1) != 0;
}

struct Search {
    WordGraph* g;
    WordGraphNBestList list;
    int32_t lowest;
    Constraint* const* constraints;
    int32_t constraintCount;

    void seed(int32_t end, int32_t historyWord, int32_t historyPresent)
    {
        const WordGraphFrame& frame = g->frames[end];
        ChoiceRecord* r = list.records;
        int32_t n = 0;
        for (int32_t i = frame.firstArc; i < frame.firstArc + frame.arcCount; ++i) {
            const WordGraphArc& a = *WordGraph_Arc(g, i);
            const bool opens = g->reversedTime != 0 ? a.word == kWordGraphNullWord : a.startFrame == 0;
            if (opens || a.startFrame < lowest || (g->contextRecords != 0 && exitOf(g, i) != 0))
                continue;
            ChoiceRecord s{};
            if (!constraintsAccept(g, constraints, constraintCount, s, i))
                continue;
            s.producerWord = i;
            s.score = scoreOf(g, end, i);
            append(g, s, i);
            if (n < list.capacity) {
                r[n++] = s;
                continue;
            }
            int32_t worst = 0;
            for (int32_t k = 1; k < n; ++k)
                if (r[k].score > r[worst].score)
                    worst = k;
            if (s.score < r[worst].score)
                r[worst] = s;
        }
        const bool oneWordEach = std::all_of(r, r + n, [](const ChoiceRecord& s) { return s.wordCount == 1; });
        if (oneWordEach && BrevitParam_Word(kBrevitParamLmRescoreSeeds) != 0) {
            const uint16_t history = static_cast<uint16_t>(historyWord);
            for (int32_t k = 0; k < n; ++k) {
                const int32_t lm = ngram(g, &history, historyPresent != 0 ? 1 : 0, activeIdOf(g, r[k].prons[0]));
                r[k].score = clip32(int64_t{r[k].score} + lm);
                r[k].secondary = clip32(int64_t{r[k].secondary} + lm);
            }
        }
        for (int32_t k = 0; k < n; ++k)
            list.order[k] = k;
        std::sort(list.order, list.order + n, [&](int32_t a, int32_t b) {
            return WordGraph_CompareChoiceOffsets(&a, &b, list.records) < 0;
        });
        list.count = n;
        list.freeCount = 0;
        for (int32_t k = list.capacity - 1; k >= n; --k)
            list.freeSlots[list.freeCount++] = k;
    }

    // One step of the best unfinished record; false when none is left.
    bool step()
    {
        int32_t at = 0;
        while (at < list.count && complete(list.records[list.order[at]]))
            ++at;
        if (at == list.count)
            return false;
        const int32_t slot = list.order[at];
        ChoiceRecord& head = list.records[slot];
        const int32_t arc = head.producerWord;
        const WordGraphArc a = *WordGraph_Arc(g, arc);
        if (a.startFrame == 0) {
            if (a.word == kWordGraphNullWord) {
                head.score = clip32(int64_t{head.score} - head.secondary);
                head.secondary = 0;
            }
            head.producerWord = kWordGraphComplete;
            replaceSlot(&list, slot);
            return true;
        }
        const int32_t best = WordGraph_BestPredecessor(g, arc, &head, lowest);
        if (best < 0) {
            unlinkSlot(&list, slot);
            list.freeSlots[list.freeCount++] = slot;
            return true;
        }
        const int32_t penalty = static_cast<int32_t>(BrevitParam_Word(kBrevitParamGraphWordPenalty));
        head.score = clip32(int64_t{head.score} + penalty);
        head.secondary = clip32(int64_t{head.secondary} + penalty);
        const int32_t before = a.startFrame - 1;
        const WordGraphFrame& frame = g->frames[before];
        const int32_t bestScore = scoreOf(g, before, best);
        for (int32_t i = frame.firstArc; i < frame.firstArc + frame.arcCount; ++i) {
            if (i == best || !mayPrecede(g, arc, i, head, lowest) ||
                !constraintsAccept(g, constraints, constraintCount, head, i))
                continue;
            const int64_t d = int64_t{scoreOf(g, before, i)} - bestScore;
            ChoiceRecord c = head;
            c.producerWord = i;
            c.score = clip32(d >= 0 ? head.score + d : head.score);
            c.secondary = clip32(d >= 0 ? head.secondary : head.secondary - d);
            append(g, c, i);
            WordGraph_InsertPath(g, &list, &c);
        }
        head.producerWord = best;
        append(g, head, best);
        replaceSlot(&list, slot);
        return true;
    }
};

}  // namespace

int32_t WordGraph_CompareChoiceOffsets(const void* a, const void* b, const ChoiceRecord* records)
{
    return ChoiceRecord_Compare(&records[*static_cast<const int32_t*>(a)], &records[*static_cast<const int32_t*>(b)]);
}

int32_t WordGraph_SamePath(const WordGraph* graph, const ChoiceRecord* a, const ChoiceRecord* b)
{
    if (a->wordCount != b->wordCount)
        return 0;
    const bool byPron = BrevitParam_Word(kBrevitParamDuplicateByPronIds) != 0;
    for (int32_t i = 0; i < a->wordCount; ++i) {
        if (byPron ? a->prons[i] != b->prons[i]
                   : activeIdOf(graph, a->prons[i]) != activeIdOf(graph, b->prons[i]))
            return 0;
        if (byPron && graph->resetValue != 0 && a->flags[i] != b->flags[i])
            return 0;
    }
    return 1;
}

int32_t WordGraph_BestPredecessor(const WordGraph* graph, int32_t arc, const ChoiceRecord* head, int32_t lowestFrame)
{
    const WordGraph* g = graph;
    const int32_t before = WordGraph_Arc(g, arc)->startFrame - 1;
    if (before < 0)
        return -1;
    // The predecessor is scored after the current word, the latest word in
    // time being the record's first.
    uint16_t current = 0;
    const int32_t historyLength = head->wordCount > 0 ? 1 : 0;
    if (historyLength != 0)
        current = activeIdOf(g, head->prons[head->wordCount - 1]);
    const WordGraphFrame& frame = g->frames[before];
    int32_t best = -1;
    int64_t bestTotal = 0;
    for (int32_t i = frame.firstArc; i < frame.firstArc + frame.arcCount; ++i) {
        if (!mayPrecede(g, arc, i, *head, lowestFrame))
            continue;
        const uint16_t word = WordGraph_Arc(g, i)->word;
        int64_t total = scoreOf(g, before, i);
        if (word != kWordGraphNullWord)
            total += ngram(g, &current, historyLength, activeIdOf(g, word));
        if (best < 0 || total < bestTotal) {
            best = i;
            bestTotal = total;
        }
    }
    return best;
}

void WordGraph_InsertPath(const WordGraph* graph, WordGraphNBestList* list, const ChoiceRecord* candidate)
{
    if (list->count == list->capacity && list->count > 0 &&
        candidate->score >= list->records[list->order[list->count - 1]].score)
        return;
    for (int32_t at = 0; at < list->count; ++at) {
        const int32_t slot = list->order[at];
        ChoiceRecord& d = list->records[slot];
        if (d.producerWord != candidate->producerWord || WordGraph_SamePath(graph, &d, candidate) == 0)
            continue;
        // The merged record keeps the better listed score and the better
        // score without its language-model part.
        const int64_t plain = std::min(int64_t{d.score} - d.secondary, int64_t{candidate->score} - candidate->secondary);
        if (candidate->score < d.score) {
            d.score = candidate->score;
            if (graph->resetValue != 0)
                std::memcpy(d.flags, candidate->flags, sizeof(d.flags));
        }
        d.secondary = clip32(int64_t{d.score} - plain);
        replaceSlot(list, slot);
        return;
    }
    int32_t slot;
    if (list->freeCount > 0) {
        slot = list->freeSlots[--list->freeCount];
    } else if (list->count > 0) {
        slot = list->order[--list->count];
    } else {
        return;
    }
    list->records[slot] = *candidate;
    placeSlot(list, slot);
}

int32_t WordGraph_SearchNBest(WordGraph* graph, ChoiceRecord* records, int32_t n, int32_t lowestFrame,
                              int32_t endFrame, int32_t historyWord, int32_t historyPresent, uint16_t extraWord,
                              Constraint* const* constraints, int32_t constraintCount)
{
    (void)extraWord;  // carried for the caller; no step reads it
    WordGraph* g = graph;
    if (n <= 0 || g->wordOnly != 0 || g->currentFrame < 0 || g->arcCount == 0 || endFrame < 0 ||
        endFrame > g->currentFrame)
        return 0;
    const uint64_t bytes = static_cast<uint64_t>(n) * (2 * sizeof(int32_t) + sizeof(ChoiceRecord));
    if (bytes > kDVKMemMaxRequest)
        return 0;
    auto* block = static_cast<char*>(DVKMem_Malloc(static_cast<uint32_t>(bytes)));
    if (block == nullptr)
        return 0;
    if (WordGraph_LinkWordPieces(g) == 0) {
        DVKMem_Free(block);
        return 0;
    }
    if (constraintCount > 0 && Constraint_BuildActiveIdTables(constraints, constraintCount) == 0) {
        // What was built before the failing constraint goes too.
        Constraint_FreeActiveIdTables(constraints, constraintCount);
        DVKMem_Free(block);
        return 0;
    }
    Search s{};
    s.g = g;
    s.list.records = reinterpret_cast<ChoiceRecord*>(block);
    s.list.order = reinterpret_cast<int32_t*>(block + static_cast<size_t>(n) * sizeof(ChoiceRecord));
    s.list.freeSlots = s.list.order + n;
    s.list.capacity = n;
    s.lowest = lowestFrame;
    s.constraints = constraints;
    s.constraintCount = std::max(constraintCount, 0);
    s.seed(endFrame, historyWord, historyPresent);
    while (s.step()) {
    }
    for (int32_t k = 0; k < s.list.count; ++k)
        records[k] = s.list.records[s.list.order[k]];
    if (constraintCount > 0)
        Constraint_FreeActiveIdTables(constraints, constraintCount);
    const int32_t found = s.list.count;
    DVKMem_Free(block);
    return found;
}

int32_t WordGraph_GetNBest(WordGraph* graph, ChoiceRecord* records, int32_t n, uint16_t extraWord,
                           Constraint* const* constraints, int32_t constraintCount)
{
    if (graph->frameCount == 0)
        return 0;
    return WordGraph_SearchNBest(graph, records, n, 0, graph->currentFrame, graph->historyWord,
                                 graph->historyPresent, extraWord, constraints, constraintCount);
}

int32_t WordGraph_GetNthBestPath(WordGraph* graph, int32_t n, uint16_t* words, int32_t max, int32_t* score,
                                 Constraint* const* constraints, int32_t constraintCount)
{
    *score = kWordGraphNoScore;
    const int32_t room = static_cast<int32_t>(BrevitParam_Word(kBrevitParamNBestRecords));
    if (n < 0 || room <= 0 || static_cast<uint64_t>(room) * sizeof(ChoiceRecord) > kDVKMemMaxRequest)
        return 0;
    auto* records = static_cast<ChoiceRecord*>(DVKMem_Malloc(static_cast<uint32_t>(room) * sizeof(ChoiceRecord)));
    if (records == nullptr)
        return 0;
    const int32_t found = WordGraph_SearchNBest(graph, records, room, 0, graph->currentFrame, graph->historyWord,
                                                graph->historyPresent, 65535, constraints, constraintCount);
    int32_t count = 0;
    if (found > n) {
        const ChoiceRecord& r = records[n];
        *score = r.score;
        count = r.wordCount;
        for (int32_t i = 0; i < std::min(max, count); ++i)
            words[i] = r.prons[count - 1 - i];
    }
    DVKMem_Free(records);
    return count;
}

int32_t WordGraph_GetBestPath(WordGraph* graph, uint16_t* words, int32_t max, int32_t* score)
{
    return WordGraph_GetNthBestPath(graph, 0, words, max, score, nullptr, 0);
}
