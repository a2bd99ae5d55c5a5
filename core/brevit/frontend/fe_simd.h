// Which vector kernels the front end's stages run. Every kernel gives the
// same bits as the portable code; the level is chosen once from the CPU and
// can be lowered (tests compare the levels, benchmarks time them).
#pragma once

#include <cstdint>

// AVX2 kernels are compiled for x86 with GCC or Clang (per function, so the
// rest of the build keeps its baseline) and run only where the CPU has them.
#if defined(__SSE2__) && (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
#define FE_SIMD_AVX2 1
#define FE_TARGET_AVX2 __attribute__((target("avx2")))
#endif

inline constexpr int32_t kFESimdScalar = 0;
inline constexpr int32_t kFESimdSSE2 = 1;
inline constexpr int32_t kFESimdAVX2 = 2;

// The level in use: the best the CPU and the build support unless lowered.
int32_t FESimd_Level();
// The best level the CPU and the build support.
int32_t FESimd_MaxLevel();
// Sets the level, clipped to FESimd_MaxLevel(); returns the one in force.
int32_t FESimd_SetLevel(int32_t level);

#if defined(__SSE2__)
#include <emmintrin.h>

// acc (two int64 lanes) plus the four int32 lanes of pmaddwd(x, y), each
// widened with its sign.
inline __m128i FESimd_AddMaddWide(__m128i acc, __m128i x, __m128i y)
{
    const __m128i p = _mm_madd_epi16(x, y);
    const __m128i sign = _mm_srai_epi32(p, 31);
    return _mm_add_epi64(_mm_add_epi64(acc, _mm_unpacklo_epi32(p, sign)),
                         _mm_unpackhi_epi32(p, sign));
}

inline int64_t FESimd_SumWide(__m128i acc)
{
    alignas(16) int64_t halves[2];
    _mm_store_si128(reinterpret_cast<__m128i*>(halves), acc);
    return halves[0] + halves[1];
}
#endif
