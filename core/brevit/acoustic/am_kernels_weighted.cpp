// Kernels with per-dimension weights: threshold, byte-weight, 36-dimension
// pruning, 4-bit and expanded (Turtle/Hare) forms.
#include "core/brevit/acoustic/am_kernel_util.h"
#include "core/brevit/acoustic/am_kernels.h"

using namespace am_kernel;

namespace {

// Weighted squared differences of dimensions [from, to).
template <typename W>
uint32_t weighted(const W* w, const uint8_t* m, const uint8_t* x, int32_t from, int32_t to)
{
    uint32_t sum = 0;
    for (int32_t d = from; d < to; ++d) {
        const auto diff = static_cast<uint32_t>(m[d] - x[d]);
        sum += static_cast<uint32_t>(w[d]) * (diff * diff);
    }
    return sum;
}

const uint16_t* row16(const AM* am, int32_t row)
{
    return static_cast<const uint16_t*>(am->invVar16.data) +
           static_cast<size_t>(row) * static_cast<uint32_t>(am->varStride);
}

const uint8_t* row8(const AM* am, int32_t row)
{
    return static_cast<const uint8_t*>(am->invVarByte.data) +
           static_cast<size_t>(row) * static_cast<uint32_t>(am->varStride);
}

// Head of dimensions 0-7 against T; past it the penalty stands for the rest.
template <typename W>
uint32_t thresholded(const AM* am, const W* w, const uint8_t* m, uint32_t constant)
{
    const int32_t head = std::min<int32_t>(8, am->featureDim);
    const uint32_t h = weighted(w, m, am->featureCopy, 0, head);
    if (static_cast<int32_t>(h) > am->partialThreshold)
        return constant + h + static_cast<uint32_t>(am->backoffPenalty);
    return constant + h + weighted(w, m, am->featureCopy, head, am->featureDim);
}

uint32_t csvByteDistance(const AM* am, int32_t state, int32_t c)
{
    const int32_t row = AM_WeightRowIndex(am, state, c);
    return weightConstant(am, state, row) +
           weighted(row8(am, row), meanRow(am, state, c), am->featureCopy, 0, am->featureDim);
}

uint32_t csv4BDistance(const AM* am, int32_t state, int32_t c)
{
    const int32_t row = AM_WeightRowIndex(am, state, c);
    const uint8_t* w = row8(am, row);
    const uint8_t* m = meanRow(am, state, c);
    const uint8_t* x = am->featureCopy;
    uint32_t sum = weightConstant(am, state, row);
    for (int32_t d = 0; d < am->featureDim; ++d) {
        const int32_t shift = 4 * (d % 2);
        const auto diff = static_cast<uint32_t>(((m[d / 2] >> shift) & 0x0F) - x[d]);
        sum += static_cast<uint32_t>((w[d / 2] >> shift) & 0x0F) * (diff * diff);
    }
    return sum;
}

// Stages 0-7, 8-15 (+ constant), 16-23, 24-35 of a byte-weight component.
void stages(const AM* am, int32_t state, int32_t c, uint32_t sums[4])
{
    const int32_t row = AM_WeightRowIndex(am, state, c);
    const uint8_t* w = row8(am, row);
    const uint8_t* m = meanRow(am, state, c);
    const uint8_t* x = am->featureCopy;
    sums[0] = weighted(w, m, x, 0, 8);
    sums[1] = sums[0] + weightConstant(am, state, row) + weighted(w, m, x, 8, 16);
    sums[2] = sums[1] + weighted(w, m, x, 16, 24);
    sums[3] = sums[2] + weighted(w, m, x, 24, 36);
}

// The products p of a Hare/Turtle component in dimension order.
uint32_t product(const uint32_t* p, int32_t d)
{
    const uint32_t word = p[2 * (d / 4) + (d % 2)];
    return (d % 4) >= 2 ? word >> 16 : word & 0xFFFF;
}

const uint32_t* htRow(const AM* am, int32_t c)
{
    return htVectors(am) + static_cast<size_t>(c) * static_cast<uint32_t>(am->htLength);
}

// An added state keeps a byte mean, not the expanded form: it is scored as
// a byte-weight component over the first weight row, without a constant.
uint32_t htAddedDistance(const AM* am, int32_t c)
{
    const auto* w = static_cast<const uint8_t*>(am->htWeights.data);
    return weighted(w, am->addedMeans + static_cast<size_t>(c) * static_cast<uint32_t>(am->meanStride),
                    am->featureCopy, 0, am->featureDim);
}

const uint8_t* htWeights(const AM* am, int32_t state, int32_t c)
{
    return static_cast<const uint8_t*>(am->htWeights.data) +
           static_cast<size_t>(AM_WeightRowIndex(am, state, c)) * static_cast<uint32_t>(am->meanStride);
}

uint32_t turtleDistance(const AM* am, int32_t state, int32_t c)
{
    if (extra(am, state))
        return htAddedDistance(am, c);
    const uint32_t* p = htRow(am, c);
    const uint8_t* v = htWeights(am, state, c);
    uint32_t sum = htValues(am)[c];
    for (int32_t d = 0; d < am->featureDim; ++d)
        sum += static_cast<uint32_t>(am->htSquares[d]) * v[d] - 2u * am->featureCopy[d] * product(p, d);
    return sum;
}

uint32_t hareDistance(const AM* am, int32_t state, int32_t c)
{
    if (extra(am, state))
        return htAddedDistance(am, c);
    const uint32_t* m = htRow(am, c);
    const auto* v = static_cast<const uint32_t*>(am->htWeights.data) +
                    static_cast<size_t>(AM_WeightRowIndex(am, state, c)) * static_cast<uint32_t>(am->ipStride);
    const uint32_t* s = am->htPackedSquares;
    const uint32_t* f = am->ipWork;
    uint32_t sum = htValues(am)[c];
    for (int32_t k = 0; k < 9; ++k) {
        sum += (((v[k] & 0x00FF00FFu) * s[2 * k]) >> 16) + ((((v[k] >> 8) & 0x00FF00FFu) * s[2 * k + 1]) >> 16);
        sum -= ((m[2 * k] * (f[k] & 0x00FF00FFu)) >> 15) + ((m[2 * k + 1] * ((f[k] >> 8) & 0x00FF00FFu)) >> 15);
    }
    return sum;
}

int32_t scaleW(const AM* am, uint32_t d)
{
    return AM_ScaleWeightedDistance(am, d);
}

// Weighted-distance scaling without the clip to the score ceiling.
int32_t scaleWUnclipped(const AM* am, uint32_t distance)
{
    const uint32_t scaled =
        static_cast<uint32_t>(am->roundingWord / 2) +
        static_cast<uint32_t>(am->scoreMultiplier) * AM_ShiftRight(distance, int64_t{am->scoreShift} - 2);
    return static_cast<int16_t>(AM_ShiftRight(scaled, int64_t{am->scoreShift} + 2));
}

} // namespace

