// Choices of the linear-chain decoder after the search: the best path of the
// result graph, or an N-best list of the live hypotheses that may end the
// utterance, widened by close-call competitors, rescored and written in the
// engine's choice-list form. Reading choices never raises: every refusal
// writes the empty markers and answers 0.
#include "core/brevit/lexicon/lex_tree.h"
#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/search/close_call.h"
#include "core/brevit/search/linch_choice.h"
#include "core/brevit/search/linch_results.h"
#include "core/brevit/search/linch_search.h"
#include "core/brevit/search/result_graph.h"
#include "core/brevit/search/search_framework_calls.h"
#include "core/brevit/search/search_lexicon_calls.h"

#include <algorithm>
#include <cstring>

namespace {

int32_t word(int index) { return static_cast<int32_t>(BrevitParam_Word(index)); }

bool constraintMode(int32_t mode) { return mode == 3 || mode == 5 || mode == 11; }

uint32_t parentOf(int32_t ref) { return ref < 0 ? kResultGraphNone : static_cast<uint32_t>(ref); }

int32_t constraintIndexOf(uint32_t high) { return static_cast<int32_t>((high >> 21) & 0x3FFu); }

bool firstIsClassPair(const LinChDecoder* d)
{
    return d->numConstraints > 0 && d->constraints[0] != nullptr &&
           Constraint_GetType(d->constraints[0]) == kConstraintTypeClassPair;
}

Constraint* constraintAt(const LinChDecoder* d, int32_t k)
{
    return k >= 0 && k < d->numConstraints ? d->constraints[k] : nullptr;
}

int32_t refuse(int32_t* scores, int32_t limit, uint32_t* wordIds, int32_t capacity)
{
    if (capacity > 0 && wordIds != nullptr)
        wordIds[0] = kDecoderEndOfChoice;
    if (limit > 0 && scores != nullptr)
        scores[0] = kDecoderNoScore;
    return 0;
}

// Room for n choice records; the old records are not kept.
bool growChoices(LinChDecoder* d, int32_t n)
{
    if (d->choices != nullptr && n <= d->choiceCapacity)
        return true;
    const uint64_t bytes = static_cast<uint64_t>(n) * sizeof(LinChChoice);
    if (bytes > 0xFFFFFFFFull)
        return false;
    auto* grown = static_cast<LinChChoice*>(DVKMem_Calloc(static_cast<uint32_t>(bytes)));
    if (grown == nullptr)
        return false;
    DVKMem_Free(d->choices);
    d->choices = grown;
    d->choiceCapacity = n;
    d->numChoices = 0;
    return true;
}

// The best path as the first choice; 0 when there is none (or it is longer
// than a choice holds).
int32_t bestPathChoice(LinChDecoder* d, ClassManager* manager, int32_t flagsWanted)
{
    LinChChoice& c = d->choices[0];
    std::memset(&c, 0, sizeof(c));
    int32_t count = 0, score = kDecoderNoScore, number = 0;
    uint32_t node = kResultGraphNone;
    const int32_t whole = ResultGraph_GetBestPath(d->resultGraph, c.words, c.states, c.members, c.startFlags,
                                                  c.endFrames, kLinChChoiceWords, &count, &score, &node,
                                                  flagsWanted, c.flags, &number);
    if (whole == 0 || count < 1 || count > kLinChChoiceWords)
        return 0;
    c.score = score;
    c.wordCount = count;
    c.constraint = constraintAt(d, number);
    c.endNode = static_cast<int32_t>(node);
    for (int32_t i = 0; i < count; ++i)
        c.classes[i] = manager != nullptr
                           ? static_cast<uint32_t>(ClassManager_GetMemberClass(manager, c.members[i], c.states[i]))
                           : 0;
    return 1;
}

// Cut to parameter word 738 (at most most) and rescore.
void rescore(LinChDecoder* d, int32_t* count, int32_t most)
{
    *count = std::min({*count, std::max(word(kBrevitParamRescoreChoiceCount), 0), most});
    DecoderUtils_RescoreChoices(&d->base, 0, d->choices, count);
}

bool rescoring() { return word(kBrevitParamRescoreChoices) != 0 && word(kBrevitParamRescoreMode) != 0; }

// Each choice's non-acoustic score gains the language score of its words
// between the left context and the right-context words.
void addLanguageScores(LinChDecoder* d, int32_t count)
{
    const uint16_t context = static_cast<uint16_t>(d->contextWord);
    for (int32_t c = 0; c < count; ++c) {
        LinChChoice& choice = d->choices[c];
        choice.languageScore += DecoderUtils_ScoreChoiceLM(d->base.vocabulary, 2, d->hasContext ? 1 : 0, &context,
                                                           d->base.rightCount, d->base.rightIds, choice.words,
                                                           std::clamp(choice.wordCount, 0, kLinChChoiceWords));
    }
}

// Relabels, gives the caller's constraints back and writes the outputs; the
// number written, kept as the decoder's count.
int32_t finish(LinChDecoder* d, int32_t count, bool relabel, int32_t* scores, int16_t* shares, int32_t capacity,
               uint32_t* wordIds, uint8_t* classEnds, uint32_t* classIds, uint32_t* members, uint8_t* starts,
               uint16_t* values, Constraint** constraints, int32_t limit)
{
    d->numChoices = count;
    if (relabel)
        LinChDecoder_RelabelChoiceClasses(d);
    LinChDecoder_MapChoiceConstraints(d);
    if (count < 1 || scores == nullptr || wordIds == nullptr)
        return refuse(scores, limit, wordIds, capacity);
    DecoderUtils_FillChoiceOutputs(d->choices, &count, limit, scores, shares, capacity, wordIds, classEnds, classIds,
                                   members, starts, values, constraints, d->base.vocabulary);
    d->numChoices = count;
    return count > 0 ? count : refuse(scores, limit, wordIds, capacity);
}

int32_t compareCandidate(const LinChChoice* a, const LinChChoice* b, bool keepsNode)
{
    return keepsNode ? CloseCall_CompareChoiceScoreNode(a, b) : CloseCall_CompareChoices(a, b);
}

// The members of a run-time tree word's final arc that are one word long,
// each a candidate at the record's cost plus the member's score.
void treeCandidates(LinChDecoder* d, const LinChHyp* r, LinChChoice* choices, int32_t* count, int32_t maxChoices,
                    int32_t choiceOption)
{
    const int32_t t = r->pron - d->numVocEntries - 1;
    if (t < 0 || t >= d->numTrees || d->trees == nullptr || d->trees[t] == nullptr || d->treeWords == nullptr ||
        d->treeIds == nullptr)
        return;
    const LexArc* arcs = LexTree_GetArcs(d->trees[t], 0);
    const uint32_t arc = r->activeIdLow & 0x3FFFFFFu;
    if (arcs == nullptr || arc >= static_cast<uint32_t>(LexTree_GetNumTotalArcs(d->trees[t], 0)) ||
        (arcs[arc].model & 0x8000u) == 0)
        return;
    const int32_t last = LinChDecoder_LastState(d, r);
    const int16_t cost = r->cost[last];
    const int32_t ref = r->ref[last];
    const int32_t k = d->treeWords[t];
    Constraint* con = constraintAt(d, k);
    if (cost >= kLinChDeadCost || con == nullptr)
        return;
    const uint16_t pron = arcs[arc].next;
    if (d->lmScale != 0 && ref >= 0 &&
        Voc_CanFollow(d->base.vocabulary, ResultGraph_GetWord(d->resultGraph, static_cast<uint32_t>(ref)), pron) == 0)
        return;
    const auto treeId = static_cast<uint32_t>(d->treeIds[t]);
    int32_t first = 0, members = 0, final = 0;
    Constraint_GetMemberStartsWithPronId(con, treeId, pron, &first, &members, &final);
    ClassManager* manager = Constraint_FindClassPair(&con, 1);
    if (final == 0 || manager == nullptr)
        return;
    for (int32_t m = first; m < first + members; ++m) {
        int32_t length = 0;
        if (ClassManager_GetMemberLength(manager, treeId, m, &length) == 0 || length != 1)
            return;
        LinChHyp at = *r;
        const ActiveId id = ActiveId_Make(k, treeId, static_cast<uint32_t>(m), 0);
        at.activeIdLow = ActiveId_Low(id);
        at.activeIdHigh = ActiveId_High(id) | kLinChFinalBit;
        LinChDecoderNoTimes_AddChoice(d, pron, &at, cost + ClassManager_GetMemberScore(manager, treeId, m), ref,
                                      choices, count, maxChoices, choiceOption);
    }
}

} // namespace

