// Kernels without per-dimension weights (scalar covariance), the Laplacian
// forms, the inner-product word kernels and the raw frame distances.
#include "core/brevit/acoustic/am_kernel_util.h"
#include "core/brevit/acoustic/am_kernels.h"

#include <cstdlib>

using namespace am_kernel;

namespace {

int32_t scaleS(const AM* am, uint32_t v)
{
    return AM_ScaleScalarDistance(am, v);
}

// Means of a component as bytes: the byte row, or the inner-product row.
uint8_t meanByte(const AM* am, int32_t state, int32_t c, int32_t d)
{
    if (am->innerProduct)
        return static_cast<uint8_t>(ipRow(am, state, c, true)[d / 4] >> (8 * (d % 4)));
    return meanRow(am, state, c)[d];
}

// 4-bit pairs, low nibble the even dimension (inner-product nibble rows
// hold the same order in memory).
uint8_t meanNibble(const AM* am, int32_t state, int32_t c, int32_t d)
{
    const uint8_t* row = am->innerProduct
                             ? reinterpret_cast<const uint8_t*>(ipRow(am, state, c, true))
                             : meanRow(am, state, c);
    return (row[d / 2] >> (4 * (d % 2))) & 0x0F;
}

uint32_t squared(int32_t diff)
{
    const auto u = static_cast<uint32_t>(diff);
    return u * u;
}

uint32_t scalarDistance(const AM* am, int32_t state, int32_t c)
{
    uint32_t sum = 0;
    for (int32_t d = 0; d < am->featureDim; ++d)
        sum += squared(meanByte(am, state, c, d) - am->featureCopy[d]);
    return sum;
}

uint32_t scalar4BDistance(const AM* am, int32_t state, int32_t c, bool thresholdTest)
{
    const int32_t head = std::min<int32_t>(8, am->featureDim);
    uint32_t sum = 0;
    for (int32_t d = 0; d < head; ++d)
        sum += squared(meanNibble(am, state, c, d) - am->featureCopy[d]);
    if (thresholdTest && static_cast<int32_t>(sum) > am->partialThreshold)
        return sum + static_cast<uint32_t>(am->backoffPenalty);
    for (int32_t d = head; d < am->featureDim; ++d)
        sum += squared(meanNibble(am, state, c, d) - am->featureCopy[d]);
    return sum;
}

uint32_t products(const AM* am, const uint32_t* w, int32_t from, int32_t to)
{
    uint32_t sum = 0;
    for (int32_t k = from; k < to; ++k)
        sum += P(w[k], am->ipWork[k]);
    return sum;
}

uint32_t products4(const AM* am, const uint32_t* w, int32_t from, int32_t to)
{
    uint32_t sum = 0;
    for (int32_t k = from; k < to; ++k)
        sum += P4(w[k], am->ipWork[k]);
    return sum;
}

// constant - sum of the row's word products over `words` words.
uint32_t ipDistance(const AM* am, int32_t state, int32_t c, int32_t words, bool bothSets)
{
    return constant1(am, state, c, bothSets) - products(am, ipRow(am, state, c, bothSets), 0, words);
}

// The frame energy completes a component's distance; a state without
// components keeps the bare sentinel.
uint32_t withEnergy(const AM* am, int32_t state, uint32_t best)
{
    int32_t first = 0;
    return componentRange(am, state, &first) < 1 ? best : best + am->sumSquares;
}

// The first-set kernels serve no extra states: those score as empty.
int32_t ipState(const AM* am, int32_t state, int32_t words, bool bothSets)
{
    if (!bothSets && extra(am, state))
        return scaleS(am, kNoDistance);
    return scaleS(am, withEnergy(am, state, minimumDistance(am, state, [&](int32_t c) {
                                     return ipDistance(am, state, c, words, bothSets);
                                 })));
}

int32_t ipComponent(const AM* am, int32_t state, int32_t component, int32_t words, bool bothSets)
{
    const int32_t c = componentOf(am, state, component);
    if (c < 0 || (!bothSets && extra(am, state)))
        return scaleS(am, kNoDistance);
    return scaleS(am, ipDistance(am, state, c, words, bothSets) + am->sumSquares);
}

// Head of words 0-1 against the frame threshold T', else the frame penalty.
uint32_t thresholdedIp(const AM* am, int32_t state, int32_t c)
{
    const uint32_t* w = ipRow(am, state, c, true);
    const uint32_t h = constant1(am, state, c, true) - products(am, w, 0, 2);
    if (static_cast<int32_t>(h) > am->frameThreshold)
        return h + static_cast<uint32_t>(am->framePenalty);
    return h + constant2(am, state, c, true) - products(am, w, 2, 6);
}

uint32_t thresholdedIp4(const AM* am, int32_t state, int32_t c)
{
    const uint32_t* w = ipRow(am, state, c, true);
    const uint32_t h = constant1(am, state, c, true) - products4(am, w, 0, 1);
    if (am->threshold && static_cast<int32_t>(h) > am->frameThreshold)
        return h + static_cast<uint32_t>(am->framePenalty);
    return h + constant2(am, state, c, true) - products4(am, w, 1, 3);
}

// Back-off: components whose head passes T' compete; without any, the one
// with the lowest head (the first on ties) is completed.
template <typename Head, typename Tail>
int32_t backoff(const AM* am, int32_t state, Head&& head, Tail&& tail)
{
    int32_t first = 0;
    const int32_t n = componentRange(am, state, &first);
    if (n < 1)
        return scaleS(am, kNoDistance);
    uint32_t best = kNoDistance;
    bool completed = false;
    int32_t lowest = -1;
    uint32_t lowestHead = 0;
    for (int32_t k = 0; k < n; ++k) {
        const int32_t c = first + k;
        const uint32_t h = head(c);
        if (static_cast<int32_t>(h) <= am->frameThreshold) {
            const uint32_t d = h + tail(c);
            if (!completed || below(d, best))
                best = d;
            completed = true;
        } else if (lowest < 0 || below(h, lowestHead)) {
            lowest = c;
            lowestHead = h;
        }
    }
    if (!completed)
        best = lowestHead + tail(lowest);
    return scaleS(am, best + am->sumSquares);
}

uint32_t laplacianWords(const AM* am, int32_t state, int32_t c, bool weighted)
{
    const uint32_t* w = ipRow(am, state, c, true);
    const uint32_t* g = nullptr;
    uint32_t constant = 0;
    if (weighted) {
        const int32_t row = AM_WeightRowIndex(am, state, c);
        g = static_cast<const uint32_t*>(am->var32.data) + static_cast<size_t>(row) * static_cast<uint32_t>(am->varStride);
        constant = weightConstant(am, state, row);
    }
    const auto word = [&](int32_t k) {
        const uint32_t d = nibbleDifferences(w[k], am->laplacianWork[k]);
        return weighted ? weightedNibbleSum(g[k], d) : nibbleSum(d);
    };
    const uint32_t h = word(0);
    if (am->threshold && static_cast<int32_t>(h) > am->partialThreshold)
        return constant + h + static_cast<uint32_t>(am->backoffPenalty);
    return constant + h + word(1) + word(2);
}

uint32_t laplacianDistance(const AM* am, int32_t state, int32_t c, bool scalar)
{
    const uint8_t* m = meanRow(am, state, c);
    uint32_t sum = 0;
    if (scalar) {
        for (int32_t d = 0; d < am->featureDim; ++d)
            sum += static_cast<uint32_t>(std::abs(m[d] - am->featureCopy[d]));
        return sum;
    }
    const int32_t row = AM_WeightRowIndex(am, state, c);
    const uint16_t* w = static_cast<const uint16_t*>(am->invVar16.data) +
                        static_cast<size_t>(row) * static_cast<uint32_t>(am->varStride);
    sum = am->covType == 5 ? 0 : weightConstant(am, state, row);
    for (int32_t d = 0; d < am->featureDim; ++d)
        sum += static_cast<uint32_t>(std::abs(static_cast<int32_t>(w[d]) * (m[d] - am->featureCopy[d])));
    return sum;
}

uint32_t packedSelfProduct(uint32_t w)
{
    const uint32_t r = w << 16 | w >> 16;
    return ((w & 0x00FF00FFu) * (r & 0x00FF00FFu) + ((w >> 8) & 0x00FF00FFu) * ((r >> 8) & 0x00FF00FFu)) >> 16;
}

void sumMeanSquares(AM* am, int32_t state, int32_t component, int32_t tailWords, uint32_t* head,
                    uint32_t* tail)
{
    const int32_t c = componentOf(am, state, component);
    *head = *tail = 0;
    if (c < 0)
        return;
    const uint32_t* w = ipRow(am, state, c, true);
    *head = packedSelfProduct(w[0]) + packedSelfProduct(w[1]);
    *tail = 0;
    for (int32_t k = 2; k < 2 + tailWords; ++k)
        *tail += packedSelfProduct(w[k]);
}

} // namespace

