#include "core/brevit/acoustic/shortlist.h"

#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_mem.h"

namespace {

int32_t readBytes(BinFileReader* reader, int64_t count, uint8_t** array)
{
    void* data = nullptr;
    uint32_t stored = 0;
    if (!BinFileReader_AllocateAndReadArray(reader, 1, &data, &stored))
        return 0;
    *array = static_cast<uint8_t*>(data);
    return static_cast<int64_t>(stored) == count;
}

} // namespace

ShortListCompressed* ShortListCompressed_LoadFromBinFile(BinFileReader* reader)
{
    auto* shortlist =
        static_cast<ShortListCompressed*>(DVKMem_Calloc(sizeof(ShortListCompressed)));
    if (shortlist == nullptr)
        return nullptr;
    const bool ok = BinFileReader_ReadInt(reader, &shortlist->centroidLength) &&
                    BinFileReader_ReadInt(reader, &shortlist->numClusters) &&
                    BinFileReader_ReadInt(reader, &shortlist->entryRowLength) &&
                    shortlist->centroidLength >= 0 && shortlist->numClusters >= 0 &&
                    shortlist->entryRowLength >= 0 &&
                    readBytes(reader,
                              static_cast<int64_t>(shortlist->numClusters) *
                                  shortlist->entryRowLength,
                              &shortlist->entries) &&
                    readBytes(reader,
                              static_cast<int64_t>(shortlist->numClusters) *
                                  shortlist->centroidLength,
                              &shortlist->centroids);
    if (!ok) {
        ShortListCompressed_Delete(shortlist);
        return nullptr;
    }
    return shortlist;
}

void ShortListCompressed_Delete(ShortListCompressed* shortlist)
{
    if (shortlist == nullptr)
        return;
    DVKMem_Free(shortlist->entries);
    DVKMem_Free(shortlist->centroids);
    DVKMem_Free(shortlist->ipRows);
    DVKMem_Free(shortlist->ipConstants);
    DVKMem_Free(shortlist);
}

uint32_t Shortlist_ComputeCRC(const ShortListCompressed* shortlist, int32_t full)
{
    uint32_t crc = 0xFFFFFFFFu;
    if (shortlist == nullptr)
        return crc;
    crc = DVKCrc_AddInt(static_cast<uint32_t>(shortlist->centroidLength), crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(shortlist->numClusters), crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(shortlist->entryRowLength), crc);
    if (full) {
        crc = DVKCrc_AddInt(0, crc);
        crc = DVKCrc_AddInt(static_cast<uint32_t>(shortlist->bestCluster), crc);
        crc = DVKCrc_AddInt(static_cast<uint32_t>(shortlist->secondCluster), crc);
        crc = DVKCrc_AddShort(static_cast<uint16_t>(shortlist->scoreDifference), crc);
    }
    crc = DVKCrc_AddBytes(shortlist->centroids,
                          shortlist->numClusters * shortlist->centroidLength, crc);
    return DVKCrc_AddBytes(shortlist->entries, shortlist->numClusters * shortlist->entryRowLength,
                           crc);
}
