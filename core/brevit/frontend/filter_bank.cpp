#include "core/brevit/frontend/filter_bank.h"

#include "core/brevit/frontend/fe_fixed_math.h"
#include "core/brevit/frontend/fe_reader.h"
#include "core/brevit/frontend/fe_simd.h"
#include "core/brevit/frontend/spectral_sub.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

bool readHeader(BinFileReader* reader, FilterBank* bank)
{
    return BinFileReader_ReadInt(reader, &bank->numChannels) &&
           BinFileReader_ReadInt(reader, &bank->value1) &&
           BinFileReader_ReadInt(reader, &bank->value2) &&
           BinFileReader_ReadBoolean(reader, &bank->snapshotFlag) &&
           BinFileReader_ReadBoolean(reader, &bank->blockScaled) &&
           BinFileReader_ReadInt(reader, &bank->snapshotValue1) &&
           BinFileReader_ReadInt(reader, &bank->snapshotValue2) &&
           BinFileReader_ReadInt(reader, &bank->numWeights) &&
           BinFileReader_ReadInt(reader, &bank->logShift) &&
           BinFileReader_ReadBoolean(reader, &bank->logQuadratic) &&
           BinFileReader_ReadBoolean(reader, &bank->blockScaled2);
}

// Bounds ascend (equal neighbours allowed) and the weights cover exactly the
// bins of all channels.
bool tablesAgree(const FilterBank* bank)
{
    const int32_t m = bank->numChannels;
    for (int32_t i = 0; i <= m; ++i)
        if (bank->bounds[i + 1] < bank->bounds[i])
            return false;
    if (bank->bounds[m + 1] > (1u << 16))
        return false;
    int64_t needed = 0;
    for (int32_t c = 0; c < m; ++c)
        needed += bank->bounds[c + 2] - bank->bounds[c];
    return needed == bank->numWeights;
}

// Doublings that bring m to at least 2^30, as the channel's down-shift 15 - d.
int32_t channelShift(uint32_t magnitude)
{
    if (magnitude == 0)
        return 15;
    int32_t d = 0;
    while (d < 30 && (magnitude << d) < (1u << 30))
        ++d;
    const int32_t t = 15 - d;
    return t < 0 ? 0 : t;
}

// A channel's sum, accumulated wide: in 32 bits a loud channel wraps and its
// log reads as silence. Identical to the 32-bit sum whenever that holds.
int32_t channelValue(int64_t sum, int32_t shift)
{
    const int64_t v = sum >> shift;
    return v > INT32_MAX ? INT32_MAX : static_cast<int32_t>(v);
}

// The block layout of the weights (see FilterBank); false without memory.
bool buildBlocks(FilterBank* bank)
{
    const int32_t m = bank->numChannels;
    bank->blockFirst = static_cast<uint32_t*>(DVKMem_Calloc(m * sizeof(uint32_t)));
    bank->blockOffset = static_cast<uint32_t*>(DVKMem_Calloc((m + 1) * sizeof(uint32_t)));
    if (bank->blockFirst == nullptr || bank->blockOffset == nullptr)
        return false;
    for (int32_t c = 0; c < m; ++c) {
        bank->blockFirst[c] = bank->bounds[c] / 8;
        const uint32_t end = (bank->bounds[c + 2] + 7) / 8;
        bank->blockOffset[c + 1] = bank->blockOffset[c] + (end - bank->blockFirst[c]);
    }
    bank->packedBins = static_cast<int32_t>((bank->bounds[m + 1] + 7) / 8 * 8);
    bank->blockWeights =
        static_cast<int16_t*>(DVKMem_Calloc(bank->blockOffset[m] * 8 * sizeof(int16_t)));
    bank->packedSpectrum =
        static_cast<int16_t*>(DVKMem_Calloc(bank->packedBins * sizeof(int16_t)));
    bank->channelValues = static_cast<int32_t*>(DVKMem_Calloc(m * sizeof(int32_t)));
    if (bank->blockWeights == nullptr || bank->packedSpectrum == nullptr ||
        bank->channelValues == nullptr)
        return false;
    const int16_t* weight = bank->weights;
    for (int32_t c = 0; c < m; ++c) {
        int16_t* row = bank->blockWeights + 8 * bank->blockOffset[c];
        for (uint32_t k = bank->bounds[c]; k < bank->bounds[c + 2]; ++k)
            row[k - 8 * bank->blockFirst[c]] = *weight++;
    }
    return true;
}

