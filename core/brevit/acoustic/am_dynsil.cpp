#include "core/brevit/acoustic/am_dynsil.h"

#include "core/brevit/acoustic/am_kernels.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <algorithm>
#include <cstring>

namespace {

// Above 8 the 16-bit running sum overflows for common backgrounds.
constexpr int32_t kMaxShift = 8;

bool present(const AM* am)
{
    return am != nullptr && am->hasDynSil && am->dynSil.sum != nullptr;
}

uint8_t* currentMean(AM* am)
{
    return static_cast<uint8_t*>(am->dynSil.currentMean.data);
}

// A value's distance above the low feature byte, 0 below it: the running
// sums are unsigned, and a negative deviation in them (a stored mean or a
// frame below the byte range) made the mean noise until it decayed.
int32_t aboveLow(const AM* am, uint8_t value)
{
    return std::max(value - am->lowFeature, 0);
}

void meanFromDeviation(AM* am, const int16_t* deviation)
{
    uint8_t* mean = currentMean(am);
    for (int32_t d = 0; d < am->featureDim; ++d)
        mean[d] = static_cast<uint8_t>(deviation[d] + am->lowFeature);
}

} // namespace

int32_t AM_DynSilCreate(AM* am)
{
    AMDynSil& s = am->dynSil;
    const auto dim = static_cast<uint32_t>(std::max(am->featureDim, 1));
    s.sum = static_cast<uint16_t*>(DVKMem_Calloc(dim * sizeof(uint16_t)));
    s.deviation = static_cast<int16_t*>(DVKMem_Calloc(dim * sizeof(int16_t)));
    s.initialCopy = static_cast<uint8_t*>(DVKMem_Calloc(dim));
    if (s.sum == nullptr || s.deviation == nullptr || s.initialCopy == nullptr)
        return 0;
    AM_SetRawScoreFunction(am);
    std::memcpy(s.initialCopy, s.initialMean.data, static_cast<size_t>(am->featureDim));
    std::memcpy(s.currentMean.data, s.initialMean.data, static_cast<size_t>(am->featureDim));
    const int32_t slots = static_cast<int32_t>(std::min<uint32_t>(BrevitParam_Word(kBrevitParamSilenceRingSlots), 4096));
    s.ringSize = 0;
    s.ringWriteIndex = 0;
    if (slots > 0) {
        s.ring = static_cast<uint8_t*>(DVKMem_Calloc(static_cast<uint32_t>(slots) * dim));
        if (s.ring == nullptr)
            return 0;
        s.ringSize = slots;
        for (int32_t i = 0; i < slots; ++i)
            std::memcpy(s.ring + static_cast<size_t>(i) * dim, s.initialMean.data, static_cast<size_t>(am->featureDim));
    }
    return 1;
}

void AM_DynSilFree(AM* am)
{
    AMDynSil& d = am->dynSil;
    DVKMem_Free(d.sum);
    DVKMem_Free(d.deviation);
    DVKMem_Free(d.ring);
    DVKMem_Free(d.initialCopy);
    d.sum = nullptr;
    d.deviation = nullptr;
    d.ring = nullptr;
    d.initialCopy = nullptr;
}

int32_t AM_InitDynamicSilenceModel(AM* am)
{
    if (!present(am))
        return 0;
    am->dynSil.shift = std::clamp(static_cast<int32_t>(BrevitParam_Word(kBrevitParamSilenceModelShift)), 0, kMaxShift);
    const int32_t result = AM_ApplyDynamicSilenceModel(am, 1);
    if (BrevitParam_Word(kBrevitParamCrcTracing) != 0)
        AM_DynSilComputeCRC(am, 1);
    return result;
}

int32_t AM_ApplyDynamicSilenceModel(AM* am, int32_t fromInitial)
{
    if (!present(am))
        return 0;
    AMDynSil& s = am->dynSil;
    s.shift = std::clamp(s.shift, 0, kMaxShift);
    const uint8_t* source = fromInitial ? static_cast<const uint8_t*>(s.initialMean.data) : currentMean(am);
    for (int32_t d = 0; d < am->featureDim; ++d) {
        s.deviation[d] = static_cast<int16_t>(aboveLow(am, source[d]));
        s.sum[d] = static_cast<uint16_t>(static_cast<uint32_t>(s.deviation[d]) << s.shift);
    }
    if (s.ringSize > 0) {
        s.ringWriteIndex = 0;
        for (int32_t i = 0; i < s.ringSize; ++i)
            std::memmove(s.ring + static_cast<size_t>(i) * static_cast<uint32_t>(am->featureDim), source,
                         static_cast<size_t>(am->featureDim));
    }
    if (!fromInitial)
        return am->featureDim;
    std::memcpy(currentMean(am), source, static_cast<size_t>(am->featureDim));
    return am->featureDim;
}

