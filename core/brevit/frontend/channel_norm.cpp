#include "core/brevit/frontend/channel_norm.h"

#include "core/brevit/frontend/fe_fixed_math.h"
#include "core/brevit/frontend/fe_reader.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <cstring>

int32_t FEFix_ShiftRound(int32_t v, int32_t r)
{
    const int64_t half = int64_t{1} << (r - 1);
    return static_cast<int32_t>(v >= 0 ? (v + half) >> r : -((-int64_t{v} + half) >> r));
}

int32_t FEFix_DivideRound(int64_t a, uint16_t d)
{
    // A zero deviation divides by 1 (stored values stay as they are).
    const int64_t divisor = d == 0 ? 1 : d;
    return static_cast<int32_t>(a >= 0 ? (a + divisor / 2) / divisor
                                       : -((divisor / 2 - a) / divisor));
}

namespace {

bool shiftValid(int32_t shift, int32_t low) { return shift >= low && shift <= 30; }

int32_t root(int64_t square)
{
    return FixedSqrt(static_cast<uint32_t>(square < 0 ? 0 : (square > 0xFFFFFFFF ? 0xFFFFFFFF : square)));
}

// The mean square about zero: where online updates start after a reset.
void squaresFromMeansAndStds(ChannelNorm* cn)
{
    // Both at -2^15 the sum is 2^31, one past the 32-bit range: it stops there.
    for (int32_t i = 0; i < cn->dim; ++i) {
        const int64_t square = int64_t{cn->means[i]} * cn->means[i] + int64_t{cn->stds[i]} * cn->stds[i];
        cn->squares[i] = static_cast<int32_t>(square > INT32_MAX ? INT32_MAX : square);
    }
}

} // namespace

ChannelNorm* ChannelNorm_LoadFromBinFile(DVKTar* tar, const char* prefix)
{
    BinFileReader* reader = FEReader_Open(tar, "bch0", prefix);
    if (reader == nullptr)
        return nullptr;
    auto* cn = static_cast<ChannelNorm*>(DVKMem_Calloc(sizeof(ChannelNorm)));
    int32_t dim = 0;
    bool ok = cn != nullptr && FEReader_ReadInts(reader, &cn->normShift, 4) &&
              BinFileReader_ReadInt(reader, &dim) &&
              BinFileReader_ReadUnsignedInt(reader, &cn->minFrames) &&
              BinFileReader_ReadBoolean(reader, &cn->adaptOnline) &&
              BinFileReader_ReadBoolean(reader, &cn->modelVariance) &&
              BinFileReader_ReadBoolean(reader, &cn->accumulateAll) &&
              BinFileReader_ReadBoolean(reader, &cn->splitLeading) && dim >= 1 && dim <= 4096 &&
              cn->normShift >= 0 && cn->normShift <= 14 && shiftValid(cn->meanRateShift, 1) &&
              shiftValid(cn->varRateShift, 1);
    if (cn != nullptr)
        cn->dim = dim;
    const uint32_t count = static_cast<uint32_t>(dim);
    ok = ok && FEReader_ReadInt16Array(reader, &cn->means, count) &&
         FEReader_ReadInt16Array(reader, &cn->stds, count) &&
         FEReader_ReadInt16Array(reader, &cn->initialMeans, count) &&
         FEReader_ReadInt16Array(reader, &cn->initialStds, count);
    BinFileReader_Delete(reader);
    if (ok) {
        cn->sums = static_cast<int32_t*>(DVKMem_Calloc(dim * sizeof(int32_t)));
        ok = cn->sums != nullptr;
        if (ok && cn->modelVariance) {
            cn->squares = static_cast<int32_t*>(DVKMem_Calloc(dim * sizeof(int32_t)));
            cn->squareShifts = static_cast<uint16_t*>(DVKMem_Calloc(dim * sizeof(uint16_t)));
            ok = cn->squares != nullptr && cn->squareShifts != nullptr;
        }
    }
    if (!ok) {
        ChannelNorm_Destroy(cn);
        return nullptr;
    }
    ChannelNorm_Reset(cn);
    return cn;
}

