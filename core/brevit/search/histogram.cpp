#include "core/brevit/search/histogram.h"

#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <algorithm>
#include <cstring>

namespace {

// Largest count a 16-bit bin can hold; a larger sentinel would wrap.
constexpr int32_t kBinMax = 0xFFFF;

}  // namespace

Histogram* Histogram_Create(void)
{
    // A negative word counts as no bins.
    const int32_t words = static_cast<int32_t>(BrevitParam_Word(kBrevitParamHistogramBins));
    const int32_t binCount = std::max(words, 0);
    // One more slot for the sentinel; refuse sizes that wrap 32 bits.
    const uint64_t bytes = (static_cast<uint64_t>(binCount) + 1) * sizeof(uint16_t);
    if (bytes > 0xFFFFFFFFull)
        return nullptr;
    auto* h = static_cast<Histogram*>(DVKMem_Calloc(sizeof(Histogram)));
    if (h == nullptr)
        return nullptr;
    h->binCount = binCount;
    h->bins = static_cast<uint16_t*>(DVKMem_Calloc(static_cast<uint32_t>(bytes)));
    if (h->bins == nullptr) {
        DVKMem_Free(h);
        return nullptr;
    }
    return h;
}

void Histogram_Delete(Histogram* histogram)
{
    if (histogram == nullptr)
        return;
    DVKMem_Free(histogram->bins);
    DVKMem_Free(histogram);
}

void Histogram_Clear(Histogram* histogram)
{
    std::memset(histogram->bins, 0, static_cast<size_t>(histogram->binCount) * sizeof(uint16_t));
    histogram->total = 0;
}

int32_t Histogram_GetPruneThreshold(Histogram* histogram, int32_t cap, int32_t best, int32_t t)
{
    const int32_t binCount = histogram->binCount;
    if (binCount <= best)
        return t;
    const int32_t start = std::max(best, 0);
    // Below the scan start the sentinel would land before it (or before the
    // array) and the answer could pass t: t is the answer then.
    if (t < start)
        return t;
    // The sentinel stops the scan at t; it saturates so that it can never
    // wrap to a count within the cap. The bin gets its count back after the scan.
    const uint16_t sentinel = static_cast<uint16_t>(std::min(cap + 1, kBinMax));
    const int32_t sentinelBin = t < binCount - 1 ? t + 1 : binCount;
    const uint16_t kept = histogram->bins[sentinelBin];
    histogram->bins[sentinelBin] = sentinel;
    int64_t sum = histogram->bins[start];
    int32_t k = start;
    int32_t result = t;
    while (k + 1 <= binCount) {
        sum += histogram->bins[k + 1];
        if (sum > cap) {
            result = std::min(k, t);
            break;
        }
        ++k;
    }
    // The caller may still read that bin this frame.
    histogram->bins[sentinelBin] = kept;
    return result;
}

uint32_t Histogram_ComputeCRC(const Histogram* histogram)
{
    uint32_t crc = DVKCrc_AddValue(static_cast<uint32_t>(histogram->binCount), 4, 0xFFFFFFFFu);
    for (int32_t i = 0; i < histogram->binCount; ++i)
        crc = DVKCrc_AddValue(histogram->bins[i], 2, crc);
    return crc;
}
