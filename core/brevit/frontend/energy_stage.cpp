#include "core/brevit/frontend/energy_stage.h"

#include "core/brevit/frontend/fe_fixed_math.h"
#include "core/brevit/frontend/fe_reader.h"
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <algorithm>
#include <cstring>

namespace {

bool readShorts(BinFileReader* reader, int16_t* first, int16_t* second, int16_t* third,
                int16_t* fourth, int16_t* fifth)
{
    return BinFileReader_ReadShort(reader, first) && BinFileReader_ReadShort(reader, second) &&
           BinFileReader_ReadShort(reader, third) && BinFileReader_ReadShort(reader, fourth) &&
           BinFileReader_ReadShort(reader, fifth);
}

bool valid(const EnergyStage* e)
{
    if (e->dim < 1 || e->dim > 4096 || e->arrayLength < 1 || e->scaleShift < 1 ||
        e->scaleShift > 30 || e->rateShift < 1 || e->rateShift > 30 || e->warmupFrames < 0)
        return false;
    for (int32_t i = 1; i < e->arrayLength; ++i)
        if (e->slopes[i] < 0 || e->offsets[i] < 0)
            return false;
    return true;
}

void extremes(EnergyStage* e, int16_t c0)
{
    if (e->maxEnergy < e->minEnergy) {
        e->minEnergy = c0;
        e->maxEnergy = c0;
    } else if (c0 < e->minEnergy) {
        e->minEnergy = c0;
    } else if (c0 > e->maxEnergy) {
        e->maxEnergy = c0;
    }
}

} // namespace

EnergyStage* EnergyStage_LoadFromBinFile(DVKTar* tar, const char* prefix)
{
    BinFileReader* reader = FEReader_Open(tar, "bcp0", prefix);
    if (reader == nullptr)
        return nullptr;
    auto* e = static_cast<EnergyStage*>(DVKMem_Calloc(sizeof(EnergyStage)));
    bool ok = e != nullptr && FEReader_ReadInts(reader, &e->dim, 4) &&
              BinFileReader_ReadInt(reader, &e->rateShift) && BinFileReader_ReadInt(reader, &e->kept) &&
              readShorts(reader, &e->minRange, &e->rangeSlope, &e->rangeOffset, &e->shrink,
                         &e->jumpFactor) &&
              e->arrayLength >= 1 && e->arrayLength <= 4096;
    ok = ok && FEReader_ReadInt16Array(reader, &e->slopes, static_cast<uint32_t>(e->arrayLength)) &&
         FEReader_ReadInt16Array(reader, &e->offsets, static_cast<uint32_t>(e->arrayLength));
    BinFileReader_Delete(reader);
    ok = ok && valid(e);
    if (ok) {
        e->means = static_cast<int16_t*>(DVKMem_Calloc(e->dim * sizeof(int16_t)));
        ok = e->means != nullptr;
    }
    if (!ok) {
        EnergyStage_Destroy(e);
        return nullptr;
    }
    EnergyStage_Reset(e, 0);
    return e;
}

void EnergyStage_Process(EnergyStage* e, const int16_t* x, ChannelNorm* cn)
{
    extremes(e, x[0]);

    if (e->count < e->warmupFrames) {
        for (int32_t i = 0; i < e->dim; ++i)
            e->means[i] = FEFix_Clip16(FEFix_DivideRound(x[i] + int64_t{e->count} * e->means[i],
                                                         static_cast<uint16_t>(e->count + 1)));
        e->count += 1;
    } else {
        for (int32_t i = 0; i < e->dim; ++i)
            e->means[i] = FEFix_Clip16(e->means[i] + FEFix_ShiftRound(x[i] - e->means[i], e->rateShift));
    }

    const int32_t r = std::max({e->maxEnergy - e->minEnergy, int32_t{e->minRange},
                                e->rangeOffset + ((e->rangeSlope * e->minEnergy) >> 15)});
    e->smoothedRange = FEFix_Clip16(e->smoothedRange + ((r - e->smoothedRange + 32) >> 6));
    e->range = FEFix_Clip16(r);

    const int32_t s = e->scaleShift;
    const int64_t half = int64_t{1} << (s - 1);
    const int64_t c0Mean =
        e->minEnergy + (((int64_t{e->offsets[0]} << s) + int64_t{e->slopes[0]} * r + half) >> s);
    cn->means[0] = FEFix_Clip16(c0Mean);
    for (int32_t i = 1; i < cn->dim; ++i)
        cn->means[i] = i < e->dim ? e->means[i] : 0;

    if (!cn->normaliseVariance)
        return;
    const int32_t dims = std::min(cn->dim, e->arrayLength - 1);
    for (int32_t i = 0; i < dims; ++i) {
        const int64_t sum = int64_t{r} * e->slopes[i + 1] + (int64_t{e->offsets[i + 1]} << s) + half;
        // A negative sum (refused at loading) would be the least deviation.
        const int64_t std = std::clamp<int64_t>(sum < 0 ? 1 : sum >> s, 1, 32767);
        cn->stds[i] = static_cast<int16_t>(std);
        if (cn->adaptOnline)
            cn->squares[i] = static_cast<int32_t>(std * std);
    }
}

