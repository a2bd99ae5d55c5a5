// One frame of the linear-chain search: score the frame, move every live
// hypothesis, prune, hand the word ends on, and run the end-pointers.
#include "core/brevit/acoustic/am_kernels.h"
#include "core/brevit/acoustic/am_scoring.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/search/histogram.h"
#include "core/brevit/search/linch_search.h"
#include "core/brevit/search/result_graph.h"
#include "core/brevit/search/search_framework_calls.h"
#include "core/brevit/search/search_lexicon_calls.h"

#include <algorithm>

namespace {

int32_t word(int index) { return static_cast<int32_t>(BrevitParam_Word(index)); }

void countCost(Histogram* h, int16_t cost)
{
    if (cost >= h->binCount)
        return;
    ++h->bins[cost < 0 ? 0 : cost];
    ++h->total;
}

void fillCostHistogram(LinChDecoder* d)
{
    Histogram* h = d->costHistogram;
    if (h == nullptr)
        return;
    Histogram_Reset(h);
    countCost(h, d->silenceHyp.cost[0]);
    for (int32_t i = 0; i + 1 < d->hypCount; ++i)
        countCost(h, LinChDecoder_HypAt(d, i)->best);
}

bool isPauseRecord(LinChDecoder* d, const LinChHyp* r)
{
    const uint16_t* models = nullptr;
    return r->phone == LinChDecoder_PronModels(d, r->pron, &models);
}

// Step 15: the silence decision handed to the end-pointers.
bool frameIsSilent(LinChDecoder* d)
{
    if (word(kBrevitParamSilenceDecision) == 0 || UttDet_GetState(&d->endPointer) != kUttDetInSpeech)
        return d->bestModel == d->silenceHyp.model;
    int16_t bestNonPause = d->silenceHyp.cost[0];
    int16_t bestFinalPause = kLinChDeadCost;
    const int32_t start = LinChDecoder_ListStart(d);
    for (int32_t i = start; i + 1 < start + d->hypCount; ++i) {
        const LinChHyp* r = LinChDecoder_HypAt(d, i);
        if (!isPauseRecord(d, r))
            bestNonPause = std::min(bestNonPause, r->best);
        else if ((r->activeIdHigh & kLinChFinalBit) != 0 || d->mode == 2)
            bestFinalPause = std::min(bestFinalPause, r->cost[0]);
    }
    return bestFinalPause <= bestNonPause;
}

int32_t notEnded(const LinChDecoder* d) { return d->state == kDecoderStateFrameLimit ? d->state : kDecoderStateRunning; }

// Step 21: garbage leading while the silence hypothesis is dead.
void garbageEnd(LinChDecoder* d)
{
    if (word(kBrevitParamGarbageEnd) == 0 || d->silenceHyp.cost[0] != kLinChDeadCost)
        return;
    int16_t garbage = kLinChDeadCost, other = kLinChDeadCost;
    const int32_t start = LinChDecoder_ListStart(d);
    for (int32_t i = start; i + 1 < start + d->hypCount; ++i) {
        const LinChHyp* r = LinChDecoder_HypAt(d, i);
        const int32_t k = static_cast<int32_t>((r->activeIdHigh >> 21) & 0x3FFu);
        const bool isGarbage = r->pron <= d->numVocEntries && k < d->numConstraints &&
                               Constraint_IsGarbageState(d->constraints[k], k, r->activeIdLow, r->activeIdHigh) != 0;
        if (isGarbage)
            garbage = std::min(garbage, r->best);
        else
            other = std::min(other, r->best);
    }
    if (static_cast<int16_t>(other - garbage) > word(kBrevitParamSilenceStateMargin))
        d->state = kDecoderStateFinished;
}

// Steps 16 to 21.
void endOfUtterance(LinChDecoder* d)
{
    const bool silent = frameIsSilent(d);
    UttDet_ProcessFrame(&d->endPointer, silent ? 1 : 0);
    if (d->secondEndPointerOn)
        UttDet_ProcessFrame(&d->endPointer2, silent ? 1 : 0);
    if (d->mode == 11 &&
        static_cast<int16_t>(d->silenceHyp.cost[0] - d->bestCost) > word(kBrevitParamMode11))
        d->state = kDecoderStateFrameLimit;
    else if (d->state == kDecoderStateFailed)
        return;
    bool ended = UttDet_IsEndFound(&d->endPointer) != 0;
    if (!ended && d->secondEndPointerOn && UttDet_IsEndFound(&d->endPointer2) != 0)
        ended = LinChDecoderNoTimes_SecondEndAccepted(d) != 0;
    if (ended && word(kBrevitParamRejectionContinues) != 0 &&
        Decoder_IsRejected(&d->base, word(kBrevitParamRejectionThreshold)) != 0)
        ended = false;
    d->state = ended ? kDecoderStateFinished : notEnded(d);
    garbageEnd(d);
}

} // namespace

