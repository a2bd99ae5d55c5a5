#include "core/brevit/search/table_read.h"

#include "core/brevit/runtime/dvk_mem.h"

int32_t TableRead_Array(BinFileReader* reader, uint32_t elementSize, int64_t expected,
                        bool required, void** array)
{
    void* data = nullptr;
    uint32_t count = 0;
    if (!BinFileReader_AllocateAndReadArray(reader, elementSize, &data, &count))
        return 0;
    if (data == nullptr && count == 0) {
        if (required && expected > 0)
            return 0;
        *array = nullptr;
        return 1;
    }
    if (expected < 0 || static_cast<int64_t>(count) != expected) {
        DVKMem_Free(data);
        return 0;
    }
    *array = data;
    return 1;
}

int64_t TableRead_LastTerminator(const uint16_t* pool, int64_t length, uint16_t terminator)
{
    if (pool == nullptr)
        return -1;
    for (int64_t i = length - 1; i >= 0; --i)
        if (pool[i] == terminator)
            return i;
    return -1;
}

uint32_t TableRead_Remaining(const BinFileReader* reader)
{
    return DVKTar_SubFileGetSize(reader->sub) - DVKTar_SubFileTell(reader->sub);
}
