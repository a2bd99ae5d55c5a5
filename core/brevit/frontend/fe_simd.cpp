#include "core/brevit/frontend/fe_simd.h"

namespace {

int32_t detectLevel()
{
#if defined(__SSE2__)
#if defined(FE_SIMD_AVX2)
    if (__builtin_cpu_supports("avx2"))
        return kFESimdAVX2;
#endif
    return kFESimdSSE2;
#else
    return kFESimdScalar;
#endif
}

int32_t& current()
{
    static int32_t level = detectLevel();
    return level;
}

} // namespace

int32_t FESimd_Level() { return current(); }

int32_t FESimd_MaxLevel()
{
    static const int32_t level = detectLevel();
    return level;
}

int32_t FESimd_SetLevel(int32_t level)
{
    const int32_t top = FESimd_MaxLevel();
    current() = level < kFESimdScalar ? kFESimdScalar : (level > top ? top : level);
    return current();
}
