// The adaptation cycle and MAP: method choice, per-component statistics of
// aligned frames in 16-bit fixed point, the MAP mean update and the
// accumulator checksums.
#include "core/brevit/acoustic/am_adapt.h"

#include "core/brevit/acoustic/am_params.h"
#include "core/brevit/acoustic/am_scoring.h"
#include "core/brevit/acoustic/am_util.h"
#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

int16_t clip16(int64_t v)
{
    return static_cast<int16_t>(std::clamp<int64_t>(v, -kAMFLimit, kAMFLimit - 1));
}

// Base states, and the added ones when the model has added phone models.
int32_t accumulatedStates(const AM* am)
{
    return am->numStates + (am->hasAddedModels ? std::max(am->addedStateCount, 0) : 0);
}

int32_t largestComponentCount(const AM* am)
{
    int32_t most = 1;
    for (int32_t s = 0; s < am->numStates; ++s)
        most = std::max(most, AM_GetNumComponents(am, s));
    return most;
}

void releaseWork(AM* am)
{
    DVKMem_Free(am->adaptScores);
    DVKMem_Free(am->adaptWeights);
    DVKMem_Free(am->adaptIndexes);
    DVKMem_Free(am->adaptVector);
    am->adaptScores = nullptr;
    am->adaptWeights = nullptr;
    am->adaptIndexes = nullptr;
    am->adaptVector = nullptr;
}

bool allocateWork(AM* am)
{
    const auto k = static_cast<uint32_t>(largestComponentCount(am));
    am->adaptScores = static_cast<uint16_t*>(DVKMem_Calloc(k * 2));
    am->adaptWeights = static_cast<uint32_t*>(DVKMem_Calloc(k * 4));
    am->adaptIndexes = static_cast<uint32_t*>(DVKMem_Calloc(k * 4));
    am->adaptVector = static_cast<int32_t*>(DVKMem_Calloc(static_cast<uint32_t>(std::max(am->featureDim, 1)) * 4));
    if (am->adaptScores != nullptr && am->adaptWeights != nullptr && am->adaptIndexes != nullptr &&
        am->adaptVector != nullptr)
        return true;
    releaseWork(am);
    return false;
}

bool isMLLRMethod(int32_t method)
{
    return method == 2 || method == 4 || method == 5;
}

void freeState(AMFStateAccumulator* st)
{
    if (st == nullptr)
        return;
    for (uint32_t c = 0; st->sums != nullptr && c < st->componentCount; ++c)
        DVKMem_Free(st->sums[c]);
    DVKMem_Free(st->sums);
    DVKMem_Free(st->counts);
    DVKMem_Free(st->priorCounts);
    DVKMem_Free(st);
}

AMFStateAccumulator* stateAccumulator(const AM* am, int32_t state)
{
    const AMFAccumulators* acc = am->amf;
    if (acc == nullptr || state < 0 || static_cast<uint32_t>(state) >= acc->stateCount)
        return nullptr;
    return acc->states[state];
}

// Divides every value by the smallest power of two that brings the count
// within count limit and every sum within +-16384 (truncating toward 0).
int32_t halvingDivisor(int64_t count, int64_t countLimit, const int64_t* sums, int32_t dim)
{
    int64_t largest = 0;
    for (int32_t d = 0; d < dim; ++d)
        largest = std::max<int64_t>(largest, std::llabs(sums[d]));
    int32_t divisor = 1;
    while (std::llabs(count) / divisor > countLimit || largest / divisor > kAMFLimit)
        divisor *= 2;
    return divisor;
}

// Sums re-expressed against a component's new mean: the same frames,
// deviations now taken from new instead of old.
void rebaseSums(AMFStateAccumulator* st, uint32_t c, int32_t dim, const uint8_t* oldMean, const uint8_t* newMean)
{
    if (st->sums[c] == nullptr)
        return;
    const int32_t n = st->counts[c];
    std::vector<int64_t> t(static_cast<size_t>(dim));
    for (int32_t d = 0; d < dim; ++d)
        t[static_cast<size_t>(d)] =
            st->sums[c][d] - static_cast<int64_t>(n) * (static_cast<int32_t>(newMean[d]) - oldMean[d]);
    const int32_t divisor = halvingDivisor(n, kAMFLimit, t.data(), dim);
    for (int32_t d = 0; d < dim; ++d)
        st->sums[c][d] = static_cast<int16_t>(t[static_cast<size_t>(d)] / divisor);
    st->counts[c] = static_cast<int16_t>(n / divisor);
    st->priorCounts[c] = static_cast<int16_t>(st->priorCounts[c] / divisor);
}

