// The N-best list builders: alternatives made by putting close-call losers in
// place of their winners, and the rescoring of the list they leave.
#include "core/brevit/search/close_call.h"

#include "core/brevit/search/constraint.h"
#include "core/brevit/search/decoder.h"
#include "core/brevit/search/result_graph.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int32_t kNoScore = 0x40000000;
// One more than a choice holds: a path that fills it is longer than any choice.
constexpr int32_t kPathRoom = kLinChChoiceWords + 1;

void removeAt(LinChChoice* list, int32_t* count, int32_t i)
{
    std::memmove(&list[i], &list[i + 1], static_cast<size_t>(*count - i - 1) * sizeof(LinChChoice));
    *count -= 1;
}

void insertAt(LinChChoice* list, int32_t count, int32_t i, const LinChChoice& c)
{
    std::memmove(&list[i + 1], &list[i], static_cast<size_t>(count - i) * sizeof(LinChChoice));
    list[i] = c;
}

int32_t penalty(int16_t key)
{
    const int64_t slope = static_cast<int32_t>(BrevitParam_Word(kBrevitParamCloseCallPenaltySlope));
    const int64_t base = static_cast<int32_t>(BrevitParam_Word(kBrevitParamCloseCallPenalty));
    const int64_t p = base + ((slope * key + 16) >> 5);
    return static_cast<int32_t>(std::clamp<int64_t>(p, 0, kNoScore));
}

int32_t candidateScore(const LinChChoice& c, const CloseCallRecord& call)
{
    const int64_t s = int64_t{c.score} + call.difference + penalty(call.key);
    return static_cast<int32_t>(std::clamp<int64_t>(s, INT32_MIN, INT32_MAX));
}

void sortCalls(CloseCall* table)
{
    std::sort(table->records, table->records + table->count,
              [](const CloseCallRecord& a, const CloseCallRecord& b) { return CloseCall_CompareRecords(&a, &b) < 0; });
}

// The limit of 1 keeps the best path alone; 1 when there is more to do.
bool beyondFirst(int32_t limit, int32_t* count)
{
    if (limit > 1)
        return true;
    *count = std::min(*count, std::max(limit, 0));
    return false;
}

void finish(const Voc* voc, LinChChoice* choices, int32_t* count, int32_t option)
{
    if (BrevitParam_Word(kBrevitParamCloseCallRescore) != 0)
        CloseCall_RescoreChoices(voc, choices, count, option);
    CloseCall_RemoveDuplicateChoices(voc, choices, count);
}

struct Path {
    int32_t n;
    uint16_t words[kPathRoom];
    uint32_t members[kPathRoom];
    uint32_t states[kPathRoom];
    uint32_t classes[kPathRoom];
    uint8_t startFlags[kPathRoom];
    int16_t frames[kPathRoom];
};

void readPath(const ResultGraph* graph, const ClassManager* manager, uint32_t node, Path* p)
{
    p->n = ResultGraph_GetPath(graph, node, p->words, p->states, p->startFlags, p->members, p->frames, nullptr,
                               kPathRoom, nullptr);
    for (int32_t i = 0; i < p->n; ++i)
        p->classes[i] = static_cast<uint32_t>(ClassManager_GetMemberClass(manager, p->members[i], p->states[i]));
}

bool beginsWith(const LinChChoice& c, const Path& prefix)
{
    if (prefix.n > c.wordCount)
        return false;
    return std::equal(prefix.words, prefix.words + prefix.n, c.words);
}

// Lower scores first, then lower end nodes.
int32_t scoreNodePosition(const LinChChoice* list, int32_t count, const LinChChoice& c)
{
    for (int32_t j = 0; j < count; ++j)
        if (CloseCall_CompareChoiceScoreNode(&list[j], &c) > 0)
            return j;
    return count;
}

// The in-graph insertion: 1 when the candidate went in at or before hint.
// One choice per end node: a listed one at or below the candidate keeps its
// place; a worse first choice takes the candidate's score; other worse ones go.
int32_t insertByNode(LinChChoice* list, int32_t hint, int32_t limit, int32_t* count, const LinChChoice& c,
                     int32_t* removedBefore)
{
    bool worseFirst = false;
    for (int32_t j = 0; j < *count; ++j) {
        if (list[j].endNode != c.endNode)
            continue;
        if (list[j].score <= c.score)
            return 0;
        worseFirst = worseFirst || j == 0;
    }
    if (worseFirst) {
        list[0].score = c.score;
        return 0;
    }
    for (int32_t j = *count - 1; j >= 0; --j)
        if (list[j].endNode == c.endNode) {
            removeAt(list, count, j);
            if (j <= hint)  // the visited choice itself included
                *removedBefore += 1;
        }
    const int32_t at = scoreNodePosition(list, *count, c);
    if (*count >= limit) {
        if (at >= *count)
            return 0;
        *count = limit - 1;  // the last choice falls off
    }
    insertAt(list, *count, at, c);
    *count += 1;
    return at <= hint - *removedBefore ? 1 : 0;
}

}  // namespace

