// Weighted distances over 16-bit inverse-variance rows and byte means: the
// reference family that scales by the weighted-distance rule.
#include "core/brevit/acoustic/am_kernel_util.h"
#include "core/brevit/acoustic/am_scoring.h"

using namespace am_kernel;

namespace {

uint32_t weightedDistance(const AM* am, int32_t state, int32_t component)
{
    const int32_t row = AM_WeightRowIndex(am, state, component);
    const uint16_t* w = static_cast<const uint16_t*>(am->invVar16.data) +
                        static_cast<size_t>(row) * static_cast<uint32_t>(am->varStride);
    const uint8_t* m = meanRow(am, state, component);
    const uint8_t* x = am->featureCopy;
    uint32_t dist = weightConstant(am, state, row);
    for (int32_t d = 0; d < am->featureDim; ++d) {
        const uint32_t diff = static_cast<uint32_t>(m[d] - x[d]);
        dist += w[d] * (diff * diff);
    }
    return dist;
}

} // namespace

uint32_t AM_ShiftRight(uint32_t value, int64_t shift)
{
    return shift < 0 || shift >= 32 ? 0 : value >> shift;
}

int32_t AM_ScaleWeightedDistance(const AM* am, uint32_t distance)
{
    const uint32_t scaled =
        static_cast<uint32_t>(am->roundingWord / 2) +
        static_cast<uint32_t>(am->scoreMultiplier) * AM_ShiftRight(distance, int64_t{am->scoreShift} - 2);
    const auto cost = static_cast<int32_t>(AM_ShiftRight(scaled, int64_t{am->scoreShift} + 2));
    return static_cast<int16_t>(cost < am->scoreCeiling ? cost : am->scoreCeiling);
}

int32_t AM_ScaleScalarDistance(const AM* am, uint32_t distance)
{
    const uint32_t scaled = static_cast<uint32_t>(am->roundingWord / 2) +
                            static_cast<uint32_t>(am->scoreMultiplier) * distance;
    const auto cost = static_cast<int32_t>(AM_ShiftRight(scaled, am->scoreShift));
    return static_cast<int16_t>(cost < am->scoreCeiling ? cost : am->scoreCeiling);
}

int32_t AM_WeightRowIndex(const AM* am, int32_t state, int32_t component)
{
    // Added states have no weight row of their own: they take the first.
    if (state >= am->numStates)
        return 0;
    switch (am->covType) {
    case 4:
        return component;
    case 3:
        return state;
    default:
        return 0;
    }
}

int32_t AM_CalculateScoreCSV(AM* am, int32_t state)
{
    return AM_ScaleWeightedDistance(
        am, minimumDistance(am, state, [&](int32_t c) { return weightedDistance(am, state, c); }));
}

int32_t AM_CalculateComponentScoreCSV(AM* am, int32_t state, int32_t component)
{
    const int32_t c = componentOf(am, state, component);
    return AM_ScaleWeightedDistance(am, c < 0 ? kNoDistance : weightedDistance(am, state, c));
}

int32_t AM_CalculateFullScore(AM* am, int32_t state)
{
    const int32_t n = AM_GetNumComponents(am, state);
    int32_t best = kAMNotComputed;
    for (int32_t k = 0; k < n; ++k) {
        const auto cost = static_cast<int16_t>(am->componentKernel(am, state, k));
        if (cost < best)
            best = cost;
    }
    return best < am->scoreCeiling ? best : am->scoreCeiling;
}