void LinChDecoderNoTimes_AddChoice(LinChDecoder* d, uint16_t word, const LinChHyp* record, int32_t cost,
                                   int32_t ref, LinChChoice* choices, int32_t* numChoices, int32_t maxChoices,
                                   int32_t withFlags)
{
    if (maxChoices < 1)
        return;
    LinChChoice candidate{};
    const bool keepsNode = firstIsClassPair(d);
    const ActiveId at = ActiveId_FromWords(record->activeIdHigh & ~kLinChFinalBit, record->activeIdLow);
    const int16_t endFrame = static_cast<int16_t>(d->frameIndex - 1);
    if (!keepsNode) {
        const int32_t n = ResultGraph_GetPath(d->resultGraph, parentOf(ref), candidate.words, candidate.states,
                                              candidate.startFlags, candidate.members, candidate.endFrames,
                                              withFlags ? candidate.flags : nullptr, kLinChChoiceWords, nullptr);
        // The final word needs a place of its own.
        if (n >= kLinChChoiceWords)
            return;
        candidate.words[n] = word;
        candidate.endFrames[n] = endFrame;
        candidate.states[n] = ActiveId_GetState(at);
        candidate.members[n] = ActiveId_GetMember(at) & 0xFFFFu;
        candidate.startFlags[n] = ActiveId_GetSubPosition(at) == 0 ? 1 : 0;
        candidate.wordCount = n + 1;
        candidate.expanded = 1;
        candidate.endNode = static_cast<int32_t>(kResultGraphNone);
    } else {
        const uint32_t node =
            ResultGraph_AddNode(d->resultGraph, parentOf(ref), word, record->activeIdLow, ActiveId_High(at), 1,
                                LinChDecoder_CostOf(cost - d->bestCost), endFrame);
        if (node == kResultGraphNone)
            return;
        candidate.endNode = static_cast<int32_t>(node);
    }
    candidate.score = cost + d->normaliserSum;
    candidate.languageScore = 0;
    candidate.constraint = constraintAt(d, constraintIndexOf(record->activeIdHigh));
    if (!constraintMode(d->mode) && d->base.rightIds[0] < kLinChNoPron) {
        const uint16_t ending = Voc_GetActiveIdFromPronId(d->base.vocabulary, word, nullptr);
        candidate.score += Voc_ScoreNGram(d->base.vocabulary, &ending, 1, d->base.rightIds[0]);
    }
    int32_t place = 0;
    while (place < *numChoices && compareCandidate(&candidate, &choices[place], keepsNode) >= 0)
        ++place;
    if (*numChoices >= maxChoices) {
        if (place >= maxChoices)
            return;
        std::memmove(&choices[place + 1], &choices[place],
                     static_cast<size_t>(maxChoices - 1 - place) * sizeof(LinChChoice));
    } else {
        std::memmove(&choices[place + 1], &choices[place], static_cast<size_t>(*numChoices - place) * sizeof(LinChChoice));
        ++*numChoices;
    }
    choices[place] = candidate;
}

