#include "core/brevit/frontend/fe_fixed_math.h"

#include "core/brevit/frontend/fe_simd.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(FE_SIMD_AVX2)
#include <immintrin.h>
#endif

namespace {

#if defined(__SSE2__)
// Four logs at a time. Every product has factors below 2^15 with zero upper
// halves, so pmaddwd forms it exactly; n + exponent must stay inside int16.
void fourLogs(const int32_t* values, int32_t exponent, int32_t q, int32_t quadratic, int16_t* out)
{
    alignas(16) int32_t mantissa[4];
    alignas(16) int32_t power[4];
    for (int j = 0; j < 4; ++j) {
        const int32_t value = values[j] < 1 ? 1 : values[j];
        const int32_t n = 14 - (31 - __builtin_clz(static_cast<uint32_t>(value)));
        mantissa[j] = (n >= 0 ? value << n : value >> -n) - 16384;
        power[j] = n + exponent;
    }
    const __m128i m = _mm_load_si128(reinterpret_cast<const __m128i*>(mantissa));
    __m128i p;
    if (quadratic) {
        const __m128i slope = _mm_srai_epi32(
            _mm_sub_epi32(_mm_set1_epi32(999309312), _mm_madd_epi16(m, _mm_set1_epi32(7783))), 15);
        p = _mm_add_epi32(_mm_madd_epi16(m, slope), _mm_set1_epi32(16384));
    } else {
        static constexpr int32_t kCoefficients[5] = {32739, -16055, 9361, -4360, 1028};
        const __m128i half = _mm_set1_epi32(8192);
        p = _mm_setzero_si128();
        __m128i t = m;
        for (int i = 0; i < 5; ++i) {
            // A negative coefficient in the low half, zero above it.
            const __m128i c = _mm_set1_epi32(kCoefficients[i] & 0xFFFF);
            p = _mm_add_epi32(p, _mm_madd_epi16(c, t));
            t = _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(m, t), half), 14);
        }
    }
    // n + exponent may be negative: its upper half is then -1, against a zero.
    const __m128i scaled =
        _mm_madd_epi16(_mm_load_si128(reinterpret_cast<const __m128i*>(power)), _mm_set1_epi32(11357));
    __m128i r = _mm_add_epi32(_mm_set1_epi32((1 << (13 - q)) + 158998),
                              _mm_sub_epi32(_mm_srai_epi32(p, 15), scaled));
    r = _mm_sra_epi32(r, _mm_cvtsi32_si128(14 - q));
    const __m128i positive =
        _mm_cmpgt_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(values)), _mm_setzero_si128());
    r = _mm_and_si128(r, positive);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packs_epi32(r, r));
}
#endif

#if defined(FE_SIMD_AVX2)
// Eight logs at a time, normalised in the vector too: the exponent of the
// single-precision value is the top bit's position, or one past it where
// rounding reached the next power of two.
FE_TARGET_AVX2 void eightLogs(const int32_t* values, int32_t exponent, int32_t q,
                              int32_t quadratic, int16_t* out)
{
    const __m256i one = _mm256_set1_epi32(1);
    const __m256i raw = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(values));
    const __m256i positive = _mm256_cmpgt_epi32(raw, _mm256_setzero_si256());
    const __m256i v = _mm256_max_epi32(raw, one);
    __m256i top = _mm256_sub_epi32(
        _mm256_srli_epi32(_mm256_castps_si256(_mm256_cvtepi32_ps(v)), 23), _mm256_set1_epi32(127));
    // v >= 2^top - 1 + 1 keeps top (2^31 - 1 is INT32_MAX, so no wrap).
    const __m256i keep = _mm256_cmpgt_epi32(v, _mm256_sub_epi32(_mm256_sllv_epi32(one, top), one));
    top = _mm256_sub_epi32(_mm256_sub_epi32(top, one), keep);
    const __m256i n = _mm256_sub_epi32(_mm256_set1_epi32(14), top);
    const __m256i left = _mm256_max_epi32(n, _mm256_setzero_si256());
    const __m256i right = _mm256_max_epi32(_mm256_sub_epi32(_mm256_setzero_si256(), n),
                                           _mm256_setzero_si256());
    const __m256i m = _mm256_sub_epi32(_mm256_srlv_epi32(_mm256_sllv_epi32(v, left), right),
                                       _mm256_set1_epi32(16384));
    __m256i p;
    if (quadratic) {
        const __m256i slope = _mm256_srai_epi32(
            _mm256_sub_epi32(_mm256_set1_epi32(999309312),
                             _mm256_mullo_epi32(m, _mm256_set1_epi32(7783))),
            15);
        p = _mm256_add_epi32(_mm256_mullo_epi32(m, slope), _mm256_set1_epi32(16384));
    } else {
        static constexpr int32_t kCoefficients[5] = {32739, -16055, 9361, -4360, 1028};
        const __m256i half = _mm256_set1_epi32(8192);
        p = _mm256_setzero_si256();
        __m256i t = m;
        for (int i = 0; i < 5; ++i) {
            p = _mm256_add_epi32(p, _mm256_mullo_epi32(_mm256_set1_epi32(kCoefficients[i]), t));
            t = _mm256_srai_epi32(_mm256_add_epi32(_mm256_mullo_epi32(m, t), half), 14);
        }
    }
    const __m256i scaled = _mm256_mullo_epi32(_mm256_add_epi32(n, _mm256_set1_epi32(exponent)),
                                              _mm256_set1_epi32(11357));
    __m256i r = _mm256_add_epi32(_mm256_set1_epi32((1 << (13 - q)) + 158998),
                                 _mm256_sub_epi32(_mm256_srai_epi32(p, 15), scaled));
    r = _mm256_and_si256(_mm256_sra_epi32(r, _mm_cvtsi32_si128(14 - q)), positive);
    // packs works within each half: gather the two 64-bit results together.
    const __m256i packed = _mm256_permute4x64_epi64(_mm256_packs_epi32(r, r), 0x08);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(packed));
}
#endif

} // namespace

void FixedLogs(const int32_t* values, int32_t count, int32_t exponent, int32_t q,
               int32_t quadratic, int16_t* out)
{
    int32_t c = 0;
    const bool small = exponent > -32000 && exponent < 32000;
#if defined(FE_SIMD_AVX2)
    if (FESimd_Level() >= kFESimdAVX2 && small)
        for (; c + 8 <= count; c += 8)
            eightLogs(values + c, exponent, q, quadratic, out + c);
#endif
#if defined(__SSE2__)
    if (FESimd_Level() >= kFESimdSSE2 && small)
        for (; c + 4 <= count; c += 4)
            fourLogs(values + c, exponent, q, quadratic, out + c);
#endif
    for (; c < count; ++c)
        out[c] = FixedLog(values[c], exponent, q, quadratic);
}
