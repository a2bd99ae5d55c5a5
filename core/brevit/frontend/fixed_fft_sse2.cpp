#include "core/brevit/frontend/fixed_fft_simd.h"

#if defined(__SSE2__)
#include "core/brevit/frontend/fixed_fft_kernel.h"

#include <cstring>

namespace {

FIXED_FFT_VECTOR_OPS(Ops128Base, __m128i, 8, _mm_, si128);

struct Ops128 : Ops128Base {
    static int32_t peak(V most, V least) { return peak128(most, least); }
};

// (a + 1 + b) >> 1 per lane, which always fits.
inline __m128i halfSum(__m128i a, __m128i b)
{
    const __m128i sign = _mm_set1_epi16(-32768);
    return _mm_xor_si128(_mm_avg_epu16(_mm_xor_si128(a, sign), _mm_xor_si128(b, sign)), sign);
}

// (a + 1 - b) >> 1 clipped: minus floor((b + ~a + 1) / 2), negated with
// saturation (only 32768 leaves the range).
inline __m128i halfDifference(__m128i a, __m128i b)
{
    const __m128i sign = _mm_set1_epi16(-32768);
    const __m128i floorHalf = _mm_xor_si128(
        _mm_avg_epu16(_mm_xor_si128(b, sign), _mm_xor_si128(a, _mm_set1_epi16(0x7FFF))), sign);
    return _mm_subs_epi16(_mm_setzero_si128(), floorHalf);
}

inline int32_t pairAt(const int16_t* p)
{
    int32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Point k of four consecutive groups of four, one complex per 32-bit lane.
inline __m128i gatherPoints(const int16_t* input, const int16_t* order, int32_t k)
{
    return _mm_set_epi32(pairAt(input + 2 * order[12 + k]), pairAt(input + 2 * order[8 + k]),
                         pairAt(input + 2 * order[4 + k]), pairAt(input + 2 * order[k]));
}

} // namespace

int32_t FixedFFTSse2_FirstStages(int16_t* x, const int16_t* input, const int16_t* order,
                                 int32_t points)
{
    const __m128i realLanes = _mm_set1_epi32(0xFFFF);
    __m128i most = _mm_setzero_si128();
    __m128i least = _mm_setzero_si128();
    for (int32_t i = 0; i < points; i += 16, order += 16) {
        const __m128i p0 = gatherPoints(input, order, 0);
        const __m128i p1 = gatherPoints(input, order, 1);
        const __m128i p2 = gatherPoints(input, order, 2);
        const __m128i p3 = gatherPoints(input, order, 3);
        const __m128i d0 = halfSum(p0, p1);
        const __m128i d1 = halfDifference(p0, p1);
        const __m128i d2 = halfSum(p2, p3);
        const __m128i d3 = halfDifference(p2, p3);
        // The second butterfly of stage two takes d3 times -j: (im, -re).
        const __m128i d3Swapped = _mm_shufflehi_epi16(_mm_shufflelo_epi16(d3, 0xB1), 0xB1);
        const __m128i sum = halfSum(d1, d3Swapped);
        const __m128i difference = halfDifference(d1, d3Swapped);
        const __m128i e0 = halfSum(d0, d2);
        const __m128i e2 = halfDifference(d0, d2);
        const __m128i e1 = _mm_or_si128(_mm_and_si128(realLanes, sum), _mm_andnot_si128(realLanes, difference));
        const __m128i e3 = _mm_or_si128(_mm_and_si128(realLanes, difference), _mm_andnot_si128(realLanes, sum));
        most = _mm_max_epi16(most, _mm_max_epi16(_mm_max_epi16(e0, e1), _mm_max_epi16(e2, e3)));
        least = _mm_min_epi16(least, _mm_min_epi16(_mm_min_epi16(e0, e1), _mm_min_epi16(e2, e3)));
        // Back from one vector per point of the group to one per group.
        const __m128i t0 = _mm_unpacklo_epi32(e0, e1);
        const __m128i t1 = _mm_unpacklo_epi32(e2, e3);
        const __m128i t2 = _mm_unpackhi_epi32(e0, e1);
        const __m128i t3 = _mm_unpackhi_epi32(e2, e3);
        __m128i* out = reinterpret_cast<__m128i*>(x + 2 * i);
        _mm_storeu_si128(out, _mm_unpacklo_epi64(t0, t1));
        _mm_storeu_si128(out + 1, _mm_unpackhi_epi64(t0, t1));
        _mm_storeu_si128(out + 2, _mm_unpacklo_epi64(t2, t3));
        _mm_storeu_si128(out + 3, _mm_unpackhi_epi64(t2, t3));
    }
    return peak128(most, least);
}

int32_t FixedFFTSse2_Split(int16_t* x, int32_t n, const int16_t* splitTwiddles)
{
    const int32_t points = n / 2;
    const __m128i low = _mm_set1_epi32(0xFFFF);
    const __m128i quarter = _mm_set1_epi16(16384);
    const __m128i quarterPair = _mm_set_epi16(-16384, 16384, -16384, 16384, -16384, 16384, -16384, 16384);
    const __m128i round = _mm_set1_epi32(16384);
    int32_t k = 1;
    for (; k + 3 < n / 4; k += 4) {
        int16_t* pa = x + 2 * k;
        int16_t* pb = x + 2 * (points - k - 3);
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pa));
        // b[j] pairs with a[j]: the points from N/2 - k downwards.
        const __m128i b = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(pb)), 0x1B);
        const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(splitTwiddles + 2 * k));
        const __m128i sines = _mm_shufflehi_epi16(_mm_shufflelo_epi16(w, 0xA0), 0xA0);
        const __m128i cosines = _mm_shufflehi_epi16(_mm_shufflelo_epi16(w, 0xF5), 0xF5);
        const __m128i sine = _mm_srai_epi32(sines, 16);
        const __m128i cosine = _mm_srai_epi32(cosines, 16);
        // Pairs of 16-bit values, each multiplied and summed by one madd.
        const __m128i reals = _mm_or_si128(_mm_and_si128(a, low), _mm_slli_epi32(b, 16));
        const __m128i imags = _mm_or_si128(_mm_srli_epi32(a, 16), _mm_andnot_si128(low, b));
        // (b.re, ~a.re): s * (b.re - a.re) = madd(., (s, s)) + s.
        const __m128i cross = _mm_or_si128(_mm_and_si128(b, low),
                                           _mm_slli_epi32(_mm_xor_si128(a, _mm_set1_epi32(-1)), 16));
        const __m128i base = _mm_add_epi32(_mm_madd_epi16(reals, quarter), round);
        const __m128i t = _mm_add_epi32(_mm_add_epi32(_mm_madd_epi16(imags, cosines), sine),
                                        _mm_madd_epi16(cross, sines));
        const __m128i u = _mm_add_epi32(_mm_add_epi32(_mm_madd_epi16(cross, cosines), cosine),
                                        _mm_sub_epi32(round, _mm_madd_epi16(imags, sines)));
        const __m128i v = _mm_madd_epi16(imags, quarterPair);
        const __m128i aRe = _mm_srai_epi32(_mm_add_epi32(base, t), 15);
        const __m128i bRe = _mm_srai_epi32(_mm_sub_epi32(base, t), 15);
        const __m128i aIm = _mm_srai_epi32(_mm_add_epi32(u, v), 15);
        const __m128i bIm = _mm_srai_epi32(_mm_sub_epi32(u, v), 15);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(pa),
                         _mm_or_si128(_mm_and_si128(aRe, low), _mm_slli_epi32(aIm, 16)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(pb),
                         _mm_shuffle_epi32(_mm_or_si128(_mm_and_si128(bRe, low), _mm_slli_epi32(bIm, 16)), 0x1B));
    }
    return k;
}

int32_t FixedFFTSse2_Stage(int16_t* x, int32_t points, int32_t h, const int16_t* w0,
                           const int16_t* w1)
{
    if (h == 4)
        return FFTKernel<Ops128>::halfStage(x, points, h, w0, w1);
    return FFTKernel<Ops128>::stage(x, points, h, w0, w1);
}
#endif