int32_t AM_CalculateScoreCSVThreshold(AM* am, int32_t state)
{
    return scaleW(am, minimumDistance(am, state, [&](int32_t c) {
        const int32_t row = AM_WeightRowIndex(am, state, c);
        return thresholded(am, row16(am, row), meanRow(am, state, c), weightConstant(am, state, row));
    }));
}

int32_t AM_CalculateScoreCSVByte(AM* am, int32_t state)
{
    return scaleW(am, minimumDistance(am, state, [&](int32_t c) { return csvByteDistance(am, state, c); }));
}

int32_t AM_CalculateScoreCSVByteThreshold(AM* am, int32_t state)
{
    return scaleW(am, minimumDistance(am, state, [&](int32_t c) {
        const int32_t row = AM_WeightRowIndex(am, state, c);
        return thresholded(am, row8(am, row), meanRow(am, state, c), weightConstant(am, state, row));
    }));
}

int32_t AM_CalculateScoreCSVByte36(AM* am, int32_t state)
{
    int32_t first = 0;
    const int32_t n = componentRange(am, state, &first);
    // An empty state costs what an empty state costs in the family.
    if (n < 1)
        return scaleW(am, kNoDistance);
    auto bound = static_cast<int32_t>(am->distanceCeiling);
    uint32_t sums[4];
    for (int32_t k = 0; k < n; ++k) {
        stages(am, state, first + k, sums);
        if (!(bound >= static_cast<int32_t>(sums[0])) || !(bound > static_cast<int32_t>(sums[1])) ||
            !(bound > static_cast<int32_t>(sums[2])))
            continue;
        bound = std::min(bound, static_cast<int32_t>(sums[3]));
    }
    return scaleWUnclipped(am, static_cast<uint32_t>(bound));
}

int32_t AM_CalculateScoreCSVByteThreshold36(AM* am, int32_t state)
{
    int32_t first = 0;
    const int32_t n = componentRange(am, state, &first);
    if (n < 1)
        return scaleW(am, kNoDistance);
    int32_t prune = am->partialThreshold;
    auto best = static_cast<int32_t>(am->distanceCeiling);
    uint32_t sums[4];
    for (int32_t k = 0; k < n; ++k) {
        stages(am, state, first + k, sums);
        if (!(prune >= static_cast<int32_t>(sums[0])) || !(best > static_cast<int32_t>(sums[1])) ||
            !(best > static_cast<int32_t>(sums[2])))
            continue;
        const auto sum = static_cast<int32_t>(sums[3]);
        if (sum < best) {
            best = sum;
            prune = std::min(prune, sum);
        }
    }
    return scaleWUnclipped(am, static_cast<uint32_t>(best));
}

int32_t AM_CalculateComponentScoreCSVByte(AM* am, int32_t state, int32_t component)
{
    const int32_t c = componentOf(am, state, component);
    return scaleW(am, c < 0 ? kNoDistance : csvByteDistance(am, state, c));
}

int32_t AM_CalculateScoreCSV4B(AM* am, int32_t state)
{
    return scaleW(am, minimumDistance(am, state, [&](int32_t c) { return csv4BDistance(am, state, c); }));
}

int32_t AM_CalculateComponentScoreCSV4B(AM* am, int32_t state, int32_t component)
{
    const int32_t c = componentOf(am, state, component);
    return scaleW(am, c < 0 ? kNoDistance : csv4BDistance(am, state, c));
}

int32_t AM_CalculateScoreCSVInnerProductTurtle(AM* am, int32_t state)
{
    return scaleW(am, minimumDistance(am, state, [&](int32_t c) { return turtleDistance(am, state, c); }));
}

int32_t AM_CalculateComponentScoreCSVInnerProductTurtle(AM* am, int32_t state, int32_t component)
{
    const int32_t c = componentOf(am, state, component);
    return scaleW(am, c < 0 ? kNoDistance : turtleDistance(am, state, c));
}

int32_t AM_CalculateScoreCSVInnerProductHare(AM* am, int32_t state)
{
    return scaleW(am, minimumDistance(am, state, [&](int32_t c) { return hareDistance(am, state, c); }));
}

int32_t AM_CalculateComponentScoreCSVInnerProductHare(AM* am, int32_t state, int32_t component)
{
    const int32_t c = componentOf(am, state, component);
    return scaleW(am, c < 0 ? kNoDistance : hareDistance(am, state, c));
}