void CloseCall_RescoreChoices(const Voc* voc, LinChChoice* choices, int32_t* count, int32_t option)
{
    bool changed = false;
    for (int32_t i = *count - 1; i >= 0; --i) {
        LinChChoice& c = choices[i];
        const int32_t before = c.score;
        int32_t n = c.wordCount;
        int32_t score = c.score;
        if (Decoder_MassagePronSequence(c.words, c.members, c.startFlags, c.endFrames, option, &n, &score) > 0)
            changed = true;
        c.wordCount = std::clamp(n, 0, kLinChChoiceWords);
        c.score = score;
        if (score == kNoScore) {
            removeAt(choices, count, i);
            continue;
        }
        if (score > before) {
            int32_t j = i;
            while (j + 1 < *count && choices[j + 1].score < score)
                ++j;
            if (j > i) {
                const LinChChoice moved = c;
                std::memmove(&choices[i], &choices[i + 1], static_cast<size_t>(j - i) * sizeof(LinChChoice));
                choices[j] = moved;
            }
        }
    }
    if (changed && *count > 1)
        CloseCall_RemoveDuplicateChoices(voc, choices, count);
}

void CloseCall_BuildChoicesByPrefix(CloseCall* table, const ResultGraph* graph, const Voc* voc,
                                    const ClassManager* manager, Constraint* const* transcriptions,
                                    int32_t transcriptionCount, LinChChoice* choices, int32_t limit,
                                    int32_t* count, int32_t option)
{
    if (!beyondFirst(limit, count))
        return;
    sortCalls(table);
    const bool check = transcriptions != nullptr && transcriptionCount > 0 &&
                       BrevitParam_Word(kBrevitParamWholeVocabularyConstraint) == 0;
    Path loser;
    Path winner;
    LinChChoice candidate;
    bool stop = false;
    for (int32_t k = 0; k < table->count && !stop; ++k) {
        const CloseCallRecord& call = table->records[k];
        readPath(graph, manager, call.loser, &loser);
        readPath(graph, nullptr, call.winner, &winner);
        for (int32_t i = 0; i < *count; ++i)
            choices[i].expanded = 0;
        bool first = true;
        for (int32_t i = 0; i < *count; ++i) {
            const LinChChoice& c = choices[i];
            if (c.expanded != 0)
                continue;
            const int32_t score = candidateScore(c, call);
            if (*count == limit && score > choices[*count - 1].score) {
                stop = first;
                break;
            }
            first = false;
            // A winner path too long for a choice never qualifies.
            if (winner.n >= kPathRoom || !beginsWith(c, winner))
                continue;
            std::memset(&candidate, 0, sizeof candidate);
            candidate.score = score;
            candidate.expanded = 1;
            candidate.constraint = c.constraint;
            candidate.endNode = c.wordCount == winner.n ? static_cast<int32_t>(call.loser) : -1;
            CloseCall_SpliceChoice(&candidate, &c, loser.words, loser.members, loser.startFlags, loser.classes,
                                   loser.frames, loser.n, winner.n);
            if (candidate.wordCount == 0)
                continue;
            if (check && Constraint_IsLegalPronSequence(transcriptions, transcriptionCount, candidate.words,
                                                        candidate.wordCount) == 0)
                continue;
            // Landing at or before the visited choice moves it one on.
            if (CloseCall_InsertChoice(choices, i, limit, count, &candidate) != 0)
                ++i;
        }
    }
    finish(voc, choices, count, option);
}

void CloseCall_BuildChoicesInGraph(CloseCall* table, ResultGraph* graph, const Voc* voc,
                                   const ClassManager* manager, Constraint* const* constraints,
                                   LinChChoice* choices, int32_t limit, int32_t* count, int32_t option)
{
    if (!beyondFirst(limit, count))
        return;
    sortCalls(table);
    LinChChoice candidate;
    bool stop = false;
    for (int32_t k = 0; k < table->count && !stop; ++k) {
        const CloseCallRecord& call = table->records[k];
        for (int32_t i = 0; i < *count; ++i)
            choices[i].expanded = 0;
        bool first = true;
        for (int32_t i = 0; i < *count; ++i) {
            if (choices[i].expanded != 0)
                continue;
            const int32_t score = candidateScore(choices[i], call);
            if (*count == limit && score > choices[*count - 1].score) {
                stop = first;
                break;
            }
            first = false;
            ResultGraphSplice splice;
            if (ResultGraph_SplicePath(graph, &splice, &choices[i], &call) == 0)
                continue;
            std::memset(&candidate, 0, sizeof candidate);
            candidate.score = score;
            candidate.expanded = 1;
            candidate.constraint = splice.constraint;
            candidate.endNode = static_cast<int32_t>(splice.node);
            int32_t removedBefore = 0;
            const int32_t landed = insertByNode(choices, i, limit, count, candidate, &removedBefore);
            i -= removedBefore;
            if (landed != 0)
                ++i;
        }
    }
    CloseCall_FillChoicesFromGraph(graph, manager, constraints, choices, *count);
    std::stable_sort(choices, choices + *count,
                     [](const LinChChoice& a, const LinChChoice& b) { return CloseCall_CompareChoices(&a, &b) < 0; });
    finish(voc, choices, count, option);
}
