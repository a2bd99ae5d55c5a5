#include "core/brevit/frontend/frame_window.h"

#include "core/brevit/frontend/fe_fixed_math.h"
#include "core/brevit/frontend/fe_reader.h"
#include "core/brevit/frontend/fe_simd.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <cstdlib>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(FE_SIMD_AVX2)
#include <immintrin.h>
#endif

namespace {

// The whole symmetric window, and room for the values before folding.
bool expandWindow(FrameWindow* window)
{
    const int32_t w = window->windowLength;
    window->coefficients = static_cast<int16_t*>(DVKMem_Calloc(w * sizeof(int16_t)));
    if (window->coefficients == nullptr)
        return false;
    for (int32_t i = 0; i < w / 2; ++i) {
        window->coefficients[i] = window->halfWindow[i];
        window->coefficients[w - 1 - i] = window->halfWindow[i];
    }
    if (window->fold)
        window->folded = static_cast<int16_t*>(DVKMem_Calloc(w * sizeof(int16_t)));
    return !window->fold || window->folded != nullptr;
}

#if defined(FE_SIMD_AVX2)
// Sixteen at a time as the SSE2 loops below; returns how many were done.
FE_TARGET_AVX2 int32_t magnitudeAVX2(const int16_t* in, int32_t count, int32_t* magnitude)
{
    __m256i any = _mm256_setzero_si256();
    int32_t i = 0;
    for (; i + 16 <= count; i += 16)
        any = _mm256_or_si256(any, _mm256_abs_epi16(_mm256_loadu_si256(
                                       reinterpret_cast<const __m256i*>(in + i))));
    alignas(32) uint16_t lanes[16];
    _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), any);
    for (uint16_t lane : lanes)
        *magnitude |= lane;
    return i;
}

FE_TARGET_AVX2 int32_t coefficientsAVX2(const int16_t* in, const int16_t* coefficient,
                                        int32_t count, int32_t rounding, int32_t shift, int16_t* out)
{
    const __m256i add = _mm256_set1_epi32(rounding);
    const __m128i by = _mm_cvtsi32_si128(shift);
    int32_t i = 0;
    for (; i + 16 <= count; i += 16) {
        const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + i));
        const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(coefficient + i));
        const __m256i lo = _mm256_mullo_epi16(x, c);
        const __m256i hi = _mm256_mulhi_epi16(x, c);
        // Unpacking and packing both work within each 128-bit half, so the
        // order comes back as it was.
        __m256i a = _mm256_sra_epi32(_mm256_add_epi32(_mm256_unpacklo_epi16(lo, hi), add), by);
        __m256i b = _mm256_sra_epi32(_mm256_add_epi32(_mm256_unpackhi_epi16(lo, hi), add), by);
        a = _mm256_srai_epi32(_mm256_slli_epi32(a, 16), 16);
        b = _mm256_srai_epi32(_mm256_slli_epi32(b, 16), 16);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_packs_epi32(a, b));
    }
    return i;
}
#endif

// OR of |in[i]| (-32768 counts as 32768).
int32_t magnitudeOf(const int16_t* in, int32_t count)
{
    int32_t magnitude = 0;
    int32_t i = 0;
#if defined(FE_SIMD_AVX2)
    if (FESimd_Level() >= kFESimdAVX2)
        i = magnitudeAVX2(in, count, &magnitude);
#endif
#if defined(__SSE2__)
    if (FESimd_Level() >= kFESimdSSE2) {
        __m128i any = _mm_setzero_si128();
        for (; i + 8 <= count; i += 8) {
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
            // max(x, -x) is |x| as an unsigned 16-bit pattern, -32768 included.
            any = _mm_or_si128(any, _mm_max_epi16(x, _mm_sub_epi16(_mm_setzero_si128(), x)));
        }
        alignas(16) uint16_t lanes[8];
        _mm_store_si128(reinterpret_cast<__m128i*>(lanes), any);
        for (uint16_t lane : lanes)
            magnitude |= lane;
    }
#endif
    for (; i < count; ++i)
        magnitude |= std::abs(static_cast<int32_t>(in[i]));
    return magnitude;
}