uint32_t priorWord(int word, int fallback)
{
    const uint32_t v = BrevitParam_Word(word);
    return v == 0xFFFFFFFFu ? BrevitParam_Word(fallback) : v;
}

} // namespace

void AM_AMFAddStatistics(int16_t* count, int16_t* sums, int32_t dim, int32_t addCount, const int16_t* addSums,
                         int16_t* prior)
{
    std::vector<int64_t> t(static_cast<size_t>(dim));
    for (int32_t d = 0; d < dim; ++d)
        t[static_cast<size_t>(d)] = static_cast<int64_t>(sums[d]) + (addSums != nullptr ? addSums[d] : 0);
    const int64_t n = static_cast<int64_t>(*count) + addCount;
    const int32_t divisor = halvingDivisor(n, kAMFLimit, t.data(), dim);
    for (int32_t d = 0; d < dim; ++d)
        sums[d] = static_cast<int16_t>(t[static_cast<size_t>(d)] / divisor);
    *count = static_cast<int16_t>(n / divisor);
    if (prior != nullptr)
        *prior = static_cast<int16_t>(*prior / divisor);
}

int32_t AM_InitAdaptation(AM* am, int32_t method, int32_t treeSmoothing)
{
    const bool mllrMethod = isMLLRMethod(method);
    if (mllrMethod && (!am->hasMLLR || am->mllrHook == nullptr))
        return 0;
    // Every MLLR method reads the silence state's regression class.
    if ((mllrMethod || method == 3 || method == 9) && am->mllr.classes.data == nullptr)
        return 0;
    if (treeSmoothing && (am->tree == nullptr || am->flag21))
        return 0;
    am->adaptationActive = 1;
    if (method == 10) {
        if (am->covType != 2 && am->covType != 4) {
            AM_FreeAdaptationBuffers(am);
            return 1;
        }
        am->accumulateHook = AM_GlobalVarianceAccum;
        am->initAccumulatorsHook = AM_GlobalVarianceInit;
        am->freeHook = AM_GlobalVarianceFree;
        am->adaptHook = AM_GlobalVarianceCompute;
    } else {
        am->accumulateHook = AM_AMFIncrementAccumulator;
        am->initAccumulatorsHook = AM_AMFInitAccumulators;
        am->freeHook = AM_AMFFreeAccumulators;
        am->adaptHook = AM_AdaptModelsUsingMAP;
    }
    if (mllrMethod && (!am->hasMLLR || (am->mllrHook != nullptr && am->mllr.classes.data != nullptr))) {
        am->mllr.featureFlag1 = 0;
        am->mllr.featureFlag2 = 0;
        treeSmoothing = 0;
    }
    if (am->adaptable && !am->initAccumulatorsHook(am, method, treeSmoothing)) {
        am->currentWeight = 0;
        releaseWork(am);
        am->adaptationActive = 0;
        return 0;
    }
    releaseWork(am);
    am->currentWeight = 0;
    if (!allocateWork(am)) {
        // Nothing to accumulate into: no longer active.
        am->adaptationActive = 0;
        return 0;
    }
    return 1;
}

int32_t AM_AccumulateFrame(AM* am, int32_t state, int32_t fillerMode)
{
    if (!am->adaptationActive)
        return 1;
    if (!AM_AccumulateStateFrame(am, state))
        return 0;
    if (AMFAccumulators* acc = am->amf) {
        if (state == am->silenceStateId)
            ++acc->silenceFrames;
        else
            ++acc->nonSilenceFrames;
    }
    const auto* marks = static_cast<const int8_t*>(am->stateBytes.data);
    if (am->sixthFlag && am->fillerStateId != kAMNoState && marks != nullptr && state >= 0 && static_cast<uint32_t>(state) < am->stateBytes.count &&
        marks[state] > 0 && fillerMode > 0)
        return AM_AccumulateStateFrame(am, am->fillerStateId);
    return 1;
}

