// The word-end step of a frame: fix the pruning threshold, copy the
// surviving records to the top of the page space, turn every word end into a
// result-graph node and make the next frame's new words. The full and the
// simple step share one walk; the simple one records no close calls, uses no
// right-context term and ends run-time tree words itself.
#include "core/brevit/lexicon/lex_tree.h"
#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/search/class_manager.h"
#include "core/brevit/search/linch_decoder_parts.h"
#include "core/brevit/search/linch_search.h"
#include "core/brevit/search/result_graph.h"
#include "core/brevit/search/search_framework_calls.h"
#include "core/brevit/search/search_lexicon_calls.h"

#include <algorithm>

namespace {

int32_t word(int index) { return static_cast<int32_t>(BrevitParam_Word(index)); }

bool constraintMode(int32_t mode) { return mode == 3 || mode == 5 || mode == 11; }

uint32_t parentOf(int32_t ref) { return ref < 0 ? kResultGraphNone : static_cast<uint32_t>(ref); }

int32_t rightContextScore(LinChDecoder* d, uint16_t pron)
{
    const uint16_t ending = Voc_GetActiveIdFromPronId(d->base.vocabulary, pron, nullptr);
    return Voc_ScoreNGram(d->base.vocabulary, &ending, 1, d->base.rightIds[0]);
}

// Close call between the new final end and the frame's best final node.
// True when the new node lost (its registration is then skipped).
bool closeCall(LinChDecoder* d, uint32_t node, int32_t score, int32_t rel, int32_t lm)
{
    uint32_t best = kResultGraphNone;
    int32_t bestScore = kResultGraphNoScore;
    ResultGraph_GetBest(d->resultGraph, &best, &bestScore);
    if (best == kResultGraphNone || best == node)
        return false;
    if (score < bestScore) {
        int32_t oldRel = bestScore - d->normaliserSum - d->bestCost;
        if (d->base.rightIds[0] < kLinChNoPron)
            oldRel += lm - rightContextScore(d, ResultGraph_GetNodeWord(d->resultGraph, best));
        LinChDecoder_NoteCloseCall(d, static_cast<int32_t>(best), static_cast<int32_t>(node),
                                   LinChDecoder_CostOf(bestScore - score), LinChDecoder_CostOf(oldRel));
        return false;
    }
    LinChDecoder_NoteCloseCall(d, static_cast<int32_t>(node), static_cast<int32_t>(best),
                               LinChDecoder_CostOf(score - bestScore), LinChDecoder_CostOf(rel));
    return true;
}

// A run-time tree word's record in the simple step: a final arc ends the
// tree's word, which starts words from each of its member positions.
void treeWordEnd(LinChDecoder* d, const LinChHyp* r, int32_t limit)
{
    const int32_t t = r->pron - d->numVocEntries - 1;
    if (t < 0 || t >= d->numTrees || d->trees == nullptr || d->trees[t] == nullptr)
        return;
    const LexArc* arcs = LexTree_GetArcs(d->trees[t], 0);
    const uint32_t arc = r->activeIdLow & 0x3FFFFFFu;
    if (arcs == nullptr || (arcs[arc].model & 0x8000u) == 0)
        return;
    const int16_t endCost = r->cost[LinChDecoder_LastState(d, r)];
    const int32_t rel = int32_t{endCost} - d->bestCost;
    if (endCost >= kLinChDeadCost || rel > limit)
        return;
    const uint16_t pron = arcs[arc].next;
    const int32_t k = d->treeWords[t];
    Constraint* con = d->constraints[k];
    if (d->lmScale != 0 && r->ref[LinChDecoder_LastState(d, r)] >= 0 &&
        Voc_CanFollow(d->base.vocabulary,
                      ResultGraph_GetWord(d->resultGraph, static_cast<uint32_t>(r->ref[LinChDecoder_LastState(d, r)])),
                      pron) == 0)
        return;
    int32_t first = 0, count = 0, single = 0;
    Constraint_GetMemberStartsWithPronId(con, static_cast<uint32_t>(d->treeIds[t]), pron, &first, &count, &single);
    ClassManager* manager = Constraint_FindClassPair(&con, 1);
    for (int32_t m = first; m < first + count && d->state != kDecoderStateFailed; ++m) {
        const ActiveId at = ActiveId_Make(k, static_cast<uint32_t>(d->treeIds[t]), static_cast<uint32_t>(m), 0);
        const uint32_t low = ActiveId_Low(at), high = ActiveId_High(at);
        const uint32_t node =
            ResultGraph_AddNode(d->resultGraph, parentOf(r->ref[LinChDecoder_LastState(d, r)]), pron, low, high, 0,
                                static_cast<int16_t>(rel), d->frameIndex);
        if (ResultGraph_GetOverflow(d->resultGraph) != 0) {
            d->state = kDecoderStateFailed;
            return;
        }
        int32_t cost = int32_t{endCost} + d->wordPenalty;
        if (manager != nullptr)
            cost += ClassManager_GetMemberScore(manager, static_cast<uint32_t>(d->treeIds[t]), m);
        if (cost <= d->pruneThreshold)
            d->newWord(d, cost, pron, low, high, static_cast<int32_t>(node));
    }
}

// One surviving word end. False when the step must stop.
bool wordEnd(LinChDecoder* d, const LinChHyp* r, int32_t n, int32_t limit, bool simple)
{
    const bool pause = r->phone >= n;
    const int16_t endCost = pause ? r->cost[0] : r->cost[LinChDecoder_LastState(d, r)];
    const int32_t endRef = pause ? r->ref[0] : r->ref[LinChDecoder_LastState(d, r)];
    const int32_t rel = int32_t{endCost} - d->bestCost;
    if (endCost >= kLinChDeadCost || rel > limit)
        return true;
    int32_t lm = 0;
    if (!simple && d->base.rightIds[0] < kLinChNoPron)
        lm = rightContextScore(d, r->pron);
    int32_t ending = 0;
    if (constraintMode(d->mode))
        ending = Constraint_GetTransitionScore(d->constraints, d->numConstraints, r->activeIdLow, r->activeIdHigh);
    lm += ending;
    const int32_t score = d->bestCost + d->normaliserSum + rel + lm;
    const bool final = d->mode == 2 || (r->activeIdHigh & kLinChFinalBit) != 0;
    const uint32_t node = ResultGraph_AddNode(d->resultGraph, parentOf(endRef), r->pron, r->activeIdLow,
                                              r->activeIdHigh, pause ? 1 : 0, static_cast<int16_t>(rel),
                                              d->frameIndex);
    if (ResultGraph_GetOverflow(d->resultGraph) != 0 || node == kResultGraphNone) {
        d->state = kDecoderStateFailed;
        return false;
    }
    bool lost = false;
    if (!simple && d->closeCallOn && d->closeCalls != nullptr && final &&
        word(kBrevitParamAllowPauseRequests) == 0 && ResultGraph_HasBest(d->resultGraph) != 0)
        lost = closeCall(d, node, score, rel, lm);
    if ((d->allowPauseStart || !pause) && (!d->onlyPauseStart || pause)) {
        const int32_t cost = int32_t{endCost} + d->wordPenalty;
        if (cost <= d->pruneThreshold)
            d->newWord(d, cost, r->pron, r->activeIdLow, r->activeIdHigh, static_cast<int32_t>(node));
    }
    if (final && pause && !lost) {
        const int32_t finalScore =
            simple ? int32_t{endCost} + d->wordPenalty + d->normaliserSum + ending : score;
        ResultGraph_UpdateBest(d->resultGraph, node, finalScore);
    }
    return d->state != kDecoderStateFailed;
}

int32_t makeNewWordList(LinChDecoder* d, bool simple)
{
    LinChDecoder_DropOldRescoreWords(d);
    d->newWordCount = d->expanded ? d->newWordSlots : 0;
    if (d->mode == 2) {
        LinChDecoder_BuildNewWordList(d);
        // Slots are keyed by pron alone.
        for (int32_t i = 0; i < d->newWordCount; ++i) {
            LinChNewWord* w = LinChDecoder_NewWordAt(d, i);
            w->activeIdLow = w->activeIdHigh = 0;
        }
    } else if (d->mode == 5) {
        LinChDecoder_BuildFrameSeedList(d);
    }
    d->pruneThreshold = LinChDecoderNoTimes_GetPruneThreshold(d);
    const int16_t silence = d->silenceHyp.cost[0];
    d->bestNonPauseCost = silence;
    if (d->pruneThreshold >= silence) {
        d->newWordSilence(d, silence, kLinChNoPron, kLinChEndLow, kLinChEndHigh, -1);
    } else {
        d->silenceHyp.cost[0] = kLinChDeadCost;
        d->silenceHyp.best = kLinChDeadCost;
    }
    const int32_t top = kLinChPageRecords * d->hypPageCount - 1;
    const int32_t last = d->hypCount - 1;
    *LinChDecoder_HypAt(d, top) = *LinChDecoder_HypAt(d, last);
    int32_t kept = 0;
    if (last > 0) {
        const int32_t limit = LinChDecoder_GetWordEndLimit(d);
        for (int32_t i = last - 1; i >= 0; --i) {
            const LinChHyp* src = LinChDecoder_HypAt(d, i);
            if (src->best > d->pruneThreshold)
                continue;
            LinChHyp* r = LinChDecoder_HypAt(d, top - 1 - kept);
            *r = *src;
            ++kept;
            if (r->pron > d->numVocEntries) {
                if (simple && d->state != kDecoderStateFailed)
                    treeWordEnd(d, r, limit);
                if (d->state == kDecoderStateFailed)
                    break;
                continue;
            }
            const uint16_t* models = nullptr;
            const int32_t n = LinChDecoder_PronModels(d, r->pron, &models);
            if (r->phone < n)
                d->bestNonPauseCost = std::min(d->bestNonPauseCost, r->best);
            if (r->phone + 1 < n)
                continue;
            if (!wordEnd(d, r, n, limit, simple))
                break;
        }
    }
    if (d->newWordCount >= kLinChPageRecords * d->newWordPageCount - 1)
        d->state = kDecoderStateFailed;
    d->hypCount = kept + 1;
    if (!d->expanded)
        LinChDecoder_EndNewWordList(d);
    return d->hypCount;
}

} // namespace

int32_t LinChDecoderNoTimes_MakeNewWordList(LinChDecoder* d) { return makeNewWordList(d, false); }

int32_t LinChDecoderNoTimes_MakeNewWordListSimple(LinChDecoder* d) { return makeNewWordList(d, true); }
