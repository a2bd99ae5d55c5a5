#include "core/brevit/frontend/frequency_warp.h"

#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_mem.h"

const int16_t sDestBreak8k[16] = {3999, 3927, 3854, 3781, 3708, 3635, 3562, 3490,
                                  3418, 3345, 3272, 3199, 3126, 3053, 2980, 2907};
const int16_t sDestBreak11k[16] = {5500, 5400, 5300, 5200, 5100, 5000, 4900, 4800,
                                   4700, 4600, 4500, 4400, 4300, 4200, 4100, 4000};
const int16_t sPWWarpValues[5] = {3686, 3891, 4096, 4301, 4506};

namespace {

bool isElevenKilohertz(int32_t rate) { return rate >= 11000 && rate <= 11050; }

int32_t identityIndex(const FrequencyWarp* warp) { return warp->breakMode ? 7 : 0; }

int32_t minIndex(const FrequencyWarp* warp) { return warp->breakMode ? 0 : -2; }

int32_t outputBins(const FrequencyWarp* warp)
{
    return warp->breakMode ? warp->fftSize / 2 + 1 : warp->fftSize / 2;
}

// Entry i reads between source bins p >> 12 and (p >> 12) + 1. The last
// source bin a spectrum offers bounds the index, whatever the arithmetic
// gives at the top edge.
void setEntry(FrequencyWarp* warp, int32_t i, int64_t p)
{
    const int32_t last = warp->fftSize / 2 - 1;
    int64_t j = p >> 12;
    int64_t b = p & 4095;
    if (j < 0) {
        j = 0;
        b = 0;
    } else if (j > last) {
        j = last;
        b = 4096;
    }
    warp->sourceIndex[i] = static_cast<int16_t>(j);
    warp->weightB[i] = static_cast<int16_t>(b);
    warp->weightA[i] = static_cast<int16_t>(4096 - b);
}

void buildBreakAxis(FrequencyWarp* warp, int32_t index)
{
    const int64_t r = warp->sampleRate;
    const int64_t n = warp->fftSize;
    const int64_t s = warp->sourceBreak;
    int64_t d = r / 4;
    if (r == 8000)
        d = sDestBreak8k[index];
    else if (isElevenKilohertz(warp->sampleRate))
        d = sDestBreak11k[index];
    warp->destBreak = static_cast<int32_t>(d);

    const int64_t step = ((d << 12) + s / 2) / s;
    const int64_t low = (r - 1 + s * n) / r;
    const int64_t slope = ((r / 2 - d) << 12) / (r / 2 - s);
    int64_t p = 0;
    for (int32_t i = 0; i < n / 2; ++i) {
        if (i < low) {
            setEntry(warp, i, p);
            p += step;
        } else {
            setEntry(warp, i, (r / 2 + ((n * d) << 12) + slope * (r * i - s * n)) / r);
        }
    }
    const int32_t top = static_cast<int32_t>(n / 2);
    warp->sourceIndex[top] = static_cast<int16_t>(top - 1);
    warp->weightA[top] = 0;
    warp->weightB[top] = 4096;
}

void buildLinearAxis(FrequencyWarp* warp, int32_t index)
{
    const int64_t f = sPWWarpValues[index + 2];
    const int64_t b = (int64_t{warp->destBreak} * warp->fftSize) / warp->sampleRate;
    const int64_t half = warp->fftSize / 2;
    int64_t w = (b * f + 2048) >> 12;
    int64_t u = 0;
    if (w > half)
        w = half;
    else
        u = ((half - w) << 12) / (half - b);
    for (int64_t i = 0; i < half; ++i) {
        if (i < w)
            setEntry(warp, static_cast<int32_t>(i), (i << 24) / f);
        else if (i < half - 1)
            setEntry(warp, static_cast<int32_t>(i), ((i - w) << 24) / u + (b << 12));
    }
    if (w < half) {
        warp->sourceIndex[half - 1] = static_cast<int16_t>(half - 2);
        warp->weightA[half - 1] = 0;
        warp->weightB[half - 1] = 4096;
    }
}

} // namespace

