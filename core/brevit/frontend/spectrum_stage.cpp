#include "core/brevit/frontend/spectrum_stage.h"

#include "core/brevit/frontend/fe_fixed_math.h"
#include "core/brevit/frontend/fe_simd.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <algorithm>
#include <cstdlib>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(FE_SIMD_AVX2)
#include <immintrin.h>
#endif

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

// Mode 4 the portable way.
void magnitudesScalar(const int16_t* fft, uint32_t* spectrum, int32_t bins)
{
    for (int32_t k = 0; k < bins; ++k)
        spectrum[k] = static_cast<uint32_t>(FixedSqrt(power(fft[2 * k], fft[2 * k + 1])));
}

#if defined(__SSE2__)
// Mode 4, four bins at a time, bit for bit as FixedSqrt(power(re, im)): the
// result is min(32767, round(sqrt(v))), v = power clipped to 0x3FFFFFFF.
// The single-precision root is within 0.01 of the true one, so its rounding
// c is off by at most one, which the two exact comparisons below mend:
// round(sqrt(v)) > c when v > c(c + 1), < c when v <= c(c - 1) and c > 0.
void magnitudesSSE2(const int16_t* fft, uint32_t* spectrum, int32_t bins)
{
    const __m128i wrapped = _mm_set1_epi32(0x07FFFFFF);
    const __m128i top = _mm_set1_epi32(0x3FFFFFFF);
    const __m128i largest = _mm_set1_epi32(32767);
    const __m128i zero = _mm_setzero_si128();
    int32_t k = 0;
    for (; k + 4 <= bins; k += 4) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(fft + 2 * k));
        // re^2 + im^2; only 2^31 (both parts -32768) reads negative.
        __m128i v = _mm_madd_epi16(x, x);
        const __m128i negative = _mm_srai_epi32(v, 31);
        v = _mm_or_si128(_mm_andnot_si128(negative, v), _mm_and_si128(negative, wrapped));
        const __m128i over = _mm_cmpgt_epi32(v, top);
        v = _mm_or_si128(_mm_andnot_si128(over, v), _mm_and_si128(over, top));
        __m128i c = _mm_cvtps_epi32(_mm_sqrt_ps(_mm_cvtepi32_ps(v)));
        // c <= 32768, whose low half squares right as -32768 in pmaddwd.
        const __m128i square = _mm_madd_epi16(c, c);
        const __m128i up = _mm_cmpgt_epi32(v, _mm_add_epi32(square, c));
        const __m128i down = _mm_andnot_si128(_mm_cmpgt_epi32(v, _mm_sub_epi32(square, c)),
                                              _mm_cmpgt_epi32(c, zero));
        c = _mm_add_epi32(_mm_sub_epi32(c, up), down);
        c = _mm_add_epi32(c, _mm_cmpgt_epi32(c, largest));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(spectrum + k), c);
    }
    magnitudesScalar(fft + 2 * k, spectrum + k, bins - k);
}
#endif

#if defined(FE_SIMD_AVX2)
// Mode 4, eight bins at a time, as magnitudesSSE2.
FE_TARGET_AVX2 void magnitudesAVX2(const int16_t* fft, uint32_t* spectrum, int32_t bins)
{
    const __m256i wrapped = _mm256_set1_epi32(0x07FFFFFF);
    const __m256i top = _mm256_set1_epi32(0x3FFFFFFF);
    const __m256i largest = _mm256_set1_epi32(32767);
    const __m256i zero = _mm256_setzero_si256();
    int32_t k = 0;
    for (; k + 8 <= bins; k += 8) {
        const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(fft + 2 * k));
        __m256i v = _mm256_madd_epi16(x, x);
        // Negative only for 2^31; the sign bit picks the replacement.
        v = _mm256_castps_si256(_mm256_blendv_ps(_mm256_castsi256_ps(v),
                                                 _mm256_castsi256_ps(wrapped),
                                                 _mm256_castsi256_ps(v)));
        v = _mm256_min_epi32(v, top);
        __m256i c = _mm256_cvtps_epi32(_mm256_sqrt_ps(_mm256_cvtepi32_ps(v)));
        const __m256i square = _mm256_mullo_epi32(c, c);
        const __m256i up = _mm256_cmpgt_epi32(v, _mm256_add_epi32(square, c));
        const __m256i down = _mm256_andnot_si256(_mm256_cmpgt_epi32(v, _mm256_sub_epi32(square, c)),
                                                 _mm256_cmpgt_epi32(c, zero));
        c = _mm256_add_epi32(_mm256_sub_epi32(c, up), down);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(spectrum + k), _mm256_min_epi32(c, largest));
    }
    magnitudesSSE2(fft + 2 * k, spectrum + k, bins - k);
}
#endif

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
#if defined(FE_SIMD_AVX2)
        if (FESimd_Level() >= kFESimdAVX2) {
            magnitudesAVX2(fft, spectrum, bins);
            break;
        }
#endif
#if defined(__SSE2__)
        if (FESimd_Level() >= kFESimdSSE2) {
            magnitudesSSE2(fft, spectrum, bins);
            break;
        }
#endif
        magnitudesScalar(fft, spectrum, bins);
        break;
    default:
        for (int32_t k = 0; k < bins; ++k)
            spectrum[k] = power(fft[2 * k], fft[2 * k + 1]);
        break;
    }
}

void SpectrumStage_Destroy(SpectrumStage* stage) { DVKMem_Free(stage); }