void EnergyStage_Observe(EnergyStage* e, int16_t c0) { extremes(e, c0); }

void EnergyStage_GetMinMax(const EnergyStage* e, int16_t* minEnergy, int16_t* maxEnergy)
{
    *minEnergy = e->minEnergy;
    *maxEnergy = e->maxEnergy;
}

int32_t EnergyStage_LevelJump(const EnergyStage* e)
{
    int32_t f = (e->smoothedRange * e->jumpFactor + 4096) >> 13;
    f = std::min(f, 32767);
    if (f == 0)
        f = 1;
    return e->range > f ? 1 : 0;
}

void EnergyStage_Reset(EnergyStage* e, int32_t mode)
{
    if (mode == 0) {
        e->count = 0;
        std::memset(e->means, 0, e->dim * sizeof(int16_t));
        e->minEnergy = 1;
        e->maxEnergy = 0;
        e->range = e->minRange;
        e->smoothedRange = e->minRange;
        return;
    }
    // The widest extremes and the largest shrink pass 2^31: formed in 64 bits,
    // the step kept to 16 bits.
    const int16_t d = static_cast<int16_t>(
        (int64_t{e->shrink} * (int64_t{e->maxEnergy} + 100 - e->minEnergy)) / 200);
    e->maxEnergy = static_cast<int16_t>(e->maxEnergy - d);
    e->minEnergy = static_cast<int16_t>(e->minEnergy + d);
}

void EnergyStage_GetState(const EnergyStage* e, int32_t* count, int16_t* means, int16_t* minEnergy,
                          int16_t* maxEnergy, int16_t* smoothedRange)
{
    *count = e->count;
    std::memcpy(means, e->means, e->dim * sizeof(int16_t));
    *minEnergy = e->minEnergy;
    *maxEnergy = e->maxEnergy;
    *smoothedRange = e->smoothedRange;
}

void EnergyStage_SetState(EnergyStage* e, int32_t count, const int16_t* means, int16_t minEnergy,
                          int16_t maxEnergy, int16_t smoothedRange)
{
    e->count = count;
    std::memcpy(e->means, means, e->dim * sizeof(int16_t));
    e->minEnergy = minEnergy;
    e->maxEnergy = maxEnergy;
    e->smoothedRange = smoothedRange;
}

uint32_t EnergyStage_ComputeCRC(const EnergyStage* e)
{
    uint32_t crc = 0xFFFFFFFFu;
    if (e == nullptr)
        return crc;
    crc = DVKCrc_AddInt(static_cast<uint32_t>(e->dim), crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(e->count), crc);
    crc = DVKCrc_AddShort(static_cast<uint16_t>(e->minEnergy), crc);
    crc = DVKCrc_AddShort(static_cast<uint16_t>(e->maxEnergy), crc);
    return DVKCrc_AddArray(e->means, 2, e->dim, crc);
}

void EnergyStage_Destroy(EnergyStage* e)
{
    if (e == nullptr)
        return;
    DVKMem_Free(e->slopes);
    DVKMem_Free(e->offsets);
    DVKMem_Free(e->means);
    DVKMem_Free(e);
}