int32_t AM_AccumulateStateFrame(AM* am, int32_t state)
{
    // States past the accumulated ones are counted and left out; the
    // accumulators have no slot for them.
    if (state < 0 || state >= accumulatedStates(am)) {
        if (am->amf != nullptr)
            ++am->amf->skippedFrames;
        return 1;
    }
    if (am->adaptScores == nullptr && !allocateWork(am))
        return 0;
    const int32_t k = AM_GetNumComponents(am, state);
    int32_t best = kAMFLimit;
    int32_t bestIndex = 0;
    for (int32_t j = 0; j < k; ++j) {
        const int32_t score = AM_ScoreComponent(am, state, j);
        am->adaptScores[j] = static_cast<uint16_t>(score);
        if (score < best) {
            best = score;
            bestIndex = j;
        }
    }
    int32_t kept = 0;
    int64_t sum = 0;
    if (BrevitParam_Word(kBrevitParamNoPosteriorWeights) == 0) {
        for (int32_t j = 0; j < k; ++j) {
            const int32_t w = AM_GetPosteriorWeight(am, static_cast<int16_t>(am->adaptScores[j]) - best);
            if (w > 0) {
                am->adaptWeights[kept] = static_cast<uint32_t>(w);
                am->adaptIndexes[kept++] = static_cast<uint32_t>(j);
                sum += w;
            }
        }
    } else {
        am->adaptWeights[0] = 1;
        am->adaptIndexes[kept++] = static_cast<uint32_t>(bestIndex);
        sum = 1;
    }
    if (kept == 0)
        return 1;
    const bool silence = state == am->silenceStateId;
    const double silenceShare = silence ? AM_ParamReal(kBrevitParamAdaptSilenceShare) : 1.0;
    int32_t result = 1;
    for (int32_t i = 0; i < kept; ++i) {
        int64_t share = (sum / 2 + static_cast<int64_t>(am->adaptationValue) * am->adaptWeights[i]) / sum;
        if (silence)
            share = static_cast<int64_t>(silenceShare * static_cast<double>(share));
        if (share > 0)
            result = static_cast<int32_t>(AM_CallAccumulateHook(
                am, am->featureCopy, state, static_cast<int32_t>(am->adaptIndexes[i]),
                static_cast<int16_t>(std::min<int64_t>(share, 32767))));
    }
    return result;
}

int32_t AM_FinishAdaptation(AM* am)
{
    if (!am->adaptationActive)
        return 1;
    const int32_t states = accumulatedStates(am);
    if (!AM_MakeParametersWritable(am, 1, states, states))
        return 0;
    am->adapted = 1;
    AMFAccumulators* acc = am->amf;
    uint32_t result = 1;
    bool mllrRan = false;
    if (am->adaptable && acc != nullptr && acc->mllrPending) {
        result = am->mllrHook != nullptr ? static_cast<uint32_t>(am->mllrHook(am)) : 1;
        mllrRan = true;
        if (result == 0)
            return 0;
        if (acc->mapAfterMLLR) {
            acc->mllrPending = 0;
            result = am->adaptHook != nullptr ? am->adaptHook(am) : 1;
            if (result == 0)
                return 0;
        }
    } else if (acc == nullptr || !acc->accumulateOnly) {
        result = am->adaptHook != nullptr ? am->adaptHook(am) : 1;
        if (result == 0)
            return 0;
    }
    if (am->innerProduct && am->adaptable) {
        if (mllrRan)
            AM_ComputeCompanions(am);
        AM_ResetCompanions(am);
    }
    return static_cast<int32_t>(result);
}

int32_t AM_RestartAdaptation(AM* am)
{
    if (am->amf == nullptr)
        return 0;
    const int32_t flag = static_cast<int32_t>(am->amf->treeSmoothing);
    AM_FreeAdaptationBuffers(am);
    return AM_InitAdaptation(am, 1, flag);
}

void AM_FreeAdaptationBuffers(AM* am)
{
    am->adaptationActive = 0;
    if (am->adaptable && am->freeHook != nullptr)
        am->freeHook(am);
    releaseWork(am);
}

