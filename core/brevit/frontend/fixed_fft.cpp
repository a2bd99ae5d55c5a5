#include "core/brevit/frontend/fixed_fft.h"

#include "core/brevit/frontend/fe_fixed_math.h"
#include "core/brevit/frontend/fe_reader.h"
#include "core/brevit/frontend/fe_simd.h"
#include "core/brevit/frontend/fixed_fft_simd.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Halving butterfly of the first two stages: (a + 1 + b) >> 1.
inline int16_t halfSum(int32_t a, int32_t b) { return FEFix_Clip16((a + 1 + b) >> 1); }

// a, b := (a + b) / 2, (a - b) / 2 per component, without a twiddle.
inline void halfButterfly(int16_t* a, int16_t* b)
{
    for (int c = 0; c < 2; ++c) {
        const int32_t av = a[c];
        const int32_t bv = b[c];
        a[c] = halfSum(av, bv);
        b[c] = halfSum(av, -bv);
    }
}

// Largest |component| of count int16 values (count a multiple of 8); -32768
// counts as 32768.
int32_t peak(const int16_t* x, int32_t count)
{
#if defined(__SSE2__)
    __m128i hi = _mm_setzero_si128();
    __m128i lo = _mm_setzero_si128();
    for (int32_t i = 0; i < count; i += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(x + i));
        hi = _mm_max_epi16(hi, v);
        lo = _mm_min_epi16(lo, v);
    }
    alignas(16) int16_t his[8];
    alignas(16) int16_t los[8];
    _mm_store_si128(reinterpret_cast<__m128i*>(his), hi);
    _mm_store_si128(reinterpret_cast<__m128i*>(los), lo);
    int32_t m = 0;
    for (int c = 0; c < 8; ++c)
        m = std::max({m, int32_t{his[c]}, -int32_t{los[c]}});
    return m;
#else
    int32_t m = 0;
    for (int32_t i = 0; i < count; ++i)
        m = std::max(m, std::abs(int32_t{x[i]}));
    return m;
#endif
}

// Bit reversal by the table's swaps, then the two stages without twiddles.
void firstStages(const FixedFFT* fft, int16_t* x)
{
    const int32_t points = fft->size / 2;
    for (int32_t i = 0; i < points; ++i) {
        const int32_t j = fft->bitReverse[i];
        if (j > i) {
            std::swap(x[2 * i], x[2 * j]);
            std::swap(x[2 * i + 1], x[2 * j + 1]);
        }
    }
    // Stage one: neighbouring points.
    for (int32_t i = 0; i < points; i += 2)
        halfButterfly(x + 2 * i, x + 2 * i + 2);
    // Stage two: points two apart; the second butterfly's twiddle is -j.
    for (int32_t i = 0; i < points; i += 4) {
        halfButterfly(x + 2 * i, x + 2 * i + 4);
        int16_t* a = x + 2 * i + 2;
        int16_t* b = a + 4;
        const int32_t are = a[0], aim = a[1], bre = b[0], bim = b[1];
        a[0] = halfSum(are, bim);
        a[1] = halfSum(aim, -bre);
        b[0] = halfSum(are, -bim);
        b[1] = halfSum(aim, bre);
    }
}

// One twiddled stage over butterflies h apart. Each product fits 32 bits;
// the sum with a x 32768 may not for a full-scale input, so it is formed
// wide and the output clipped unless the caller has shown it cannot leave
// the 16-bit range.
template <bool clip>
void twiddledStage(const FixedFFT* fft, int16_t* x, int32_t h)
{
    const int32_t points = fft->size / 2;
    const int32_t step = 2 * (fft->size / (4 * h));
    for (int32_t g = 0; g < points; g += 2 * h) {
        int16_t* a = x + 2 * g;
        int16_t* b = a + 2 * h;
        const int16_t* w = fft->twiddles;
        for (int32_t j = 0; j < h; ++j, a += 2, b += 2, w += step) {
            const int32_t w0 = w[0];
            const int32_t w1 = w[1];
            const int64_t tre = int64_t{w0 * b[0]} - w1 * b[1];
            const int64_t tim = int64_t{w1 * b[0]} + w0 * b[1];
            const int64_t are = int64_t{a[0] * 32768} + 32768;
            const int64_t aim = int64_t{a[1] * 32768} + 32768;
            if constexpr (clip) {
                a[0] = FEFix_Clip16((are + tre) >> 16);
                a[1] = FEFix_Clip16((aim + tim) >> 16);
                b[0] = FEFix_Clip16((are - tre) >> 16);
                b[1] = FEFix_Clip16((aim - tim) >> 16);
            } else {
                a[0] = static_cast<int16_t>((are + tre) >> 16);
                a[1] = static_cast<int16_t>((aim + tim) >> 16);
                b[0] = static_cast<int16_t>((are - tre) >> 16);
                b[1] = static_cast<int16_t>((aim - tim) >> 16);
            }
        }
    }
}

