#include "core/brevit/synthesis/cep_load.h"

#include "core/brevit/runtime/dvk_mem.h"

int32_t CepLoad_ReadShorts(BinFileReader* reader, int64_t count, int16_t** table)
{
    *table = nullptr;
    void* array = nullptr;
    uint32_t stored = 0;
    if (!BinFileReader_AllocateAndReadArray(reader, sizeof(int16_t), &array, &stored))
        return 0;
    if (static_cast<int64_t>(stored) != count) {
        DVKMem_Free(array);
        return 0;
    }
    *table = static_cast<int16_t*>(array);
    return 1;
}

int32_t CepLoad_ReadInts(BinFileReader* reader, int32_t* const* fields, int32_t n)
{
    for (int32_t i = 0; i < n; ++i)
        if (!BinFileReader_ReadInt(reader, fields[i]))
            return 0;
    return 1;
}
