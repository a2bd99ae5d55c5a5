// Frame start and end, frame preparation and the frame-level summaries.
#include "core/brevit/acoustic/am_dynsil.h"
#include "core/brevit/acoustic/am_scoring.h"

#include "core/brevit/runtime/brevit_param_words.h"

#include <algorithm>
#include <cstring>

namespace {

int16_t cached(const AM* am, int32_t state)
{
    return am->cache[state];
}

void markNotComputed(AM* am, int32_t state)
{
    am->cache[state] = kAMNotComputed;
    if (am->filledCount < am->filledCapacity)
        am->filledList[am->filledCount++] = static_cast<uint16_t>(state);
}

int32_t silenceScore(AM* am)
{
    const int16_t s = cached(am, am->silenceStateId);
    return s == kAMNotComputed ? AM_GetStateScore(am, am->silenceStateId) : s;
}

uint8_t clampByte(int32_t v, uint8_t low, uint8_t high)
{
    return static_cast<uint8_t>(std::clamp<int32_t>(v, low, high));
}

} // namespace

void AM_Reset(AM* am)
{
    am->frameIndex = -1;
    am->secondFrameWord = 65535;
    if (am->cache != nullptr)
        for (uint32_t e = 0; e < am->cacheEntries; ++e)
            am->cache[e] = kAMNotComputed;
    am->filledCount = 0;
    am->bestScore = kAMNotComputed;
    am->bestState = kAMNoState;
    am->bestValid = 1;
    am->garbageScore = kAMNotComputed;
    if (am->featureCopy != nullptr)
        std::memset(am->featureCopy, 0, static_cast<size_t>(am->featureDim));
    if (am->innerProduct && !am->laplacian && am->ipWork != nullptr) {
        std::memset(am->ipWork, 0, sizeof(uint32_t) * 6);
        am->sumSquares = am->sumSquaresHead = am->sumSquaresTail = 0;
    }
    if (am->laplacian)
        std::memset(am->laplacianWork, 0, sizeof(am->laplacianWork));
}

void AM_PackFrameWords(AM* am)
{
    const uint8_t* b = am->featureCopy;
    uint32_t head = 0, tail = 0;
    for (int32_t d = 0; d < am->scoringDim; ++d)
        (d < 8 ? head : tail) += static_cast<uint32_t>(b[d] * b[d]);
    am->sumSquaresHead = head;
    am->sumSquaresTail = tail;
    am->sumSquares = head + tail;
    if (am->ipWork != nullptr) {
        if (am->fourBitMeans) {
            for (int32_t k = 0; k < 3; ++k) {
                const uint8_t* g = b + 8 * k;
                am->ipWork[k] = static_cast<uint32_t>(g[4]) | static_cast<uint32_t>(g[5]) << 4 |
                                static_cast<uint32_t>(g[6]) << 8 | static_cast<uint32_t>(g[7]) << 12 |
                                static_cast<uint32_t>(g[0]) << 16 | static_cast<uint32_t>(g[1]) << 20 |
                                static_cast<uint32_t>(g[2]) << 24 | static_cast<uint32_t>(g[3]) << 28;
            }
        } else {
            for (int32_t j = 0; j < 6 || 4 * j < am->featureDim; ++j) {
                const uint8_t* g = b + 4 * j;
                am->ipWork[j] = (static_cast<uint32_t>(g[0]) | static_cast<uint32_t>(g[1]) << 8) << 16 |
                                (static_cast<uint32_t>(g[2]) | static_cast<uint32_t>(g[3]) << 8);
            }
        }
    }
    if (am->hareTurtle && am->htSquares != nullptr) {
        const uint16_t* q = am->htSquares;
        for (int32_t k = 0; 4 * k < am->featureDim; ++k) {
            am->htPackedSquares[2 * k] = static_cast<uint32_t>(q[4 * k]) << 16 | q[4 * k + 2];
            am->htPackedSquares[2 * k + 1] = static_cast<uint32_t>(q[4 * k + 1]) << 16 | q[4 * k + 3];
        }
    }
    if (am->threshold) {
        am->frameThreshold = static_cast<int32_t>(static_cast<uint32_t>(am->partialThreshold) - head);
        am->framePenalty = static_cast<int32_t>(static_cast<uint32_t>(am->backoffPenalty) - tail);
    }
}

