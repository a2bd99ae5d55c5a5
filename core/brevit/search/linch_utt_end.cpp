// The end of an utterance: the second end-pointer's rule, the front end's
// final-silence question, extending the final silence while garbage wins,
// per-constraint best costs for the garbage report, and closing the
// utterance with the grammars' ending scores.
#include "core/brevit/lexicon/lex_tree.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/search/class_manager.h"
#include "core/brevit/search/linch_search.h"
#include "core/brevit/search/result_graph.h"
#include "core/brevit/search/search_framework_calls.h"

#include <algorithm>

namespace {

int32_t word(int index) { return static_cast<int32_t>(BrevitParam_Word(index)); }

int32_t constraintOf(uint32_t high) { return static_cast<int32_t>((high >> 21) & 0x3FFu); }

bool constraintMode(int32_t mode) { return mode == 3 || mode == 5 || mode == 11; }

Constraint* constraintOfRecord(LinChDecoder* d, const LinChHyp* r)
{
    const int32_t k = constraintOf(r->activeIdHigh);
    return k < d->numConstraints ? d->constraints[k] : nullptr;
}

// Live records, terminator excluded; the list sits at the top after a frame.
template <typename F>
void forEachLive(LinChDecoder* d, F f)
{
    const int32_t start = LinChDecoder_ListStart(d);
    for (int32_t i = start; i + 1 < start + d->hypCount; ++i)
        if (!f(LinChDecoder_HypAt(d, i)))
            return;
}

// The position a live record may end the utterance from; false when none.
bool endPosition(LinChDecoder* d, const LinChHyp* r, uint32_t* low, uint32_t* high)
{
    if (r->pron <= d->numVocEntries) {
        const uint16_t* models = nullptr;
        if (r->phone != LinChDecoder_PronModels(d, r->pron, &models) || (r->activeIdHigh & kLinChFinalBit) == 0)
            return false;
        *low = r->activeIdLow;
        *high = r->activeIdHigh & ~kLinChFinalBit;
        return true;
    }
    const int32_t t = r->pron - d->numVocEntries - 1;
    if (t < 0 || t >= d->numTrees || d->trees == nullptr || d->trees[t] == nullptr)
        return false;
    const LexArc* arcs = LexTree_GetArcs(d->trees[t], 0);
    const uint32_t arc = r->activeIdLow & 0x3FFFFFFu;
    if (arcs == nullptr || (arcs[arc].model & 0x8000u) == 0)
        return false;
    const int32_t k = d->treeWords[t];
    int32_t member = 0, count = 0, final = 0;
    Constraint_GetMemberStartsWithPronId(d->constraints[k], static_cast<uint32_t>(d->treeIds[t]), arcs[arc].next,
                                         &member, &count, &final);
    if (final == 0)
        return false;
    const ActiveId at = ActiveId_Make(k, static_cast<uint32_t>(d->treeIds[t]), static_cast<uint32_t>(member), 0);
    *low = ActiveId_Low(at);
    *high = ActiveId_High(at);
    return true;
}

} // namespace

int32_t LinChDecoderNoTimes_AnyHypCanContinue(LinChDecoder* d)
{
    int32_t any = 0;
    forEachLive(d, [&](const LinChHyp* r) {
        Constraint* con = constraintOfRecord(d, r);
        const uint32_t state = (r->activeIdHigh >> 3) & 0x3FFFFu;
        if (con == nullptr || Constraint_GetType(con) != kConstraintTypeClassPair ||
            ClassPairConstraint_HasTransitions(con, state) != 0)
            any = 1;
        return any == 0;
    });
    return any;
}

int32_t LinChDecoderNoTimes_AllAtMemberEnd(LinChDecoder* d)
{
    int32_t all = 1;
    forEachLive(d, [&](const LinChHyp* r) {
        Constraint* con = constraintOfRecord(d, r);
        ClassManager* manager = con != nullptr ? Constraint_FindClassPair(&con, 1) : nullptr;
        const ActiveId at = ActiveId_FromWords(r->activeIdHigh & ~kLinChFinalBit, r->activeIdLow);
        int32_t length = 0;
        if (manager == nullptr ||
            ClassManager_GetMemberLength(manager, ActiveId_GetState(at), static_cast<int32_t>(ActiveId_GetMember(at)),
                                         &length) == 0 ||
            static_cast<int32_t>(ActiveId_GetSubPosition(at)) != length - 1)
            all = 0;
        return all != 0;
    });
    return all;
}

int32_t LinChDecoderNoTimes_SecondEndAccepted(LinChDecoder* d)
{
    uint32_t node = kResultGraphNone;
    int32_t score = kResultGraphNoScore;
    ResultGraph_GetBest(d->resultGraph, &node, &score);
    if (node == kResultGraphNone || score != d->bestCost + d->normaliserSum)
        return 0;
    if (d->secondEndOption == 0)
        return 1;
    return d->silenceHyp.cost[0] == kLinChDeadCost && LinChDecoderNoTimes_AnyHypCanContinue(d) == 0 &&
                   LinChDecoderNoTimes_AllAtMemberEnd(d) == 1
               ? 1
               : 0;
}