int32_t LinChDecoderNoTimes_CollectChoices(LinChDecoder* d, LinChChoice* choices, int32_t maxChoices,
                                           int32_t choiceOption)
{
    int32_t count = 0;
    if (d->hypPages == nullptr || d->hypCount < 1 || maxChoices < 1)
        return 0;
    const bool garbageEnds = word(kBrevitParamGarbageEnd) != 0;
    const int32_t start = LinChDecoder_ListStart(d);
    for (int32_t i = start; i + 1 < start + d->hypCount; ++i) {
        const LinChHyp* r = LinChDecoder_HypAt(d, i);
        if (r->pron > d->numVocEntries) {
            treeCandidates(d, r, choices, &count, maxChoices, choiceOption);
            continue;
        }
        const uint16_t* models = nullptr;
        const bool pause = r->phone >= LinChDecoder_PronModels(d, r->pron, &models);
        int16_t cost = r->cost[0];
        int32_t ref = r->ref[0];
        if (!pause) {
            const int32_t k = constraintIndexOf(r->activeIdHigh);
            if (!garbageEnds || constraintAt(d, k) == nullptr ||
                Constraint_IsGarbageState(d->constraints[k], k, r->activeIdLow, r->activeIdHigh) == 0)
                continue;
            if (d->statesPerModel > 1 && r->best != r->cost[0]) {
                cost = r->cost[1];
                ref = r->ref[1];
            }
        }
        const bool final = d->mode == 2 || (r->activeIdHigh & kLinChFinalBit) != 0;
        if (!final || r->cost[0] >= kLinChDeadCost || cost >= kLinChDeadCost)
            continue;
        LinChDecoderNoTimes_AddChoice(d, r->pron, r, cost, ref, choices, &count, maxChoices, choiceOption);
    }
    if (firstIsClassPair(d))
        CloseCall_RemoveSameNodeChoices(choices, &count);
    else
        CloseCall_RemoveDuplicateChoices(d->base.vocabulary, choices, &count);
    return count;
}

