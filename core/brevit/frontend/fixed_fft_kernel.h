// The vector passes of the fixed-point FFT, written once over a vector
// type's operations (Ops) and instantiated by one file per instruction set.
// Internal to those files: each gets its own copy, compiled for its set.
//
// A butterfly's outputs are floor((a * 2^15 + 2^15 +- t) / 2^16), t the
// twiddle product sum. With t = H * 2^16 + D (D its low 16 bits), the first
// is H + floor((a + 1 + (D >> 15)) / 2) and the second a - first + 1 when
// the wide sum's low 16 bits are zero, else a - first. H and D come from
// the 16-bit halves of the products with one borrow or carry. Every step is
// exact modulo 2^16, so the outputs are exact whenever they fit 16 bits,
// which the caller has made sure of.
#pragma once

#include <cstdint>
#include <emmintrin.h>

// The element operations of one vector width: prefix _mm_ or _mm256_, SI
// si128 or si256. Ops for the kernel add peak(most, least) (see peak128),
// reversePairs (the 32-bit lanes in reverse order), gather (see
// FFTKernel::firstStages) and deinterleave(v0, v1, re, im): the real and
// the imaginary parts of the (real, imaginary) pairs of v0 then v1, taken
// within each 128-bit lane (v0's lane, then v1's).
#define FIXED_FFT_VECTOR_OPS(Name, Vector, Lanes, P, SI)                                \
    struct Name {                                                                     \
        using V = Vector;                                                             \
        static constexpr int32_t lanes = Lanes;                                       \
        static V load(const void* p) { return P##loadu_##SI(static_cast<const V*>(p)); } \
        static void store(void* p, V v) { P##storeu_##SI(static_cast<V*>(p), v); }    \
        static V set1(int16_t v) { return P##set1_epi16(v); }                          \
        static V set1x32(int32_t v) { return P##set1_epi32(v); }                       \
        static V add(V a, V b) { return P##add_epi16(a, b); }                          \
        static V sub(V a, V b) { return P##sub_epi16(a, b); }                          \
        static V subs(V a, V b) { return P##subs_epi16(a, b); }                        \
        static V add32(V a, V b) { return P##add_epi32(a, b); }                        \
        static V sub32(V a, V b) { return P##sub_epi32(a, b); }                        \
        static V bxor(V a, V b) { return P##xor_##SI(a, b); }                          \
        static V band(V a, V b) { return P##and_##SI(a, b); }                          \
        static V bandnot(V a, V b) { return P##andnot_##SI(a, b); }                    \
        static V bor(V a, V b) { return P##or_##SI(a, b); }                           \
        static V mullo(V a, V b) { return P##mullo_epi16(a, b); }                      \
        static V mulhi(V a, V b) { return P##mulhi_epi16(a, b); }                      \
        static V madd(V a, V b) { return P##madd_epi16(a, b); }                        \
        static V cmpgt(V a, V b) { return P##cmpgt_epi16(a, b); }                      \
        static V cmpeq(V a, V b) { return P##cmpeq_epi16(a, b); }                      \
        static V max(V a, V b) { return P##max_epi16(a, b); }                          \
        static V min(V a, V b) { return P##min_epi16(a, b); }                          \
        static V avgu(V a, V b) { return P##avg_epu16(a, b); }                         \
        static V unpacklo(V a, V b) { return P##unpacklo_epi16(a, b); }                \
        static V unpackhi(V a, V b) { return P##unpackhi_epi16(a, b); }                \
        static V unpacklo32(V a, V b) { return P##unpacklo_epi32(a, b); }              \
        static V unpackhi32(V a, V b) { return P##unpackhi_epi32(a, b); }              \
        static V unpacklo64(V a, V b) { return P##unpacklo_epi64(a, b); }              \
        static V unpackhi64(V a, V b) { return P##unpackhi_epi64(a, b); }              \
        static V packs32(V a, V b) { return P##packs_epi32(a, b); }                    \
        static V swapHalves(V a) { return P##shufflehi_epi16(P##shufflelo_epi16(a, 0xB1), 0xB1); } \
        static V lowHalves(V a) { return P##shufflehi_epi16(P##shufflelo_epi16(a, 0xA0), 0xA0); } \
        static V highHalves(V a) { return P##shufflehi_epi16(P##shufflelo_epi16(a, 0xF5), 0xF5); } \
        static V srl(V a, int n) { return P##srli_epi16(a, n); }                       \
        static V sll(V a, int n) { return P##slli_epi16(a, n); }                       \
        static V sra32(V a, int n) { return P##srai_epi32(a, n); }                     \
        static V srl32(V a, int n) { return P##srli_epi32(a, n); }                     \
        static V sll32(V a, int n) { return P##slli_epi32(a, n); }                     \
    }

// Every helper is inlined into its pass: a call would spill the vectors.
#define FIXED_FFT_INLINE inline __attribute__((always_inline))

namespace {

// The largest of most's maximum and minus least's minimum.
inline int32_t peak128(__m128i most, __m128i least)
{
    most = _mm_max_epi16(most, _mm_shuffle_epi32(most, 0x4E));
    least = _mm_min_epi16(least, _mm_shuffle_epi32(least, 0x4E));
    most = _mm_max_epi16(most, _mm_shuffle_epi32(most, 0xB1));
    least = _mm_min_epi16(least, _mm_shuffle_epi32(least, 0xB1));
    most = _mm_max_epi16(most, _mm_srli_epi32(most, 16));
    least = _mm_min_epi16(least, _mm_srli_epi32(least, 16));
    const int32_t hi = static_cast<int16_t>(_mm_cvtsi128_si32(most));
    const int32_t lo = static_cast<int16_t>(_mm_cvtsi128_si32(least));
    return hi > -lo ? hi : -lo;
}

inline int32_t pairAt(const int16_t* p)
{
    int32_t v;
    __builtin_memcpy(&v, p, sizeof v);
    return v;
}

FIXED_FFT_VECTOR_OPS(Ops128Base, __m128i, 8, _mm_, si128);

struct Ops128 : Ops128Base {
    using Index = int16_t;
    static FIXED_FFT_INLINE void deinterleave(V v0, V v1, V& re, V& im)
    {
        re = _mm_packs_epi32(_mm_srai_epi32(_mm_slli_epi32(v0, 16), 16), _mm_srai_epi32(_mm_slli_epi32(v1, 16), 16));
        im = _mm_packs_epi32(_mm_srai_epi32(v0, 16), _mm_srai_epi32(v1, 16));
    }
    static int32_t peak(V most, V least) { return peak128(most, least); }
    static V reversePairs(V a) { return _mm_shuffle_epi32(a, 0x1B); }
    // Point k of four consecutive groups of four; index is the gather order.
    static V gather(const int16_t* input, const int16_t* index, int32_t k)
    {
        return _mm_set_epi32(pairAt(input + 2 * index[12 + k]), pairAt(input + 2 * index[8 + k]),
                             pairAt(input + 2 * index[4 + k]), pairAt(input + 2 * index[k]));
    }
};

template <typename Ops>
struct FFTKernel {
    using V = typename Ops::V;
    static constexpr int32_t lanes = Ops::lanes;

    static FIXED_FFT_INLINE void track(V v0, V v1, V v2, V v3, V& most, V& least)
    {
        most = Ops::max(most, Ops::max(Ops::max(v0, v1), Ops::max(v2, v3)));
        least = Ops::min(least, Ops::min(Ops::min(v0, v1), Ops::min(v2, v3)));
    }

    // Outputs of one component: hi is H, lo is D.
    static FIXED_FFT_INLINE void finish(V a, V hi, V lo, V& outA, V& outB)
    {
        const V sign = Ops::set1(-32768);
        const V avg = Ops::avgu(Ops::bxor(a, sign), Ops::srl(lo, 15));
        outA = Ops::add(hi, Ops::sub(avg, Ops::set1(16384)));
        const V lowZero = Ops::cmpeq(Ops::add(lo, Ops::sll(a, 15)), sign);
        outB = Ops::sub(Ops::sub(a, outA), lowZero);
    }


    // One vector of butterflies in place: a and b each as two vectors of
    // interleaved (real, imaginary) pairs, w0/w1 the twiddles' cosines and
    // minus sines in the order the split into reals and imaginaries leaves
    // the butterflies in (packing works within 128-bit lanes).
    static FIXED_FFT_INLINE void butterflies(V& va0, V& va1, V& vb0, V& vb1, const int16_t* w0p,
                                   const int16_t* w1p, V& most, V& least)
    {
        V are, aim, bre, bim;
        Ops::deinterleave(va0, va1, are, aim);
        Ops::deinterleave(vb0, vb1, bre, bim);
        const V w0 = Ops::load(w0p);
        const V w1 = Ops::load(w1p);
        const V sign = Ops::set1(-32768);

        // Real: w0 * bre - w1 * bim; a borrow when the low halves underflow.
        const V l1 = Ops::mullo(w0, bre);
        const V l2 = Ops::mullo(w1, bim);
        const V loRe = Ops::sub(l1, l2);
        const V borrow = Ops::cmpgt(Ops::bxor(l2, sign), Ops::bxor(l1, sign));
        const V hiRe = Ops::add(Ops::sub(Ops::mulhi(w0, bre), Ops::mulhi(w1, bim)), borrow);
        // Imaginary: w1 * bre + w0 * bim; a carry when the low halves overflow.
        const V l3 = Ops::mullo(w1, bre);
        const V loIm = Ops::add(l3, Ops::mullo(w0, bim));
        const V carry = Ops::cmpgt(Ops::bxor(l3, sign), Ops::bxor(loIm, sign));
        const V hiIm = Ops::sub(Ops::add(Ops::mulhi(w1, bre), Ops::mulhi(w0, bim)), carry);

        V oare, obre, oaim, obim;
        finish(are, hiRe, loRe, oare, obre);
        finish(aim, hiIm, loIm, oaim, obim);
        track(oare, obre, oaim, obim, most, least);
        va0 = Ops::unpacklo(oare, oaim);
        va1 = Ops::unpackhi(oare, oaim);
        vb0 = Ops::unpacklo(obre, obim);
        vb1 = Ops::unpackhi(obre, obim);
    }

    // A vector of butterflies whose a and b halves lie at the four places.
    static FIXED_FFT_INLINE void butterfliesAt(int16_t* a0, int16_t* a1, int16_t* b0, int16_t* b1,
                                     const int16_t* w0, const int16_t* w1, V& most, V& least)
    {
        V va0 = Ops::load(a0), va1 = Ops::load(a1), vb0 = Ops::load(b0), vb1 = Ops::load(b1);
        butterflies(va0, va1, vb0, vb1, w0, w1, most, least);
        Ops::store(a0, va0);
        Ops::store(a1, va1);
        Ops::store(b0, vb0);
        Ops::store(b1, vb1);
    }

    // A whole stage over butterflies h apart (h a multiple of the lane
    // count); returns the largest |component| written.
    static int32_t stage(int16_t* x, int32_t points, int32_t h, const int16_t* w0,
                         const int16_t* w1)
    {
        V most = Ops::set1(0);
        V least = Ops::set1(0);
        for (int32_t g = 0; g < points; g += 2 * h) {
            int16_t* a = x + 2 * g;
            for (int32_t j = 0; j < h; j += lanes, a += 2 * lanes)
                butterfliesAt(a, a + lanes, a + 2 * h, a + 2 * h + lanes, w0 + j, w1 + j, most, least);
        }
        return Ops::peak(most, least);
    }

    // A stage with h half the lane count: one vector spans two groups.
    static int32_t halfStage(int16_t* x, int32_t points, int32_t h, const int16_t* w0,
                             const int16_t* w1)
    {
        V most = Ops::set1(0);
        V least = Ops::set1(0);
        for (int32_t g = 0; g < points; g += 4 * h) {
            int16_t* a = x + 2 * g;
            butterfliesAt(a, a + 4 * h, a + 2 * h, a + 6 * h, w0, w1, most, least);
        }
        return Ops::peak(most, least);
    }

    // (a + 1 + b) >> 1 per lane, which always fits.
    static FIXED_FFT_INLINE V halfSum(V a, V b)
    {
        const V sign = Ops::set1(-32768);
        return Ops::bxor(Ops::avgu(Ops::bxor(a, sign), Ops::bxor(b, sign)), sign);
    }

    // (a + 1 - b) >> 1 clipped: minus floor((b + ~a + 1) / 2), negated with
    // saturation (only 32768 leaves the range).
    static FIXED_FFT_INLINE V halfDifference(V a, V b)
    {
        const V sign = Ops::set1(-32768);
        const V floorHalf =
            Ops::bxor(Ops::avgu(Ops::bxor(b, sign), Ops::bxor(a, Ops::set1(0x7FFF))), sign);
        return Ops::subs(Ops::set1(0), floorHalf);
    }

    // Bit reversal and the two halving stages, 4 * lanes/2 points a time:
    // Ops::gather(input, index, k) gives point k of lanes/2 groups of four,
    // one complex per 32-bit lane, taking the groups so that the lanes'
    // transposition below leaves them in order; index advances by 2 * lanes.
    // Returns the largest |component| written.
    static int32_t firstStages(int16_t* x, const int16_t* input, const typename Ops::Index* index,
                               int32_t points)
    {
        const V realLanes = Ops::set1x32(0xFFFF);
        V most = Ops::set1(0);
        V least = Ops::set1(0);
        for (int32_t i = 0; i < points; i += 2 * lanes, index += 2 * lanes) {
            const V p0 = Ops::gather(input, index, 0);
            const V p1 = Ops::gather(input, index, 1);
            const V p2 = Ops::gather(input, index, 2);
            const V p3 = Ops::gather(input, index, 3);
            const V d0 = halfSum(p0, p1);
            const V d1 = halfDifference(p0, p1);
            const V d2 = halfSum(p2, p3);
            const V d3 = halfDifference(p2, p3);
            // The second butterfly of stage two takes d3 times -j.
            const V d3Swapped = Ops::swapHalves(d3);
            const V sum = halfSum(d1, d3Swapped);
            const V difference = halfDifference(d1, d3Swapped);
            const V e0 = halfSum(d0, d2);
            const V e2 = halfDifference(d0, d2);
            const V e1 = Ops::bor(Ops::band(realLanes, sum), Ops::bandnot(realLanes, difference));
            const V e3 = Ops::bor(Ops::band(realLanes, difference), Ops::bandnot(realLanes, sum));
            track(e0, e1, e2, e3, most, least);
            // Back from one vector per point of the group to one per group.
            const V t0 = Ops::unpacklo32(e0, e1);
            const V t1 = Ops::unpacklo32(e2, e3);
            const V t2 = Ops::unpackhi32(e0, e1);
            const V t3 = Ops::unpackhi32(e2, e3);
            int16_t* out = x + 2 * i;
            Ops::store(out, Ops::unpacklo64(t0, t1));
            Ops::store(out + lanes, Ops::unpackhi64(t0, t1));
            Ops::store(out + 2 * lanes, Ops::unpacklo64(t2, t3));
            Ops::store(out + 3 * lanes, Ops::unpackhi64(t2, t3));
        }
        return Ops::peak(most, least);
    }

    // The clip-free real split, lanes/2 pairs (k, N/2 - k) a time while they
    // stay below N/4, in 32-bit lanes: each sum is formed modulo
    // 2^32 by multiply-adds of 16-bit pairs, exact as it lies within 2^30.
    // Starts at k (>= 1); returns the first k left to do.
    static int32_t split(int16_t* x, int32_t n, const int16_t* splitTwiddles, int32_t k)
    {
        constexpr int32_t pairs = lanes / 2;
        const int32_t points = n / 2;
        const V low = Ops::set1x32(0xFFFF);
        const V quarter = Ops::set1(16384);
        const V quarterPair = Ops::set1x32(static_cast<int32_t>(0xC0004000u));  // (16384, -16384)
        const V round = Ops::set1x32(16384);
        for (; k + pairs - 1 < n / 4; k += pairs) {
            int16_t* pa = x + 2 * k;
            int16_t* pb = x + 2 * (points - k - pairs + 1);
            const V a = Ops::load(pa);
            const V b = Ops::reversePairs(Ops::load(pb));  // b[j] pairs with a[j]
            const V w = Ops::load(splitTwiddles + 2 * k);  // (sin, cos) pairs
            const V sines = Ops::lowHalves(w);
            const V cosines = Ops::highHalves(w);
            const V sine = Ops::sra32(sines, 16);
            const V cosine = Ops::sra32(cosines, 16);
            const V re = Ops::bor(Ops::band(a, low), Ops::sll32(b, 16));       // (a.re, b.re)
            const V im = Ops::bor(Ops::srl32(a, 16), Ops::bandnot(low, b));    // (a.im, b.im)
            // (b.re, ~a.re): s * (b.re - a.re) = madd(., (s, s)) + s.
            const V cross = Ops::bor(Ops::band(b, low), Ops::sll32(Ops::bxor(a, Ops::set1x32(-1)), 16));
            const V base = Ops::add32(Ops::madd(re, quarter), round);
            const V t = Ops::add32(Ops::add32(Ops::madd(im, cosines), sine), Ops::madd(cross, sines));
            const V u = Ops::add32(Ops::add32(Ops::madd(cross, cosines), cosine),
                                   Ops::sub32(round, Ops::madd(im, sines)));
            const V v = Ops::madd(im, quarterPair);
            const V aRe = Ops::sra32(Ops::add32(base, t), 15);
            const V bRe = Ops::sra32(Ops::sub32(base, t), 15);
            const V aIm = Ops::sra32(Ops::add32(u, v), 15);
            const V bIm = Ops::sra32(Ops::sub32(u, v), 15);
            Ops::store(pa, Ops::bor(Ops::band(aRe, low), Ops::sll32(aIm, 16)));
            Ops::store(pb, Ops::reversePairs(Ops::bor(Ops::band(bRe, low), Ops::sll32(bIm, 16))));
        }
        return k;
    }
};

} // namespace