void ChannelNorm_Reset(ChannelNorm* cn)
{
    std::memcpy(cn->means, cn->initialMeans, cn->dim * sizeof(int16_t));
    // Variance normalisation needs the model's squares as well as the block's word.
    cn->normaliseVariance = cn->modelVariance && BrevitParam_Word(kBrevitParamVarianceNorm) != 0 &&
                            BrevitParam_Word(kBrevitParamAltOutput) == 0;
    if (cn->normaliseVariance) {
        std::memcpy(cn->stds, cn->initialStds, cn->dim * sizeof(int16_t));
        squaresFromMeansAndStds(cn);
    }
}

void ChannelNorm_Restart(ChannelNorm* cn)
{
    cn->normaliseVariance = cn->modelVariance && BrevitParam_Word(kBrevitParamVarianceNorm) != 0;
}

void ChannelNorm_StartUtterance(ChannelNorm* cn, int32_t accumulate)
{
    cn->runWord = 0;
    if (!accumulate) {
        cn->accumulating = 0;
        cn->started = 0;
        return;
    }
    cn->accumulating = 1;
    cn->started = 1;
    cn->frameCount = 0;
    std::memset(cn->sums, 0, cn->dim * sizeof(int32_t));
    if (cn->normaliseVariance) {
        std::memset(cn->squares, 0, cn->dim * sizeof(int32_t));
        std::memset(cn->squareShifts, 0, cn->dim * sizeof(uint16_t));
    }
}

void ChannelNorm_Accumulate(ChannelNorm* cn, const int16_t* x, uint8_t flags)
{
    if (!cn->accumulating || (!cn->accumulateAll && !(flags & 1)))
        return;
    for (int32_t i = 0; i < cn->dim; ++i) {
        cn->sums[i] += x[i];
        if (cn->normaliseVariance) {
            const int32_t shift = cn->squareShifts[i] & 0xFF;
            uint32_t sq = static_cast<uint32_t>(cn->squares[i]) +
                          (static_cast<uint32_t>(x[i] * x[i]) >> shift);
            if (sq > 0x3FFFFFFFu) {
                sq >>= 2;
                cn->squareShifts[i] = static_cast<uint16_t>((cn->squareShifts[i] & 0xFF00) | (shift + 2));
            }
            cn->squares[i] = static_cast<int32_t>(sq);
        }
    }
    cn->frameCount += 1;
}

int32_t ChannelNorm_Release(ChannelNorm* cn)
{
    if (!cn->accumulating)
        return 0;
    if (cn->frameCount > 0 && static_cast<uint32_t>(cn->frameCount) > cn->minFrames) {
        for (int32_t i = 0; i < cn->dim; ++i) {
            cn->means[i] = static_cast<int16_t>(cn->sums[i] / cn->frameCount);
            if (cn->normaliseVariance) {
                const int64_t m2 = (int64_t{cn->squares[i]} / cn->frameCount)
                                   << (cn->squareShifts[i] & 0xFF);
                const int64_t variance = m2 - int64_t{cn->means[i]} * cn->means[i];
                cn->squares[i] = static_cast<int32_t>(variance > INT32_MAX ? INT32_MAX : variance);
                cn->stds[i] = static_cast<int16_t>(root(variance));
            }
        }
    } else if (cn->normaliseVariance) {
        squaresFromMeansAndStds(cn);
    }
    cn->accumulating = 0;
    return 1;
}