int32_t AM_CalculateComponentScoreScalarCov(AM* am, int32_t state, int32_t component)
{
    const int32_t c = componentOf(am, state, component);
    return scaleS(am, c < 0 ? kNoDistance : scalarDistance(am, state, c));
}

int32_t AM_CalculateComponentScoreScalarCov4B(AM* am, int32_t state, int32_t component)
{
    const int32_t c = componentOf(am, state, component);
    return scaleS(am, c < 0 ? kNoDistance : scalar4BDistance(am, state, c, false));
}

int32_t AM_CalculateScoreScalarCov4B(AM* am, int32_t state)
{
    return scaleS(am, minimumDistance(am, state, [&](int32_t c) {
                          return scalar4BDistance(am, state, c, am->threshold != 0);
                      }));
}

int32_t AM_CalculateComponentScoreLaplacian(AM* am, int32_t state, int32_t component)
{
    const int32_t c = componentOf(am, state, component);
    return scaleS(am, c < 0 ? kNoDistance : laplacianDistance(am, state, c, false));
}

int32_t AM_CalculateComponentScoreLaplacianScalarCov(AM* am, int32_t state, int32_t component)
{
    const int32_t c = componentOf(am, state, component);
    return scaleS(am, c < 0 ? kNoDistance : laplacianDistance(am, state, c, true));
}

