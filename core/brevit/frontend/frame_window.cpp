#include "core/brevit/frontend/frame_window.h"

#include "core/brevit/frontend/fe_fixed_math.h"
#include "core/brevit/frontend/fe_reader.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <cstdlib>

FrameWindow* FrameWindow_LoadFromBinFile(DVKTar* tar, const char* prefix)
{
    BinFileReader* reader = FEReader_Open(tar, "bh0", prefix);
    if (reader == nullptr)
        return nullptr;
    auto* window = static_cast<FrameWindow*>(DVKMem_Calloc(sizeof(FrameWindow)));
    bool ok = window != nullptr;
    void* half = nullptr;
    uint32_t count = 0;
    ok = ok && BinFileReader_ReadInt(reader, &window->windowLength) &&
         BinFileReader_ReadInt(reader, &window->outputLength) &&
         BinFileReader_ReadBoolean(reader, &window->fold) &&
         BinFileReader_AllocateAndReadArray(reader, sizeof(int16_t), &half, &count);
    BinFileReader_Delete(reader);
    if (window != nullptr)
        window->halfWindow = static_cast<int16_t*>(half);
    if (ok) {
        const int32_t w = window->windowLength;
        const int32_t f = window->outputLength;
        ok = w > 0 && w % 2 == 0 && f > 0 && half != nullptr &&
             count == static_cast<uint32_t>(w / 2) &&
             (window->fold ? (f >= w / 2 && f <= w) : f >= w);
    }
    if (!ok) {
        FrameWindow_Destroy(window);
        return nullptr;
    }
    return window;
}

int32_t FrameWindow_Apply(const FrameWindow* window, const int16_t* in, int16_t* out)
{
    const int32_t w = window->windowLength;
    const int32_t f = window->outputLength;
    const int32_t half = w / 2;

    int32_t magnitude = 0;
    for (int32_t i = 0; i < w; ++i)
        magnitude |= std::abs(static_cast<int32_t>(in[i]));
    int32_t k = 0;
    int32_t shift = 15;
    int32_t rounding = 16384;
    if (magnitude < 16384) {
        while (k < 15 && (magnitude << k) < 16384)
            ++k;
        shift = 15 - k;
        rounding = k == 15 ? 0 : 1 << (14 - k);
    }
    auto windowed = [&](int32_t i) {
        const int32_t coefficient = i < half ? window->halfWindow[i] : window->halfWindow[w - 1 - i];
        return static_cast<int16_t>((in[i] * coefficient + rounding) >> shift);
    };

    if (!window->fold) {
        for (int32_t i = 0; i < w; ++i)
            out[i] = windowed(i);
        for (int32_t i = w; i < f; ++i)
            out[i] = 0;
        return k;
    }
    // Centred at 0 and wrapped modulo F: the first half lands at the end, the
    // next F - W/2 values at the start, the rest is added onto the end again.
    for (int32_t i = 0; i < half; ++i)
        out[f - half + i] = windowed(i);
    for (int32_t i = half; i < f; ++i)
        out[i - half] = windowed(i);
    for (int32_t i = f; i < w; ++i)
        out[i - half] = FEFix_Clip16(int32_t{out[i - half]} + windowed(i));
    return k;
}

void FrameWindow_Destroy(FrameWindow* window)
{
    if (window == nullptr)
        return;
    DVKMem_Free(window->halfWindow);
    DVKMem_Free(window);
}