int32_t ChannelNorm_Normalise(ChannelNorm* cn, const int16_t* x, uint8_t flags, int16_t* out)
{
    if (cn->accumulating)
        return 0;
    const int32_t s = cn->normShift;
    const bool adapt = cn->adaptOnline && (flags & 1) && !(flags & 8);
    for (int32_t i = 0; i < cn->dim; ++i) {
        if (!adapt) {
            int32_t v = x[i] - cn->means[i];
            if (cn->normaliseVariance)
                v = FEFix_DivideRound(int64_t{v} * (1 << s), static_cast<uint16_t>(cn->stds[i]));
            out[i] = FEFix_Clip16(v);
            continue;
        }
        cn->means[i] = FEFix_Clip16(cn->means[i] + FEFix_ShiftRound(x[i] - cn->means[i], cn->meanRateShift));
        const bool subtract = !cn->splitLeading || i < cn->numLeading;
        int32_t v = subtract ? FEFix_Clip16(x[i] - cn->means[i]) : x[i];
        if (cn->normaliseVariance) {
            const int64_t square = int64_t{v} * v;
            const int64_t step = square - cn->squares[i];
            cn->squares[i] += FEFix_ShiftRound(static_cast<int32_t>(
                                                   step > INT32_MAX ? INT32_MAX : (step < INT32_MIN ? INT32_MIN : step)),
                                               cn->varRateShift);
            cn->stds[i] = static_cast<int16_t>(root(cn->squares[i]));
            v = FEFix_DivideRound(int64_t{v} * (1 << s), static_cast<uint16_t>(cn->stds[i]));
        }
        out[i] = FEFix_Clip16(v);
    }
    return 1;
}

int32_t ChannelNorm_IsAccumulating(const ChannelNorm* cn) { return cn->accumulating; }

void ChannelNorm_GetMeans(const ChannelNorm* cn, int16_t* out)
{
    std::memcpy(out, cn->means, cn->dim * sizeof(int16_t));
}

void ChannelNorm_SetMeans(ChannelNorm* cn, const int16_t* in)
{
    std::memcpy(cn->means, in, cn->dim * sizeof(int16_t));
}

void ChannelNorm_GetStds(const ChannelNorm* cn, int16_t* out)
{
    for (int32_t i = 0; i < cn->dim; ++i)
        out[i] = cn->normaliseVariance ? cn->stds[i] : static_cast<int16_t>(1 << cn->normShift);
}

void ChannelNorm_SetStds(ChannelNorm* cn, const int16_t* in)
{
    if (cn->normaliseVariance)
        std::memcpy(cn->stds, in, cn->dim * sizeof(int16_t));
}

void ChannelNorm_GetSquares(const ChannelNorm* cn, int32_t* out)
{
    for (int32_t i = 0; i < cn->dim; ++i)
        out[i] = cn->normaliseVariance ? cn->squares[i] : 1 << (2 * cn->normShift);
}

void ChannelNorm_SetSquares(ChannelNorm* cn, const int32_t* in)
{
    if (cn->normaliseVariance)
        std::memcpy(cn->squares, in, cn->dim * sizeof(int32_t));
}

uint32_t ChannelNorm_ComputeCRC(const ChannelNorm* cn)
{
    uint32_t crc = 0xFFFFFFFFu;
    crc = DVKCrc_AddInt(static_cast<uint32_t>(cn->normShift), crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(cn->meanRateShift), crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(cn->adaptOnline), crc);
    crc = DVKCrc_AddArray(cn->means, 2, cn->dim, crc);
    crc = DVKCrc_AddArray(cn->stds, 2, cn->dim, crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(cn->started), crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(cn->accumulating), crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(cn->runWord), crc);
    crc = DVKCrc_AddArray(cn->sums, 4, cn->dim, crc);
    if (cn->squares != nullptr)
        crc = DVKCrc_AddArray(cn->squares, 4, cn->dim, crc);
    return crc;
}

void ChannelNorm_Destroy(ChannelNorm* cn)
{
    if (cn == nullptr)
        return;
    DVKMem_Free(cn->means);
    DVKMem_Free(cn->stds);
    DVKMem_Free(cn->initialMeans);
    DVKMem_Free(cn->initialStds);
    DVKMem_Free(cn->sums);
    DVKMem_Free(cn->squares);
    DVKMem_Free(cn->squareShifts);
    DVKMem_Free(cn);
}