// The channels' sums the portable way.
void applyScalar(const FilterBank* bank, int32_t exponent, const uint32_t* s, int16_t* out)
{
    const int32_t m = bank->numChannels;
    const uint32_t* bounds = bank->bounds;
    const int16_t* weight = bank->weights;
    const bool blockScaled = bank->blockScaled || bank->blockScaled2;

    uint32_t band = 0;  // OR of the bins of band c + 1 (block scaling)
    uint32_t previousBand = 0;
    if (blockScaled)
        for (uint32_t k = bounds[0]; k < bounds[1]; ++k)
            previousBand |= s[k];

    for (int32_t c = 0; c < m; ++c) {
        const uint32_t first = bounds[c];
        const uint32_t end = bounds[c + 2];
        int32_t v = 0;
        if (!blockScaled) {
            int64_t acc = 0;
            for (uint32_t k = first; k < end; ++k)
                acc += int64_t{s[k]} * *weight++;
            v = channelValue(acc + 16384, 15);
        } else {
            band = 0;
            for (uint32_t k = bounds[c + 1]; k < end; ++k)
                band |= s[k];
            const int32_t t = channelShift(previousBand | band);
            previousBand = band;
            const uint32_t round = t == 0 ? 0 : 1u << (t - 1);
            int64_t acc = 0;
            for (uint32_t k = first; k < end; ++k)
                acc += int64_t{(s[k] + round) >> t} * *weight++;
            const int32_t rounding = t == 15 ? 0 : 1 << (14 - t);
            v = channelValue(acc + rounding, 15 - t);
        }
        out[c] = FixedLog(v, exponent, bank->logShift, bank->logQuadratic);
    }
}

#if defined(__SSE2__)
// With every bin below 2^15 block scaling never shifts (a channel's OR below
// 2^16 gives shift 0; an all-zero channel sums to 0 either way), so both
// forms are the plain rounded sum, and the bins fit int16 for pmaddwd. False,
// leaving out alone, when some bin is too large.
bool applySSE2(const FilterBank* bank, int32_t exponent, const uint32_t* s, int16_t* out)
{
    const int32_t m = bank->numChannels;
    const uint32_t begin = bank->bounds[0];
    const uint32_t end = bank->bounds[m + 1];
    int16_t* packed = bank->packedSpectrum;
    __m128i any = _mm_setzero_si128();
    uint32_t k = begin;
    for (; k + 8 <= end; k += 8) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + k));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + k + 4));
        any = _mm_or_si128(any, _mm_or_si128(a, b));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(packed + k), _mm_packs_epi32(a, b));
    }
    uint32_t tail = 0;
    for (; k < end; ++k) {
        tail |= s[k];
        packed[k] = static_cast<int16_t>(s[k] & 0xFFFF);
    }
    alignas(16) uint32_t lanes[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes), any);
    if (((lanes[0] | lanes[1] | lanes[2] | lanes[3] | tail) >> 15) != 0)
        return false;

    for (int32_t c = 0; c < m; ++c) {
        const int16_t* x = packed + 8 * bank->blockFirst[c];
        const int16_t* w = bank->blockWeights + 8 * bank->blockOffset[c];
        const uint32_t blocks = bank->blockOffset[c + 1] - bank->blockOffset[c];
        // Each pmaddwd lane is below 2^31 in size; the lanes are summed in 64 bits.
        __m128i acc = _mm_setzero_si128();
        for (uint32_t b = 0; b < blocks; ++b, x += 8, w += 8)
            acc = FESimd_AddMaddWide(acc, _mm_loadu_si128(reinterpret_cast<const __m128i*>(x)),
                                     _mm_loadu_si128(reinterpret_cast<const __m128i*>(w)));
        bank->channelValues[c] = channelValue(FESimd_SumWide(acc) + 16384, 15);
    }
    FixedLogs(bank->channelValues, m, exponent, bank->logShift, bank->logQuadratic, out);
    return true;
}
#endif

} // namespace

