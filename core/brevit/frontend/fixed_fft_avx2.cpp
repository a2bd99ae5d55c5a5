// Compiled with AVX2 enabled (see CMakeLists.txt) and entered only on a CPU
// that has it: nothing here may be shared with other files, so it includes
// no header with inline functions but the kernel's own.
#include "core/brevit/frontend/fixed_fft_simd.h"

#if defined(__AVX2__)
#include "core/brevit/frontend/fixed_fft_kernel.h"

#include <immintrin.h>

namespace {

FIXED_FFT_VECTOR_OPS(Ops256Base, __m256i, 16, _mm256_, si256);

struct Ops256 : Ops256Base {
    using Index = int32_t;
    static FIXED_FFT_INLINE void deinterleave(V v0, V v1, V& re, V& im)
    {
        // Per 128-bit lane: the four reals, then the four imaginaries.
        const V split = _mm256_setr_epi8(0, 1, 4, 5, 8, 9, 12, 13, 2, 3, 6, 7, 10, 11, 14, 15,
                                         0, 1, 4, 5, 8, 9, 12, 13, 2, 3, 6, 7, 10, 11, 14, 15);
        const V s0 = _mm256_shuffle_epi8(v0, split);
        const V s1 = _mm256_shuffle_epi8(v1, split);
        re = _mm256_unpacklo_epi64(s0, s1);
        im = _mm256_unpackhi_epi64(s0, s1);
    }
    static int32_t peak(V most, V least)
    {
        return peak128(_mm_max_epi16(_mm256_castsi256_si128(most), _mm256_extracti128_si256(most, 1)),
                       _mm_min_epi16(_mm256_castsi256_si128(least), _mm256_extracti128_si256(least, 1)));
    }
    static V reversePairs(V a) { return _mm256_permutevar8x32_epi32(a, _mm256_set_epi32(0, 1, 2, 3, 4, 5, 6, 7)); }
    // Point k of eight groups of four: index holds, per k, the eight points'
    // complex positions in input.
    static V gather(const int16_t* input, const int32_t* index, int32_t k)
    {
        return _mm256_i32gather_epi32(reinterpret_cast<const int*>(input), load(index + 8 * k), 4);
    }
};

using Kernel = FFTKernel<Ops256>;

// h = 4: four groups a vector; each group's 16 values are its a then its b.
int32_t quarterStage(int16_t* x, int32_t points, const int16_t* w0, const int16_t* w1)
{
    __m256i most = Ops256::set1(0);
    __m256i least = Ops256::set1(0);
    for (int32_t g = 0; g < points; g += 32) {
        int16_t* p = x + 2 * g;
        const __m256i v0 = Ops256::load(p), v1 = Ops256::load(p + 16);
        const __m256i v2 = Ops256::load(p + 32), v3 = Ops256::load(p + 48);
        __m256i a0 = _mm256_permute2x128_si256(v0, v1, 0x20);
        __m256i b0 = _mm256_permute2x128_si256(v0, v1, 0x31);
        __m256i a1 = _mm256_permute2x128_si256(v2, v3, 0x20);
        __m256i b1 = _mm256_permute2x128_si256(v2, v3, 0x31);
        Kernel::butterflies(a0, a1, b0, b1, w0, w1, most, least);
        Ops256::store(p, _mm256_permute2x128_si256(a0, b0, 0x20));
        Ops256::store(p + 16, _mm256_permute2x128_si256(a0, b0, 0x31));
        Ops256::store(p + 32, _mm256_permute2x128_si256(a1, b1, 0x20));
        Ops256::store(p + 48, _mm256_permute2x128_si256(a1, b1, 0x31));
    }
    return Ops256::peak(most, least);
}

} // namespace

int32_t FixedFFTAvx2_FirstStages(int16_t* x, const int16_t* input, const int32_t* index,
                                 int32_t points)
{
    return Kernel::firstStages(x, input, index, points);
}

int32_t FixedFFTAvx2_Split(int16_t* x, int32_t n, const int16_t* splitTwiddles)
{
    // Eight pairs a time, then four.
    return FFTKernel<Ops128>::split(x, n, splitTwiddles, Kernel::split(x, n, splitTwiddles, 1));
}

int32_t FixedFFTAvx2_Stage(int16_t* x, int32_t points, int32_t h, const int16_t* w0,
                           const int16_t* w1)
{
    if (h == 4)
        return quarterStage(x, points, w0, w1);
    if (h == 8)
        return Kernel::halfStage(x, points, h, w0, w1);
    return Kernel::stage(x, points, h, w0, w1);
}
#endif