int32_t LinChDecoderNoTimes_GetChoicesAndScores(Decoder* decoder, int32_t maxChoices, int32_t* scores,
                                                int16_t* grammarShares, int32_t capacity, uint32_t* wordIds,
                                                uint8_t* classEnds, uint32_t* classIds, uint32_t* memberValues,
                                                uint8_t* classStarts, uint16_t* decoderValues,
                                                Constraint** constraints, const void*, const int32_t*)
{
    LinChDecoder* d = LinChDecoder_Of(decoder);
    const int32_t state = Decoder_GetState(decoder);
    if (state == kDecoderStateRunning || state == kDecoderStateStarting || state == kDecoderStateFailed ||
        (constraintMode(d->mode) && d->numConstraints < 1) || maxChoices < 1)
        return refuse(scores, maxChoices, wordIds, capacity);
    ClassManager* manager = Constraint_FindClassPair(d->constraints, d->numConstraints);
    if (!growChoices(d, maxChoices))
        return refuse(scores, maxChoices, wordIds, capacity);
    const bool classPair = firstIsClassPair(d);
    const int32_t lmScale = d->lmScale;
    auto out = [&](int32_t count, bool relabel) {
        return finish(d, count, relabel, scores, grammarShares, capacity, wordIds, classEnds, classIds, memberValues,
                      classStarts, decoderValues, constraints, maxChoices);
    };
    int32_t count = 0;
    if (d->closeCallOn) {
        if (word(kBrevitParamAllowPauseRequests) == 0) {
            count = bestPathChoice(d, manager, 1);
            if (count == 0)
                return refuse(scores, maxChoices, wordIds, capacity);
        } else {
            count = LinChDecoderNoTimes_CollectChoices(d, d->choices, maxChoices, 0);
            if (ResultGraph_GetOverflow(d->resultGraph) != 0)
                return refuse(scores, maxChoices, wordIds, capacity);
        }
        if (d->closeCalls != nullptr && count > 0) {
            if (!classPair) {
                const bool transcriptions = d->transcriptionOnly != 0;
                CloseCall_BuildChoicesByPrefix(d->closeCalls, d->resultGraph, decoder->vocabulary, manager,
                                               transcriptions ? d->constraints : nullptr,
                                               transcriptions ? d->numConstraints : 0, d->choices, maxChoices,
                                               &count, 0);
            } else {
                CloseCall_BuildChoicesInGraph(d->closeCalls, d->resultGraph, decoder->vocabulary, manager,
                                              d->constraints, d->choices, maxChoices, &count, 0);
                DecoderUtils_AddClassPairScores(d->choices, count, d->constraints, d->numConstraints,
                                                word(kBrevitParamTreePronThreshold) == 0x7FFFFFFF ? lmScale : 0);
            }
        }
        if (classEnds != nullptr && capacity > 0)
            std::memset(classEnds, 0, static_cast<size_t>(capacity));
        if (rescoring())
            rescore(d, &count, count);
        return out(count, classPair);
    }
    if (word(kBrevitParamCollectChoicesNoTimes) != 0) {
        count = LinChDecoderNoTimes_CollectChoices(d, d->choices, maxChoices, d->choiceOption);
        if (classPair) {
            CloseCall_FillChoicesFromGraph(d->resultGraph, manager, d->constraints, d->choices, count);
            DecoderUtils_AddClassPairScores(d->choices, count, d->constraints, d->numConstraints, lmScale);
            d->numChoices = count;
            LinChDecoder_RelabelChoiceClasses(d);
        }
        if (rescoring() && word(kBrevitParamNoRescoreWithoutCloseCalls) == 0)
            rescore(d, &count, count);
    } else {
        count = bestPathChoice(d, manager, d->choiceOption);
        if (count == 1 && classPair)
            DecoderUtils_AddClassPairScores(d->choices, count, d->constraints, d->numConstraints, lmScale);
        if (count == 1 && rescoring())
            rescore(d, &count, 1);
        if (count == 1 && classPair) {
            d->numChoices = count;
            LinChDecoder_RelabelChoiceClasses(d);
        }
    }
    if (count < 1) {
        d->numChoices = 0;
        d->state = kDecoderStateFailed;
        return refuse(scores, maxChoices, wordIds, capacity);
    }
    if (d->useLM)
        addLanguageScores(d, count);
    return out(count, false);
}