FilterBank* FilterBank_LoadFromBinFile(DVKTar* tar, const char* prefix)
{
    BinFileReader* reader = FEReader_Open(tar, "bmt0", prefix);
    if (reader == nullptr)
        return nullptr;
    auto* bank = static_cast<FilterBank*>(DVKMem_Calloc(sizeof(FilterBank)));
    bool ok = bank != nullptr && readHeader(reader, bank) && bank->numChannels >= 1 &&
              bank->numChannels <= 4096 && bank->numWeights >= 1 && bank->logShift >= 0 &&
              bank->logShift <= 13;
    void* weights = nullptr;
    void* bounds = nullptr;
    uint32_t weightCount = 0;
    uint32_t boundCount = 0;
    ok = ok && BinFileReader_AllocateAndReadArray(reader, sizeof(int16_t), &weights, &weightCount);
    if (bank != nullptr)
        bank->weights = static_cast<int16_t*>(weights);
    ok = ok && BinFileReader_AllocateAndReadArray(reader, sizeof(uint32_t), &bounds, &boundCount);
    if (bank != nullptr)
        bank->bounds = static_cast<uint32_t*>(bounds);
    BinFileReader_Delete(reader);
    ok = ok && weights != nullptr && bounds != nullptr &&
         weightCount == static_cast<uint32_t>(bank->numWeights) &&
         boundCount == static_cast<uint32_t>(bank->numChannels + 2) && tablesAgree(bank) &&
         buildBlocks(bank);
    if (!ok) {
        FilterBank_Destroy(bank);
        return nullptr;
    }
    return bank;
}

void FilterBank_Apply(FilterBank* bank, int32_t exponent, const uint32_t* s, int16_t* out)
{
#if defined(__SSE2__)
    if (FESimd_Level() < kFESimdSSE2 || !applySSE2(bank, exponent, s, out))
        applyScalar(bank, exponent, s, out);
#else
    applyScalar(bank, exponent, s, out);
#endif
    if (bank->noiseReduction)
        SpecSub_ProcessFrame(bank->specSub, out);
}

void FilterBank_StartUtterance(FilterBank* bank)
{
    if (bank->noiseReduction)
        SpecSub_Reset(bank->specSub);
}

void FilterBank_GetSnapshotValues(const FilterBank* bank, uint32_t values[3])
{
    values[0] = static_cast<uint32_t>(bank->snapshotFlag);
    values[1] = static_cast<uint32_t>(bank->snapshotValue1);
    values[2] = static_cast<uint32_t>(bank->snapshotValue2);
}

void FilterBank_SetSnapshotValues(FilterBank* bank, const uint32_t values[3])
{
    bank->snapshotFlag = static_cast<int32_t>(values[0]);
    bank->snapshotValue1 = static_cast<int32_t>(values[1]);
    bank->snapshotValue2 = static_cast<int32_t>(values[2]);
}

void FilterBank_Destroy(FilterBank* bank)
{
    if (bank == nullptr)
        return;
    if (bank->noiseReduction && bank->specSub != nullptr)
        SpecSub_Destroy(bank->specSub);
    DVKMem_Free(bank->weights);
    DVKMem_Free(bank->bounds);
    DVKMem_Free(bank->blockWeights);
    DVKMem_Free(bank->blockFirst);
    DVKMem_Free(bank->blockOffset);
    DVKMem_Free(bank->packedSpectrum);
    DVKMem_Free(bank->channelValues);
    DVKMem_Free(bank);
}