FrequencyWarp* FrequencyWarp_Create(int32_t sampleRate, int32_t fftSize)
{
    auto* warp = static_cast<FrequencyWarp*>(DVKMem_Calloc(sizeof(FrequencyWarp)));
    if (warp == nullptr)
        return nullptr;
    warp->sampleRate = sampleRate;
    warp->fftSize = fftSize;
    warp->breakMode = BrevitParam_Word(kBrevitParamCepstralScale11) != 0;
    if (warp->breakMode) {
        warp->sourceBreak = sampleRate == 8000            ? 3490
                            : isElevenKilohertz(sampleRate) ? 4800
                                                            : sampleRate / 4;
        warp->warpIndex = 7;
    } else {
        warp->destBreak = static_cast<int32_t>(BrevitParam_Word(kBrevitParamLinearWarpBreakHz));
    }
    const int32_t entries = outputBins(warp);
    warp->output = static_cast<uint32_t*>(DVKMem_Calloc(entries * sizeof(uint32_t)));
    warp->sourceIndex = static_cast<int16_t*>(DVKMem_Calloc(entries * sizeof(int16_t)));
    warp->weightA = static_cast<int16_t*>(DVKMem_Calloc(entries * sizeof(int16_t)));
    warp->weightB = static_cast<int16_t*>(DVKMem_Calloc(entries * sizeof(int16_t)));
    // The linear break bin must lie below the top bin, or the upper slope
    // would divide by zero and read past the spectrum.
    const bool axisOk = warp->breakMode
                            ? warp->sourceBreak >= 1
                            : warp->destBreak >= 0 &&
                                  int64_t{warp->destBreak} * fftSize / sampleRate < fftSize / 2;
    if (warp->output == nullptr || warp->sourceIndex == nullptr || warp->weightA == nullptr ||
        warp->weightB == nullptr || !axisOk) {
        FrequencyWarp_Destroy(warp);
        return nullptr;
    }
    if (warp->breakMode)
        buildBreakAxis(warp, warp->warpIndex);
    else
        buildLinearAxis(warp, warp->warpIndex);
    return warp;
}

int32_t FrequencyWarp_GetMaxIndex(const FrequencyWarp* warp)
{
    if (!warp->breakMode)
        return 2;
    return warp->sampleRate == 8000 || isElevenKilohertz(warp->sampleRate) ? 15 : 0;
}

int32_t FrequencyWarp_SetIndex(FrequencyWarp* warp, int32_t index)
{
    if (index < minIndex(warp) || index > FrequencyWarp_GetMaxIndex(warp))
        return 0;
    if (warp->breakMode)
        buildBreakAxis(warp, index);
    else
        buildLinearAxis(warp, index);
    warp->warpIndex = index;
    return 1;
}

int32_t FrequencyWarp_GetIndex(const FrequencyWarp* warp) { return warp->warpIndex; }

void FrequencyWarp_Apply(FrequencyWarp* warp, uint32_t* spectrum)
{
    if (warp->warpIndex == identityIndex(warp))
        return;
    const int32_t entries = outputBins(warp);
    for (int32_t k = 0; k < entries; ++k) {
        const int32_t j = warp->sourceIndex[k];
        const uint64_t a = static_cast<uint64_t>(warp->weightA[k]);
        const uint64_t b = static_cast<uint64_t>(warp->weightB[k]);
        const uint64_t s0 = spectrum[j];
        const uint64_t s1 = spectrum[j + 1];
        // An interpolation lies between its two bins, so it fits 32 bits
        // when computed wide; break mode keeps its coarse form for large bins.
        if (!warp->breakMode || (s0 < 0x80000 && s1 < 0x80000))
            warp->output[k] = static_cast<uint32_t>((a * s0 + b * s1 + 2048) >> 12);
        else
            warp->output[k] = static_cast<uint32_t>(a * (s0 >> 12) + b * (s1 >> 12));
    }
    for (int32_t k = 0; k < entries; ++k)
        spectrum[k] = warp->output[k];
}

void FrequencyWarp_Destroy(FrequencyWarp* warp)
{
    if (warp == nullptr)
        return;
    DVKMem_Free(warp->output);
    DVKMem_Free(warp->sourceIndex);
    DVKMem_Free(warp->weightA);
    DVKMem_Free(warp->weightB);
    DVKMem_Free(warp);
}