int32_t AM_CalculateComponentScoreScalarCovInnerProduct24Simple(AM* am, int32_t state, int32_t component)
{
    return ipComponent(am, state, component, 6, false);
}

int32_t AM_CalculateComponentScoreScalarCovInnerProduct24NonEst(AM* am, int32_t state, int32_t component)
{
    return ipComponent(am, state, component, 6, true);
}

int32_t AM_CalculateComponentScoreScalarCovInnerProduct24(AM* am, int32_t state, int32_t component)
{
    const int32_t c = componentOf(am, state, component);
    if (c < 0)
        return scaleS(am, kNoDistance);
    uint32_t v = ipDistance(am, state, c, 6, true);
    if (am->threshold)
        v += constant2(am, state, c, true);
    return scaleS(am, v + am->sumSquares);
}

int32_t AM_CalculateComponentScoreScalarCovInnerProduct12Simple(AM* am, int32_t state, int32_t component)
{
    return ipComponent(am, state, component, 3, false);
}

int32_t AM_CalculateComponentScoreScalarCovInnerProduct36Simple(AM* am, int32_t state, int32_t component)
{
    return ipComponent(am, state, component, 9, false);
}

int32_t AM_CalculateScoreScalarCovInnerProduct24EvenSimple(AM* am, int32_t state)
{
    return ipState(am, state, 6, false);
}

int32_t AM_CalculateScoreScalarCovInnerProduct24OddSimple(AM* am, int32_t state)
{
    return ipState(am, state, 6, false);
}

