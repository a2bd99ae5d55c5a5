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
    static int32_t peak(V most, V least)
    {
        return peak128(_mm_max_epi16(_mm256_castsi256_si128(most), _mm256_extracti128_si256(most, 1)),
                       _mm_min_epi16(_mm256_castsi256_si128(least), _mm256_extracti128_si256(least, 1)));
    }
};

} // namespace

int32_t FixedFFTAvx2_Stage(int16_t* x, int32_t points, int32_t h, const int16_t* w0,
                           const int16_t* w1)
{
    return FFTKernel<Ops256>::stage(x, points, h, w0, w1);
}
#endif
