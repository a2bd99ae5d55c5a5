// Shared pieces of the scoring kernels: row addressing, the word products of
// the inner-product forms, the nibble distance and the minimum over a
// state's components. Arithmetic wraps in unsigned 32 bits; distances are
// compared as signed 32-bit values.
#pragma once

#include "core/brevit/acoustic/am_scoring.h"

#include <algorithm>
#include <cstdint>

namespace am_kernel {

inline constexpr uint32_t kNoDistance = 0x40000000u;

inline bool firstSet(const AM* am, int32_t state)
{
    return state < am->firstAdaptableState;
}

// States past the trained ones are added phone states when the model keeps
// storage for them; any other such state has no parameters and scores as
// empty. Below, the component index c of an added state is its row in the
// added-model arrays.
inline bool extra(const AM* am, int32_t state)
{
    return state >= am->numStates;
}

// Row of an added state in the added-model arrays, -1 for any other state.
inline int32_t addedRow(const AM* am, int32_t state)
{
    const int32_t row = state - am->numStates;
    const bool stored = am->addedMeans != nullptr || am->addedIpMeans != nullptr;
    return row >= 0 && row < am->addedStateCount && stored ? row : -1;
}

// The component index of (state, component), or -1 when the state has no
// such component to score (an extra state that is not added, or a component
// other than an added state's single one).
inline int32_t componentOf(const AM* am, int32_t state, int32_t component)
{
    if (extra(am, state))
        return component == 0 ? addedRow(am, state) : -1;
    return AM_GetFirstComponent(am, state) + component;
}

// The component count of a state and, through first, its first component.
inline int32_t componentRange(const AM* am, int32_t state, int32_t* first)
{
    if (extra(am, state)) {
        *first = addedRow(am, state);
        return *first >= 0 ? 1 : 0;
    }
    *first = AM_GetFirstComponent(am, state);
    return AM_GetNumComponents(am, state);
}

// Byte (or 4-bit pair) mean row of a component by the state's table set.
inline const uint8_t* meanRow(const AM* am, int32_t state, int32_t c)
{
    const uint8_t* table = extra(am, state)      ? am->addedMeans
                           : firstSet(am, state) ? static_cast<const uint8_t*>(am->means.data)
                                                 : am->means2;
    return table + static_cast<size_t>(c) * static_cast<uint32_t>(am->meanStride);
}

inline int32_t rowWords(const AM* am)
{
    return am->fourBitMeans ? 3 : am->ipStride;
}

// Inner-product row; the first-set kernels never read the second set.
// Added states are served only by the kernels of both sets, which callers
// ask for with bothSets.
inline const uint32_t* ipRow(const AM* am, int32_t state, int32_t c, bool bothSets)
{
    const uint32_t* table = extra(am, state)                  ? am->addedIpMeans
                            : bothSets && !firstSet(am, state) ? am->ipMeans2
                                                               : static_cast<const uint32_t*>(am->ipMeans.data);
    return table + static_cast<size_t>(c) * static_cast<uint32_t>(rowWords(am));
}

// Per-component constants: 32-bit, or signed 16-bit with 4-bit means; added
// states keep theirs in the form the model keeps.
inline uint32_t companion(const AM* am, const void* first, const void* second, const void* added,
                          int32_t state, int32_t c, bool bothSets)
{
    const void* table = extra(am, state) ? added : bothSets && !firstSet(am, state) ? second : first;
    if (table == nullptr)
        return 0;
    if (am->fourBitMeans)
        return static_cast<uint32_t>(static_cast<int32_t>(static_cast<const int16_t*>(table)[c]));
    return static_cast<uint32_t>(static_cast<const int32_t*>(table)[c]);
}

inline uint32_t constant1(const AM* am, int32_t state, int32_t c, bool bothSets)
{
    const void* added = am->fourBitMeans ? static_cast<const void*>(am->addedFirst16)
                                         : static_cast<const void*>(am->addedFirst32);
    return companion(am, am->companions1.data, am->companions1Second, added, state, c, bothSets);
}

inline uint32_t constant2(const AM* am, int32_t state, int32_t c, bool bothSets)
{
    const void* added = am->fourBitMeans ? static_cast<const void*>(am->addedSecond16)
                                         : static_cast<const void*>(am->addedSecond32);
    return companion(am, am->companions2.data, am->companions2Second, added, state, c, bothSets);
}

inline uint32_t rowConstant(const AM* am, int32_t row)
{
    return am->rowConstants.data != nullptr
               ? static_cast<uint32_t>(static_cast<const int32_t*>(am->rowConstants.data)[row])
               : 0;
}

// The constant of a weight row: an added state has no row of its own, so
// where rows belong to states or components (types 3 and 4) it takes none;
// the shared constant of a global row applies to it as to every state.
inline uint32_t weightConstant(const AM* am, int32_t state, int32_t row)
{
    if (extra(am, state) && (am->covType == 3 || am->covType == 4))
        return 0;
    return rowConstant(am, row);
}

// The Hare/Turtle arrays scored: the adapted copies once they exist, for
// every state.
inline const uint32_t* htValues(const AM* am)
{
    return am->adaptedHtValues != nullptr ? am->adaptedHtValues
                                          : static_cast<const uint32_t*>(am->htValues.data);
}

inline const uint32_t* htVectors(const AM* am)
{
    return am->adaptedHtVectors != nullptr ? am->adaptedHtVectors
                                           : static_cast<const uint32_t*>(am->htVectors.data);
}

inline uint32_t P(uint32_t w, uint32_t f)
{
    return ((w & 0x00FF00FFu) * (f & 0x00FF00FFu) + ((w >> 8) & 0x00FF00FFu) * ((f >> 8) & 0x00FF00FFu)) >> 15;
}

inline uint32_t P4(uint32_t w, uint32_t f)
{
    uint32_t sum = 0;
    for (int s = 0; s < 16; s += 4)
        sum += ((w >> s) & 0x000F000Fu) * ((f >> s) & 0x000F000Fu);
    return sum >> 15;
}

// Per-nibble absolute differences of two words, each in its nibble.
inline uint32_t nibbleDifferences(uint32_t w, uint32_t f)
{
    const uint32_t a = f > w ? f - w : w - f;
    const uint32_t t = (w ^ f ^ a) & 0x11111111u;
    const uint32_t u = t - (t >> 4);
    return (u + a) ^ u;
}

inline uint32_t nibbleSum(uint32_t d)
{
    return (((d & 0x0F0F0F0Fu) + ((d & 0xF0F0F0F0u) >> 4)) * 0x01010101u) >> 24;
}

inline uint32_t weightedNibbleSum(uint32_t g, uint32_t d)
{
    return (((g & 0x0F0F0F0Fu) * (d & 0x0F0F0F0Fu)) >> 24) +
           ((((g >> 4) & 0x0F0F0F0Fu) * ((d >> 4) & 0x0F0F0F0Fu)) >> 24);
}

inline bool below(uint32_t a, uint32_t b)
{
    return static_cast<int32_t>(a) < static_cast<int32_t>(b);
}

// Minimum of distance(c) over the state's components (component indexes),
// kNoDistance for a state without components.
template <typename Distance>
uint32_t minimumDistance(const AM* am, int32_t state, Distance&& distance)
{
    uint32_t best = kNoDistance;
    int32_t first = 0;
    const int32_t n = componentRange(am, state, &first);
    for (int32_t k = 0; k < n; ++k) {
        const uint32_t d = distance(first + k);
        if (below(d, best))
            best = d;
    }
    return best;
}

} // namespace am_kernel
