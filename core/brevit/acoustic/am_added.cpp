// Added phone models and their storage.
#include "core/brevit/acoustic/am_added.h"

#include "core/brevit/acoustic/am.h"
#include "core/brevit/acoustic/am_params.h"
#include "core/brevit/acoustic/am_scoring.h"
#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_bits.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

namespace {

bool marked(const uint8_t* bits, int32_t i)
{
    return (bits[i / 8] & kDVKBitMasks[i % 8]) != 0;
}

template <typename T>
bool zeroed(T*& p, uint64_t count)
{
    p = static_cast<T*>(DVKMem_Calloc(static_cast<uint32_t>(std::max<uint64_t>(count, 1) * sizeof(T))));
    return p != nullptr;
}

int32_t ipRowWords(const AM* am)
{
    return am->fourBitMeans ? 3 : am->ipStride;
}

} // namespace

int32_t AM_GetNumAddedPhones(const AM* am)
{
    if (!am->hasAddedModels || am->addedValue2 < am->addedValue1)
        return 0;
    return am->addedValue2 - am->addedValue1 + 1;
}

int32_t AM_GetNumTrainedModels(const AM* am)
{
    return am->numPhoneModels - AM_GetNumAddedPhones(am);
}

bool AM_AddedModelsFit(const AM* am)
{
    if (!am->hasAddedModels)
        return true;
    const int64_t S = am->statesPerModel;
    const int64_t added = S * (static_cast<int64_t>(am->addedValue2) - am->addedValue1 + 1);
    // Added phones follow the phonemes; their states follow the trained ones
    // and must be scored; the mean constants sum the first 8 dimensions.
    if (am->addedValue1 != am->numPhonemes || am->addedValue2 < am->addedValue1 ||
        am->featureDim < 8 || am->numStates + added > 65535 ||
        am->numScoredStates < am->numStates + added)
        return false;
    const int32_t phones = AM_GetNumAddedPhones(am);
    const int32_t trained = am->numPhoneModels - phones;
    if (trained < 0)
        return false;
    const auto* rows = static_cast<const uint16_t*>(am->modelToState.data);
    for (int32_t m = 0; m < am->numPhoneModels; ++m)
        for (int32_t s = 0; s < S; ++s) {
            const uint16_t id = rows[static_cast<size_t>(m) * static_cast<size_t>(S) + s];
            const bool ok = m < trained ? id < am->numStates
                                        : id == AM_GetAddedStateId(am, am->addedValue1 + m - trained, s);
            if (!ok)
                return false;
        }
    return true;
}

int32_t AM_AllocAddedModels(AM* am)
{
    if (am->addedMeans != nullptr || am->addedIpMeans != nullptr)
        return 1;
    const int32_t phones = AM_GetNumAddedPhones(am);
    am->addedStateCount = am->statesPerModel * phones;
    const uint64_t states = static_cast<uint64_t>(std::max(am->addedStateCount, 0));
    if (!zeroed(am->addedPhoneMarks, static_cast<uint64_t>(am->addedValue2) / 8 + 1) ||
        !zeroed(am->addedStateMarks, (states + 7) / 8))
        return 0;
    if (!am->innerProduct)
        return zeroed(am->addedMeans, states * static_cast<uint64_t>(am->meanStride)) ? 1 : 0;
    if (!zeroed(am->addedIpMeans, states * static_cast<uint64_t>(ipRowWords(am))))
        return 0;
    if (am->fourBitMeans)
        return zeroed(am->addedFirst16, states) &&
                       (!am->threshold || zeroed(am->addedSecond16, states))
                   ? 1
                   : 0;
    return zeroed(am->addedFirst32, states) && (!am->threshold || zeroed(am->addedSecond32, states))
               ? 1
               : 0;
}