void LinChDecoderNoTimes_MarkNearBestConstraints(LinChDecoder* d, uint8_t* flags)
{
    const int32_t limit = d->bestCost + word(kBrevitParamConstraintRecordBeam);
    const bool all = word(kBrevitParamAllConstraintRecords) != 0;
    forEachLive(d, [&](const LinChHyp* r) {
        const int32_t k = constraintOf(r->activeIdHigh);
        if (r->best <= limit && (all || r->pron == d->garbagePron || r->model == 0) && k < d->numConstraints)
            flags[k] = 1;
        return true;
    });
}

int32_t LinChDecoderNoTimes_FESeenFinalSilence(Decoder* decoder, int32_t extraFrames)
{
    LinChDecoder* d = LinChDecoder_Of(decoder);
    if (d->state != kDecoderStateRunning)
        return d->state;
    int32_t r = UttDet_CheckFinalSilence(&d->endPointer, extraFrames, 0);
    r = r == kUttDetEndFound && ResultGraph_HasBest(d->resultGraph) != 0 ? kDecoderStateFinished
                                                                          : kDecoderStateRunning;
    if (d->secondEndPointerOn && r != kDecoderStateFinished &&
        UttDet_CheckFinalSilence(&d->endPointer2, extraFrames, 0) == kUttDetEndFound)
        return LinChDecoderNoTimes_SecondEndAccepted(d) != 0 ? kDecoderStateFinished : d->state;
    return r;
}

int32_t LinChDecoderNoTimes_ExtendFinalSilence(Decoder* decoder, int32_t, const uint8_t* constraintFlags,
                                               int32_t extraFrames, int32_t frameLimit)
{
    LinChDecoder* d = LinChDecoder_Of(decoder);
    int32_t alive = d->silenceHyp.cost[0] != kLinChDeadCost ? 1 : 0;
    const int32_t start = LinChDecoder_ListStart(d);
    for (int32_t i = start; i + 1 < start + d->hypCount; ++i) {
        const LinChHyp* r = LinChDecoder_HypAt(d, i);
        if (r->pron > d->numVocEntries)
            break;
        const int32_t k = constraintOf(r->activeIdHigh);
        if (constraintFlags == nullptr || k >= d->numConstraints || constraintFlags[k] == 0 || r->best > 16383)
            continue;
        alive = 1;
        if (Constraint_IsGarbageState(d->constraints[k], k, r->activeIdLow, r->activeIdHigh) != 0) {
            UttDet_SetExtraSilenceFrames(&d->endPointer, extraFrames);
            return 1;
        }
    }
    UttDet_SetExtraSilenceFrames(&d->endPointer, 0);
    return frameLimit > d->frameIndex ? alive : 0;
}

int32_t LinChDecoderNoTimes_ExtendFinalSilenceSlot(Decoder* decoder)
{
    return LinChDecoderNoTimes_ExtendFinalSilence(decoder, 0, nullptr, 0, 0);
}

int32_t LinChDecoderNoTimes_GetBestConstraintScores(Decoder* decoder, int32_t numEntries, int32_t* garbageCosts,
                                                    int32_t* otherCosts, int32_t* silenceCost)
{
    LinChDecoder* d = LinChDecoder_Of(decoder);
    if (!constraintMode(d->mode))
        return 0;
    std::fill(garbageCosts, garbageCosts + std::max(numEntries, 0), kLinChDeadCost);
    std::fill(otherCosts, otherCosts + std::max(numEntries, 0), kLinChDeadCost);
    *silenceCost = d->silenceHyp.cost[0];
    forEachLive(d, [&](const LinChHyp* r) {
        const int32_t k = constraintOf(r->activeIdHigh);
        if (k >= numEntries)
            return true;
        const bool garbage = r->pron <= d->numVocEntries && k < d->numConstraints &&
                             Constraint_IsGarbageState(d->constraints[k], k, r->activeIdLow, r->activeIdHigh) != 0;
        int32_t& slot = garbage ? garbageCosts[k] : otherCosts[k];
        slot = std::min<int32_t>(slot, r->best);
        return true;
    });
    return 1;
}

int32_t LinChDecoderNoTimes_GetBestConstraintScoresSlot(Decoder* decoder, int32_t count, int32_t* scores)
{
    if (scores == nullptr || count < 0)
        return 0;
    int32_t silence = 0;
    return LinChDecoderNoTimes_GetBestConstraintScores(decoder, count, scores, scores + count, &silence);
}

int32_t LinChDecoderNoTimes_UttFinish(Decoder* decoder, Utterance*)
{
    LinChDecoder* d = LinChDecoder_Of(decoder);
    if (ResultGraph_HasBest(d->resultGraph) == 0)
        d->state = kDecoderStateFailed;
    if (constraintMode(d->mode) && d->state != kDecoderStateFailed) {
        d->state = kDecoderStateFinishedFast;
        const int32_t start = LinChDecoder_ListStart(d);
        for (int32_t i = start; i + 1 < start + d->hypCount; ++i) {
            LinChHyp* r = LinChDecoder_HypAt(d, i);
            uint32_t low = 0, high = 0;
            if (r->cost[0] == kLinChDeadCost || !endPosition(d, r, &low, &high))
                continue;
            r->cost[0] = LinChDecoder_CostOf(
                int32_t{r->cost[0]} + Constraint_GetTransitionScore(d->constraints, d->numConstraints, low, high));
        }
    }
    if (Decoder_IsRejected(decoder, decoder->rejectionThreshold) != 0)
        return Decoder_SetRejected(decoder);
    return 0;
}