uint32_t AM_AMFInitAccumulators(AM* am, int32_t method, int32_t treeSmoothing)
{
    AM_AMFFreeAccumulators(am);
    const int32_t states = accumulatedStates(am);
    if (states <= 0)
        return 0;
    auto* acc = static_cast<AMFAccumulators*>(DVKMem_Calloc(sizeof(AMFAccumulators)));
    if (acc == nullptr)
        return 0;
    acc->states = static_cast<AMFStateAccumulator**>(
        DVKMem_Calloc(static_cast<uint32_t>(states) * sizeof(AMFStateAccumulator*)));
    if (acc->states == nullptr) {
        DVKMem_Free(acc);
        return 0;
    }
    acc->stateCount = static_cast<uint32_t>(states);
    acc->featureDim = static_cast<uint32_t>(am->featureDim);
    acc->minTreeFrames = BrevitParam_Word(kBrevitParamTreeSmoothingMinFrames);
    acc->treeSmoothing = treeSmoothing != 0;
    switch (method) {
    case 2:
    case 3:
    case 4:
    case 5:
    case 9:
        acc->silencePrior =
            AM_MLLRClassOf(am, am->silenceStateId) == -3 ? BrevitParam_Word(kBrevitParamAdaptCountWeight) : 0;
        acc->mllrPending = 1;
        acc->mapAfterMLLR = method == 3;
        break;
    case 6:
        acc->treeSmoothing = 1;
        acc->accumulateOnly = 1;
        break;
    case 7:
        acc->nonSilencePrior = priorWord(kBrevitParamAdaptAltPriorWeight, kBrevitParamAdaptPriorWeight);
        acc->silencePrior = priorWord(kBrevitParamAdaptAltCountWeight, kBrevitParamAdaptCountWeight);
        break;
    case 8:
        acc->nonSilencePrior = BrevitParam_Word(kBrevitParamAdaptPresetPriorWeight);
        acc->silencePrior = BrevitParam_Word(kBrevitParamAdaptPresetCountWeight);
        acc->treeSmoothing = BrevitParam_Word(kBrevitParamAdaptPresetTreeSmoothing) != 0;
        break;
    default:
        acc->nonSilencePrior = BrevitParam_Word(kBrevitParamAdaptPriorWeight);
        acc->silencePrior = BrevitParam_Word(kBrevitParamAdaptCountWeight);
        break;
    }
    am->amf = acc;
    return 1;
}

uint32_t AM_AMFAllocStateAccumulator(AM* am, int32_t state)
{
    AMFAccumulators* acc = am->amf;
    if (acc == nullptr || state < 0 || static_cast<uint32_t>(state) >= acc->stateCount)
        return 0;
    if (acc->states[state] != nullptr)
        return 1;
    const auto k = static_cast<uint32_t>(std::max(AM_GetNumComponents(am, state), 1));
    auto* st = static_cast<AMFStateAccumulator*>(DVKMem_Calloc(sizeof(AMFStateAccumulator)));
    if (st == nullptr)
        return 0;
    st->componentCount = k;
    st->counts = static_cast<int16_t*>(DVKMem_Calloc(2 * k));
    st->priorCounts = st->counts != nullptr ? static_cast<int16_t*>(DVKMem_Calloc(2 * k)) : nullptr;
    st->sums = st->priorCounts != nullptr ? static_cast<int16_t**>(DVKMem_Calloc(k * sizeof(int16_t*))) : nullptr;
    if (st->sums == nullptr) {
        freeState(st);
        return 0;
    }
    const uint32_t weight = state == am->silenceStateId ? acc->silencePrior : acc->nonSilencePrior;
    const int16_t prior = clip16(static_cast<int64_t>(am->adaptationValue) * static_cast<int64_t>(weight));
    for (uint32_t c = 0; c < k; ++c)
        st->counts[c] = st->priorCounts[c] = prior;
    acc->states[state] = st;
    return 1;
}

