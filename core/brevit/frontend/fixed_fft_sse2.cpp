#include "core/brevit/frontend/fixed_fft_simd.h"

#if defined(__SSE2__)
#include "core/brevit/frontend/fixed_fft_kernel.h"

#include <cstring>

namespace {

FIXED_FFT_VECTOR_OPS(Ops128Base, __m128i, 8, _mm_, si128);

inline int32_t pairAt(const int16_t* p)
{
    int32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

struct Ops128 : Ops128Base {
    using Index = int16_t;
    static int32_t peak(V most, V least) { return peak128(most, least); }
    static V reversePairs(V a) { return _mm_shuffle_epi32(a, 0x1B); }
    // Point k of four consecutive groups of four; index is the gather order.
    static V gather(const int16_t* input, const int16_t* index, int32_t k)
    {
        return _mm_set_epi32(pairAt(input + 2 * index[12 + k]), pairAt(input + 2 * index[8 + k]),
                             pairAt(input + 2 * index[4 + k]), pairAt(input + 2 * index[k]));
    }
};

using Kernel = FFTKernel<Ops128>;

} // namespace

int32_t FixedFFTSse2_FirstStages(int16_t* x, const int16_t* input, const int16_t* order,
                                 int32_t points)
{
    return Kernel::firstStages(x, input, order, points);
}

int32_t FixedFFTSse2_Split(int16_t* x, int32_t n, const int16_t* splitTwiddles)
{
    return Kernel::split(x, n, splitTwiddles);
}

int32_t FixedFFTSse2_Stage(int16_t* x, int32_t points, int32_t h, const int16_t* w0,
                           const int16_t* w1)
{
    if (h == 4)
        return Kernel::halfStage(x, points, h, w0, w1);
    return Kernel::stage(x, points, h, w0, w1);
}
#endif
