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

// Byte (or 4-bit pair) mean row of a component by the state's table set.
inline const uint8_t* meanRow(const AM* am, int32_t state, int32_t c)
{
    const uint8_t* table =
        firstSet(am, state) ? static_cast<const uint8_t*>(am->means.data) : am->means2;
    return table + static_cast<size_t>(c) * static_cast<uint32_t>(am->meanStride);
}

inline int32_t rowWords(const AM* am)
{
    return am->fourBitMeans ? 3 : am->ipStride;
}

// Inner-product row; the first-set kernels never read the second set.
inline const uint32_t* ipRow(const AM* am, int32_t state, int32_t c, bool bothSets)
{
    const uint32_t* table = bothSets && !firstSet(am, state)
                                ? am->ipMeans2
                                : static_cast<const uint32_t*>(am->ipMeans.data);
    return table + static_cast<size_t>(c) * static_cast<uint32_t>(rowWords(am));
}

// Per-component constants: 32-bit, or signed 16-bit with 4-bit means.
inline uint32_t companion(const AM* am, const void* first, const void* second, int32_t state,
                          int32_t c, bool bothSets)
{
    const void* table = bothSets && !firstSet(am, state) ? second : first;
    if (table == nullptr)
        return 0;
    if (am->fourBitMeans)
        return static_cast<uint32_t>(static_cast<int32_t>(static_cast<const int16_t*>(table)[c]));
    return static_cast<uint32_t>(static_cast<const int32_t*>(table)[c]);
}

inline uint32_t constant1(const AM* am, int32_t state, int32_t c, bool bothSets)
{
    return companion(am, am->companions1.data, am->companions1Second, state, c, bothSets);
}

inline uint32_t constant2(const AM* am, int32_t state, int32_t c, bool bothSets)
{
    return companion(am, am->companions2.data, am->companions2Second, state, c, bothSets);
}

inline uint32_t rowConstant(const AM* am, int32_t row)
{
    return am->rowConstants.data != nullptr
               ? static_cast<uint32_t>(static_cast<const int32_t*>(am->rowConstants.data)[row])
               : 0;
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
// kNoDistance for a state without components. Extra states have no
// parameters here and score as empty.
template <typename Distance>
uint32_t minimumDistance(const AM* am, int32_t state, Distance&& distance)
{
    uint32_t best = kNoDistance;
    if (state >= am->numStates)
        return best;
    const int32_t n = AM_GetNumComponents(am, state);
    const int32_t first = AM_GetFirstComponent(am, state);
    for (int32_t k = 0; k < n; ++k) {
        const uint32_t d = distance(first + k);
        if (below(d, best))
            best = d;
    }
    return best;
}

inline int32_t componentIndex(const AM* am, int32_t state, int32_t component)
{
    return AM_GetFirstComponent(am, state) + component;
}

} // namespace am_kernel