// X[k] and X[N/2 - k] from Z[k] and Z[N/2 - k], k from firstK on, and the
// ends X[0], X[N/2].
template <bool clip>
void realSplit(const FixedFFT* fft, int16_t* x, int32_t firstK)
{
    auto out = [](int64_t v) { return clip ? FEFix_Clip16(v) : static_cast<int16_t>(v); };
    const int32_t n = fft->size;
    const int32_t points = n / 2;
    const int32_t re0 = x[0];
    const int32_t im0 = x[1];
    x[n] = out(re0 - im0);
    x[n + 1] = 0;
    x[0] = out(re0 + im0);
    x[1] = 0;
    for (int32_t k = firstK; k < n / 4; ++k) {
        int16_t* a = x + 2 * k;
        int16_t* b = x + 2 * (points - k);
        const int64_t s = fft->splitTwiddles[2 * k];
        const int64_t c = fft->splitTwiddles[2 * k + 1];
        const int64_t dr = int64_t{a[0]} - b[0];
        const int64_t si = int64_t{a[1]} + b[1];
        const int64_t base = (int64_t{a[0]} + b[0]) * 16384 + 16384;
        const int64_t t = c * si - s * dr;
        const int64_t u = 16384 - c * dr - s * si;
        const int64_t v = (int64_t{a[1]} - b[1]) * 16384;
        a[0] = out((base + t) >> 15);
        b[0] = out((base - t) >> 15);
        a[1] = out((u + v) >> 15);
        b[1] = out((u - v) >> 15);
    }
}

// A twiddled stage's share of stageTwiddles: the cosine and minus-sine runs
// for 8 lanes, then for 16 lanes. A vector of butterflies takes them in the
// order the split into reals and imaginaries (within 128-bit lanes) leaves
// them: for 8 lanes j in order, the h of a stage of 4 twice over; for 16
// lanes 0-3, 8-11, 4-7, 12-15 of each 16, a stage of 8 spanning two groups
// as 0-3, 0-3, 4-7, 4-7, a stage of 4 its four times over.
int32_t shortRun(int32_t h) { return std::max(h, 8); }
int32_t longRun(int32_t h) { return std::max(h, 16); }

int32_t longRunPoint(int32_t h, int32_t i)
{
    if (h == 4)
        return i % 4;
    if (h == 8)
        return i / 8 * 4 + i % 4;
    const int32_t quarter = i % 16 / 4;
    return i + (quarter == 1 ? 4 : (quarter == 2 ? -4 : 0));
}

// The vector path gathers the bit reversal from a copy of the frame on the
// stack, up to this size.
constexpr int32_t kVectorFirstStagesMax = 2048;

template <typename T>
T* allocate(int32_t count)
{
    return static_cast<T*>(DVKMem_Malloc(static_cast<uint32_t>(sizeof(T)) * static_cast<uint32_t>(count)));
}

// Where each point comes from once the table's swaps (in order, whatever
// the table holds) are done, and the same as the 16-lane gather takes it:
// per 32 points, for each k of 0..3, point k of groups 0, 2, 4, 6, 1, 3, 5, 7.
bool gatherOrder(FixedFFT* fft)
{
    const int32_t points = fft->size / 2;
    fft->order = allocate<int16_t>(points);
    fft->gatherIndex = allocate<int32_t>(points);
    if (fft->order == nullptr || fft->gatherIndex == nullptr)
        return false;
    for (int32_t i = 0; i < points; ++i)
        fft->order[i] = static_cast<int16_t>(i);
    for (int32_t i = 0; i < points; ++i) {
        const int32_t j = fft->bitReverse[i];
        if (j > i)
            std::swap(fft->order[i], fft->order[j]);
    }
    for (int32_t i = 0; i < points; ++i) {
        const int32_t lane = i % 8;
        const int32_t group = lane < 4 ? 2 * lane : 2 * (lane - 4) + 1;
        const int32_t from = i / 32 * 32 + 4 * group + i % 32 / 8;
        fft->gatherIndex[i] = from < points ? fft->order[from] : 0;
    }
    return true;
}

