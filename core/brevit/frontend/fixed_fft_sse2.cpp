#include "core/brevit/frontend/fixed_fft_simd.h"

#if defined(__SSE2__)
#include "core/brevit/frontend/fixed_fft_kernel.h"

namespace {

using Kernel = FFTKernel<Ops128>;

} // namespace

int32_t FixedFFTSse2_FirstStages(int16_t* x, const int16_t* input, const int16_t* order,
                                 int32_t points)
{
    return Kernel::firstStages(x, input, order, points);
}

int32_t FixedFFTSse2_Split(int16_t* x, int32_t n, const int16_t* splitTwiddles)
{
    return Kernel::split(x, n, splitTwiddles, 1);
}

int32_t FixedFFTSse2_Stage(int16_t* x, int32_t points, int32_t h, const int16_t* w0,
                           const int16_t* w1)
{
    if (h == 4)
        return Kernel::halfStage(x, points, h, w0, w1);
    return Kernel::stage(x, points, h, w0, w1);
}
#endif
