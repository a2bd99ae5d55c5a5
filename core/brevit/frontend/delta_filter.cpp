#include "core/brevit/frontend/delta_filter.h"

#include "core/brevit/frontend/fe_fixed_math.h"
#include "core/brevit/frontend/fe_reader.h"
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <algorithm>

namespace {

int32_t wrap(int32_t row, int32_t ringSize)
{
    row %= ringSize;
    return row < 0 ? row + ringSize : row;
}

// Rows around a centre row: right neighbours stop at the last queued row in
// final mode; left neighbours before the utterance's start are row 0.
struct Rows {
    int16_t* ring;
    int32_t length;
    int32_t ringSize;

    int16_t* at(int32_t row) const { return ring + static_cast<int64_t>(wrap(row, ringSize)) * length; }
};

// The regression's denominator 2 (1 + 4 + ... + h^2); 10 for h below 1.
int32_t regressionDenominator(int32_t h)
{
    if (h < 1)
        return 10;
    int32_t q = 0;
    for (int32_t k = 1; k <= h; ++k)
        q += k * k;
    return 2 * q;
}

int32_t processTaps(const DeltaFilter* f, const Rows& rows, int32_t writeRow, int32_t frames,
                    bool final)
{
    const int32_t n = f->halfWidth;
    const int32_t s = f->numStatics;
    if (!final && frames < 2 * n && (frames < n || !f->replicateEdges))
        return 0;
    const bool first = f->featureLength >= 2 * s;
    const bool second = f->featureLength >= 3 * s;
    const int32_t c = writeRow - n;
    int16_t* x = rows.at(c);
    for (int32_t i = 0; i < s; ++i) {
        if (first)
            x[s + i] = static_cast<int16_t>((f->deltaTaps[n] * x[i] + 8192) >> 14);
        if (second)
            x[2 * s + i] = static_cast<int16_t>((f->accelTaps[n] * x[i] + 8192) >> 14);
    }
    // Two products of -2^15 each reach 2^31: each pair is summed in 64 bits
    // before the shift, and the coefficients wrap to 16 bits as stored.
    auto pair = [](int16_t a, int16_t b, int16_t c, int16_t d) {
        return static_cast<int32_t>((int64_t{a} * b + int64_t{c} * d + 8192) >> 14);
    };
    for (int32_t k = 1; k <= n; ++k) {
        const int32_t right = final && frames < k ? c + frames : c + k;
        const int32_t left = !final && f->replicateEdges && frames < n + k ? 0 : c - k;
        const int16_t* xr = rows.at(right);
        const int16_t* xl = rows.at(left);
        for (int32_t i = 0; i < s; ++i) {
            if (first)
                x[s + i] = static_cast<int16_t>(
                    x[s + i] + pair(f->deltaTaps[n - k], xl[i], f->deltaTaps[n + k], xr[i]));
            if (second)
                x[2 * s + i] = static_cast<int16_t>(
                    x[2 * s + i] + pair(f->accelTaps[n - k], xl[i], f->accelTaps[n + k], xr[i]));
        }
    }
    return 1;
}

// One order of the regression for the row at centre: values read at offset
// `from` in each neighbour, written at offset `to` in the centre row.
void regress(const DeltaFilter* f, const Rows& rows, int32_t centre, int32_t from, int32_t to,
             int32_t lastRow, bool clampRight, int32_t leftEdgeFrames, int32_t frames)
{
    const int32_t h = f->halfWidth / 2;
    const FEFixDivisor q = FEFix_MakeDivisor(static_cast<uint32_t>(regressionDenominator(h)));
    int16_t* x = rows.at(centre);
    // A chunk of coefficients at a time, so that each neighbour row is found
    // once per chunk rather than once per coefficient.
    constexpr int32_t kChunk = 32;
    for (int32_t first = 0; first < f->numStatics; first += kChunk) {
        const int32_t count = std::min(kChunk, f->numStatics - first);
        // The sums are 32-bit and wrap past h = 255 at the extremes: kept
        // unsigned so that the wrap is defined.
        uint32_t acc[kChunk] = {};
        for (int32_t k = 1; k <= h; ++k) {
            int32_t right = centre + k;
            if (clampRight && right > lastRow)
                right = lastRow;
            const bool leftEdge = !clampRight && f->replicateEdges && frames < leftEdgeFrames + k;
            const int32_t left = leftEdge ? 0 : centre - k;
            const int16_t* xr = rows.at(right) + from + first;
            const int16_t* xl = rows.at(left) + from + first;
            for (int32_t i = 0; i < count; ++i)
                acc[i] += static_cast<uint32_t>(k * (xr[i] - xl[i]));
        }
        for (int32_t i = 0; i < count; ++i)
            x[to + first + i] = static_cast<int16_t>(FEFix_Divide(static_cast<int32_t>(acc[i]), q));
    }
}

int32_t processRegression(const DeltaFilter* f, const Rows& rows, int32_t writeRow,
                          int32_t frames, bool final)
{
    const int32_t n = f->halfWidth;
    const int32_t h = n / 2;
    const int32_t s = f->numStatics;
    const bool first = f->featureLength >= 2 * s;
    const bool second = f->featureLength >= 3 * s;
    const int32_t c2 = writeRow - n;
    const int32_t c1 = writeRow - h;
    // In final mode `frames` rows follow c2: the last one bounds the right side.
    const int32_t lastRow = c2 + frames;

    const bool firstWaits = !final && frames < n && (!f->replicateEdges || frames < h);
    if (first && !firstWaits && !(final && c1 > lastRow))
        regress(f, rows, c1, 0, s, lastRow, final, h, frames);
    if (!final && frames < 2 * n && !(f->replicateEdges && frames >= n))
        return 0;
    if (second)
        regress(f, rows, c2, s, 2 * s, lastRow, final, n, frames);
    return 1;
}

} // namespace