bool layOutStageTwiddles(FixedFFT* fft)
{
    const int32_t n = fft->size;
    int32_t total = 0;
    for (int32_t h = 4; h < n / 2; h *= 2)
        total += 2 * (shortRun(h) + longRun(h));
    fft->stageTwiddles = allocate<int16_t>(total + 1);
    if (fft->stageTwiddles == nullptr)
        return false;
    int16_t* out = fft->stageTwiddles;
    for (int32_t h = 4; h < n / 2; h *= 2) {
        const int16_t* w = fft->twiddles;
        const int32_t step = 2 * (n / (4 * h));
        const int32_t s = shortRun(h);
        for (int32_t i = 0; i < s; ++i) {
            out[i] = w[(i % h) * step];
            out[s + i] = w[(i % h) * step + 1];
        }
        out += 2 * s;
        const int32_t l = longRun(h);
        for (int32_t i = 0; i < l; ++i) {
            const int32_t j = longRunPoint(h, i);
            out[i] = w[j * step];
            out[l + i] = w[j * step + 1];
        }
        out += 2 * l;
    }
    return true;
}

} // namespace

static_assert(kFixedFFTScalar == kFESimdScalar && kFixedFFTSse2 == kFESimdSSE2 && kFixedFFTAvx2 == kFESimdAVX2,
              "the FFT's paths follow the front end's vector levels");

int32_t FixedFFT_BestPath()
{
#if defined(MERROWIND_FFT_AVX2)
    return FESimd_MaxLevel();
#else
    return std::min(FESimd_MaxLevel(), int32_t{kFixedFFTSse2});
#endif
}

FixedFFT* FixedFFT_LoadFromBinFile(DVKTar* tar, const char* prefix)
{
    BinFileReader* reader = FEReader_Open(tar, "bfc0", prefix);
    if (reader == nullptr)
        return nullptr;
    auto* fft = static_cast<FixedFFT*>(DVKMem_Calloc(sizeof(FixedFFT)));
    bool ok = fft != nullptr && BinFileReader_ReadInt(reader, &fft->size) &&
              BinFileReader_ReadInt(reader, &fft->stages);
    const int32_t n = ok ? fft->size : 0;
    ok = ok && n >= 8 && n <= (1 << 16) && (n & (n - 1)) == 0 && fft->stages >= 2 &&
         fft->stages <= 15 && (2 << fft->stages) == n;
    ok = ok && FEReader_ReadInt16Array(reader, &fft->splitTwiddles, static_cast<uint32_t>(n)) &&
         FEReader_ReadInt16Array(reader, &fft->twiddles, static_cast<uint32_t>(n / 2)) &&
         FEReader_ReadInt16Array(reader, &fft->bitReverse, static_cast<uint32_t>(n / 2));
    BinFileReader_Delete(reader);
    for (int32_t i = 0; ok && i < n / 2; ++i)
        ok = fft->bitReverse[i] >= 0 && fft->bitReverse[i] < n / 2;
    for (int32_t i = 0; ok && i < n; i += 2)
        fft->splitBound = std::max(fft->splitBound, std::abs(int32_t{fft->splitTwiddles[i]}) +
                                                        std::abs(int32_t{fft->splitTwiddles[i + 1]}));
    for (int32_t i = 0; ok && i < n / 2; i += 2)
        fft->twiddleBound = std::max(fft->twiddleBound, std::abs(int32_t{fft->twiddles[i]}) +
                                                            std::abs(int32_t{fft->twiddles[i + 1]}));
    ok = ok && layOutStageTwiddles(fft) && gatherOrder(fft);
    if (!ok) {
        FixedFFT_Destroy(fft);
        return nullptr;
    }
    fft->path = FixedFFT_BestPath();
    return fft;
}