int32_t AM_CalculateScoreScalarCovInnerProduct24EvenNonEst(AM* am, int32_t state)
{
    return ipState(am, state, 6, true);
}

int32_t AM_CalculateScoreScalarCovInnerProduct24OddNonEst(AM* am, int32_t state)
{
    return ipState(am, state, 6, true);
}

int32_t AM_CalculateScoreScalarCovInnerProduct24Even(AM* am, int32_t state)
{
    return scaleS(am, withEnergy(am, state, minimumDistance(am, state, [&](int32_t c) {
                                     return thresholdedIp(am, state, c);
                                 })));
}

int32_t AM_CalculateScoreScalarCovInnerProduct24Odd(AM* am, int32_t state)
{
    return scaleS(am, minimumDistance(am, state, [&](int32_t c) {
        const uint32_t* w = ipRow(am, state, c, true);
        const uint32_t h = am->sumSquaresHead + constant1(am, state, c, true) - products(am, w, 0, 2);
        if (static_cast<int32_t>(h) > am->partialThreshold)
            return h + static_cast<uint32_t>(am->backoffPenalty);
        return h + am->sumSquaresTail + constant2(am, state, c, true) - products(am, w, 2, 6);
    }));
}

int32_t AM_CalculateScoreScalarCovInnerProduct24Backoff(AM* am, int32_t state)
{
    return backoff(
        am, state,
        [&](int32_t c) { return constant1(am, state, c, true) - products(am, ipRow(am, state, c, true), 0, 2); },
        [&](int32_t c) { return constant2(am, state, c, true) - products(am, ipRow(am, state, c, true), 2, 6); });
}

int32_t AM_CalculateScoreScalarCovInnerProduct12EvenSimple(AM* am, int32_t state)
{
    return ipState(am, state, 3, false);
}

int32_t AM_CalculateScoreScalarCovInnerProduct12Odd(AM* am, int32_t state)
{
    return ipState(am, state, 3, true);
}

int32_t AM_CalculateScoreScalarCovInnerProduct36Simple(AM* am, int32_t state)
{
    return ipState(am, state, 9, false);
}

int32_t AM_SimpleGeneralWords(const AM* am)
{
    switch (am->meanStride) {
    case 28:
        return 7;
    case 32:
        return 8;
    case 36:
        return 9;
    default:
        return 6;
    }
}

int32_t AM_CalculateScoreScalarCovInnerProductSimpleGeneral(AM* am, int32_t state)
{
    return ipState(am, state, AM_SimpleGeneralWords(am), false);
}

int32_t AM_CalculateScoreScalarCovInnerProduct24Even4B(AM* am, int32_t state)
{
    return scaleS(am, withEnergy(am, state, minimumDistance(am, state, [&](int32_t c) {
                                     return thresholdedIp4(am, state, c);
                                 })));
}

int32_t AM_CalculateScoreScalarCovInnerProduct24Even4BNonEst(AM* am, int32_t state)
{
    return scaleS(am, withEnergy(am, state, minimumDistance(am, state, [&](int32_t c) {
                                     return constant1(am, state, c, true) -
                                            products4(am, ipRow(am, state, c, true), 0, 3);
                                 })));
}

int32_t AM_CalculateScoreScalarCovInnerProduct24Backoff4B(AM* am, int32_t state)
{
    return backoff(
        am, state,
        [&](int32_t c) { return constant1(am, state, c, true) - products4(am, ipRow(am, state, c, true), 0, 1); },
        [&](int32_t c) { return constant2(am, state, c, true) - products4(am, ipRow(am, state, c, true), 1, 3); });
}

int32_t AM_CalculateLaplacianScalarCovInnerProduct24Even4B(AM* am, int32_t state)
{
    return scaleS(am, minimumDistance(am, state, [&](int32_t c) { return laplacianWords(am, state, c, false); }));
}

int32_t AM_CalculateLaplacianScalarCovInnerProduct24Component4B(AM* am, int32_t state, int32_t component)
{
    const int32_t c = componentOf(am, state, component);
    return scaleS(am, c < 0 ? kNoDistance : laplacianWords(am, state, c, false));
}