void AM_DynSilAverageFrame(AM* am, const uint8_t* frame, int32_t update)
{
    AMDynSil& s = am->dynSil;
    s.shift = std::clamp(s.shift, 0, kMaxShift);
    if (!update)
        meanFromDeviation(am, s.deviation);
    for (int32_t d = 0; d < am->featureDim; ++d) {
        s.sum[d] = static_cast<uint16_t>(s.sum[d] + aboveLow(am, frame[d]) - s.deviation[d]);
        s.deviation[d] = static_cast<int16_t>(s.sum[d] >> s.shift);
    }
    if (update)
        meanFromDeviation(am, s.deviation);
}

void AM_UpdateDynamicSilenceModel(AM* am, const uint8_t* frame, int32_t isSilence)
{
    if (!present(am))
        return;
    AMDynSil& s = am->dynSil;
    const auto dim = static_cast<size_t>(am->featureDim);
    if (s.ringSize > 0) {
        uint8_t* slot = s.ring + static_cast<size_t>(s.ringWriteIndex) * dim;
        if (isSilence)
            AM_DynSilAverageFrame(am, slot, 1);
        std::memcpy(slot, frame, dim);
        s.ringWriteIndex = (s.ringWriteIndex + 1) % s.ringSize;
    } else if (isSilence) {
        AM_DynSilAverageFrame(am, frame, 1);
    }
    if (BrevitParam_Word(kBrevitParamCrcTracing) != 0)
        AM_DynSilComputeCRC(am, 1);
}

void AM_AdaptDynamicSilenceModel(AM* am)
{
    if (!present(am))
        return;
    for (int32_t d = 0; d < am->featureDim; ++d)
        currentMean(am)[d] = static_cast<uint8_t>((am->dynSil.sum[d] >> std::clamp(am->dynSil.shift, 0, kMaxShift)) + am->lowFeature);
}

void AM_SetDynamicSilenceModel(AM* am, const uint8_t* mean)
{
    if (!present(am))
        return;
    std::memmove(currentMean(am), mean, static_cast<size_t>(am->featureDim));
    AM_ApplyDynamicSilenceModel(am, 0);
}

int32_t AM_GetDynamicSilenceModel(const AM* am, uint8_t* out)
{
    if (!present(am))
        return 0;
    std::memcpy(out, am->dynSil.currentMean.data, static_cast<size_t>(am->featureDim));
    return 1;
}

int32_t AM_GetDynSilSnapshotSize(const AM* am)
{
    return present(am) ? 2 * am->featureDim : 0;
}

int32_t AM_DynSilFillInSnapshot(AM* am, uint8_t* snapshot)
{
    if (snapshot == nullptr || !present(am))
        return 0;
    const auto dim = static_cast<size_t>(am->featureDim);
    std::memcpy(snapshot, am->dynSil.currentMean.data, dim);
    std::memcpy(snapshot + dim, am->dynSil.initialCopy, dim);
    return 1;
}

int32_t AM_DynSilRestoreFromSnapshot(AM* am, const uint8_t* snapshot)
{
    if (snapshot == nullptr || !present(am) || am->dynSil.initialCopy == nullptr)
        return 0;
    const auto dim = static_cast<size_t>(am->featureDim);
    std::memcpy(am->dynSil.currentMean.data, snapshot, dim);
    std::memcpy(am->dynSil.initialCopy, snapshot + dim, dim);
    std::memcpy(am->dynSil.initialMean.data, snapshot + dim, dim);
    return 1;
}

void AM_DynSilScoreFrame(AM* am)
{
    // Without a raw distance (covariance types 3 and 4) the frame changes nothing.
    if (!present(am) || am->rawScore == nullptr)
        return;
    const int32_t d = AM_GetRawScore(am, currentMean(am), am->featureCopy);
    if (BrevitParam_Word(kBrevitParamScoreCeiling) != 0) {
        am->scoreCeiling = static_cast<int16_t>(d);
        return;
    }
    const int32_t silence = am->silenceStateId;
    const int32_t cached = am->cache[silence] == kAMNotComputed ? AM_GetStateScore(am, silence) : am->cache[silence];
    am->cache[silence] = static_cast<int16_t>(std::min(cached, d));
    if (am->filledCount < am->filledCapacity)
        am->filledList[am->filledCount++] = static_cast<uint16_t>(silence);
}

uint32_t AM_DynSilComputeCRC(AM* am, int32_t withState)
{
    uint32_t crc = 0xFFFFFFFFu;
    if (am == nullptr || !am->hasDynSil)
        return crc;
    const AMDynSil& d = am->dynSil;
    const int32_t dim = am->featureDim;
    crc = DVKCrc_AddBytes(d.currentMean.data, static_cast<int32_t>(d.currentMean.count), crc);
    crc = DVKCrc_AddBytes(d.initialMean.data, static_cast<int32_t>(d.initialMean.count), crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(d.ringSize), crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(d.shift), crc);
    if (withState) {
        crc = DVKCrc_AddInt(static_cast<uint32_t>(d.ringWriteIndex), crc);
        if (d.sum != nullptr)
            crc = DVKCrc_AddArray(d.sum, 2, dim, crc);
        if (d.deviation != nullptr)
            crc = DVKCrc_AddArray(d.deviation, 2, dim, crc);
        if (d.ring != nullptr)
            crc = DVKCrc_AddBytes(d.ring, d.ringSize * dim, crc);
    }
    return crc;
}
