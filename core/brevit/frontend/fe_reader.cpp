#include "core/brevit/frontend/fe_reader.h"

#include "core/brevit/runtime/dvk_err.h"

BinFileReader* FEReader_Open(DVKTar* tar, const char* tag, const char* prefix)
{
    BinFileReader* reader = nullptr;
    if (DVKErr_Protect([&] { reader = BinFileReader_Create(tar, tag, prefix); }) != 0)
        return nullptr;
    return reader;
}

int32_t FEReader_ReadInts(BinFileReader* reader, int32_t* values, int32_t count)
{
    for (int32_t i = 0; i < count; ++i)
        if (!BinFileReader_ReadInt(reader, &values[i]))
            return 0;
    return 1;
}

int32_t FEReader_ReadInt16Array(BinFileReader* reader, int16_t** array, uint32_t expected)
{
    void* data = nullptr;
    uint32_t count = 0;
    if (!BinFileReader_AllocateAndReadArray(reader, sizeof(int16_t), &data, &count))
        return 0;
    *array = static_cast<int16_t*>(data);
    return data != nullptr && count == expected ? 1 : 0;
}