int32_t AM_CalculateLaplacianCSVInnerProduct24Even4B(AM* am, int32_t state)
{
    return scaleS(am, minimumDistance(am, state, [&](int32_t c) { return laplacianWords(am, state, c, true); }));
}

int32_t AM_CalculateLaplacianCSVInnerProduct24Component4B(AM* am, int32_t state, int32_t component)
{
    const int32_t c = componentOf(am, state, component);
    return scaleS(am, c < 0 ? kNoDistance : laplacianWords(am, state, c, true));
}

int32_t fea_GetRawScoreScalarCov(AM* am, const uint8_t* a, const uint8_t* b)
{
    uint32_t sum = 0;
    for (int32_t d = 0; d < am->featureDim; ++d)
        sum += squared(a[d] - b[d]);
    return scaleS(am, sum);
}

int32_t fea_GetRawScoreByCov(AM* am, const uint8_t* a, const uint8_t* b, int32_t state)
{
    const int32_t row = state < am->numStates
                            ? AM_WeightRowIndex(am, state, AM_GetFirstComponent(am, state))
                            : 0;
    if (am->invVar16.data == nullptr)
        return fea_GetRawScoreScalarCov(am, a, b);
    const uint16_t* w = static_cast<const uint16_t*>(am->invVar16.data) +
                        static_cast<size_t>(row) * static_cast<uint32_t>(am->varStride);
    uint32_t sum = rowConstant(am, row);
    for (int32_t d = 0; d < am->featureDim; ++d)
        sum += w[d] * squared(a[d] - b[d]);
    return AM_ScaleWeightedDistance(am, sum);
}

int32_t fea_GetRawScoreByGlobalCov(AM* am, const uint8_t* a, const uint8_t* b)
{
    return fea_GetRawScoreByCov(am, a, b, am->numStates);
}

int32_t fea_GetRawScoreScalarCov4B(AM* am, const uint8_t* a, const uint8_t* b)
{
    uint32_t sum = 0;
    for (int32_t d = 0; d < am->featureDim; ++d)
        sum += squared(((a[d / 2] >> (4 * (d % 2))) & 0x0F) - b[d]);
    return scaleS(am, sum);
}

int32_t fea_GetRawScoreByGlobalCov4B(AM* am, const uint8_t* a, const uint8_t* b)
{
    if (am->invVar16.data == nullptr)
        return fea_GetRawScoreScalarCov4B(am, a, b);
    const auto* w = static_cast<const uint16_t*>(am->invVar16.data);
    uint32_t sum = rowConstant(am, 0);
    for (int32_t d = 0; d < am->featureDim; ++d)
        sum += static_cast<uint32_t>((w[d / 2] >> (4 * (d % 2))) & 0x0F) *
               squared(((a[d / 2] >> (4 * (d % 2))) & 0x0F) - b[d]);
    return AM_ScaleWeightedDistance(am, sum);
}

int32_t AM_GetRawScore(AM* am, const uint8_t* a, const uint8_t* b)
{
    return am->rawScore != nullptr ? static_cast<int16_t>(am->rawScore(am, a, b)) : kAMNotComputed;
}

int32_t AM_GetFrameDistance(const AM* am, const uint8_t* a, const uint8_t* b)
{
    uint32_t sum = 0;
    for (int32_t d = 0; d < am->featureDim; ++d)
        sum += squared(a[d] - b[d]);
    return sum > 32767 ? 32767 : static_cast<int32_t>(sum);
}

void AM_SumMeanSquares24(AM* am, int32_t state, int32_t component, uint32_t* head, uint32_t* tail)
{
    sumMeanSquares(am, state, component, 4, head, tail);
}

void AM_SumMeanSquares12(AM* am, int32_t state, int32_t component, uint32_t* head, uint32_t* tail)
{
    sumMeanSquares(am, state, component, 1, head, tail);
}
