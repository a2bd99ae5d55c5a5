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
