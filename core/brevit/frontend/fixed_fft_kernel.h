// The vector butterfly of the fixed-point FFT, written once over a vector
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
// si128 or si256. Ops for the kernel add peak(most, least) (see peak128).
#define FIXED_FFT_VECTOR_OPS(Name, Vector, Lanes, P, SI)                                \
    struct Name {                                                                     \
        using V = Vector;                                                             \
        static constexpr int32_t lanes = Lanes;                                       \
        static V load(const int16_t* p) { return P##loadu_##SI(reinterpret_cast<const V*>(p)); } \
        static void store(int16_t* p, V v) { P##storeu_##SI(reinterpret_cast<V*>(p), v); } \
        static V set1(int16_t v) { return P##set1_epi16(v); }                          \
        static V add(V a, V b) { return P##add_epi16(a, b); }                          \
        static V sub(V a, V b) { return P##sub_epi16(a, b); }                          \
        static V bxor(V a, V b) { return P##xor_##SI(a, b); }                          \
        static V mullo(V a, V b) { return P##mullo_epi16(a, b); }                      \
        static V mulhi(V a, V b) { return P##mulhi_epi16(a, b); }                      \
        static V cmpgt(V a, V b) { return P##cmpgt_epi16(a, b); }                      \
        static V cmpeq(V a, V b) { return P##cmpeq_epi16(a, b); }                      \
        static V max(V a, V b) { return P##max_epi16(a, b); }                          \
        static V min(V a, V b) { return P##min_epi16(a, b); }                          \
        static V avgu(V a, V b) { return P##avg_epu16(a, b); }                         \
        static V unpacklo(V a, V b) { return P##unpacklo_epi16(a, b); }                \
        static V unpackhi(V a, V b) { return P##unpackhi_epi16(a, b); }                \
        static V packs32(V a, V b) { return P##packs_epi32(a, b); }                    \
        static V srl(V a, int n) { return P##srli_epi16(a, n); }                       \
        static V sll(V a, int n) { return P##slli_epi16(a, n); }                       \
        static V sra32(V a, int n) { return P##srai_epi32(a, n); }                     \
        static V sll32(V a, int n) { return P##slli_epi32(a, n); }                     \
    }

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

template <typename Ops>
struct FFTKernel {
    using V = typename Ops::V;

    // Outputs of one component: hi is H, lo is D.
    static inline void finish(V a, V hi, V lo, V& outA, V& outB)
    {
        const V sign = Ops::set1(-32768);
        const V avg = Ops::avgu(Ops::bxor(a, sign), Ops::srl(lo, 15));
        outA = Ops::add(hi, Ops::sub(avg, Ops::set1(16384)));
        const V lowZero = Ops::cmpeq(Ops::add(lo, Ops::sll(a, 15)), sign);
        outB = Ops::sub(Ops::sub(a, outA), lowZero);
    }

    // One vector of butterflies: a and b each as two vectors of interleaved
    // (real, imaginary) pairs, w0/w1 the twiddles' cosine and minus-sine
    // runs in the order the split below leaves the butterflies in.
    static inline void butterflies(int16_t* a0, int16_t* a1, int16_t* b0, int16_t* b1,
                                   const int16_t* w0p, const int16_t* w1p, V& most, V& least)
    {
        const V va0 = Ops::load(a0);
        const V va1 = Ops::load(a1);
        const V vb0 = Ops::load(b0);
        const V vb1 = Ops::load(b1);
        const V are = Ops::packs32(Ops::sra32(Ops::sll32(va0, 16), 16),
                                   Ops::sra32(Ops::sll32(va1, 16), 16));
        const V aim = Ops::packs32(Ops::sra32(va0, 16), Ops::sra32(va1, 16));
        const V bre = Ops::packs32(Ops::sra32(Ops::sll32(vb0, 16), 16),
                                   Ops::sra32(Ops::sll32(vb1, 16), 16));
        const V bim = Ops::packs32(Ops::sra32(vb0, 16), Ops::sra32(vb1, 16));
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
        most = Ops::max(most, Ops::max(Ops::max(oare, obre), Ops::max(oaim, obim)));
        least = Ops::min(least, Ops::min(Ops::min(oare, obre), Ops::min(oaim, obim)));
        Ops::store(a0, Ops::unpacklo(oare, oaim));
        Ops::store(a1, Ops::unpackhi(oare, oaim));
        Ops::store(b0, Ops::unpacklo(obre, obim));
        Ops::store(b1, Ops::unpackhi(obre, obim));
    }

    // A whole stage over butterflies h apart (h a multiple of the lane
    // count); returns the largest |component| written.
    static int32_t stage(int16_t* x, int32_t points, int32_t h, const int16_t* w0,
                         const int16_t* w1)
    {
        constexpr int32_t lanes = Ops::lanes;
        V most = Ops::set1(0);
        V least = Ops::set1(0);
        for (int32_t g = 0; g < points; g += 2 * h) {
            int16_t* a = x + 2 * g;
            for (int32_t j = 0; j < h; j += lanes, a += 2 * lanes)
                butterflies(a, a + lanes, a + 2 * h, a + 2 * h + lanes, w0 + j, w1 + j, most, least);
        }
        return Ops::peak(most, least);
    }

    // A stage with h half the lane count: one vector spans two groups, its
    // twiddles are the h of a group twice over.
    static int32_t halfStage(int16_t* x, int32_t points, int32_t h, const int16_t* w0,
                             const int16_t* w1)
    {
        V most = Ops::set1(0);
        V least = Ops::set1(0);
        for (int32_t g = 0; g < points; g += 4 * h) {
            int16_t* a = x + 2 * g;
            butterflies(a, a + 4 * h, a + 2 * h, a + 6 * h, w0, w1, most, least);
        }
        return Ops::peak(most, least);
    }
};

} // namespace