void AM_PrepareFrame(AM* am, const uint8_t* frame, int32_t changed)
{
    if (am->noParameters)
        return;
    const int32_t dim = am->featureDim;
    uint8_t* copy = am->featureCopy;
    if (frame == nullptr) {
        std::memset(copy, am->lowFeature, static_cast<size_t>(dim));
    } else if (!(am->hasMLLR && (am->mllr.featureFlag1 || am->mllr.featureFlag2))) {
        if (!am->conversionOption) {
            std::memcpy(copy, frame, static_cast<size_t>(dim));
        } else {
            const int32_t s = am->conversionShift;
            const int32_t half = s > 0 ? 1 << (s - 1) : 0;
            for (int32_t d = 0; d < dim; ++d) {
                const int64_t v = static_cast<int64_t>((frame[d] + half) >> s) - am->conversionOffset;
                copy[d] = clampByte(static_cast<int32_t>(std::clamp<int64_t>(v, -1, 256)),
                                    am->lowFeature, am->highFeature);
            }
        }
    }
    if (am->hareTurtle) {
        for (int32_t d = 0; d < dim; ++d)
            am->htSquares[d] = static_cast<uint16_t>(copy[d] * copy[d]);
        AM_PackFrameWords(am);
    }
    if (!changed)
        return;
    if (am->innerProduct && !am->laplacian) {
        AM_PackFrameWords(am);
    } else if (am->innerProduct && am->laplacian) {
        for (int32_t k = 0; k < 3; ++k) {
            uint32_t word = 0;
            for (int32_t i = 0; i < 8; ++i)
                word |= static_cast<uint32_t>(copy[8 * k + i]) << (4 * i);
            am->laplacianWork[k] = word;
        }
    }
    if ((am->hasVQ || am->daMode) && am->useVQ && am->vqPrecompute != nullptr)
        am->vqPrecompute(am);
    if (am->hasShortlist && am->useShortlist && am->shortlistSetup != nullptr)
        am->shortlistSetup(am->shortlist, copy, am);
}

void AM_NewFrame(AM* am, const uint8_t* frame, const int16_t* frameValue, const AMScoringSet* set,
                 int32_t frameIndex, int32_t reset)
{
    // A model without parameters has no kernels, cache or scratch to score
    // with: every state reads as not computed.
    if (am->noParameters)
        return;
    const bool changed = am->frameIndex != static_cast<int16_t>(frameIndex);
    am->frameIndex = static_cast<int16_t>(frameIndex);
    if (reset) {
        AM_ResetStateScoreCache(am);
        am->garbageScore = kAMNotComputed;
    } else if (changed) {
        markNotComputed(am, am->silenceStateId);
        if (am->fillerStateId != kAMNoState)
            markNotComputed(am, am->fillerStateId);
    }
    AM_SetScoringSet(am, set);
    AM_PrepareFrame(am, frame, changed);
    am->frameActive = 1;
    am->frameValue = frameValue != nullptr ? *frameValue : 0;
    am->cache[am->silenceStateId] = static_cast<int16_t>(silenceScore(am));
    if (am->silenceUsesFiller) {
        const int32_t garbage = AM_GetFrameGarbageScore(am);
        am->cache[am->silenceStateId] =
            static_cast<int16_t>(std::min<int32_t>(garbage, am->cache[am->silenceStateId]));
        if (am->filledCount < am->filledCapacity)
            am->filledList[am->filledCount++] = am->silenceStateId;
    } else if (am->hasDynSil && changed)
        AM_DynSilScoreFrame(am);
    if (am->hasFiller && am->fillerStateId != kAMNoState &&
        BrevitParam_Word(kBrevitParamFillerEntry) != 0)
        am->cache[am->fillerStateId] = static_cast<int16_t>(
            AM_GetFillerScore(am) + static_cast<int32_t>(BrevitParam_Word(kBrevitParamFillerEntry)));
}

