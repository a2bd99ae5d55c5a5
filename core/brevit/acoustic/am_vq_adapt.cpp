#include "core/brevit/acoustic/am_vq_adapt.h"

#include "core/brevit/acoustic/am_vq.h"
#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

// A count or sum past this is halved with its codeword's others.
constexpr int32_t kHalvingLimit = 16384;

const uint32_t* table(const AMArray& a)
{
    return static_cast<const uint32_t*>(a.data);
}

uint32_t codewordCount(const AM* am)
{
    return am->vq.codebookSize > 0 ? table(am->vq.codewordBounds)[am->vq.codebookSize] : 0;
}

template <typename T>
T* zeroed(uint64_t count)
{
    const uint64_t bytes = std::max<uint64_t>(count, 1) * sizeof(T);
    return bytes > 0xFFFFFFFFu ? nullptr : static_cast<T*>(DVKMem_Calloc(static_cast<uint32_t>(bytes)));
}

} // namespace

int32_t AM_VQInitAccumulators(AM* am, int32_t method, int32_t noPrior)
{
    (void)method;   // every method gathers the same statistics
    AM_VQFreeAccumulators(am);
    if (!am->hasVQ)
        return 0;
    const uint32_t prior = noPrior ? 0 : BrevitParam_Word(kBrevitParamAdaptPriorWeight);
    const uint32_t bytes = AM_VQCodebookBytes(am);
    const uint32_t codewords = codewordCount(am);

    auto* acc = zeroed<VQAccumulators>(1);
    if (acc == nullptr)
        return 0;
    acc->sums = zeroed<int16_t>(bytes);
    acc->counts = acc->sums != nullptr ? zeroed<int16_t>(codewords) : nullptr;
    // The copy starts as the active codebook: the update moves it by
    // deviations taken against those values.
    uint8_t* copy = am->vq.adapted;
    if (acc->counts != nullptr && copy == nullptr) {
        copy = zeroed<uint8_t>(bytes);
        if (copy != nullptr && bytes > 0)
            std::memcpy(copy, am->vq.codewords.data, bytes);
    }
    if (copy == nullptr || acc->counts == nullptr) {
        DVKMem_Free(acc->counts);
        DVKMem_Free(acc->sums);
        DVKMem_Free(acc);
        return 0;
    }
    am->vq.adapted = copy;
    am->vq.priorWeight = prior;
    const auto start = static_cast<int16_t>(
        std::clamp<int64_t>(static_cast<int64_t>(am->adaptationValue) * prior, -16384, 16383));
    std::fill(acc->counts, acc->counts + codewords, start);
    am->vq.accumulators = acc;
    return 1;
}

int32_t AM_VQIncrementAccumulator(AM* am, const uint8_t* frame, int32_t state, int32_t component,
                                  int16_t weight)
{
    VQAccumulators* acc = am->vq.accumulators;
    if (acc == nullptr || frame == nullptr || state < 0 || state >= am->numStates || component < 0 ||
        component >= AM_GetNumComponents(am, state))
        return 0;
    const int32_t streams = am->vq.codebookSize;
    const uint32_t* dims = table(am->vq.dimensionBounds);
    const uint32_t* words = table(am->vq.codewordBounds);
    const uint32_t* offsets = table(am->vq.codebookOffsets);
    const uint8_t* labels = static_cast<const uint8_t*>(am->vq.labels.data) +
                            static_cast<size_t>(AM_GetFirstComponent(am, state) + component) *
                                static_cast<uint32_t>(streams);
    const uint8_t* codebook = AM_VQCodebook(am);
    for (int32_t s = 0; s < streams; ++s) {
        const uint32_t width = dims[s + 1] - dims[s];
        const uint32_t k = words[s] + labels[s];
        const size_t base = offsets[s] + static_cast<size_t>(labels[s]) * width;
        const uint8_t* x = frame + dims[s];
        int16_t* sums = acc->sums + base;
        auto sumAt = [&](uint32_t j) { return sums[j] + weight * (x[j] - codebook[base + j]); };
        // Tested in 32 bits, before anything is narrowed.
        const int32_t count = acc->counts[k] + weight;
        int32_t largest = std::abs(count);
        for (uint32_t j = 0; j < width; ++j)
            largest = std::max(largest, std::abs(sumAt(j)));
        int32_t divisor = largest > kHalvingLimit ? 2 : 1;
        // A large weight can leave a value too wide for 16 bits after one halving.
        while (largest / divisor > 32767)
            divisor *= 2;
        for (uint32_t j = 0; j < width; ++j)
            sums[j] = static_cast<int16_t>(sumAt(j) / divisor);
        acc->counts[k] = static_cast<int16_t>(count / divisor);
    }
    return 1;
}

int32_t AM_VQAdaptModelsFromAccumulators(AM* am)
{
    const VQAccumulators* acc = am->vq.accumulators;
    if (acc == nullptr || am->vq.adapted == nullptr)
        return 1;
    const uint32_t* dims = table(am->vq.dimensionBounds);
    const uint32_t* words = table(am->vq.codewordBounds);
    const uint32_t* offsets = table(am->vq.codebookOffsets);
    const double lo = am->lowFeature;
    const double hi = std::max(am->lowFeature, am->highFeature);
    for (int32_t s = 0; s < am->vq.codebookSize; ++s) {
        const uint32_t width = dims[s + 1] - dims[s];
        for (uint32_t k = words[s]; k < words[s + 1]; ++k) {
            const int32_t n = acc->counts[k];
            if (n <= 0)
                continue;
            const size_t base = offsets[s] + static_cast<size_t>(k - words[s]) * width;
            for (uint32_t j = 0; j < width; ++j) {
                uint8_t& byte = am->vq.adapted[base + j];
                const double moved = byte + static_cast<double>(acc->sums[base + j]) / n;
                byte = static_cast<uint8_t>(std::min(std::max(moved, lo), hi));
            }
        }
    }
    // The packed form scores with the norms of the codewords it now holds.
    if (am->vqNorms != nullptr)
        AM_Precompute4ParNorms(am);
    return 1;
}

void AM_VQFreeAccumulators(AM* am)
{
    VQAccumulators* acc = am->vq.accumulators;
    if (acc == nullptr)
        return;
    DVKMem_Free(acc->counts);
    DVKMem_Free(acc->sums);
    DVKMem_Free(acc);
    am->vq.accumulators = nullptr;
}