// out[i] = (in[i] x coefficient[i] + rounding) >> shift, kept to 16 bits.
void applyCoefficients(const int16_t* in, const int16_t* coefficient, int32_t count,
                       int32_t rounding, int32_t shift, int16_t* out)
{
    int32_t i = 0;
#if defined(FE_SIMD_AVX2)
    if (FESimd_Level() >= kFESimdAVX2)
        i = coefficientsAVX2(in, coefficient, count, rounding, shift, out);
#endif
#if defined(__SSE2__)
    if (FESimd_Level() >= kFESimdSSE2) {
        const __m128i add = _mm_set1_epi32(rounding);
        const __m128i by = _mm_cvtsi32_si128(shift);
        for (; i + 8 <= count; i += 8) {
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
            const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(coefficient + i));
            const __m128i lo = _mm_mullo_epi16(x, c);
            const __m128i hi = _mm_mulhi_epi16(x, c);
            __m128i a = _mm_sra_epi32(_mm_add_epi32(_mm_unpacklo_epi16(lo, hi), add), by);
            __m128i b = _mm_sra_epi32(_mm_add_epi32(_mm_unpackhi_epi16(lo, hi), add), by);
            // The low 16 bits, as the scalar cast keeps them.
            a = _mm_srai_epi32(_mm_slli_epi32(a, 16), 16);
            b = _mm_srai_epi32(_mm_slli_epi32(b, 16), 16);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packs_epi32(a, b));
        }
    }
#endif
    for (; i < count; ++i)
        out[i] = static_cast<int16_t>((in[i] * coefficient[i] + rounding) >> shift);
}

} // namespace

FrameWindow* FrameWindow_LoadFromBinFile(DVKTar* tar, const char* prefix)
{
    BinFileReader* reader = FEReader_Open(tar, "bh0", prefix);
    if (reader == nullptr)
        return nullptr;
    auto* window = static_cast<FrameWindow*>(DVKMem_Calloc(sizeof(FrameWindow)));
    bool ok = window != nullptr;
    void* half = nullptr;
    uint32_t count = 0;
    ok = ok && BinFileReader_ReadInt(reader, &window->windowLength) &&
         BinFileReader_ReadInt(reader, &window->outputLength) &&
         BinFileReader_ReadBoolean(reader, &window->fold) &&
         BinFileReader_AllocateAndReadArray(reader, sizeof(int16_t), &half, &count);
    BinFileReader_Delete(reader);
    if (window != nullptr)
        window->halfWindow = static_cast<int16_t*>(half);
    if (ok) {
        const int32_t w = window->windowLength;
        const int32_t f = window->outputLength;
        ok = w > 0 && w % 2 == 0 && f > 0 && half != nullptr &&
             count == static_cast<uint32_t>(w / 2) &&
             (window->fold ? (f >= w / 2 && f <= w) : f >= w) && expandWindow(window);
    }
    if (!ok) {
        FrameWindow_Destroy(window);
        return nullptr;
    }
    return window;
}

int32_t FrameWindow_Apply(const FrameWindow* window, const int16_t* in, int16_t* out)
{
    const int32_t w = window->windowLength;
    const int32_t f = window->outputLength;
    const int32_t half = w / 2;

    const int32_t magnitude = magnitudeOf(in, w);
    int32_t k = 0;
    int32_t shift = 15;
    int32_t rounding = 16384;
    if (magnitude < 16384) {
        while (k < 15 && (magnitude << k) < 16384)
            ++k;
        shift = 15 - k;
        rounding = k == 15 ? 0 : 1 << (14 - k);
    }

    if (!window->fold) {
        applyCoefficients(in, window->coefficients, w, rounding, shift, out);
        std::memset(out + w, 0, (f - w) * sizeof(int16_t));
        return k;
    }
    // Centred at 0 and wrapped modulo F: the first half lands at the end, the
    // next F - W/2 values at the start, the rest is added onto the end again.
    int16_t* v = window->folded;
    applyCoefficients(in, window->coefficients, w, rounding, shift, v);
    std::memcpy(out + f - half, v, half * sizeof(int16_t));
    std::memcpy(out, v + half, (f - half) * sizeof(int16_t));
    for (int32_t i = f; i < w; ++i)
        out[i - half] = FEFix_Clip16(int32_t{out[i - half]} + v[i]);
    return k;
}

void FrameWindow_Destroy(FrameWindow* window)
{
    if (window == nullptr)
        return;
    DVKMem_Free(window->halfWindow);
    DVKMem_Free(window->coefficients);
    DVKMem_Free(window->folded);
    DVKMem_Free(window);
}