uint32_t AM_AMFIncrementAccumulator(AM* am, const uint8_t* frame, int32_t state, int32_t component, int16_t weight)
{
    AMFAccumulators* acc = am->amf;
    if (acc == nullptr || frame == nullptr || state < 0 || static_cast<uint32_t>(state) >= acc->stateCount ||
        component < 0 || component >= AM_GetNumComponents(am, state))
        return 0;
    const int32_t dim = am->featureDim;
    std::vector<uint8_t> mean(static_cast<size_t>(dim));
    std::memcpy(mean.data(), AM_GetComponentMean(am, state, component), mean.size());
    if (!AM_AMFAllocStateAccumulator(am, state))
        return 0;
    AMFStateAccumulator* st = acc->states[state];
    const auto c = static_cast<uint32_t>(component);
    if (st->sums[c] == nullptr) {
        st->sums[c] = static_cast<int16_t*>(DVKMem_CallocOrThrow(static_cast<uint32_t>(dim) * 2));
        acc->meanVectorsPeak = std::max(acc->meanVectorsPeak, ++acc->meanVectors);
    }
    am->currentWeight = weight;
    const int64_t count = static_cast<int64_t>(st->counts[c]) + weight;
    std::vector<int64_t> t(static_cast<size_t>(dim));
    for (int32_t d = 0; d < dim; ++d)
        t[static_cast<size_t>(d)] = st->sums[c][d] + static_cast<int64_t>(weight) * (frame[d] - mean[static_cast<size_t>(d)]);
    // One halving as a rule; more when a wide weight would still leave a
    // value out of range.
    const int32_t divisor = halvingDivisor(count, kAMFLimit - 1, t.data(), dim);
    for (int32_t d = 0; d < dim; ++d)
        st->sums[c][d] = static_cast<int16_t>(t[static_cast<size_t>(d)] / divisor);
    st->counts[c] = static_cast<int16_t>(count / divisor);
    st->priorCounts[c] = static_cast<int16_t>(st->priorCounts[c] / divisor);
    return 1;
}

void AM_AMFFreeAccumulators(AM* am)
{
    AMFAccumulators* acc = am->amf;
    if (acc == nullptr)
        return;
    for (uint32_t s = 0; s < acc->stateCount; ++s)
        freeState(acc->states[s]);
    DVKMem_Free(acc->states);
    DVKMem_Free(acc);
    am->amf = nullptr;
}

uint32_t AM_AdaptModelsUsingMAP(AM* am)
{
    if (!am->adaptable || !am->fastDecoderOption || am->amf == nullptr)
        return 1;
    return AM_AdaptModelsUsingMAPPriv(am);
}

uint32_t AM_AdaptModelsUsingMAPPriv(AM* am)
{
    AMFAccumulators* acc = am->amf;
    if (acc == nullptr || acc->accumulateOnly || acc->mllrPending)
        return 0;
    if (acc->treeSmoothing &&
        static_cast<int64_t>(acc->nonSilenceFrames) - acc->skippedFrames > static_cast<int64_t>(acc->minTreeFrames) &&
        !AM_AMFSmoothAllTrees(am))
        return 0;
    for (uint32_t s = 0; s < acc->stateCount; ++s)
        AM_MAPUpdateState(am, static_cast<int32_t>(s));
    AM_PointAtAdaptedCopies(am);
    return 1;
}

void AM_MAPUpdateState(AM* am, int32_t state)
{
    AMFStateAccumulator* st = stateAccumulator(am, state);
    if (st == nullptr)
        return;
    const int32_t dim = am->featureDim;
    const int32_t lo = am->lowFeature;
    const int32_t hi = std::max(am->lowFeature, am->highFeature);
    const int64_t r = hi - lo;
    std::vector<uint8_t> old(static_cast<size_t>(dim)), moved(static_cast<size_t>(dim));
    for (uint32_t c = 0; c < st->componentCount; ++c) {
        const int64_t n = st->counts[c];
        // Without data there is nothing to move by; a count not above 0
        // would divide by it.
        if (n <= st->priorCounts[c] || n <= 0 || st->sums[c] == nullptr)
            continue;
        std::memcpy(old.data(), AM_GetComponentMean(am, state, static_cast<int32_t>(c)), old.size());
        for (int32_t d = 0; d < dim; ++d) {
            const int64_t v = (r * n + n / 2 + st->sums[c][d]) / n - r + old[static_cast<size_t>(d)];
            moved[static_cast<size_t>(d)] = static_cast<uint8_t>(std::clamp<int64_t>(v, lo, hi));
        }
        AM_StoreComponentMean(am, state, static_cast<int32_t>(c), moved.data());
        // The statistics now describe the frames around the moved mean, so
        // a later finish on the same frames leaves it where it is.
        rebaseSums(st, c, dim, old.data(), moved.data());
    }
    if (am->innerProduct)
        AM_ComputeStateCompanions(am, state);
}