void AM_EndFrame(AM* am, int32_t, uint32_t* crc)
{
    if (crc != nullptr)
        *crc = 0;
    am->frameActive = 0;
    am->directScorer = nullptr;
    am->cachedScorer = nullptr;
    am->componentScorer = nullptr;
    if (BrevitParam_Word(kBrevitParamCrcTracing) != 0 && crc != nullptr)
        *crc = AM_ComputeCRC(am, 1);
}

void AM_ResetFrameState(AM* am)
{
    AM_PrepareFrame(am, nullptr, 1);
    AM_ResetStateScoreCache(am);
    am->secondFrameWord = 0;
    am->frameIndex = -1;
}

int32_t AM_GetStateScoreUncached(AM* am, int32_t state)
{
    if (am->noParameters)
        return kAMNotComputed;
    if (state == am->silenceStateId)
        return cached(am, state);
    return am->directScorer != nullptr ? static_cast<int16_t>(am->directScorer(am, state))
                                       : kAMNotComputed;
}

int32_t AM_ScoreStateDirect(AM* am, int32_t state, int32_t, int32_t)
{
    return am->directScorer != nullptr ? static_cast<int16_t>(am->directScorer(am, state))
                                       : kAMNotComputed;
}

int32_t AM_ScoreComponent(AM* am, int32_t state, int32_t component)
{
    return am->componentScorer != nullptr
               ? static_cast<int16_t>(am->componentScorer(am, state, component))
               : kAMNotComputed;
}

int32_t AM_GetNonSpeechScore(AM* am, int32_t* fillerLower)
{
    if (fillerLower != nullptr)
        *fillerLower = 0;
    if (am->noParameters)
        return kAMNotComputed;
    if (BrevitParam_Word(kBrevitParamBestCachedFiller) != 0)
        return AM_GetBestCachedScore(am);
    if (BrevitParam_Word(kBrevitParamFillerScore) != 0)
        return std::min(AM_GetFrameGarbageScore(am), silenceScore(am));
    const int32_t f = am->hasFiller ? AM_GetFillerScore(am) : 16383;
    const int32_t s = silenceScore(am);
    if (s > f) {
        if (fillerLower != nullptr)
            *fillerLower = 1;
        return f;
    }
    return s;
}

int32_t AM_IsSilenceFrame(AM* am)
{
    if (!am->hasFiller || am->noParameters)
        return 0;
    const auto margin = static_cast<int16_t>(AM_GetFillerScore(am) - silenceScore(am));
    return margin > static_cast<int32_t>(BrevitParam_Word(kBrevitParamSpeechSilenceMargin));
}

int32_t AM_GetBestState(AM* am, int32_t frameIndex, uint16_t* state)
{
    *state = kAMNoState;
    if (static_cast<int16_t>(frameIndex) != am->frameIndex || am->cache == nullptr)
        return 0;
    if (am->bestValid) {
        *state = am->bestScore >= cached(am, am->silenceStateId) ? am->silenceStateId
                                                                 : am->bestState;
        return 1;
    }
    int32_t best = kAMNotComputed;
    for (int32_t s = 0; s < am->numScoredStates; ++s)
        if (cached(am, s) < best && s != am->fillerStateId) {
            best = cached(am, s);
            *state = static_cast<uint16_t>(s);
        }
    return 1;
}

int32_t AM_GetNumScoredStates(const AM* am)
{
    if (am->filledCount < am->filledCapacity)
        return am->filledCount;
    int32_t n = 0;
    for (int32_t s = 0; s < am->numScoredStates; ++s)
        n += am->cache[s] != kAMNotComputed;
    return n;
}
