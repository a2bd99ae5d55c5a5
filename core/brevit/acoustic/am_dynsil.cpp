// Dynamic silence model data: the loaded means travel with the model and
// enter its checksum.
#include "core/brevit/acoustic/am.h"

#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_mem.h"

int32_t AM_DynSilCreate(AM*)
{
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