void AM_MAPUpdateAndFreeState(AM* am, int32_t state)
{
    AMFStateAccumulator* st = stateAccumulator(am, state);
    if (st == nullptr)
        return;
    AM_MAPUpdateState(am, state);
    freeState(st);
    am->amf->states[state] = nullptr;
}

void AM_RebaseAccumulator(AM* am, const uint8_t* mean, int32_t state, int32_t component)
{
    AMFStateAccumulator* st = stateAccumulator(am, state);
    if (st == nullptr || component < 0 || static_cast<uint32_t>(component) >= st->componentCount)
        return;
    const auto c = static_cast<uint32_t>(component);
    const int64_t n = st->counts[c];
    if (n <= st->priorCounts[c] || st->sums[c] == nullptr)
        return;
    const int32_t dim = am->featureDim;
    const uint8_t* m = AM_GetComponentMean(am, state, component);
    const uint32_t weight = BrevitParam_Word(state == am->silenceStateId ? kBrevitParamAdaptCountWeight
                                                                          : kBrevitParamAdaptPriorWeight);
    int64_t p = clip16(static_cast<int64_t>(am->adaptationValue) * static_cast<int64_t>(weight));
    std::vector<int64_t> t(static_cast<size_t>(dim));
    for (int32_t d = 0; d < dim; ++d)
        t[static_cast<size_t>(d)] = st->sums[c][d] - n * (static_cast<int32_t>(mean[d]) - m[d]);
    int64_t total = n + p;
    const int32_t divisor = halvingDivisor(total, kAMFLimit, t.data(), dim);
    for (int32_t d = 0; d < dim; ++d)
        st->sums[c][d] = static_cast<int16_t>(t[static_cast<size_t>(d)] / divisor);
    total /= divisor;
    p /= divisor;
    st->counts[c] = static_cast<int16_t>(total);
    st->priorCounts[c] = static_cast<int16_t>(p);
}

// The statistics of an MLLR run that replaces a mean without MAP after it:
// kept, expressed against the new mean.
void AM_AMFMoveStatistics(AM* am, int32_t state, int32_t component, const uint8_t* oldMean, const uint8_t* newMean)
{
    AMFStateAccumulator* st = stateAccumulator(am, state);
    if (st == nullptr || component < 0 || static_cast<uint32_t>(component) >= st->componentCount)
        return;
    rebaseSums(st, static_cast<uint32_t>(component), am->featureDim, oldMean, newMean);
}

uint32_t AM_ComputeStateAccumulatorCRC(AM* am, int32_t state)
{
    uint32_t crc = 0xFFFFFFFFu;
    const AMFStateAccumulator* st = stateAccumulator(am, state);
    if (st == nullptr)
        return crc;
    crc = DVKCrc_AddInt(st->componentCount, crc);
    crc = DVKCrc_AddArray(st->counts, 2, static_cast<int32_t>(st->componentCount), crc);
    return DVKCrc_AddArray(st->priorCounts, 2, static_cast<int32_t>(st->componentCount), crc);
}

uint32_t AM_ComputeAccumulatorCRC(AM* am, int32_t withState)
{
    (void)withState;   // the accumulators are the state
    uint32_t crc = 0xFFFFFFFFu;
    const AMFAccumulators* acc = am->amf;
    if (acc == nullptr)
        return crc;
    crc = DVKCrc_AddInt(acc->mllrPending, crc);
    crc = DVKCrc_AddInt(acc->nonSilencePrior, crc);
    crc = DVKCrc_AddInt(acc->silencePrior, crc);
    for (uint32_t s = 0; s < acc->stateCount; ++s)
        if (acc->states[s] != nullptr)
            crc = DVKCrc_AddInt(AM_ComputeStateAccumulatorCRC(am, static_cast<int32_t>(s)), crc);
    return crc;
}

void AM_StartEnrollmentSession(AM* am)
{
    (void)am;
}

void AM_EndEnrollmentSession(AM* am)
{
    (void)am;
}
