// The state-score cache: each state scored at most once a frame, the running
// best state, and the filler, garbage and silence-bias values built on it.
#include "core/brevit/acoustic/am_da.h"
#include "core/brevit/acoustic/am_params.h"
#include "core/brevit/acoustic/am_scoring.h"
#include "core/brevit/acoustic/am_vq.h"

#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/brevit_param_words.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

constexpr int32_t kBins = 101;

bool isSilenceOrFiller(const AM* am, int32_t state)
{
    return state == am->silenceStateId || state == am->fillerStateId;
}

int32_t cachedOrScored(AM* am, int32_t state)
{
    const int16_t c = am->cache[state];
    return c == kAMNotComputed ? AM_GetStateScore(am, state) : c;
}

// Lowest cached cost of the states other than silence and filler.
int32_t minimumOtherCost(const AM* am)
{
    int32_t best = kAMNotComputed;
    for (int32_t s = 0; s < am->numScoredStates; ++s)
        if (!isSilenceOrFiller(am, s))
            best = std::min<int32_t>(best, am->cache[s]);
    return best;
}

int32_t averageGarbage(AM* am)
{
    if (BrevitParam_Word(kBrevitParamGarbageNoBestCached) == 0)
        AM_GetBestCachedScore(am);
    int64_t sum = 0;
    int32_t count = 0;
    for (int32_t s = 0; s < am->numScoredStates; ++s)
        if (am->cache[s] < kAMNotComputed) {
            sum += am->cache[s];
            ++count;
        }
    if (count == 0)
        return AM_GetFillerScore(am);
    double scale = 0;
    std::memcpy(&scale, &gpBrevitGlobalParameters->words[kBrevitParamGarbageScale], sizeof(scale));
    const double average = static_cast<double>(sum) * scale / count;
    if (std::isnan(average))
        return -32768;
    return static_cast<int32_t>(std::clamp(average, -32768.0, 32767.0));
}

int32_t percentileGarbage(AM* am, int32_t current)
{
    int32_t r = 0;
    if (BrevitParam_Word(kBrevitParamGarbageNoBestCached) != 0)
        r = am->bestValid ? am->bestScore : minimumOtherCost(am);
    else
        r = AM_GetBestCachedScore(am);
    int32_t bins[kBins] = {};
    int32_t count = 1;
    for (int32_t s = 1; s < am->numScoredStates; ++s) {
        const int32_t cost = am->cache[s];
        if (cost >= kAMNotComputed)
            continue;
        ++bins[std::clamp(cost - r, 0, kBins - 1)];
        ++count;
    }
    const int64_t target =
        static_cast<int64_t>(BrevitParam_Word(kBrevitParamGarbagePercentile)) * count / 100;
    int64_t accumulated = 0;
    for (int32_t i = 0; i < kBins - 1; ++i) {
        accumulated += bins[i];
        if (accumulated >= target)
            return r + i;
    }
    return current;
}

} // namespace

int32_t AM_GetStateScore(AM* am, int32_t state)
{
    if (state < 0 || state >= am->numScoredStates)
        return kAMNotComputed;
    const int32_t cost = am->cachedScorer != nullptr
                             ? static_cast<int16_t>(am->cachedScorer(am, state))
                             : kAMNotComputed;
    am->cache[state] = static_cast<int16_t>(cost);
    if (am->filledCount < am->filledCapacity)
        am->filledList[am->filledCount++] = static_cast<uint16_t>(state);
    if (!isSilenceOrFiller(am, state) &&
        (cost < am->bestScore || (cost == am->bestScore && state < am->bestState))) {
        am->bestScore = static_cast<int16_t>(cost);
        am->bestState = static_cast<uint16_t>(state);
        am->bestValid = 1;
    }
    return cost;
}

void AM_ResetStateScoreCache(AM* am)
{
    am->bestScore = kAMNotComputed;
    am->bestState = kAMNoState;
    am->bestValid = 1;
    if (am->cache == nullptr)
        return;
    if (am->filledCount < am->filledCapacity) {
        for (int32_t i = 0; i < am->filledCount; ++i)
            am->cache[am->filledList[i]] = kAMNotComputed;
    } else {
        for (uint32_t e = 0; e < am->cacheEntries; ++e)
            am->cache[e] = kAMNotComputed;
    }
    am->filledCount = 0;
}