int16_t LinChDecoderNoTimes_GetPruneThreshold(LinChDecoder* d)
{
    int32_t t = std::min(int32_t{d->bestCost} + d->beam, 16383);
    if (d->hypCount > d->hypCap && d->costHistogram != nullptr && d->bestCost < d->costHistogram->binCount)
        t = Histogram_GetPruneThreshold(d->costHistogram, d->hypCap, d->bestCost, t);
    if (d->mode == 3 && word(kBrevitParamSilenceEndMode3) >= 1 && d->silenceHyp.cost[0] == d->bestCost &&
        AM_IsSilenceFrame(d->base.model) != 0)
        t = std::max(t - word(kBrevitParamSilenceEndMode3), int32_t{d->bestCost});
    return static_cast<int16_t>(t);
}

int32_t LinChDecoderNoTimes_ProcessFrame(Decoder* decoder, const uint8_t* frame, const int32_t* sideValue)
{
    LinChDecoder* d = LinChDecoder_Of(decoder);
    const bool skipping = word(kBrevitParamFrameSkipping) != 0;
    const bool keepPrevious = word(kBrevitParamKeepPreviousFrame) != 0;
    if (skipping && d->frameSkipToggle == 0) {
        d->frameSkipToggle = 1;
        return d->state;
    }
    if (word(kBrevitParamFrameRepetition) != 0 && d->frameIndex > 0 && frame != nullptr)
        d->frameDiffers = static_cast<int16_t>(AM_GetFrameDistance(decoder->model, frame, d->featureCopy)) >
                                  word(kBrevitParamFrameRepetitionDistance)
                              ? 1
                              : 0;
    int32_t tag = sideValue != nullptr ? *sideValue : 0;
    if (keepPrevious) {
        if (d->frameDiffers)
            LinChDecoder_StoreFrame(d, frame, &tag);
        else
            frame = LinChDecoder_GetStoredFrame(d, &tag);
    }
    bool frameDone = false;
    if (d->normaliser == kLinChDeadCost && d->frameIndex != 0) {
        // Nothing alive since an earlier frame.
        d->normaliserSum = kDecoderNoScore;
        ++d->frameIndex;
        frameDone = true;
    }
    if (!frameDone) {
        if (frame != nullptr) {
            const int16_t side = static_cast<int16_t>(tag);
            AM_NewFrame(decoder->model, frame, &side, decoder->scoringSet, d->frameIndex, d->frameDiffers);
        }
        ResultGraph_ClearBest(d->resultGraph);
        if (d->wordPenalty < 0 || d->wordInsertionCost < 0)
            LinChDecoder_UpdateFrameBest(d);
        d->normaliserSum += d->bestCost;
        d->normaliser = d->bestCost;
        d->bestCost = kLinChDeadCost;
        d->bestWordEndCost = kLinChDeadCost;
        d->bestPron = kLinChNoPron;
        if (word(kBrevitParamRecordTreeState) != 0 &&
            ClassPair_SeedFrameWords(d->constraints, d->numConstraints, nullptr, 0, d->frameIndex) == 0)
            d->state = kDecoderStateFailed;
        if (d->wordEndHistogram != nullptr)
            Histogram_Reset(d->wordEndHistogram);
        if (d->normaliser == kLinChDeadCost) {
            AM_EndFrame(decoder->model, d->frameIndex, &decoder->frameChecksum);
            ++d->frameIndex;
            d->normaliserSum = kDecoderNoScore;
            d->state = kDecoderStateNoHypothesis;
            frameDone = true;
        }
    }
    if (!frameDone && d->state != kDecoderStateFailed) {
        d->updateHypotheses(d);
        if (d->state == kDecoderStateFailed) {
            AM_EndFrame(decoder->model, d->frameIndex, &decoder->frameChecksum);
            frameDone = true;
        }
    }
    if (!frameDone && d->state != kDecoderStateFailed) {
        if (d->hypCount > d->hypCap)
            fillCostHistogram(d);
        d->makeNewWordList(d);
        if (d->silenceThresholdTime == -1 && d->silenceHyp.cost[0] == kLinChDeadCost)
            d->silenceThresholdTime = d->frameIndex;
        if (decoder->rejectionOn)
            Decoder_AccumulateRejectionScore(decoder);
        AM_EndFrame(decoder->model, d->frameIndex, &decoder->frameChecksum);
        endOfUtterance(d);
        LinChDecoder_RecordFrameInfo(d);
        ++d->frameIndex;
        if (word(kBrevitParamCrcTracing) != 0)
            Decoder_ComputeCRC(decoder);
    } else if (!frameDone) {
        AM_EndFrame(decoder->model, d->frameIndex, &decoder->frameChecksum);
    }
    if (keepPrevious)
        d->frameDiffers ^= 1;
    if (skipping)
        d->frameSkipToggle ^= 1;
    return d->state;
}
