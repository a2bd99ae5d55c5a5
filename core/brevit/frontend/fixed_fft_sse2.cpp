#include "core/brevit/frontend/fixed_fft_simd.h"

#if defined(__SSE2__)
#include "core/brevit/frontend/fixed_fft_kernel.h"

namespace {

FIXED_FFT_VECTOR_OPS(Ops128Base, __m128i, 8, _mm_, si128);

struct Ops128 : Ops128Base {
    static int32_t peak(V most, V least) { return peak128(most, least); }
};

} // namespace

int32_t FixedFFTSse2_Stage(int16_t* x, int32_t points, int32_t h, const int16_t* w0,
                           const int16_t* w1)
{
    if (h == 4)
        return FFTKernel<Ops128>::halfStage(x, points, h, w0, w1);
    return FFTKernel<Ops128>::stage(x, points, h, w0, w1);
}
#endif
