#include "core/brevit/frontend/spectrum_stage.h"

#include "core/brevit/frontend/fe_fixed_math.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <algorithm>
#include <cstdlib>

namespace {

// re^2 + im^2; a sum past 31 bits becomes 0x07FFFFFF.
uint32_t power(int32_t re, int32_t im)
{
    // At most 2^31 (both parts -32768), so 32 unsigned bits hold it.
    const uint32_t p = static_cast<uint32_t>(re * re) + static_cast<uint32_t>(im * im);
    return p > 0x7FFFFFFFu ? 0x07FFFFFFu : p;
}

// Ties take the imaginary part as the larger.
void order(int32_t re, int32_t im, int32_t* hi, int32_t* lo)
{
    const int32_t a = std::abs(re);
    const int32_t b = std::abs(im);
    *hi = a > b ? a : b;
    *lo = a > b ? b : a;
}

uint32_t estimate(int32_t re, int32_t im)
{
    int32_t hi, lo;
    order(re, im, &hi, &lo);
    const int32_t d = lo - (hi >> 2);
    return static_cast<uint32_t>(d > 0 ? hi + (d >> 1) : hi);
}

uint32_t refined(int32_t re, int32_t im, int32_t refine)
{
    int32_t hi, lo;
    order(re, im, &hi, &lo);
    if (lo >= (hi >> 2)) {
        const int32_t t = hi + (lo >> 1);
        const int32_t u = std::abs(lo - (hi >> 1));
        hi = t - (t >> 4) - (t >> 5);
        lo = u - (u >> 4) - (u >> 5);
    }
    if (refine && lo >= (hi >> 4)) {
        const int32_t t = hi + (lo >> 2);
        hi = t - (t >> 5);
    }
    return static_cast<uint32_t>(hi);
}

} // namespace

SpectrumStage* SpectrumStage_Create(int32_t fftSize)
{
    auto* stage = static_cast<SpectrumStage*>(DVKMem_Calloc(sizeof(SpectrumStage)));
    if (stage == nullptr)
        return nullptr;
    stage->fftSize = fftSize;
    stage->mode = 4;
    if (BrevitParam_Word(kBrevitParamSpectrumRefined) == 0) {
        if (BrevitParam_Word(kBrevitParamSpectrumEstimate) != 0)
            stage->mode = 1;
    } else {
        stage->mode = 2;
        stage->refine = BrevitParam_Word(kBrevitParamSpectrumRefine) != 0;
    }
    if (BrevitParam_Word(kBrevitParamCepstralScale6) != 0)
        stage->mode = 0;
    if (BrevitParam_Word(kBrevitParamCepstralScale11) != 0)
        stage->mode = 3;
    return stage;
}

int32_t SpectrumStage_GetNumBins(const SpectrumStage* stage)
{
    return stage->mode == 0 || stage->mode == 3 ? stage->fftSize / 2 + 1 : stage->fftSize / 2;
}

void SpectrumStage_Apply(const SpectrumStage* stage, const int16_t* fft, uint32_t* spectrum)
{
    const int32_t bins = SpectrumStage_GetNumBins(stage);
    switch (stage->mode) {
    case 1:
        for (int32_t k = 0; k < bins; ++k)
            spectrum[k] = estimate(fft[2 * k], fft[2 * k + 1]);
        break;
    case 2:
        for (int32_t k = 0; k < bins; ++k)
            spectrum[k] = refined(fft[2 * k], fft[2 * k + 1], stage->refine);
        break;
    case 4:
        // One branch-free pass, so that it vectorises.
        for (int32_t k = 0; k < bins; ++k)
            spectrum[k] = static_cast<uint32_t>(FixedSqrt(power(fft[2 * k], fft[2 * k + 1])));
        break;
    default:
        for (int32_t k = 0; k < bins; ++k)
            spectrum[k] = power(fft[2 * k], fft[2 * k + 1]);
        break;
    }
}

void SpectrumStage_Destroy(SpectrumStage* stage) { DVKMem_Free(stage); }