int32_t AM_GetFillerScore(AM* am)
{
    if (am->noParameters || !am->fillerScoring || am->fillerStateId == kAMNoState)
        return 16383;
    return cachedOrScored(am, am->fillerStateId);
}

int32_t AM_GetBestCachedScore(AM* am)
{
    // On the VQ path the frame's best comes from its precompute, not from
    // scoring every state.
    if (am->useVQ && BrevitParam_Word(kBrevitParamDaBestScore) != 0) {
        if (am->daMode)
            return AM_DAGetBestScore(am);
        if (am->hasVQ)
            return AM_VQGetBestFrameScore(am);
    }
    const int32_t states = std::min(am->numStates, am->numScoredStates);
    if (states < 1 || am->noParameters)
        return kAMNotComputed;
    // Costs run up to the score ceiling, which may lie above 16384.
    int32_t best = std::numeric_limits<int32_t>::max();
    for (int32_t s = 0; s < states; ++s)
        best = std::min(best, cachedOrScored(am, s));
    return best;
}

int32_t AM_GetFrameGarbageScore(AM* am)
{
    if (am->noParameters)
        return kAMNotComputed;
    if (am->garbageScore < kAMNotComputed)
        return am->garbageScore;
    cachedOrScored(am, am->silenceStateId);
    int32_t garbage = am->garbageScore;
    if (gpBrevitGlobalParameters == nullptr)
        garbage = AM_GetFillerScore(am);
    else if (BrevitParam_Word(kBrevitParamGarbageAverage) != 0)
        garbage = averageGarbage(am);
    else if (BrevitParam_Word(kBrevitParamGarbageByPercentile) != 0)
        garbage = percentileGarbage(am, garbage);
    else
        garbage = AM_GetFillerScore(am);
    garbage = std::clamp(garbage + am->garbageOffset, 0, 32767);
    am->garbageScore = static_cast<int16_t>(garbage);
    return garbage;
}

int32_t AM_GetSilenceScoreBias(AM* am)
{
    const int32_t best = am->bestValid ? am->bestScore : minimumOtherCost(am);
    if (best == kAMNotComputed || am->componentKernel == nullptr)
        return 0;
    const int32_t limit =
        best + static_cast<int16_t>(BrevitParam_Word(kBrevitParamScoreLimit) & 0xFFFF);
    int64_t count = 0;
    int64_t sum = 0;
    const bool listed = am->filledCount < am->filledCapacity;
    const int32_t n = listed ? am->filledCount : am->numScoredStates;
    for (int32_t i = 0; i < n; ++i) {
        const int32_t s = listed ? am->filledList[i] : i;
        if (isSilenceOrFiller(am, s) || am->cache[s] > limit)
            continue;
        const int32_t components = AM_GetNumComponents(am, s);
        for (int32_t k = 0; k < components; ++k) {
            if (static_cast<int16_t>(am->componentKernel(am, s, k)) > limit)
                continue;
            ++count;
            sum += AM_GetComponentMean(am, s, k)[0];
        }
    }
    if (count == 0 || gpBrevitGlobalParameters == nullptr)
        return 0;
    const int64_t v = am->frameValue * (am->featureCopy[0] * count - sum) / (count * 16);
    const auto p = static_cast<int32_t>(static_cast<uint32_t>(
        static_cast<uint64_t>(std::llabs(v)) * static_cast<uint64_t>(v) *
        BrevitParam_Word(kBrevitParamBiasFactor)));
    if (p >= 0)
        return static_cast<int32_t>((static_cast<int64_t>(p) + 32768) >> 16);
    return -static_cast<int32_t>((32768 - static_cast<int64_t>(p)) >> 16);
}

const uint16_t* AM_GetModelStates(const AM* am, int32_t model, int32_t* count)
{
    if (count != nullptr)
        *count = model == am->silenceModelId ? am->specialStateCount : am->statesPerModel;
    return AM_GetModelStateIds(am, model);
}

const uint16_t* AM_GetModelStateIds(const AM* am, int32_t model)
{
    if (model < 0 || model >= am->numPhoneModels)
        return nullptr;
    return static_cast<const uint16_t*>(am->modelToState.data) +
           static_cast<size_t>(model) * static_cast<uint32_t>(am->statesPerModel);
}