DeltaFilter* DeltaFilter_LoadFromBinFile(DVKTar* tar, const char* prefix)
{
    BinFileReader* reader = FEReader_Open(tar, "bdf0", prefix);
    if (reader == nullptr)
        return nullptr;
    auto* f = static_cast<DeltaFilter*>(DVKMem_Calloc(sizeof(DeltaFilter)));
    bool ok = f != nullptr && FEReader_ReadInts(reader, &f->halfWidth, 3) &&
              BinFileReader_ReadBoolean(reader, &f->replicateEdges) &&
              BinFileReader_ReadBoolean(reader, &f->useTaps) && f->halfWidth >= 0 &&
              f->halfWidth <= 1024 && f->numStatics >= 1 && f->featureLength >= f->numStatics &&
              f->featureLength <= 4096;
    if (ok && f->useTaps) {
        const uint32_t taps = static_cast<uint32_t>(2 * f->halfWidth + 1);
        ok = FEReader_ReadInt16Array(reader, &f->deltaTaps, taps) &&
             FEReader_ReadInt16Array(reader, &f->accelTaps, taps);
    }
    BinFileReader_Delete(reader);
    if (!ok) {
        DeltaFilter_Destroy(f);
        return nullptr;
    }
    return f;
}

int32_t DeltaFilter_Process(const DeltaFilter* filter, int16_t* ring, int32_t writeRow,
                            int32_t ringSize, int32_t frames, int32_t final)
{
    const Rows rows{ring, filter->featureLength, ringSize};
    if (filter->useTaps)
        return processTaps(filter, rows, writeRow, frames, final != 0);
    return processRegression(filter, rows, writeRow, frames, final != 0);
}

uint32_t DeltaFilter_ComputeCRC(const DeltaFilter* filter)
{
    uint32_t crc = 0xFFFFFFFFu;
    if (filter == nullptr || !filter->useTaps)
        return crc;
    const int32_t taps = 2 * filter->halfWidth + 1;
    crc = DVKCrc_AddArray(filter->deltaTaps, 2, taps, crc);
    return DVKCrc_AddArray(filter->accelTaps, 2, taps, crc);
}

void DeltaFilter_Destroy(DeltaFilter* filter)
{
    if (filter == nullptr)
        return;
    DVKMem_Free(filter->deltaTaps);
    DVKMem_Free(filter->accelTaps);
    DVKMem_Free(filter);
}