void AM_FreeAddedModels(AM* am)
{
    for (void* p : {static_cast<void*>(am->addedPhoneMarks), static_cast<void*>(am->addedStateMarks),
                    static_cast<void*>(am->addedMeans), static_cast<void*>(am->addedIpMeans),
                    static_cast<void*>(am->addedFirst32), static_cast<void*>(am->addedSecond32),
                    static_cast<void*>(am->addedFirst16), static_cast<void*>(am->addedSecond16)})
        DVKMem_Free(p);
    am->addedPhoneMarks = am->addedStateMarks = am->addedMeans = nullptr;
    am->addedIpMeans = nullptr;
    am->addedFirst32 = am->addedSecond32 = nullptr;
    am->addedFirst16 = am->addedSecond16 = nullptr;
    am->addedStateCount = 0;
}

int32_t AM_MarkAddedPhone(AM* am, int32_t phone)
{
    if (!am->hasAddedModels || am->addedPhoneMarks == nullptr || phone > am->addedValue2 ||
        phone < am->addedValue1 || marked(am->addedPhoneMarks, phone))
        return 0;
    am->addedPhoneMarks[phone / 8] =
        static_cast<uint8_t>(am->addedPhoneMarks[phone / 8] | kDVKBitMasks[phone % 8]);
    return 1;
}

void AM_UnmarkAddedPhone(AM* am, int32_t phone)
{
    if (am->addedPhoneMarks == nullptr || phone < 0 || phone > am->addedValue2)
        return;
    am->addedPhoneMarks[phone / 8] =
        static_cast<uint8_t>(am->addedPhoneMarks[phone / 8] & ~kDVKBitMasks[phone % 8]);
}

uint16_t AM_GetAddedStateId(const AM* am, int32_t phone, int32_t position)
{
    return static_cast<uint16_t>(am->numStates + am->statesPerModel * (phone - am->addedValue1) +
                                 position);
}

void AM_SetComponentMean(AM* am, int32_t state, int32_t component, const uint8_t* mean)
{
    const int32_t row = state - am->numStates;
    // Added states have one component; anything else is not added storage.
    if (row < 0 || row >= am->addedStateCount || component != 0 || am->addedStateMarks == nullptr)
        return;
    am->addedStateMarks[row / 8] =
        static_cast<uint8_t>(am->addedStateMarks[row / 8] | kDVKBitMasks[row % 8]);
    AM_StoreComponentMean(am, state, component, mean);
    if (!am->innerProduct)
        return;
    int64_t low = 0;
    int64_t high = 0;
    for (int32_t d = 0; d < am->featureDim; ++d)
        (d < 8 ? low : high) += static_cast<int64_t>(mean[d]) * mean[d];
    const int64_t first = am->threshold ? low : low + high;
    if (am->addedFirst16 != nullptr)
        am->addedFirst16[row] = static_cast<int16_t>(first);
    if (am->addedSecond16 != nullptr)
        am->addedSecond16[row] = static_cast<int16_t>(high);
    if (am->addedFirst32 != nullptr)
        am->addedFirst32[row] = static_cast<int32_t>(first);
    if (am->addedSecond32 != nullptr)
        am->addedSecond32[row] = static_cast<int32_t>(high);
}

int32_t AM_DeleteTrainedModels(AM* am, const uint8_t* flags)
{
    if (am == nullptr || flags == nullptr || !am->hasAddedModels)
        return 0;
    // The flags are the word list's use counts of its recognition phonemes,
    // one per added phone up to the list's own count.
    const int32_t listed = static_cast<int32_t>(BrevitParam_Word(kBrevitParamRecogPhonemeSlots));
    const int32_t n = std::min(listed, AM_GetNumAddedPhones(am));
    auto* zero = static_cast<uint8_t*>(
        DVKMem_Calloc(static_cast<uint32_t>(std::max(am->featureDim, 1))));
    if (zero == nullptr)
        return 0;
    for (int32_t i = 0; i < n; ++i) {
        const int32_t phone = am->addedValue1 + i;
        if (flags[i] != 255 || am->addedPhoneMarks == nullptr ||
            !marked(am->addedPhoneMarks, phone))
            continue;
        for (int32_t s = 0; s < am->statesPerModel; ++s)
            AM_SetComponentMean(am, AM_GetAddedStateId(am, phone, s), 0, zero);
        AM_UnmarkAddedPhone(am, phone);
    }
    DVKMem_Free(zero);
    return 1;
}