namespace {

// The vector paths the FFT's path and size allow. Each returns false (or
// k = 1) where the scalar loop must run instead, else the largest
// |component| it wrote in *peakOut (the split: the first k left to do).
#if defined(MERROWIND_FFT_AVX2)
bool avx2Fits(const FixedFFT* fft) { return fft->path >= kFixedFFTAvx2 && fft->size >= 64; }
#endif
#if defined(__SSE2__)
bool sse2Fits(const FixedFFT* fft) { return fft->path >= kFixedFFTSse2 && fft->size >= 32; }
#endif

bool vectorFirstStages(const FixedFFT* fft, int16_t* x, int32_t* peakOut)
{
#if defined(__SSE2__)
    const int32_t n = fft->size;
    if (!sse2Fits(fft) || n > kVectorFirstStagesMax)
        return false;
    int16_t input[kVectorFirstStagesMax];
    std::memcpy(input, x, sizeof(int16_t) * static_cast<size_t>(n));
#if defined(MERROWIND_FFT_AVX2)
    if (avx2Fits(fft)) {
        *peakOut = FixedFFTAvx2_FirstStages(x, input, fft->gatherIndex, n / 2);
        return true;
    }
#endif
    *peakOut = FixedFFTSse2_FirstStages(x, input, fft->order, n / 2);
    return true;
#else
    (void)fft, (void)x, (void)peakOut;
    return false;
#endif
}

bool vectorStage(const FixedFFT* fft, int16_t* x, int32_t h, const int16_t* table, int32_t* peakOut)
{
#if defined(MERROWIND_FFT_AVX2)
    if (avx2Fits(fft)) {
        const int32_t l = longRun(h);
        *peakOut = FixedFFTAvx2_Stage(x, fft->size / 2, h, table + 2 * shortRun(h), table + 2 * shortRun(h) + l);
        return true;
    }
#endif
#if defined(__SSE2__)
    if (sse2Fits(fft)) {
        *peakOut = FixedFFTSse2_Stage(x, fft->size / 2, h, table, table + shortRun(h));
        return true;
    }
#endif
    (void)fft, (void)x, (void)h, (void)table, (void)peakOut;
    return false;
}

int32_t vectorSplit(const FixedFFT* fft, int16_t* x)
{
#if defined(MERROWIND_FFT_AVX2)
    if (avx2Fits(fft))
        return FixedFFTAvx2_Split(x, fft->size, fft->splitTwiddles);
#endif
#if defined(__SSE2__)
    if (sse2Fits(fft))
        return FixedFFTSse2_Split(x, fft->size, fft->splitTwiddles);
#endif
    (void)fft, (void)x;
    return 1;
}

} // namespace

int32_t FixedFFT_Apply(const FixedFFT* fft, int16_t* x)
{
    const int32_t n = fft->size;
    const int32_t points = n / 2;

    int32_t m = 0;  // the largest |component| in x
    if (!vectorFirstStages(fft, x, &m)) {
        firstStages(fft, x);
        m = peak(x, n);
    }

    // The remaining stages with twiddles. With every |component| <= m, a
    // butterfly's wide sum lies within m * (32768 + twiddleBound) + 32768 of
    // zero: below 2^31 its output needs no clip. The vector stages report
    // the peak they wrote; otherwise it is scanned.
    const int16_t* table = fft->stageTwiddles;
    for (int32_t h = 4; h < points; h *= 2) {
        if (int64_t{m} * (32768 + fft->twiddleBound) + 32768 >= (int64_t{1} << 31)) {
            twiddledStage<true>(fft, x, h);
            m = peak(x, n);
        } else if (!vectorStage(fft, x, h, table, &m)) {
            twiddledStage<false>(fft, x, h);
            m = peak(x, n);
        }
        table += 2 * (shortRun(h) + longRun(h));
    }

    // The split's wide sums lie within 2m * (16384 + splitBound) + 16384 of
    // zero: below 2^30 its outputs need no clip.
    if (int64_t{m} * 2 * (16384 + fft->splitBound) + 16384 >= (int64_t{1} << 30))
        realSplit<true>(fft, x, 1);
    else
        realSplit<false>(fft, x, vectorSplit(fft, x));
    return fft->stages;
}

void FixedFFT_Destroy(FixedFFT* fft)
{
    if (fft == nullptr)
        return;
    DVKMem_Free(fft->splitTwiddles);
    DVKMem_Free(fft->twiddles);
    DVKMem_Free(fft->bitReverse);
    DVKMem_Free(fft->stageTwiddles);
    DVKMem_Free(fft->order);
    DVKMem_Free(fft->gatherIndex);
    DVKMem_Free(fft);
}
